// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/ModuleAlarms.h"

#include "alarms/AlarmList.h"
#include "client/Values.h"

#include <algorithm>
#include <limits>

using AlarmConditions::Condition;

ModuleAlarms::ModuleAlarms(AlarmList *alarmList, const QString &module, Condition alert,
                           const HvDeviationRule::Settings &settings, QObject *parent)
    : QObject(parent), list(alarmList), section(module), alertCondition(alert), deviation(settings)
{
    deviationTimer.setSingleShot(true);
    connect(&deviationTimer, &QTimer::timeout, this, &ModuleAlarms::recheck);
}

qint64 ModuleAlarms::now() const
{
    return list ? list->now() : 0;
}

void ModuleAlarms::report(Condition condition, bool holds, const QString &value)
{
    std::optional<bool> &last = handed.at(size_t(condition));
    if (stopped || !list || last == holds)
        return;
    last = holds;
    list->report(section, condition, holds, value);
}

void ModuleAlarms::alert(bool on, const QString &text)
{
    // An HV module whose voltage came before any status, or whose status
    // came empty, has the Start button's red for want of a word; nothing is
    // known to be wrong with it.
    const bool wordless = alertCondition == Condition::HvFault && text.trimmed().isEmpty();
    report(alertCondition, on && !wordless, text.simplified());
}

void ModuleAlarms::hvState(const QString &newStatus, const QString &newReading, bool isApplied,
                           double voltage)
{
    // Every value event of the module comes here: only a change is worth
    // reading the voltage again.
    if (newStatus == status && newReading == reading && isApplied == applied && voltage == setV)
        return;
    status = newStatus;
    reading = newReading;
    applied = isApplied;
    setV = voltage;
    evaluateDeviation();
}

void ModuleAlarms::silent(bool on, const QString &node)
{
    report(Condition::Silent, on, node);
}

void ModuleAlarms::stop()
{
    stopped = true;
    deviationTimer.stop();
}

void ModuleAlarms::evaluateDeviation()
{
    // A module that has not reported a voltage (or reported none that reads
    // as one) is not known to be anywhere: no deviation from "0 V".
    const bool known = Values::isNumber(reading.trimmed());
    deviation.update(status, known ? Values::toNumber(reading) : 0.0, applied && known, setV,
                     now());
    recheck();
}

void ModuleAlarms::recheck()
{
    if (stopped)
        return;
    const qint64 at = now();
    const bool holds = deviation.holds(at);
    report(Condition::HvDeviation, holds,
           QStringLiteral("%1 V (set %2 V)").arg(reading.trimmed()).arg(setV));
    // Nothing may come from the module while it sits off its voltage: look
    // again when the delay is up.
    if (deviation.isDeviating() && !holds) {
        const qint64 wait = std::max<qint64>(0, deviation.dueMs() - at);
        deviationTimer.start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
    } else {
        deviationTimer.stop();
    }
}
