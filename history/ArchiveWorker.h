// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/AlarmRecord.h"
#include "history/ArchiveDatabase.h"
#include "history/ArchiveQueue.h"
#include "history/ArchiveTarget.h"
#include "history/History.h"

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

// The archive's side of its thread: it alone talks to the database, so
// nothing the database does (waiting for a lock, a server that has gone,
// an hour's rows to delete, a day to read) holds up the window.
//
// Once a second it writes what waits in the queue, in batches of one
// transaction each. Longer work (reading the last day at start, a span for
// the trends, retention) goes in steps between those writes, so that a
// crash loses at most the last second however long the work takes. When a
// write fails the rows stay queued and the database counts as unreachable
// until a write works again; a server that went away is reconnected,
// first after a second, then less often.
class ArchiveWorker : public QObject
{
    Q_OBJECT

public:
    static constexpr int FlushIntervalMs = 1000;
    static constexpr int RetentionIntervalMs = 60 * 60 * 1000;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LongestRetryMs = 8000;
    // Rows of one transaction.
    static constexpr int BatchRows = 20000;
    // A read of the archive takes this much time at a step.
    static constexpr qint64 ReadSliceMs = qint64(5) * 60 * 1000;
    // Rows dated further ahead than this are a clock's mistake.
    static constexpr qint64 FutureSlackMs = qint64(60) * 1000;

    ArchiveWorker(const ArchiveTarget &target, std::shared_ptr<ArchiveQueue> queue,
                  qint64 startedAt);
    ~ArchiveWorker() override;

    // Run on the worker's thread, through queued calls.
    void start();
    void flush();
    void retainNow();
    void loadSpan(qint64 from, qint64 to);
    // Writes what waits (one more try on a database that is down), closes
    // the database and stops every timer.
    void finish();

signals:
    void opened(const QString &notice);
    void refused(const QString &reason);
    void unreachable(const QString &reason, qint64 sinceMs);
    // Every attempt that failed, the first of an outage included.
    void attemptFailed(const QString &reason);
    void reachable();
    void written(int rows);
    void samplesDropped(qint64 count, qint64 fromMs, qint64 toMs);
    // The last day before the start, and the station's unfinished alarms.
    void startLoaded(const std::shared_ptr<History> &history);
    void alarmsLoaded(const QVector<AlarmRecord> &alarms);
    void spanLoaded(qint64 from, qint64 to, const std::shared_ptr<History> &history);
    void retained();

private:
    enum class State { Connecting, Open, Down, Refused, Closed };
    // One step of a longer piece of work; true when the work is done.
    using Step = std::function<bool()>;

    void tryOpen();
    void writeQueued();
    void fail(const QString &reason);
    void resume();
    void runStep();
    void queueWork(Step step);
    void startLoad();
    void startRetention();
    Step readSpan(qint64 from, qint64 to,
                  const std::function<void(std::shared_ptr<History>)> &done);

    ArchiveTarget target;
    std::shared_ptr<ArchiveQueue> queue;
    qint64 startedAt;
    std::unique_ptr<ArchiveDatabase> database;
    State state = State::Connecting;
    QTimer *flushTimer = nullptr;
    QTimer *retryTimer = nullptr;
    QTimer *retentionTimer = nullptr;
    QTimer *stepTimer = nullptr;
    int retryMs = FirstRetryMs;
    qint64 downSince = 0;
    std::deque<Step> work;
    // A span asked for while another is being read: only the newest wish
    // counts.
    bool spanWanted = false;
    bool readingSpan = false;
    qint64 wantedFrom = 0;
    qint64 wantedTo = 0;
    // Samples the queue dropped that no event has recorded yet.
    ArchiveQueue::Dropped unrecorded;
};
