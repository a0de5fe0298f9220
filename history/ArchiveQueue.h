// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/AlarmRecord.h"
#include "history/History.h"

#include <QMutex>
#include <QString>
#include <deque>
#include <vector>

// What waits to be written to the archive: handed over by the GUI thread as
// it arrives, taken by the archive's worker in batches, and put back in
// front when a batch cannot be committed. A database that is unreachable or locked leaves the
// rows here; past the bound the oldest samples are dropped (never events
// or alarms), and the drop is counted so that the archive can say how many
// it lost and over which span.
class ArchiveQueue
{
public:
    struct Row
    {
        qint64 t = 0;
        QString module;
        QString node;
        // The quantity's or the event kind's name.
        QString what;
        History::Text value;
    };

    // An alarm to store or, with remove set, to forget.
    struct AlarmChange
    {
        bool remove = false;
        AlarmRecord alarm;
    };

    // What the worker takes in one go.
    struct Batch
    {
        std::vector<Row> samples;
        std::vector<Row> events;
        std::vector<AlarmChange> alarms;
        bool isEmpty() const { return samples.empty() && events.empty() && alarms.empty(); }
        int size() const { return int(samples.size() + events.size() + alarms.size()); }
    };

    // Samples dropped since the last call, and their span.
    struct Dropped
    {
        qint64 count = 0;
        qint64 from = 0;
        qint64 to = 0;
    };

    // Events and alarms are few; a bound keeps a storm of them from taking
    // the memory all the same.
    static constexpr int MaxEvents = 100000;

    explicit ArchiveQueue(int maxSamples) : limit(qMax(1, maxSamples)) {}

    void addSample(qint64 t, const QString &module, const QString &node, const QString &quantity,
                   const QString &value);
    void addEvent(qint64 t, const QString &module, const QString &node, const QString &kind,
                  const QString &text);
    void changeAlarm(const AlarmRecord &alarm, bool remove);

    // Takes the oldest rows, at most max of each kind, out of the queue to
    // be written. Until done() or putBack() they count as waiting, but not
    // against the bound: a row being written is never also dropped.
    Batch take(int max);
    // The batch taken is written.
    void done(const Batch &batch);
    // The batch taken could not be written: it goes back in front, and the
    // bound applies again.
    void putBack(Batch batch);
    Dropped takeDropped();

    int sampleCount() const;
    int count() const;
    // Forgets everything (an archive that was refused).
    void clear();

private:
    void keepBound();

    mutable QMutex mutex;
    int limit;
    std::deque<Row> samples;
    std::deque<Row> events;
    std::deque<AlarmChange> alarms;
    int taken = 0;
    Dropped dropped;
};
