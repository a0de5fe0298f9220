// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmClock.h"
#include "alarms/AlarmList.h"
#include "devices/StationDevices.h"

#include <QByteArray>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <memory>

class FakeTesraServer;
class QTemporaryDir;

namespace TestSupport {

// A clock of the test's own for the alarms: it stands still until moved.
class ManualClock : public AlarmClock
{
public:
    qint64 nowMs() const override { return ms; }
    qint64 ms = 1000000;
};

// "raised hv-fault TRIP", "cleared silent", ...: the transitions an alarm
// list signalled, each with the value that raised it.
QStringList alarmTransitions(const QSignalSpy &spy);

// A running station of the test's own without any window: the devices of a
// station file aimed at the fake server, whose alarms go by a ManualClock
// and are watched from the start. The file is body after the server's keys;
// "Answer Timeout=0" is added unless body names an answer timeout, so that
// no device falls silent while a test dawdles.
class AlarmStation
{
public:
    AlarmStation(FakeTesraServer &server, const QTemporaryDir &dir, const QByteArray &body);
    ~AlarmStation();
    AlarmStation(const AlarmStation &) = delete;
    AlarmStation &operator=(const AlarmStation &) = delete;

    // Connects and waits for the link to be ready.
    bool connect();
    // Sends lines from the server and waits until the client has routed
    // them.
    bool deliver(const QStringList &lines);
    // Moves the clock on, and lets every module look at its conditions
    // again whose timer would have been due by then.
    void wait(qint64 ms);

    StationDevices &devices() { return *station; }
    AlarmList &alarms() { return *station->alarms(); }
    QStringList transitions() const { return alarmTransitions(*spy); }

    ManualClock clock;

private:
    FakeTesraServer &fake;
    std::unique_ptr<StationDevices> station;
    std::unique_ptr<QSignalSpy> spy;
};

} // namespace TestSupport
