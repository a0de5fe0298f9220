// SPDX-License-Identifier: GPL-3.0-or-later
// tesra-sim: a stand-in for the station's message server and its devices, so
// that Brenlow can be run and tested without a beamline. It listens on
// loopback only.

#include "sim/AmplifierModel.h"
#include "sim/HvModel.h"
#include "sim/RelayServer.h"
#include "sim/SignalWatcher.h"
#include "sim/SimOptions.h"
#include "sim/StationConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

void say(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tesra-sim"));

    SimOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), error)) {
        say(stderr, QStringLiteral("tesra-sim: ") + error);
        say(stderr, QStringLiteral("Try 'tesra-sim --help'."));
        return 2;
    }
    if (options.help) {
        say(stdout, options.helpText);
        return 0;
    }
    if (options.version) {
        std::fputs(qPrintable(SimOptions::versionText()), stdout);
        return 0;
    }

    StationConfig station;
    if (!options.stationFile.isEmpty() && !station.read(options.stationFile, error)) {
        say(stderr, QStringLiteral("tesra-sim: ") + error);
        return 1;
    }
    for (const QString &node : qAsConst(options.amplifierNodes)) {
        if (!station.addDevice({StationDevice::Amplifier, node, {}, {}})) {
            say(stderr, QStringLiteral("tesra-sim: cannot add amplifier node [%1]").arg(node));
            return 2;
        }
    }
    for (const QString &node : qAsConst(options.hvNodes)) {
        if (!station.addDevice({StationDevice::Hv, node, {}, {}})) {
            say(stderr, QStringLiteral("tesra-sim: cannot add HV node [%1]").arg(node));
            return 2;
        }
    }

    const QString keyPath =
        options.keyFile.isEmpty() ? station.keyFile + QStringLiteral(".key") : options.keyFile;
    QStringList keys;
    if (!readKeyWords(keyPath, keys, error)) {
        say(stderr, QStringLiteral("tesra-sim: ") + error);
        return 1;
    }

    int port = options.port;
    if (port < 0) {
        bool ok = false;
        port = station.port.trimmed().toInt(&ok, 10);
        if (!ok || port < 1 || port > 65535) {
            say(stderr, QStringLiteral("tesra-sim: the station's Tesra Port [%1] is not a port")
                            .arg(station.port));
            return 1;
        }
    }

    std::unique_ptr<QFile> logFile;
    if (!options.logPath.isEmpty()) {
        logFile = std::make_unique<QFile>();
        const bool opened = options.logPath == QLatin1String("-")
                                ? logFile->open(stdout, QIODevice::WriteOnly)
                                : (logFile->setFileName(options.logPath),
                                   logFile->open(QIODevice::WriteOnly | QIODevice::Append));
        if (!opened) {
            say(stderr, QStringLiteral("tesra-sim: cannot write the log %1").arg(options.logPath));
            return 1;
        }
    }

    RelayServer server(keys);
    server.setLog(logFile.get());
    QStringList nodes;
    for (const StationDevice &device : qAsConst(station.devices))
        nodes.append(device.node);
    for (const QString &node : qAsConst(options.mutedNodes)) {
        if (!nodes.contains(node)) {
            say(stderr, QStringLiteral("tesra-sim: --mute names no device node [%1]").arg(node));
            return 2;
        }
    }
    server.setMuted(options.mutedNodes);
    // The models by node, for the faults to be scheduled on them.
    QHash<QString, AmplifierModel *> amplifiers;
    QHash<QString, HvModel *> hvModules;
    int index = 0;
    for (const StationDevice &device : qAsConst(station.devices)) {
        if (device.kind == StationDevice::Amplifier) {
            // Each chamber gets its own current and drift phase, so the
            // amplifiers do not move in step.
            auto amp = std::make_unique<AmplifierModel>(
                device.node, device.timeConstants, device.ranges, 2e-9 * (1 + index), 1.3 * index);
            amplifiers.insert(device.node, amp.get());
            server.addDevice(std::move(amp));
            ++index;
        } else {
            auto hv =
                std::make_unique<HvModel>(device.node, options.hvVoltage, options.hvRampRate, true,
                                          device.negative ? HvModel::Negative : HvModel::Positive);
            hv->setSteadyReports(options.hvEventRate > 0);
            if (options.hvTarget >= 0) {
                // Set before anyone listens: nothing to report yet.
                DeviceEvents unheard;
                hv->handle(QStringLiteral("SetV"), QString::number(options.hvTarget), unheard);
            }
            hvModules.insert(device.node, hv.get());
            server.addDevice(std::move(hv));
        }
    }
    for (const SimFault &fault : qAsConst(options.faults)) {
        HvModel *hv = hvModules.value(fault.node);
        if (!hv) {
            say(stderr,
                QStringLiteral("tesra-sim: --fault names no HV module node [%1]").arg(fault.node));
            return 2;
        }
        hv->scheduleFault(fault.word, fault.at, fault.lasts);
    }
    for (const SimFault &fault : qAsConst(options.overloads)) {
        AmplifierModel *amp = amplifiers.value(fault.node);
        if (!amp) {
            say(stderr, QStringLiteral("tesra-sim: --overload names no amplifier node [%1]")
                            .arg(fault.node));
            return 2;
        }
        amp->scheduleOverload(fault.at, fault.lasts);
    }

    if (options.hvEventRate > 0)
        server.setTickInterval(std::max(1, int(std::lround(1000 / options.hvEventRate))));
    if (!server.listen(QHostAddress(options.address), quint16(port), error)) {
        say(stderr, QStringLiteral("tesra-sim: cannot listen on %1:%2: %3")
                        .arg(options.address)
                        .arg(port)
                        .arg(error));
        return 1;
    }

    SignalWatcher watcher;
    if (!watcher.install())
        say(stderr, QStringLiteral("tesra-sim: cannot watch SIGINT/SIGTERM"));
    QObject::connect(&watcher, &SignalWatcher::terminate, &app,
                     [](int) { QCoreApplication::quit(); });
    QTimer dropTimer;
    if (options.dropEvery > 0) {
        dropTimer.setInterval(int(options.dropEvery * 1000));
        QObject::connect(&dropTimer, &QTimer::timeout, &server,
                         [&server, &options] { server.dropAll(int(options.refuseFor * 1000)); });
        dropTimer.start();
    }
    if (options.quitAfter > 0)
        QTimer::singleShot(int(options.quitAfter * 1000), &app, &QCoreApplication::quit);

    say(stdout,
        QStringLiteral("tesra-sim listening on %1:%2").arg(options.address).arg(server.port()));
    say(stdout, QStringLiteral("tesra-sim devices: %1")
                    .arg(nodes.isEmpty() ? QStringLiteral("none") : nodes.join(QLatin1Char(' '))));
    if (!options.mutedNodes.isEmpty())
        say(stdout,
            QStringLiteral("tesra-sim muted: %1").arg(options.mutedNodes.join(QLatin1Char(' '))));

    const int status = app.exec();
    server.stop();
    return status;
}
