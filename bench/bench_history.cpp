// SPDX-License-Identifier: GPL-3.0-or-later
// What the history costs: the memory one module's series take after a
// simulated day of ten values a second (the goal: at most 2 MiB a module),
// and the receive path's time per routed line with and without the
// recorder following the client. It measures; the exit status says whether
// the memory goal is met.
//
//     build/bench/bench_history [--modules N] [--lines N] [--rounds N]

#include "client/Tesra.h"
#include "devices/HvDevice.h"
#include "fuzz/FeedDevice.h"
#include "history/History.h"
#include "history/Recorder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 GoalBytesPerModule = 2 * MiB;
constexpr int EventsPerSecond = 10;

qint64 heapInUse()
{
    return qint64(mallinfo2().uordblks);
}

// A day of an HV module ramping up and down, at ten voltages a second and a
// status change a minute, stamped with simulated times.
void simulateDay(History &history, const QString &module, qint64 start)
{
    const qint64 step = 1000 / EventsPerSecond;
    const char *const statuses[] = {"L2H", "ON", "H2L", "OFF"};
    for (qint64 t = 0; t < History::KeepMs; t += step) {
        const double volts = 1500.0 * (1.0 + std::sin(double(t) / 600000.0)) + double(t % 7) / 10;
        history.add(module, History::Quantity::Voltage, start + t, QString::number(volts, 'f', 1));
        if (t % 60000 == 0)
            history.add(module, History::Quantity::Status, start + t,
                        QString::fromLatin1(statuses[(t / 60000) % 4]));
    }
}

// A client past its handshake, fed from memory instead of a socket.
std::unique_ptr<Tesra> readyClient(FeedDevice &device, const QString &keyFile)
{
    auto client = std::make_unique<Tesra>();
    client->SetKeyFile(keyFile, QStringLiteral("Brenlow"));
    device.feed("7\nOk: welcome\n");
    client->ReadFrom(device);
    client->ReadFrom(device);
    return client;
}

// The station's HV modules as devices that take no messages themselves, so
// that only the recorder's work is measured.
class BenchStation
{
public:
    explicit BenchStation(int modules)
    {
        for (int i = 0; i < modules; ++i) {
            auto *hv = new HvDevice(&owner);
            hv->setSection(QStringLiteral("HV%1").arg(i));
            hv->address() = {QStringLiteral("hv%1").arg(i), QStringLiteral("hvps"),
                             QString::number(i)};
            devices.append(hv);
        }
    }
    QObject owner;
    QList<Device *> devices;
};

// Nanoseconds per routed line for one run.
double routeLines(const QByteArray &stream, int lines, const BenchStation &station, bool record,
                  const QString &keyFile)
{
    FeedDevice device;
    auto client = readyClient(device, keyFile);
    History history;
    Recorder recorder(history);
    if (record)
        recorder.follow(client.get(), station.devices);
    QElapsedTimer timer;
    timer.start();
    device.feed(stream);
    client->ReadFrom(device);
    return double(timer.nsecsElapsed()) / lines;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption modulesOption("modules", "modules simulated for the memory", "N", "4");
    const QCommandLineOption linesOption("lines", "lines per receive round", "N", "200000");
    const QCommandLineOption roundsOption("rounds", "receive rounds of each kind", "N", "7");
    parser.addOptions({modulesOption, linesOption, roundsOption});
    parser.process(app);
    const int modules = std::max(1, parser.value(modulesOption).toInt());
    const int lines = std::max(1000, parser.value(linesOption).toInt());
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    QTextStream out(stdout);

    // Memory: the heap the series took, and what they count themselves.
    const qint64 before = heapInUse();
    auto history = std::make_unique<History>();
    const qint64 start = 1'800'000'000'000;
    for (int i = 0; i < modules; ++i)
        simulateDay(*history, QStringLiteral("HV%1").arg(i), start);
    const qint64 heapPerModule = (heapInUse() - before) / modules;
    qint64 counted = 0;
    for (const QString &module : history->modules()) {
        for (auto q : {History::Quantity::Voltage, History::Quantity::Status})
            if (const History::Series *s = history->series(module, q))
                counted += s->approximateBytes();
    }
    const History::Series *v = history->series(QStringLiteral("HV0"), History::Quantity::Voltage);
    out << QStringLiteral("history memory, 24 h at %1 values/s: %2 full samples + %3 buckets a "
                          "series\n")
               .arg(EventsPerSecond)
               .arg(v->samples().size())
               .arg(v->buckets().size());
    out << QStringLiteral("  heap per module: %1 KiB (counted by the series: %2 KiB); goal "
                          "%3 KiB\n")
               .arg(heapPerModule / 1024)
               .arg(counted / modules / 1024)
               .arg(GoalBytesPerModule / 1024);
    history.reset();

    // The receive path: the same lines, alternately with and without the
    // recorder, so that the machine's load falls on both alike.
    const BenchStation station(16);
    QTemporaryDir dir;
    const QString keyFile = dir.filePath(QStringLiteral("bench"));
    QFile key(keyFile + QStringLiteral(".key"));
    if (!key.open(QIODevice::WriteOnly) || key.write("k0 k1 k2 k3 k4 k5 k6 k7 k8\n") <= 0) {
        out << "cannot write the key file\n";
        return 2;
    }
    key.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    key.close();
    QByteArray stream;
    for (int i = 0; i < lines; ++i)
        stream += QStringLiteral("hvps.%1>Brenlow.hv%1 _ChangedValue %2\n")
                      .arg(i % 16)
                      .arg(1000 + i % 500)
                      .toLatin1();
    std::vector<double> plain;
    std::vector<double> recorded;
    for (int r = 0; r < rounds; ++r) {
        plain.push_back(routeLines(stream, lines, station, false, keyFile));
        recorded.push_back(routeLines(stream, lines, station, true, keyFile));
    }
    const auto spread = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values.back() - values.front();
    };
    out << QStringLiteral("receive path, %1 lines x %2 rounds, 16 HV modules:\n")
               .arg(lines)
               .arg(rounds);
    out << QStringLiteral("  without the recorder: %1 ns/line (spread %2)\n")
               .arg(median(plain), 0, 'f', 0)
               .arg(spread(plain), 0, 'f', 0);
    out << QStringLiteral("  with the recorder:    %1 ns/line (spread %2)\n")
               .arg(median(recorded), 0, 'f', 0)
               .arg(spread(recorded), 0, 'f', 0);

    const bool met = heapPerModule <= GoalBytesPerModule;
    out << (met ? "memory goal met\n" : "memory goal MISSED\n");
    return met ? 0 : 1;
}
