// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ArchiveQueue.h"

#include <QMutexLocker>

namespace {

template <typename T> void releaseUpTo(std::deque<T> &rows, const std::vector<T> &written)
{
    if (written.empty())
        return;
    // Rows may have gone from the front meanwhile (dropped past the bound);
    // everything up to the last one written goes.
    const quint64 last = written.back().serial;
    while (!rows.empty() && rows.front().serial <= last)
        rows.pop_front();
}

template <typename T> void copyFront(const std::deque<T> &rows, std::vector<T> &out, int max)
{
    const size_t n = qMin(rows.size(), size_t(qMax(0, max)));
    out.assign(rows.begin(), rows.begin() + std::ptrdiff_t(n));
}

} // namespace

void ArchiveQueue::addSample(qint64 t, const QString &module, const QString &node,
                             const QString &quantity, const QString &value)
{
    const QMutexLocker lock(&mutex);
    samples.push_back(Row{nextSerial++, t, module, node, quantity, History::Text(value)});
    while (int(samples.size()) > limit) {
        const qint64 lost = samples.front().t;
        if (dropped.count == 0)
            dropped.from = lost;
        dropped.from = qMin(dropped.from, lost);
        dropped.to = qMax(dropped.to, lost);
        ++dropped.count;
        samples.pop_front();
    }
}

void ArchiveQueue::addEvent(qint64 t, const QString &module, const QString &node,
                            const QString &kind, const QString &text)
{
    const QMutexLocker lock(&mutex);
    events.push_back(Row{nextSerial++, t, module, node, kind, History::Text(text)});
    while (int(events.size()) > MaxEvents)
        events.pop_front();
}

void ArchiveQueue::changeAlarm(const AlarmRecord &alarm, bool remove)
{
    const QMutexLocker lock(&mutex);
    alarms.push_back(AlarmChange{nextSerial++, remove, alarm});
    while (int(alarms.size()) > MaxEvents)
        alarms.pop_front();
}

ArchiveQueue::Batch ArchiveQueue::peek(int max) const
{
    Batch batch;
    const QMutexLocker lock(&mutex);
    copyFront(samples, batch.samples, max);
    copyFront(events, batch.events, max);
    copyFront(alarms, batch.alarms, max);
    return batch;
}

void ArchiveQueue::release(const Batch &batch)
{
    const QMutexLocker lock(&mutex);
    releaseUpTo(samples, batch.samples);
    releaseUpTo(events, batch.events);
    releaseUpTo(alarms, batch.alarms);
}

ArchiveQueue::Dropped ArchiveQueue::takeDropped()
{
    const QMutexLocker lock(&mutex);
    const Dropped taken = dropped;
    dropped = Dropped();
    return taken;
}

int ArchiveQueue::sampleCount() const
{
    const QMutexLocker lock(&mutex);
    return int(samples.size());
}

int ArchiveQueue::count() const
{
    const QMutexLocker lock(&mutex);
    return int(samples.size() + events.size() + alarms.size());
}

void ArchiveQueue::clear()
{
    const QMutexLocker lock(&mutex);
    samples.clear();
    events.clear();
    alarms.clear();
    dropped = Dropped();
}
