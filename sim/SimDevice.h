// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>

// One change report of a simulated device: the event word (beginning with
// "_") and its parameters. The relay addresses it to every subscriber of the
// device's node.
struct DeviceEvent
{
    QString word;
    QString params;
};

using DeviceEvents = QVector<DeviceEvent>;

// A fault that a device shows from a time on its own clock (seconds since
// the simulator started), for a while or until something resets it: the
// simulator's --fault and --overload. step() tells, once each, when the
// fault begins and when its time is up; reset() ends it early.
class FaultWindow
{
public:
    enum class Step { None, Begins, Ends };

    // lasts 0: until reset.
    FaultWindow(double at, double lasts) : start(at), length(lasts) {}

    Step step(double clock);
    // Ends an active fault; true when there was one.
    bool reset();
    bool isActive() const { return active; }

private:
    double start;
    double length;
    bool begun = false;
    bool active = false;
};

// A device node of the station simulator.
//
// The relay hands every request addressed to the node to handle(), which
// changes or reports the device's state and returns the parameters of the
// reply ("@" and the command word, sent back to the requester). Time moves on
// only through advance(), called by the relay's tick timer with the seconds
// since the previous tick, so the models run without sockets or timers and
// can be driven step by step. Both calls append what changed to events.
class SimDevice
{
public:
    explicit SimDevice(const QString &node) : nodeName(node) {}
    virtual ~SimDevice();

    SimDevice(const SimDevice &) = delete;
    SimDevice &operator=(const SimDevice &) = delete;

    QString node() const { return nodeName; }

    virtual QString handle(const QString &command, const QString &params, DeviceEvents &events) = 0;
    virtual void advance(double seconds, DeviceEvents &events) = 0;

    // Texts shared by the models' replies.
    static QString ok(const QString &value = QString());
    static QString error(const QString &reason);
    // A decimal number in C conventions; false for anything else (also inf, nan).
    static bool toNumber(const QString &text, double &value);
    // A whole number from 0 to max; false for anything else.
    static bool toChoice(const QString &text, int max, int &value);
    // Shortest round-trip text of a number, as the devices report values.
    static QString number(double value);

private:
    QString nodeName;
};
