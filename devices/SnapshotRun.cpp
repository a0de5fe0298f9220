// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/SnapshotRun.h"

#include "client/Logging.h"
#include "client/Tesra.h"
#include "devices/StationDevices.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTextStream>
#include <algorithm>

SnapshotRun::SnapshotRun(StationDevices &devices, QObject *parent)
    : QObject(parent), station(devices)
{
    pokeTimer.setSingleShot(true);
    pokeTimer.setInterval(0);
    connect(&pokeTimer, &QTimer::timeout, this, &SnapshotRun::advance);
    tick.setInterval(TickMs);
    connect(&tick, &QTimer::timeout, this, &SnapshotRun::advance);
    // Every answer may be the one a run waits for.
    for (Device *device : station.devices())
        connect(device, &Device::changed, this, &SnapshotRun::poke);
    connect(station.client(), &Tesra::LinkStateChanged, this, &SnapshotRun::poke);
}

SnapshotRun::~SnapshotRun() = default;

Snapshot SnapshotRun::gather() const
{
    Snapshot snapshot;
    const QDateTime now = QDateTime::currentDateTime();
    snapshot.taken = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    snapshot.station = QFileInfo(station.station().path).absoluteFilePath();
    snapshot.server = station.server();
    for (const Device *device : station.devices()) {
        SnapshotModule module;
        module.section = device->section();
        module.node = device->node();
        for (int k = 0; k < device->settings().size(); ++k)
            module.values.append(device->reported(k));
        if (device->scope() == SnapshotDifference::Amplifier)
            snapshot.amplifiers.append(module);
        else
            snapshot.hv.append(module);
    }
    return snapshot;
}

bool SnapshotRun::allAnswered() const
{
    if (!station.linkReady())
        return false;
    for (const Device *device : station.devices()) {
        if (!device->hasAnswered())
            return false;
    }
    return true;
}

QVector<SnapshotDifference> SnapshotRun::sentDifferences(const Snapshot &snapshot) const
{
    QVector<SnapshotDifference> found;
    for (const SnapshotDifference &difference : Snapshot::compare(snapshot, gather())) {
        if (difference.setting < 0)
            continue;
        if (!restores(difference.scope, difference.section))
            continue;
        for (const Device *device : station.devices()) {
            if (device->scope() == difference.scope && device->section() == difference.section &&
                device->restoreOf(difference.setting) == Device::Restore::Send) {
                found.append(difference);
                break;
            }
        }
    }
    return found;
}

bool SnapshotRun::restoresBySending(const Device *device)
{
    for (int k = 0; k < device->settings().size(); ++k) {
        if (device->restoreOf(k) == Device::Restore::Send)
            return true;
    }
    return false;
}

// ---- command line -------------------------------------------------------

void SnapshotRun::runCommand(Command command, const QString &fileName, QTextStream &output,
                             QTextStream &errors)
{
    out = &output;
    err = &errors;
    file = fileName;
    fromCommandLine = true;
    if (command != Command::Save) {
        QString error;
        if (!Snapshot::load(file, saved, error)) {
            *err << QStringLiteral("brenlow: cannot read the snapshot [%1]: %2").arg(file, error)
                 << '\n';
            finish(CannotRunStatus);
            return;
        }
        for (const SnapshotRefusal &value : qAsConst(saved.refused))
            *err << QStringLiteral("brenlow: not used: %1").arg(value.line()) << '\n';
    }
    if (command == Command::Restore && station.isReadOnly()) {
        *err << QStringLiteral("brenlow: read-only mode: the snapshot [%1] is not restored")
                    .arg(file)
             << '\n';
        finish(1);
        return;
    }
    start(command);
}

bool SnapshotRun::startRestore(const Snapshot &snapshot, const QString &fileName)
{
    if (station.isReadOnly() || !station.linkReady() || isRunning())
        return false;
    saved = snapshot;
    file = fileName;
    fromCommandLine = false;
    out = nullptr;
    err = nullptr;
    start(Command::Restore);
    return true;
}

