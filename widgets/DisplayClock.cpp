// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/DisplayClock.h"

#include <QCoreApplication>

QHash<int, QPointer<DisplayClock>> &DisplayClock::clocks()
{
    static QHash<int, QPointer<DisplayClock>> all;
    return all;
}

DisplayClock *DisplayClock::shared(int intervalMs)
{
    QPointer<DisplayClock> &clock = clocks()[intervalMs];
    if (!clock)
        clock = new DisplayClock(intervalMs, QCoreApplication::instance());
    return clock;
}

DisplayClock::DisplayClock(int intervalMs, QObject *parent) : QObject(parent), interval(intervalMs)
{
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(interval);
    connect(&beat, &QTimer::timeout, this, &DisplayClock::intervalOver);
}

bool DisplayClock::mayShow(QObject *owner, Release release)
{
    if (!beat.isActive()) {
        beat.start();
        return true;
    }
    waiting.push_back(Waiting{owner, std::move(release)});
    return false;
}

void DisplayClock::intervalOver()
{
    if (waiting.empty()) {
        beat.stop();
        return;
    }
    releaseWaiting();
}

void DisplayClock::releaseAllNow()
{
    for (const QPointer<DisplayClock> &clock : qAsConst(clocks())) {
        if (clock)
            clock->releaseWaiting();
    }
}

void DisplayClock::releaseWaiting()
{
    // A release may ask again (a value arriving while it runs): that one
    // waits for the next interval, which has begun.
    std::vector<Waiting> due;
    due.swap(waiting);
    for (const Waiting &w : due) {
        if (w.owner)
            w.release();
    }
}
