// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/HvModel.h"

#include <algorithm>
#include <cmath>

namespace {

QString voltText(double v)
{
    return QString::number(v, 'f', 1);
}

} // namespace

HvModel::HvModel(const QString &node, double initialVoltage, double rampRate, bool on,
                 Polarity modulePolarity)
    : SimDevice(node), rate(rampRate > 0 ? rampRate : 50), outputOn(on), polarity(modulePolarity)
{
    const double magnitude = on ? std::min(std::fabs(initialVoltage), usableMaximum()) : 0;
    volts = magnitude == 0 ? 0.0 : polarity * magnitude;
    targetVolts = volts;
    stat = on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

void HvModel::setStatus(const QString &value, DeviceEvents &events)
{
    const QString before = status();
    stat = value;
    reportStatus(before, events);
}

void HvModel::reportStatus(const QString &before, DeviceEvents &events)
{
    if (status() != before)
        events.append({QStringLiteral("_ChangedStat"), status()});
}

void HvModel::scheduleFault(const QString &word, double at, double lasts)
{
    faults.append({word, FaultWindow(at, lasts)});
}

void HvModel::resetFault(DeviceEvents &events)
{
    bool any = false;
    for (ScheduledFault &f : faults)
        any = f.window.reset() || any;
    if (!any)
        return;
    const QString before = status();
    fault.clear();
    reportStatus(before, events);
}

QString HvModel::switchOutput(bool on, DeviceEvents &events)
{
    if (on == outputOn)
        return ok();
    resetFault(events);
    outputOn = on;
    events.append(
        {QStringLiteral("_ChangedOnOff"), on ? QStringLiteral("1") : QStringLiteral("0")});
    if (!on) {
        // Switching off drops the output at once, not along the ramp.
        targetVolts = 0;
        if (volts != 0) {
            volts = 0;
            events.append({QStringLiteral("_ChangedValue"), voltText(volts)});
        }
    }
    setStatus(on ? QStringLiteral("ON") : QStringLiteral("OFF"), events);
    return ok();
}

QString HvModel::handle(const QString &command, const QString &params, DeviceEvents &events)
{
    if (command == QLatin1String("GetMaxV"))
        return QString::number(maxVolts, 'g', 10) + QLatin1Char('V');
    if (command == QLatin1String("GetVLimit"))
        return QString::number(limitPercent, 'g', 10);
    if (command == QLatin1String("GetV"))
        return voltText(volts);
    if (command == QLatin1String("GetSetV"))
        return voltText(targetVolts);
    if (command == QLatin1String("GetRamp"))
        return number(rate);
    if (command == QLatin1String("GetStat1"))
        return status();
    if (command == QLatin1String("IsControllable"))
        return outputOn ? QStringLiteral("1") : QStringLiteral("0");
    if (command == QLatin1String("IsBusy"))
        return QStringLiteral("0");

    if (command == QLatin1String("SetRamp")) {
        double value = 0;
        if (!toNumber(params, value) || value <= 0)
            return error(QStringLiteral("ramp rate must be a positive number of volts per second"));
        if (value != rate) {
            rate = value;
            events.append({QStringLiteral("_ChangedRampRate"), number(rate)});
        }
        return ok(number(rate));
    }
    if (command == QLatin1String("SetV")) {
        double value = 0;
        if (!toNumber(params, value))
            return error(QStringLiteral("voltage is not a number"));
        if (!outputOn)
            return error(QStringLiteral("output is switched off"));
        resetFault(events);
        // A negative value names its sign; a positive one is a magnitude in
        // the module's polarity. Either is held within the voltage limit.
        const double magnitude = std::min(std::fabs(value), usableMaximum());
        // (0 stays 0, never -0.)
        const double wanted = magnitude == 0 ? 0.0 : value < 0 ? -magnitude : polarity * magnitude;
        if (wanted != targetVolts) {
            targetVolts = wanted;
            events.append({QStringLiteral("_ChangedSetValue"), voltText(targetVolts)});
        }
        // Growing means away from 0 on the target's side.
        const bool sameSide = volts == 0 || (volts < 0) == (targetVolts < 0);
        if (targetVolts == volts)
            setStatus(QStringLiteral("ON"), events);
        else if (sameSide && std::fabs(targetVolts) > std::fabs(volts))
            setStatus(QStringLiteral("L2H"), events);
        else
            setStatus(QStringLiteral("H2L"), events);
        if (magnitude < std::fabs(value))
            return ok(QStringLiteral("limited to ") + voltText(wanted));
        return ok(voltText(targetVolts));
    }
    if (command == QLatin1String("SetOnOff")) {
        int on = 0;
        if (!toChoice(params, 1, on))
            return error(QStringLiteral("argument must be 0 (off) or 1 (on)"));
        return switchOutput(on == 1, events);
    }
    return error(QStringLiteral("unknown command ") + command);
}

void HvModel::advance(double seconds, DeviceEvents &events)
{
    if (seconds <= 0)
        return;
    clock += seconds;
    for (ScheduledFault &f : faults) {
        const FaultWindow::Step step = f.window.step(clock);
        if (step == FaultWindow::Step::None)
            continue;
        const QString before = status();
        // A fault that ends leaves the word of another one still lasting.
        fault.clear();
        for (const ScheduledFault &other : qAsConst(faults)) {
            if (other.window.isActive())
                fault = other.word;
        }
        reportStatus(before, events);
    }
    if (volts == targetVolts) {
        if (steadyReports)
            events.append({QStringLiteral("_ChangedValue"), voltText(volts)});
        return;
    }
    const double step = rate * seconds;
    if (std::fabs(targetVolts - volts) <= step)
        volts = targetVolts;
    else
        volts += targetVolts > volts ? step : -step;
    events.append({QStringLiteral("_ChangedValue"), voltText(volts)});
    if (volts == targetVolts)
        setStatus(QStringLiteral("ON"), events);
}
