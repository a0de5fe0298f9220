// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/ArchiveTarget.h"

#include <QString>
#include <QVariant>

class QTemporaryDir;

// A history database for one test: an SQLite file in the test's temporary
// directory, or a database of its own on the throwaway PostgreSQL server
// that the test command starts (scripts/pg-throwaway.sh; its URL and
// directory come in BRENLOW_TEST_PG and BRENLOW_TEST_PG_DIR), dropped again
// at the end. Nothing else is ever connected to.
class TestDatabase
{
public:
    enum Backend { Sqlite, Postgres };

    // Whether the server is there; why not, when it is not.
    static bool postgresAvailable(QString &why);
    static Backend backendNamed(const QString &name);

    TestDatabase(Backend backend, const QTemporaryDir &dir);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    bool isValid() const { return error.isEmpty(); }
    QString errorString() const { return error; }
    Backend backend() const { return kind; }

    // The archive's target for a station of that name.
    ArchiveTarget target(const QString &station) const;
    // The line of a station file that names it.
    QByteArray stationKey() const;

    // Straight to the database, as another program (a script, a second
    // station) would: the first column of the first row, or null.
    QVariant value(const QString &statement) const;
    bool exec(const QString &statement) const;
    // Holds the SQLite file's write lock until release(), as a backup would.
    bool holdLock() const;
    bool release() const;
    // Takes the database away from its writers and gives it back: the
    // server stopped and started, or the file locked and let go.
    bool interrupt(QString &why) const;
    bool resume(QString &why) const;

    // Stops and starts the PostgreSQL server (the whole cluster).
    static bool stopServer(QString &why);
    static bool startServer(QString &why);

private:
    bool connect() const;

    Backend kind;
    QString file;
    QString url;
    QString database;
    QString connection;
    QString error;
};
