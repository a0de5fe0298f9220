// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmStation.h"

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "alarms/ModuleAlarms.h"
#include "devices/Device.h"
#include "station/Station.h"

#include <QTemporaryDir>
#include <QtTest>

namespace TestSupport {

QStringList alarmTransitions(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy) {
        const auto transition = args.at(0).value<AlarmList::Transition>();
        const auto record = args.at(1).value<AlarmRecord>();
        QString line = AlarmList::transitionName(transition) + QLatin1Char(' ') + record.condition;
        if (transition == AlarmList::Transition::Raised && !record.value.isEmpty())
            line += QLatin1Char(' ') + record.value;
        out.append(line);
    }
    return out;
}

AlarmStation::AlarmStation(FakeTesraServer &server, const QTemporaryDir &dir,
                           const QByteArray &body)
    : fake(server)
{
    qRegisterMetaType<AlarmList::Transition>();
    qRegisterMetaType<AlarmRecord>();
    QByteArray file = body;
    if (!file.contains("Answer Timeout="))
        file.prepend("Answer Timeout=0\n");
    station = std::make_unique<StationDevices>(
        Station::read(writeStation(dir, QString::number(server.port()), file)), false);
    station->alarms()->setClock(&clock);
    spy = std::make_unique<QSignalSpy>(station->alarms(), &AlarmList::transitioned);
}

AlarmStation::~AlarmStation() = default;

bool AlarmStation::connect()
{
    station->connectToServer();
    return QTest::qWaitFor([this] { return station->linkReady(); }, 5000);
}

bool AlarmStation::deliver(const QStringList &lines)
{
    return TestSupport::deliver(fake, *station->client(), lines);
}

void AlarmStation::wait(qint64 ms)
{
    clock.ms += ms;
    for (Device *device : station->devices()) {
        ModuleAlarms *alarms = device->alarms();
        if (alarms && alarms->deviationDueMs() != 0 && alarms->deviationDueMs() <= clock.ms)
            alarms->recheck();
    }
}

} // namespace TestSupport
