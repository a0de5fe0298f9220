// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/ModuleAlarms.h"

#include "alarms/AlarmClock.h"
#include "alarms/AlarmList.h"
#include "client/Values.h"

#include <algorithm>
#include <limits>

using AlarmConditions::Condition;

namespace {

// The statuses of a module that works: on, off, and ramping either way.
const char *const WorkingStatuses[] = {"ON", "OFF", "L2H", "H2L"};

} // namespace

ModuleAlarms::ModuleAlarms(AlarmList *alarmList, const QString &module,
                           const HvDeviationRule::Settings &settings, const AlarmClock *alarmClock,
                           QObject *parent)
    : QObject(parent), list(alarmList), section(module),
      clock(alarmClock ? alarmClock : &AlarmClock::system()), deviation(settings)
{
    deviationTimer.setSingleShot(true);
    connect(&deviationTimer, &QTimer::timeout, this, &ModuleAlarms::recheck);
}

bool ModuleAlarms::isFault(const QString &text)
{
    const QString word = text.simplified();
    if (word.isEmpty())
        return false;
    return std::none_of(std::begin(WorkingStatuses), std::end(WorkingStatuses),
                        [&word](const char *working) { return word == QLatin1String(working); });
}

void ModuleAlarms::hvStatus(const QString &text)
{
    status = text;
    if (list)
        list->report(section, Condition::HvFault, isFault(status), status.simplified());
    evaluateDeviation();
}

void ModuleAlarms::hvVoltage(const QString &text)
{
    reading = text;
    evaluateDeviation();
}

void ModuleAlarms::hvSetVoltage(bool isApplied, double voltage)
{
    applied = isApplied;
    setV = voltage;
    evaluateDeviation();
}

void ModuleAlarms::overload(bool on, const QString &value)
{
    if (list)
        list->report(section, Condition::AmpOverload, on, value);
}

void ModuleAlarms::silent(bool on, const QString &node)
{
    if (list)
        list->report(section, Condition::Silent, on, node);
}

void ModuleAlarms::evaluateDeviation()
{
    deviation.update(status, Values::toNumber(reading), applied, setV, clock->nowMs());
    recheck();
}

void ModuleAlarms::recheck()
{
    const qint64 now = clock->nowMs();
    const bool holds = deviation.holds(now);
    if (list)
        list->report(section, Condition::HvDeviation, holds,
                     QStringLiteral("%1 V (set %2 V)").arg(reading.trimmed()).arg(setV));
    // Nothing may come from the module while it sits off its voltage: look
    // again when the delay is up.
    if (deviation.isDeviating() && !holds) {
        const qint64 wait = std::max<qint64>(0, deviation.dueMs() - now);
        deviationTimer.start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
    } else {
        deviationTimer.stop();
    }
}
