// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/AlarmRecord.h"
#include "history/ArchiveQueue.h"
#include "history/ArchiveTarget.h"
#include "history/History.h"
#include "history/HistoryLock.h"

#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVector>
#include <map>
#include <utility>

class QSqlDatabase;

// One connection to the archive's database and everything said over it, in
// the dialect of its back-end: the schema made or checked, batches written,
// old rows dropped, a span read back. It blocks; the archive's worker thread
// is its only user.
//
// Both back-ends hold the same tables and columns (docs/history.md). SQLite
// keeps one file that one Brenlow writes at a time, with an index on time
// for retention; PostgreSQL keeps the samples and events of many stations
// in tables partitioned by day, and retention drops whole days.
class ArchiveDatabase
{
public:
    // The layout this program writes; 1 was the SQLite file of earlier
    // versions, which had no station column and is carried over at open.
    static constexpr int SchemaVersion = 2;

    enum class Outcome {
        Ok,
        // Never to be used: foreign or newer tables, a damaged file, a file
        // another Brenlow holds. Nothing in it was changed.
        Refused,
        // Not now: the server is down, the file is locked; try again later.
        Unavailable,
    };

    ArchiveDatabase(const ArchiveTarget &target, const QString &connectionName);
    ~ArchiveDatabase();
    ArchiveDatabase(const ArchiveDatabase &) = delete;
    ArchiveDatabase &operator=(const ArchiveDatabase &) = delete;

    Outcome open();
    void close();
    bool isOpen() const { return connected; }
    QString errorString() const { return error; }
    // Anything about the way the file is kept that the operator should
    // know (a journal other than WAL, an earlier layout carried over);
    // empty when all is as intended.
    QString notice() const { return remark; }

    // One transaction with the rows of batch and, when extra is not empty,
    // these events as well.
    bool write(const ArchiveQueue::Batch &batch, const std::vector<ArchiveQueue::Row> &extra);

    // One step of retention: deletes (SQLite, a slice of rows) or drops
    // (PostgreSQL, one day) what is older than the longest keep any station
    // of the database asks for. done turns true when nothing is left.
    bool retainStep(qint64 nowMs, bool &done);

    // The station's samples of [from, to) in time order, added to into.
    bool readSamples(qint64 from, qint64 to, History &into);
    // The station's newest events (at most History::MaxEvents) of [from, to).
    bool readEvents(qint64 from, qint64 to, History &into);
    bool readAlarms(QVector<AlarmRecord> &alarms);

private:
    bool isPostgres() const { return target.kind == ArchiveTarget::Postgres; }
    Outcome connect();
    Outcome checkIntegrity();
    Outcome checkSchema();
    // Statements first, then the tables and indexes of the layout other
    // than those existing, all in one transaction.
    Outcome createSchema(const QStringList &first = {}, const QStringList &existing = {});
    bool isEarlierLayout(const QStringList &present);
    Outcome carryOverEarlierLayout();
    void addRemark(const QString &text);
    bool setUpJournal();
    bool registerStation();
    bool ensurePartitions(const char *table, const std::vector<ArchiveQueue::Row> &rows);
    bool insertRows(const char *table, const std::vector<ArchiveQueue::Row> &rows);
    // An SQLite INSERT of a table's rows, that many at once.
    using InsertKey = std::pair<const char *, size_t>;
    QSqlQuery *insertStatement(const InsertKey &key);
    bool changeAlarms(const std::vector<ArchiveQueue::AlarmChange> &changes);
    bool exec(QSqlQuery &query, const QString &statement = QString());
    bool exec(const QString &statement);
    Outcome failure(const QSqlQuery &query);
    QSqlDatabase database() const;

    ArchiveTarget target;
    QString name;
    bool connected = false;
    QString error;
    QString remark;
    HistoryLock lock;
    QString errorCode;
    // The days (since the epoch) whose partitions are known to exist.
    QSet<qint64> partitionDays;
    bool samplesRetained = false;
    // The INSERTs prepared on this connection so far.
    std::map<InsertKey, QSqlQuery> inserts;
};
