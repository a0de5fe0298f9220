// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimDevice.h"

#include <QString>
#include <QVector>

// A simulated high-voltage module channel.
//
// "SetV" gives the target voltage; the output then ramps towards it at the
// ramp rate (volts per second, "SetRamp") as time advances, with the status
// "L2H" going up and "H2L" going down, and settles at "ON". While it moves it
// raises "_ChangedValue" with the voltage on every tick, and each new status
// raises "_ChangedStat".
//
// The channel's output switch decides whether it can be operated at all: with
// the output switched on the channel rests at "ON", also at 0 V (the panel
// applies a set voltage only to a channel in "ON", "L2H" or "H2L"). Switching
// it off ("SetOnOff 0", as a front-panel switch would) drops the output to
// 0 V with the status "OFF"; switching raises "_ChangedOnOff" with the
// switch (1 on), which is also what "IsControllable" reports.
//
// A scheduled fault (a trip, an interlock) makes the module report another
// status word from a time on, whatever its output does meanwhile; the fault
// ends when its time is up, or earlier when the module is given a new set
// voltage or is switched, as a channel's trip is reset. The output voltage
// is left as it is: the fault is a status the module reports.
class HvModel : public SimDevice
{
public:
    enum Polarity { Positive = 1, Negative = -1 };

    // initialVoltage is a magnitude in the module's polarity.
    explicit HvModel(const QString &node, double initialVoltage = 0, double rampRate = 50,
                     bool outputOn = true, Polarity polarity = Positive);

    QString handle(const QString &command, const QString &params, DeviceEvents &events) override;
    void advance(double seconds, DeviceEvents &events) override;

    double voltage() const { return volts; }
    double target() const { return targetVolts; }
    Polarity modulePolarity() const { return polarity; }
    double rampRate() const { return rate; }
    // The status the module reports: a fault's word while one lasts.
    QString status() const { return fault.isEmpty() ? stat : fault; }
    bool isOutputOn() const { return outputOn; }
    double usableMaximum() const { return maxVolts * limitPercent / 100; }
    // Reports the voltage on every tick, also while it rests, as a module
    // polled by its controller would.
    void setSteadyReports(bool on) { steadyReports = on; }
    // From at seconds of the module's time on, the module reports word as
    // its status, for lasts seconds (0: until reset).
    void scheduleFault(const QString &word, double at, double lasts);

private:
    void setStatus(const QString &value, DeviceEvents &events);
    QString switchOutput(bool on, DeviceEvents &events);
    // Reports the status after it may have changed from before.
    void reportStatus(const QString &before, DeviceEvents &events);
    void resetFault(DeviceEvents &events);

    struct ScheduledFault
    {
        QString word;
        FaultWindow window;
    };

    double maxVolts = 3000;
    double limitPercent = 80;
    double volts = 0;
    double targetVolts = 0;
    double rate;
    // The status of the output's motion; a fault's word stands in for it.
    QString stat;
    QString fault;
    QVector<ScheduledFault> faults;
    double clock = 0;
    bool outputOn;
    Polarity polarity;
    bool steadyReports = false;
};
