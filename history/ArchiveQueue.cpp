// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ArchiveQueue.h"

#include <QMutexLocker>

namespace {

template <typename T> void moveFront(std::deque<T> &rows, std::vector<T> &out, int max)
{
    const size_t n = qMin(rows.size(), size_t(qMax(0, max)));
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(std::move(rows.front()));
        rows.pop_front();
    }
}

template <typename T> void moveBack(std::vector<T> &batch, std::deque<T> &rows)
{
    for (auto it = batch.rbegin(); it != batch.rend(); ++it)
        rows.push_front(std::move(*it));
}

} // namespace

void ArchiveQueue::addSample(qint64 t, const QString &module, const QString &node,
                             const QString &quantity, const QString &value)
{
    const QMutexLocker lock(&mutex);
    samples.push_back(Row{t, module, node, quantity, History::Text(value)});
    keepBound();
}

void ArchiveQueue::keepBound()
{
    while (int(samples.size()) > limit) {
        const qint64 lost = samples.front().t;
        if (dropped.count == 0)
            dropped.from = dropped.to = lost;
        dropped.from = qMin(dropped.from, lost);
        dropped.to = qMax(dropped.to, lost);
        ++dropped.count;
        samples.pop_front();
    }
    while (int(events.size()) > MaxEvents)
        events.pop_front();
    while (int(alarms.size()) > MaxEvents)
        alarms.pop_front();
}

void ArchiveQueue::addEvent(qint64 t, const QString &module, const QString &node,
                            const QString &kind, const QString &text)
{
    const QMutexLocker lock(&mutex);
    events.push_back(Row{t, module, node, kind, History::Text(text)});
    keepBound();
}

void ArchiveQueue::changeAlarm(const AlarmRecord &alarm, bool remove)
{
    const QMutexLocker lock(&mutex);
    alarms.push_back(AlarmChange{remove, alarm});
    keepBound();
}

ArchiveQueue::Batch ArchiveQueue::take(int max)
{
    Batch batch;
    const QMutexLocker lock(&mutex);
    moveFront(samples, batch.samples, max);
    moveFront(events, batch.events, max);
    moveFront(alarms, batch.alarms, max);
    taken = batch.size();
    return batch;
}

void ArchiveQueue::done(const Batch &)
{
    const QMutexLocker lock(&mutex);
    taken = 0;
}

void ArchiveQueue::putBack(Batch batch)
{
    const QMutexLocker lock(&mutex);
    moveBack(batch.samples, samples);
    moveBack(batch.events, events);
    moveBack(batch.alarms, alarms);
    taken = 0;
    keepBound();
}

ArchiveQueue::Dropped ArchiveQueue::takeDropped()
{
    const QMutexLocker lock(&mutex);
    const Dropped lost = dropped;
    dropped = Dropped();
    return lost;
}

int ArchiveQueue::sampleCount() const
{
    const QMutexLocker lock(&mutex);
    return int(samples.size());
}

int ArchiveQueue::count() const
{
    const QMutexLocker lock(&mutex);
    return int(samples.size() + events.size() + alarms.size()) + taken;
}

void ArchiveQueue::clear()
{
    const QMutexLocker lock(&mutex);
    samples.clear();
    events.clear();
    alarms.clear();
    taken = 0;
    dropped = Dropped();
}
