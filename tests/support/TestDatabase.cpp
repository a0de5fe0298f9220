// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestDatabase.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

QString serverUrl()
{
    return qEnvironmentVariable("BRENLOW_TEST_PG");
}

QString serverDir()
{
    return qEnvironmentVariable("BRENLOW_TEST_PG_DIR");
}

int nextSerial()
{
    static QAtomicInt serial;
    return serial.fetchAndAddRelaxed(1) + 1;
}

// Opens a connection named name to the server's database.
bool openPostgres(const QString &name, const QString &database, QString &error)
{
    QString why;
    const ArchiveTarget t =
        ArchiveTarget::postgres(serverUrl() + QLatin1Char('/') + database, QString(), &why);
    if (t.kind != ArchiveTarget::Postgres) {
        error = QStringLiteral("BRENLOW_TEST_PG: %1").arg(why);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(t.host);
    db.setPort(t.port);
    db.setUserName(t.user);
    db.setDatabaseName(t.database);
    if (!db.open()) {
        error = db.lastError().text();
        return false;
    }
    return true;
}

void closeConnection(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

bool runScript(const QString &command, QString &why)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(
        QStringLiteral("bash"),
        {QStringLiteral(BRENLOW_SOURCE_DIR "/scripts/pg-throwaway.sh"), command, serverDir()});
    const bool done = script.waitForFinished(120000);
    if (done && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0)
        return true;
    why = QString::fromLocal8Bit(script.readAll());
    return false;
}

} // namespace

bool TestDatabase::postgresAvailable(QString &why)
{
    if (serverUrl().isEmpty() || serverDir().isEmpty()) {
        why = QStringLiteral("no PostgreSQL server for the tests: BRENLOW_TEST_PG and "
                             "BRENLOW_TEST_PG_DIR are not set (scripts/test.sh starts one)");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        why = QStringLiteral("Qt's PostgreSQL driver is not installed");
        return false;
    }
    return true;
}

TestDatabase::Backend TestDatabase::backendNamed(const QString &name)
{
    return name == QLatin1String("postgresql") ? Postgres : Sqlite;
}

TestDatabase::TestDatabase(Backend backend, const QTemporaryDir &dir)
    : kind(backend), connection(QStringLiteral("test-direct-%1").arg(nextSerial()))
{
    if (kind == Sqlite) {
        file = dir.filePath(QStringLiteral("history.db"));
        return;
    }
    if (!postgresAvailable(error))
        return;
    url = serverUrl();
    database = QStringLiteral("brenlow_test_%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(nextSerial());
    const QString admin = connection + QStringLiteral("-admin");
    if (openPostgres(admin, QStringLiteral("postgres"), error)) {
        QSqlQuery create(QSqlDatabase::database(admin, false));
        if (!create.exec(QStringLiteral("CREATE DATABASE %1").arg(database)))
            error = create.lastError().text();
    }
    closeConnection(admin);
}

TestDatabase::~TestDatabase()
{
    closeConnection(connection);
    if (kind != Postgres || database.isEmpty() || !error.isEmpty())
        return;
    const QString admin = connection + QStringLiteral("-admin");
    QString why;
    // A test that stopped the server and failed leaves it stopped.
    if (!openPostgres(admin, QStringLiteral("postgres"), why) && startServer(why)) {
        closeConnection(admin);
        openPostgres(admin, QStringLiteral("postgres"), why);
    }
    QSqlQuery drop(QSqlDatabase::database(admin, false));
    drop.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
    closeConnection(admin);
}

ArchiveTarget TestDatabase::target(const QString &station) const
{
    if (kind == Sqlite)
        return ArchiveTarget::sqlite(file, station);
    QString why;
    return ArchiveTarget::postgres(url + QLatin1Char('/') + database, station, &why);
}

QByteArray TestDatabase::stationKey() const
{
    if (kind == Sqlite)
        return "History File=" + file.toUtf8() + '\n';
    return "History Database=" + (url + QLatin1Char('/') + database).toUtf8() + '\n';
}

QVariant TestDatabase::value(const QString &statement) const
{
    if (!connect())
        return QVariant();
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(statement) || !query.next())
        return QVariant();
    return query.value(0);
}

bool TestDatabase::exec(const QString &statement) const
{
    if (!connect())
        return false;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    return query.exec(statement);
}

bool TestDatabase::connect() const
{
    if (!QSqlDatabase::contains(connection)) {
        if (kind == Sqlite) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(file);
            if (!db.open())
                return false;
        } else {
            QString why;
            if (!openPostgres(connection, database, why))
                return false;
        }
    }
    return true;
}

bool TestDatabase::holdLock() const
{
    return exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool TestDatabase::release() const
{
    return exec(QStringLiteral("COMMIT"));
}

bool TestDatabase::interrupt(QString &why) const
{
    if (kind == Postgres)
        return stopServer(why);
    why = QStringLiteral("the file cannot be locked");
    return holdLock();
}

bool TestDatabase::resume(QString &why) const
{
    if (kind == Postgres)
        return startServer(why);
    why = QStringLiteral("the file's lock cannot be let go");
    return release();
}

bool TestDatabase::stopServer(QString &why)
{
    return runScript(QStringLiteral("stop"), why);
}

bool TestDatabase::startServer(QString &why)
{
    return runScript(QStringLiteral("restart"), why);
}