void SnapshotRun::setPhase(Phase next)
{
    const bool wasRunning = isRunning();
    phase = next;
    if (wasRunning != isRunning())
        emit runningChanged(isRunning());
}

void SnapshotRun::start(Command command)
{
    job = command;
    phaseClock.start();
    steps.clear();
    nextStep = 0;
    refused.clear();
    skipped.clear();
    tick.start();
    setPhase(Phase::Answers);
    poke();
}

void SnapshotRun::poke()
{
    // The answer is taken up once the client has delivered it everywhere,
    // outside the client's signal.
    if (isRunning() && !pokeTimer.isActive())
        pokeTimer.start();
}

void SnapshotRun::advance()
{
    switch (phase) {
    case Phase::Idle:
        return;
    case Phase::Answers:
        if (allAnswered() || phaseClock.elapsed() >= AnswerWaitMs || station.linkGivenUp())
            answersIn();
        return;
    case Phase::Steps:
        stepRestore();
        return;
    case Phase::ReadBack:
        checkReadBack();
        return;
    }
}

void SnapshotRun::answersIn()
{
    if (!station.linkReady()) {
        // Nothing was compared, so a script must not read it as differences.
        if (fromCommandLine) {
            *err << QStringLiteral("brenlow: no link to the server %1").arg(station.server())
                 << '\n';
            finish(job == Command::Save ? 1 : CannotRunStatus);
        } else if (job == Command::Restore) {
            finishRestore(false);
        } else {
            finish(1);
        }
        return;
    }
    if (job == Command::Restore) {
        beginSteps();
        return;
    }
    const Snapshot live = gather();
    if (job == Command::Compare) {
        const QVector<SnapshotDifference> found = Snapshot::compare(saved, live);
        for (const SnapshotDifference &difference : found)
            *out << difference.line() << '\n';
        finish(found.isEmpty() ? 0 : 1);
        return;
    }
    QString error;
    if (!live.save(file, error)) {
        *err << QStringLiteral("brenlow: cannot write the snapshot [%1]: %2").arg(file, error)
             << '\n';
        finish(1);
        return;
    }
    qCDebug(lcWindow).noquote() << "snapshot written to" << file;
    if (const int nulls = live.nullCount()) {
        *err << QStringLiteral("brenlow: snapshot [%1] written; %2 value(s) were not reported "
                               "and are null")
                    .arg(file)
                    .arg(nulls)
             << '\n';
        finish(2);
        return;
    }
    finish(0);
}

void SnapshotRun::finish(int status)
{
    tick.stop();
    setPhase(Phase::Idle);
    if (out)
        out->flush();
    if (err)
        err->flush();
    // Never inside the caller: the command line connects this to the end of
    // the event loop, which may not be running yet.
    QTimer::singleShot(0, this, [this, status] { emit commandFinished(status); });
}

// ---- restore ------------------------------------------------------------

QJsonValue SnapshotRun::savedValue(const Device *device, int setting) const
{
    const QVector<SnapshotModule> &modules =
        device->scope() == SnapshotDifference::Amplifier ? saved.amplifiers : saved.hv;
    for (const SnapshotModule &module : modules) {
        if (module.section == device->section())
            return module.values.value(setting);
    }
    return QJsonValue();
}

bool SnapshotRun::restores(SnapshotDifference::Scope scope, const QString &section) const
{
    return std::none_of(skipped.begin(), skipped.end(), [&](const SnapshotRefusal &module) {
        return module.scope == scope && module.section == section;
    });
}

