// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/StationDevices.h"

#include "alarms/AlarmList.h"
#include "alarms/ModuleAlarms.h"
#include "client/AnswerWatch.h"
#include "client/Logging.h"
#include "client/Reconnector.h"
#include "devices/AmplifierDevice.h"
#include "devices/HvDevice.h"

StationDevices::StationDevices(const Station &station, bool readOnlySwitch, QObject *parent)
    : QObject(parent), file(station), readOnly(readOnlySwitch || station.readOnly)
{
    // Each problem of the station file once in the debug log; the window
    // says in its status bar what changes the program's behaviour.
    for (const StationProblem &problem : qAsConst(file.problems))
        qCDebug(lcConfig).noquote() << problem.text();
    openCommandLog();
    setUpClient();
    setUpAlarms();
    setUpDevices();
}

StationDevices::~StationDevices()
{
    release();
    // The devices go first, then the client they pointed to; the client's
    // last signals (the link going down as it closes) find no command log
    // to write to.
    qDeleteAll(all);
    all.clear();
    disconnect(tesra, nullptr, this, nullptr);
    delete retry;
    delete tesra;
}

void StationDevices::openCommandLog()
{
    if (file.commandLog.isEmpty())
        return;
    // The program runs on without its record; whoever shows the station
    // says so.
    if (!log.open(file.commandLog)) {
        qCDebug(lcConfig).noquote() << QStringLiteral("command log [%1] cannot be opened: %2")
                                           .arg(file.commandLog, log.errorString());
        logFailed = true;
    }
}

void StationDevices::setUpClient()
{
    tesra = new Tesra;
    tesra->setReadOnly(readOnly);
    if (log.isOpen()) {
        tesra->setCommandLog(&log);
        connect(tesra, &Tesra::LinkStateChanged, this, &StationDevices::logLinkEvent);
    }
    tesra->SetKeyFile(file.keyFile, file.clientName);
    tesra->SetNewSVAddress(file.serverAddress);
    tesra->SetNewSVPort(file.serverPort);
    tesra->setDeadLinkTimeout(file.deadLinkTimeoutMs);
    if (file.reconnectIntervalMs > 0)
        retry = new Reconnector(tesra, file.reconnectIntervalMs);
}

void StationDevices::setUpDevices()
{
    // In the order the window has always built its panels: every HV module,
    // then every amplifier; each takes the client right away.
    for (const StationHv &module : qAsConst(file.hvModules)) {
        auto *device = new HvDevice(this);
        device->setSection(module.name);
        device->setClient(tesra);
        device->address() = {module.id, module.driver, module.ch};
        device->setVoltageList(module.voltages);
        device->selectVoltage(module.select);
        device->setVoltageEditable(module.voltageEditable);
        device->state().voltageTolerance = module.tolerance;
        device->answerWatch()->setTimeout(file.answerTimeoutMs);
        HvDeviationRule::Settings deviation = file.deviation;
        deviation.floorVolts = module.tolerance;
        reportAlarms(device, AlarmConditions::ModuleKind::Hv, deviation);
        all.append(device);
    }
    for (const StationAmp &module : qAsConst(file.ampModules)) {
        auto *device = new AmplifierDevice(this);
        device->setSection(module.name);
        device->setClient(tesra);
        device->setDisplayName(module.name);
        device->address() = {module.id, module.driver, module.ch};
        device->setTimeConstants(module.tcTable);
        device->setRanges(module.rangeTable);
        device->setTableFile(module.csprFile);
        device->setPollErrors(module.pollErrors);
        device->answerWatch()->setTimeout(file.answerTimeoutMs);
        reportAlarms(device, AlarmConditions::ModuleKind::Amplifier, file.deviation);
        all.append(device);
    }
}

void StationDevices::setUpAlarms()
{
    alarmList = new AlarmList(nullptr, this);
    alarmList->setReadOnly(readOnly);
    alarmList->watchStation(file);
    if (log.isOpen())
        connect(alarmList, &AlarmList::transitioned, this,
                [this](AlarmList::Transition transition, const AlarmRecord &record) {
                    log.write(AlarmList::logLine(transition, record));
                });
    // After the command log's own line for the link event.
    connect(tesra, &Tesra::LinkStateChanged, this, &StationDevices::reportLink);
}

