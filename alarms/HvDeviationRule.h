// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// What decides an HV module's deviation alarm, from the station file.
struct HvDeviationSettings
{
    // The station's "HV Tolerance": volts, or percent of the set voltage.
    double tolerance = 5.0;
    bool percent = true;
    // The station's "Alarm Delay".
    qint64 delayMs = 5000;
    // The module's "Voltage Tolerance".
    double floorVolts = 0.0;
};

// When an HV module is off its set voltage for long enough to be an alarm.
//
// The module must be "ON" (not ramping, not off, not faulted), a set voltage
// must have been applied to it, and its read voltage must lie further from
// that set voltage than the tolerance, without a break, for the alarm delay.
// Voltages are compared by magnitude: the panel applies magnitudes, and a
// negative module reads its own sign. The tolerance is in volts or a
// percentage of the set voltage, and never less than the module's own
// "Voltage Tolerance", the voltage it takes as no voltage at all.
//
// The rule holds no clock and no timer: the caller hands in the time with
// every change, asks whether the alarm holds, and asks when it would hold if
// nothing changed, to look again then.
class HvDeviationRule
{
public:
    using Settings = HvDeviationSettings;

    explicit HvDeviationRule(const Settings &settings = Settings()) : rule(settings) {}

    // The module's state from nowMs on; hasSetV false when no set voltage has
    // been applied (nothing to compare with).
    void update(const QString &status, double readV, bool hasSetV, double setV, qint64 nowMs);

    // Whether the alarm holds at nowMs.
    bool holds(qint64 nowMs) const;
    // When it will hold if nothing changes; 0 when it is not deviating.
    qint64 dueMs() const;
    bool isDeviating() const { return since != 0; }

    // The tolerance in volts for a set voltage.
    double toleranceFor(double setV) const;
    const Settings &settings() const { return rule; }

private:
    Settings rule;
    // Since when the module has been off its set voltage; 0 while it is not.
    qint64 since = 0;
};
