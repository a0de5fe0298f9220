// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/Archive.h"

#include "client/Logging.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace {

// The database's layout version, kept in its header; a newer layout would
// count up.
constexpr int SchemaVersion = 1;

double toSeconds(qint64 ms)
{
    return double(ms) / 1000.0;
}

qint64 toMs(double seconds)
{
    return qint64(seconds * 1000.0 + (seconds < 0 ? -0.5 : 0.5));
}

} // namespace

Archive::Archive(QObject *parent) : QObject(parent)
{
    flushTimer.setSingleShot(true);
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, &Archive::flush);
    retentionTimer.setInterval(RetentionIntervalMs);
    connect(&retentionTimer, &QTimer::timeout, this,
            [this] { deleteOlderThanKept(QDateTime::currentMSecsSinceEpoch()); });
}

Archive::~Archive()
{
    close();
}

bool Archive::open(const QString &path, int days, int busyTimeoutMs)
{
    close();
    file = path;
    keepDays = days > 0 ? days : DefaultKeepDays;
    error.clear();

    // A second Brenlow on the same file would interleave its rows with
    // ours; it is turned away before it touches the database.
    auto fileLock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    fileLock->setStaleLockTime(0);
    if (!fileLock->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString app;
        if (fileLock->error() == QLockFile::LockFailedError &&
            fileLock->getLockInfo(&pid, &host, &app))
            error =
                QStringLiteral("in use by another program (process %1 on %2)").arg(pid).arg(host);
        else
            error = QStringLiteral("its lock file %1.lock cannot be made").arg(path);
        return false;
    }

    static int serial = 0;
    const QString name = QStringLiteral("brenlow-history-%1").arg(++serial);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        if (!db.isValid() || !db.open()) {
            error = db.isValid() ? db.lastError().text()
                                 : QStringLiteral("the SQLite driver of Qt is not installed");
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return false;
        }
    }
    connection = name;
    // Writing the layout version is the first write: a file that opens but
    // cannot be written fails here, not a second later.
    const bool made =
        exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)) &&
        exec(QStringLiteral("PRAGMA journal_mode = WAL")) &&
        exec(QStringLiteral("CREATE TABLE IF NOT EXISTS samples(t REAL, module TEXT, node TEXT, "
                            "quantity TEXT, value TEXT)")) &&
        exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS events(t REAL, module TEXT, node TEXT, kind TEXT, "
            "text TEXT)")) &&
        exec(QStringLiteral("CREATE INDEX IF NOT EXISTS samples_module_quantity_t ON "
                            "samples(module, quantity, t)"));
    if (!made) {
        const QString reason = error;
        close();
        error = reason;
        return false;
    }
    lock = std::move(fileLock);
    deleteOlderThanKept(QDateTime::currentMSecsSinceEpoch());
    retentionTimer.start();
    return true;
}

bool Archive::exec(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (query.exec(statement))
        return true;
    error = query.lastError().text();
    return false;
}

void Archive::close()
{
    if (connection.isEmpty())
        return;
    flush();
    flushTimer.stop();
    retentionTimer.stop();
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    connection.clear();
    lock.reset();
}

void Archive::queue(Pending row)
{
    if (connection.isEmpty())
        return;
    pending.push_back(std::move(row));
    while (int(pending.size()) > MaxPending)
        pending.pop_front();
    if (!flushTimer.isActive())
        flushTimer.start();
}

void Archive::addSample(qint64 t, const QString &module, const QString &node,
                        History::Quantity quantity, const QString &value)
{
    queue(Pending{false, toSeconds(t), module, node, History::quantityName(quantity), value});
}

void Archive::addEvent(const History::Event &event)
{
    queue(Pending{true, toSeconds(event.t), event.module, event.node, History::kindName(event.kind),
                  event.text});
}

