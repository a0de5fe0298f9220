// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/AlarmRecord.h"
#include "history/ArchiveTarget.h"
#include "history/History.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

class ArchiveQueue;
class ArchiveWorker;

Q_DECLARE_METATYPE(std::shared_ptr<History>)

// The history on disk or on a server: an SQLite file of the station's own
// or a PostgreSQL database that many stations share (the tables are in
// docs/history.md).
//
// This side lives on the GUI thread and never waits for the database: it
// hands samples, events and alarms to a queue, and a worker thread with its
// own connection writes them once a second, keeps the days asked for, and
// reads back the last day at start and older spans for the trends, each
// answered by a signal. A database that cannot be reached or is locked
// leaves the rows queued (up to the target's bound of samples; past it the
// oldest samples go, and the archive records how many and when) and is
// reported once, until a write works again. A database that must not be
// used (foreign or newer tables, a damaged file, one that another Brenlow
// holds) is refused once and for all, and left exactly as it was.
class Archive : public QObject
{
    Q_OBJECT

public:
    enum class State { Closed, Opening, Open, Unreachable, Refused };

    explicit Archive(QObject *parent = nullptr);
    ~Archive() override;

    // Starts the worker on target. startedAt (ms since the epoch) is when
    // this run began to record: the archive's rows up to then are loaded.
    void open(const ArchiveTarget &target, qint64 startedAt);
    // Writes what waits, as far as the database lets it, and stops the
    // worker; rows handed over later are not kept.
    void close();

    State state() const { return current; }
    // Rows are taken (the archive is not closed or refused).
    bool isActive() const;
    const ArchiveTarget &target() const { return where; }
    // Why it was refused, or why it is unreachable.
    QString errorString() const { return error; }
    qint64 unreachableSince() const { return downSince; }

    void addSample(qint64 t, const QString &module, const QString &node, History::Quantity quantity,
                   const QString &value);
    void addEvent(const History::Event &event);
    // The station's unfinished alarms: stored (or replaced) and removed.
    void storeAlarm(const AlarmRecord &alarm);
    void removeAlarm(const QString &module, const QString &condition);

    // Asks the worker to write now instead of at its next beat.
    void flush();
    // Asks for a retention pass now (it also runs at open and hourly).
    void retainNow();
    // Asks for the station's rows of [from, to]; spanLoaded answers. A
    // newer wish replaces one that has not been started.
    void loadSpan(qint64 from, qint64 to);

    // Rows not yet written, the batch being written included.
    int pendingCount() const;
    // Samples waiting in the queue, which the bound applies to (not those
    // of the batch being written).
    int pendingSamples() const;

signals:
    void opened();
    void refused(const QString &reason);
    void unreachable(const QString &reason, qint64 sinceMs);
    // Each attempt to write or reconnect that failed, the first included.
    void attemptFailed(const QString &reason);
    void reachable();
    void written(int rows);
    void samplesDropped(qint64 count, qint64 fromMs, qint64 toMs);
    void startLoaded(const std::shared_ptr<History> &history);
    void alarmsLoaded(const QVector<AlarmRecord> &alarms);
    void spanLoaded(qint64 from, qint64 to, const std::shared_ptr<History> &history);
    void retained();

private:
    template <typename F> void ask(F method);

    ArchiveTarget where;
    State current = State::Closed;
    QString error;
    qint64 downSince = 0;
    std::shared_ptr<ArchiveQueue> queue;
    QThread thread;
    ArchiveWorker *worker = nullptr;
};