void SnapshotRun::beginSteps()
{
    const Snapshot live = gather();
    const QVector<SnapshotDifference> found = Snapshot::compare(saved, live);
    skipped = Snapshot::elsewhere(saved, live);
    if (fromCommandLine) {
        for (const SnapshotDifference &difference : found)
            *out << difference.line() << '\n';
        out->flush();
        // A station may move to another server; its devices are known by
        // their nodes, so the server alone decides nothing.
        if (!saved.server.isEmpty() && saved.server != live.server)
            *err << QStringLiteral("brenlow: warning: the snapshot was taken through the server "
                                   "%1, the station now uses %2")
                        .arg(Snapshot::printable(saved.server), live.server)
                 << '\n';
        for (const SnapshotRefusal &module : qAsConst(skipped))
            *err << QStringLiteral("brenlow: not restored: %1").arg(module.line()) << '\n';
    }
    // What is only filled in (an HV module's set voltage, which waits for
    // the operator's Start) is filled in at once, and sends nothing.
    for (const SnapshotDifference &difference : found) {
        if (difference.setting < 0 || !restores(difference.scope, difference.section))
            continue;
        for (Device *device : station.devices()) {
            if (device->scope() == difference.scope && device->section() == difference.section &&
                device->restoreOf(difference.setting) == Device::Restore::FillIn)
                device->put(difference.setting, difference.saved);
        }
    }
    for (Device *device : station.devices()) {
        if (!restores(device->scope(), device->section()))
            continue;
        for (int k = 0; k < device->settings().size(); ++k) {
            if (device->restoreOf(k) == Device::Restore::Send && !savedValue(device, k).isNull())
                steps.append({device, k});
        }
    }
    setPhase(Phase::Steps);
    phaseClock.restart();
    stepRestore();
}

void SnapshotRun::stepRestore()
{
    while (nextStep < steps.size()) {
        if (phaseClock.elapsed() >= ReadBackMs || !station.linkReady()) {
            finishRestore(false);
            return;
        }
        const Step &step = steps.at(nextStep);
        // The answers to the last change come first: a late status answer
        // would otherwise undo this change in the device's controls.
        if (step.device->awaitsAnswers())
            return;
        ++nextStep;
        const SnapshotSetting &setting = step.device->settings().at(step.setting);
        const QJsonValue value = savedValue(step.device, step.setting);
        if (Snapshot::sameValue(setting, value, step.device->reported(step.setting)))
            continue;
        if (!step.device->put(step.setting, value)) {
            refused << QStringLiteral("%1\t%2\t%3")
                           .arg(step.device->section(), QLatin1String(setting.key),
                                Snapshot::valueText(value));
            continue;
        }
        return;
    }
    setPhase(Phase::ReadBack);
    lastQuery.start();
    checkReadBack();
}

void SnapshotRun::checkReadBack()
{
    const bool expired = phaseClock.elapsed() >= ReadBackMs;
    for (const Device *device : station.devices()) {
        if (restoresBySending(device) && device->awaitsAnswers()) {
            if (expired)
                finishRestore(false);
            return;
        }
    }
    const QVector<SnapshotDifference> remaining = sentDifferences(saved);
    if (remaining.isEmpty()) {
        finishRestore(true);
        return;
    }
    if (expired || !station.linkReady()) {
        finishRestore(false);
        return;
    }
    if (lastQuery.elapsed() < RequeryMs)
        return;
    lastQuery.restart();
    for (Device *device : station.devices()) {
        for (const SnapshotDifference &difference : remaining) {
            if (difference.scope == device->scope() && difference.section == device->section()) {
                device->askValues();
                break;
            }
        }
    }
}

void SnapshotRun::finishRestore(bool readBack)
{
    const QVector<SnapshotDifference> remaining = sentDifferences(saved);
    // What the file holds and was not put back counts against the restore
    // as much as what did not read back.
    const bool ok = readBack && skipped.isEmpty() && saved.refused.isEmpty();
    if (fromCommandLine) {
        for (const QString &line : qAsConst(refused))
            *err << QStringLiteral("brenlow: cannot be set through the panel: %1").arg(line)
                 << '\n';
        if (!readBack) {
            for (const SnapshotDifference &difference : remaining)
                *err << QStringLiteral("brenlow: did not read back: %1").arg(difference.line())
                     << '\n';
        }
        finish(ok ? 0 : 1);
    } else {
        tick.stop();
        setPhase(Phase::Idle);
    }
    emit restoreFinished(ok, readBack, remaining.size());
}