bool Archive::flush()
{
    if (connection.isEmpty() || pending.empty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    if (!db.transaction()) {
        fail(db.lastError().text());
        flushTimer.start();
        return false;
    }
    QSqlQuery sample(db);
    QSqlQuery event(db);
    bool ok = sample.prepare(QStringLiteral("INSERT INTO samples(t, module, node, quantity, "
                                            "value) VALUES (?, ?, ?, ?, ?)")) &&
              event.prepare(QStringLiteral(
                  "INSERT INTO events(t, module, node, kind, text) VALUES (?, ?, ?, ?, ?)"));
    QString reason = ok ? QString() : sample.lastError().text() + event.lastError().text();
    for (const Pending &row : pending) {
        if (!ok)
            break;
        QSqlQuery &query = row.event ? event : sample;
        query.bindValue(0, row.t);
        query.bindValue(1, row.module);
        query.bindValue(2, row.node);
        query.bindValue(3, row.what);
        query.bindValue(4, row.value);
        if (!query.exec()) {
            ok = false;
            reason = query.lastError().text();
        }
    }
    if (ok && !db.commit()) {
        ok = false;
        reason = db.lastError().text();
    }
    if (!ok) {
        db.rollback();
        fail(reason);
        flushTimer.start();
        return false;
    }
    pending.clear();
    failing = false;
    return true;
}

void Archive::fail(const QString &reason)
{
    error = reason;
    if (failing)
        return;
    failing = true;
    qCDebug(lcHistory).noquote()
        << QStringLiteral("history file [%1] cannot be written: %2").arg(file, reason);
    emit writeFailed(reason);
}

bool Archive::deleteOlderThanKept(qint64 now)
{
    if (connection.isEmpty())
        return false;
    const double before = toSeconds(now) - double(keepDays) * 86400.0;
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    bool ok = true;
    for (const QString &table : {QStringLiteral("samples"), QStringLiteral("events")}) {
        QSqlQuery query(db);
        ok = query.prepare(QStringLiteral("DELETE FROM %1 WHERE t < ?").arg(table)) && ok;
        query.bindValue(0, before);
        if (!query.exec()) {
            ok = false;
            error = query.lastError().text();
        }
    }
    return ok;
}

bool Archive::load(History &history, qint64 now, qint64 span)
{
    if (connection.isEmpty())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    const double since = toSeconds(now - span);

    // Series by series, so that each read walks the index in time order.
    QSqlQuery series(db);
    series.setForwardOnly(true);
    if (!series.exec(QStringLiteral("SELECT DISTINCT module, quantity FROM samples"))) {
        error = series.lastError().text();
        return false;
    }
    QVector<QPair<QString, QString>> keys;
    while (series.next())
        keys.append({series.value(0).toString(), series.value(1).toString()});
    for (const auto &key : qAsConst(keys)) {
        History::Quantity quantity;
        if (!History::quantityFromName(key.second, quantity))
            continue;
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT t, node, value FROM samples WHERE module = ? AND "
                                     "quantity = ? AND t >= ? ORDER BY t"));
        query.bindValue(0, key.first);
        query.bindValue(1, key.second);
        query.bindValue(2, since);
        if (!query.exec()) {
            error = query.lastError().text();
            return false;
        }
        while (query.next()) {
            if (history.node(key.first).isEmpty())
                history.setNode(key.first, query.value(1).toString());
            history.add(key.first, quantity, toMs(query.value(0).toDouble()),
                        query.value(2).toString());
        }
    }

    QSqlQuery events(db);
    events.setForwardOnly(true);
    events.prepare(QStringLiteral("SELECT t, module, node, kind, text FROM events WHERE t >= ? "
                                  "ORDER BY t DESC LIMIT %1")
                       .arg(History::MaxEvents));
    events.bindValue(0, since);
    if (!events.exec()) {
        error = events.lastError().text();
        return false;
    }
    std::vector<History::Event> newestFirst;
    while (events.next()) {
        History::Event event;
        if (!History::kindFromName(events.value(3).toString(), event.kind))
            continue;
        event.t = toMs(events.value(0).toDouble());
        event.module = events.value(1).toString();
        event.node = events.value(2).toString();
        event.text = events.value(4).toString();
        newestFirst.push_back(event);
    }
    std::for_each(newestFirst.rbegin(), newestFirst.rend(),
                  [&history](const History::Event &event) { history.addEvent(event); });
    return true;
}
