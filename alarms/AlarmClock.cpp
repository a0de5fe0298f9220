// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/AlarmClock.h"

#include <QDateTime>

AlarmClock::~AlarmClock() = default;

qint64 AlarmClock::nowMs() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

const AlarmClock &AlarmClock::system()
{
    static const AlarmClock clock;
    return clock;
}
