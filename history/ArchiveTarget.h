// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the station's history goes and how: an SQLite file of its own
// ("History File") or a facility's PostgreSQL database shared by many
// stations ("History Database"), the station's name in its rows, the days to
// keep and the bound of the queue that carries samples across an outage.
struct ArchiveTarget
{
    enum Kind { NoArchive, SqliteFile, Postgres };

    static constexpr int DefaultKeepDays = 30;
    static constexpr int DefaultQueueSamples = 1000000;
    static constexpr int DefaultBusyTimeoutMs = 1000;
    static constexpr int DefaultPostgresPort = 5432;

    Kind kind = NoArchive;
    // SQLite: the file, relative to the working directory like the other
    // files a station names.
    QString file;
    // PostgreSQL: the parts of "postgresql://USER@HOST:PORT/DBNAME". A host
    // that starts with a slash is the directory of the server's socket. No
    // password: libpq finds it itself (~/.pgpass, PGPASSFILE).
    QString user;
    QString host;
    int port = DefaultPostgresPort;
    QString database;

    QString station;
    int keepDays = DefaultKeepDays;
    int queueSamples = DefaultQueueSamples;
    // How long a write waits for a database that another program holds
    // (SQLite) before it counts as an outage.
    int busyTimeoutMs = DefaultBusyTimeoutMs;

    static ArchiveTarget sqlite(const QString &file, const QString &station);
    // Reads a "History Database" value; kind stays NoArchive and error says
    // why when it is not a URL of that form.
    static ArchiveTarget postgres(const QString &url, const QString &station, QString *error);

    // The file, or the URL without anything secret, for messages.
    QString describe() const;
};