void StationDevices::reportAlarms(Device *device, AlarmConditions::ModuleKind kind,
                                  const HvDeviationRule::Settings &deviation)
{
    device->reportAlarms(new ModuleAlarms(alarmList, device->section(),
                                          AlarmConditions::alertOf(kind), deviation, device));
}

void StationDevices::reportLink(Tesra::LinkState state)
{
    using AlarmConditions::Condition;
    switch (state) {
    case Tesra::LinkState::Ready:
        alarmList->report(QString(), Condition::LinkLost, false);
        break;
    case Tesra::LinkState::Lost:
    case Tesra::LinkState::Refused:
        alarmList->report(QString(), Condition::LinkLost, true, server());
        break;
    default:
        // On its way, or never to be made: the configuration's problem,
        // which the status bar names.
        break;
    }
}

QList<Device *> StationDevices::unitsOf(const StationChamber &chamber) const
{
    // The devices follow the station's module lists: the HV modules, then
    // the amplifiers.
    const int hvCount = file.hvModules.size();
    QList<Device *> units;
    if (chamber.hvIndex >= 0 && chamber.hvIndex < hvCount)
        units << all.at(chamber.hvIndex);
    if (chamber.ampIndex >= 0 && chamber.ampIndex < file.ampModules.size())
        units << all.at(hvCount + chamber.ampIndex);
    return units;
}

const StationModule &StationDevices::moduleOf(const Device *device) const
{
    const int index = all.indexOf(const_cast<Device *>(device));
    const int hvCount = file.hvModules.size();
    if (index < hvCount)
        return file.hvModules.at(qMax(index, 0));
    return file.ampModules.at(index - hvCount);
}

void StationDevices::connectToServer()
{
    tesra->MakeConnection();
}

void StationDevices::release()
{
    disconnect(tesra, &Tesra::LinkStateChanged, this, &StationDevices::reportLink);
    for (Device *device : qAsConst(all))
        device->release();
}

QString StationDevices::server() const
{
    return QStringLiteral("%1:%2").arg(tesra->serverAddress()).arg(tesra->serverPort());
}

bool StationDevices::linkReady() const
{
    return tesra->linkState() == Tesra::LinkState::Ready;
}

bool StationDevices::linkGivenUp() const
{
    switch (tesra->linkState()) {
    case Tesra::LinkState::NoValidPort:
    case Tesra::LinkState::NoValidName:
        return true;
    case Tesra::LinkState::Lost:
    case Tesra::LinkState::Refused:
        return retry == nullptr;
    default:
        return false;
    }
}

void StationDevices::logLinkEvent(Tesra::LinkState state)
{
    // The record keeps the events that matter afterwards; the steps of a
    // connection being made do not.
    QString event;
    switch (state) {
    case Tesra::LinkState::Ready:
        event = QStringLiteral("link connected to %1:%2 as %3")
                    .arg(tesra->serverAddress())
                    .arg(tesra->serverPort())
                    .arg(tesra->name());
        break;
    case Tesra::LinkState::Lost:
        event = loggedLink == Tesra::LinkState::Ready
                    ? QStringLiteral("link lost")
                    : QStringLiteral("link lost: cannot connect to %1:%2")
                          .arg(tesra->serverAddress())
                          .arg(tesra->serverPort());
        break;
    case Tesra::LinkState::Refused:
        event = tesra->refusal() == Tesra::Refusal::NoAnswer
                    ? QStringLiteral("link cut off: no answer from %1:%2 during the handshake")
                    : QStringLiteral("link refused by %1:%2");
        event = event.arg(tesra->serverAddress()).arg(tesra->serverPort());
        break;
    case Tesra::LinkState::NoValidPort:
        event = QStringLiteral("link not made: no valid port");
        break;
    case Tesra::LinkState::NoValidName:
        event = QStringLiteral("link not made: the client name is not one word");
        break;
    default:
        break;
    }
    loggedLink = state;
    if (!event.isEmpty())
        log.write(event);
}
