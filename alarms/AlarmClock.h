// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The time the alarms go by: milliseconds since the epoch, UTC. The program
// reads the system clock; a test hands in a clock of its own and moves it,
// so that an alarm delay or an eight-hour shelf passes without waiting.
class AlarmClock
{
public:
    AlarmClock() = default;
    virtual ~AlarmClock();
    AlarmClock(const AlarmClock &) = delete;
    AlarmClock &operator=(const AlarmClock &) = delete;

    virtual qint64 nowMs() const;

    // The system clock, shared by everything that is given no clock of its own.
    static const AlarmClock &system();
};
