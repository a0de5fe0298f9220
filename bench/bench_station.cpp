// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the real program takes a station's traffic, and what the station
// costs it, for stations of 1, 16 and 64 ion chambers.
//
// For every station size the benchmark writes a station file (every address
// 127.0.0.1, the port of a server it has just opened on a port the system
// chose), starts the brenlow binary against it on the platform it is given
// (offscreen by default; scripts/bench.sh gives it a virtual X screen of
// 1920 x 1080, so that a large station scrolls as it would on a desk) and
// plays the message server: the handshake, answers to the panels' start-up
// queries, then a flood of HV "_ChangedValue" events spread evenly over the
// HV modules, closed by one amplifier "@GetStatus" reply that differs from
// what the panel shows. Brenlow's answer to that reply ("SetZeroCheck")
// marks the moment it has handled every line before it. The same bytes are
// read in the same run by a bare canReadLine/readLine loop in a child
// process of this program, so that the table's ratios do not depend on how
// busy the machine is. Every measurement is repeated and the median shown.
// Apart from that, brenlow runs --save-snapshot against a server that
// answers every request as the devices would, with no display at all: its
// CPU time and peak memory, from the kernel's account of the ended process.
//
// Usage: bench_station --brenlow PATH [--rounds N] [--lines N] [--sizes 1,16,64]
//                      [--platform NAME]
// (bench_station --raw-reader PORT is the child's own mode.)

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <future>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray ClientName = "Brenlow";
// The challenge number and the key words: 7 picks the word at index 7 % 3.
const QByteArray Challenge = "7\n";
const QByteArray KeyWords = "alpha beta gamma\n";
const QByteArray KeyLine = "Brenlow beta";
constexpr int ChambersPerRow = 8;
constexpr int StartLinesPerChamber = 7 + 6; // HV panel, amplifier panel
constexpr int WaitLimitMs = 120000;
// The windowed run of --save-snapshot took 0.55 s of CPU and 72 MiB at 64
// chambers in this benchmark (offscreen); without a window: a third of the
// CPU, and 35 MiB.
constexpr double SnapshotCpuGoalMs = 180;
constexpr double SnapshotPeakGoalMiB = 35;
// How long Brenlow may take to read its archive's last day and make its
// first retention pass.
constexpr int ArchiveWorkLimitMs = 600000;

double seconds(qint64 ns)
{
    return double(ns) / 1e9;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Runs the event loop until done() holds or the limit passes.
bool waitUntil(const std::function<bool()> &done, int limitMs = WaitLimitMs)
{
    QElapsedTimer timer;
    timer.start();
    // Blocks until something happens; the timer only makes sure that the
    // limit is looked at. (processEvents with a time does not block: it
    // would spin and take a core from the program being measured.)
    QTimer wake;
    wake.start(50);
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// CPU seconds (user and system) in a /proc stat line.
double statCpuSeconds(const QByteArray &text)
{
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / ticks;
}

// CPU seconds (user and system) a process has used so far, and its resident
// set now and at its peak, from /proc.
double cpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return statCpuSeconds(file.readAll());
}

// CPU seconds each thread of a process has used so far, by the thread's
// name (the main thread has the program's; the archive's worker is
// "history archive"); threads of one name add up.
QHash<QString, double> threadCpuSeconds(qint64 pid)
{
    QHash<QString, double> byName;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task + QStringLiteral("/stat")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = file.readAll();
        const int open = text.indexOf('(');
        const int close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        byName[QString::fromUtf8(text.mid(open + 1, close - open - 1))] += statCpuSeconds(text);
    }
    return byName;
}

double memoryMiB(qint64 pid, const char *key)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

QByteArray hvNode(int k)
{
    return "hvps." + QByteArray::number(k);
}

QByteArray ampNode(int k)
{
    return "ca5350." + QByteArray::number(k);
}

// One line from module k's node to its panel.
QByteArray hvLine(int k, const QByteArray &word, const QByteArray &params)
{
    return hvNode(k) + '>' + ClientName + ".hv" + QByteArray::number(k) + ' ' + word + ' ' +
           params + '\n';
}

// A status reply to amplifier 0 that sets its zero check to on; everything
// else in it matches what the first status set.
QByteArray statusLine(bool zeroCheck)
{
    return ampNode(0) + '>' + ClientName + ".amp0 @GetStatus CA5350A0B0C" +
           (zeroCheck ? "1" : "0") + "H0I0J0K0M0N1P0R0S0T5W0Y0Z0\n";
}

// What brenlow answers to statusLine(zeroCheck).
QByteArray statusAnswer(bool zeroCheck)
{
    return ClientName + ".amp0>" + ampNode(0) + " SetZeroCheck " + (zeroCheck ? "1" : "0");
}

// count HV value events spread evenly over chambers modules, then the status
// reply that marks their end.
QByteArray flood(int chambers, int count, bool zeroCheck)
{
    QByteArray bytes;
    bytes.reserve(count * 48);
    for (int i = 0; i < count; ++i) {
        const int k = i % chambers;
        // A module ramping around 1000 V: the value changes, the status colour does not.
        const QByteArray value = QByteArray::number(1000.0 + (i / chambers) % 50 * 0.1, 'f', 1);
        bytes += hvLine(k, "_ChangedValue", value);
    }
    bytes += statusLine(zeroCheck);
    return bytes;
}

// The station file of a station of n chambers, in dir.
QString writeStation(const QDir &dir, int n, quint16 port, const QByteArray &extra)
{
    QFile key(dir.filePath(QStringLiteral("Brenlow.key")));
    key.open(QIODevice::WriteOnly);
    key.write(KeyWords);
    // Private, so that the window is the one a well-kept station shows.
    key.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QFile table(dir.filePath(QStringLiteral("csupr.txt")));
    table.open(QIODevice::WriteOnly);
    table.write("1e-6 2.5e-10 : 26/11/30 09:12:40\n1e-7 3.1e-11 : 26/11/30 09:13:05\n");

    QByteArray hvNames, ampNames, icNames, sections;
    for (int k = 0; k < n; ++k) {
        const QByteArray num = QByteArray::number(k);
        const QByteArray sep = k ? ", " : "";
        hvNames += sep + "HV " + num;
        ampNames += sep + "AMP " + num;
        icNames += sep + "IC " + num;
        sections += "[HV " + num + "]\nid=hv" + num + "\ndriver=hvps\nch=" + num +
                    "\nPosition in Window=1, 0\nColor=235, 245, 255\n"
                    "Default Voltage=500, 1000, 1500, 2000\nDefault Select=1000\n"
                    "Voltage Tolerance=5\n\n";
        sections += "[AMP " + num + "]\nid=amp" + num + "\ndriver=ca5350\nch=" + num +
                    "\nPosition in Window=0, 1, 2, 1\nTC Table=TC\nRange Table=Ranges\n"
                    "Current Surpression Table=csupr.txt\n\n";
        sections += "[IC " + num + "]\nHV Unit id=hv" + num + "\nAMP Unit id=amp" + num +
                    "\nPosition of Name=0, 0\nPosition in Window=" +
                    QByteArray::number(k % ChambersPerRow) + ", " +
                    QByteArray::number(k / ChambersPerRow) + "\n\n";
    }
    QFile ini(dir.filePath(QStringLiteral("station.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write(extra + "Tesra IP=127.0.0.1\nTesra Port=" + QByteArray::number(port) +
              "\nName on Tesra=Brenlow\nKey File=Brenlow\nTCTables=TC\nRangeTables=Ranges\n"
              "HV Module Names=" +
              hvNames + "\nAMP Module Names=" + ampNames + "\nIC Module Names=" + icNames +
              "\n\n[TC]\nTable=0.0001, 0.0003, 0.001, 0.003, 0.01, 0.03, 0.1, 0.3, 1, 2, 3, "
              "10\n\n[Ranges]\nTable=1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11\n\n" +
              sections);
    return ini.fileName();
}

// The server side of one connection on 127.0.0.1: with a handshake it plays
// the message server's (challenge, key line, verdict); every later line is
// handed to the listener with the time it was read.
class LoopbackServer : public QObject
{
public:
    explicit LoopbackServer(bool handshake) : withHandshake(handshake)
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *next = server.nextPendingConnection();
            if (socket) {
                // One client at a time: a second one is turned away.
                next->abort();
                next->deleteLater();
                return;
            }
            socket = next;
            socket->setParent(this);
            // Each paced slice goes out when it is written, as a message
            // server's relay would: with the small-segment delay a slice can
            // wait up to 40 ms for the acknowledgement of the one before,
            // and that wait would be counted as Brenlow's lag.
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            authenticated = !withHandshake;
            connect(socket, &QTcpSocket::readyRead, this, [this] { read(); });
            if (withHandshake)
                socket->write(Challenge);
        });
    }

    bool listen() { return server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return server.serverPort(); }
    bool ready() const { return socket && authenticated; }
    void send(const QByteArray &bytes) { socket->write(bytes); }

    // Called for every line after the handshake, without its line feed.
    std::function<void(const QByteArray &)> listener;
    QByteArray keyLine;

private:
    void read()
    {
        while (socket->canReadLine()) {
            QByteArray line = socket->readLine();
            line.chop(1);
            if (!authenticated) {
                keyLine = line;
                authenticated = true;
                socket->write("Ok: welcome\n");
            } else if (listener) {
                listener(line);
            }
        }
    }

    QTcpServer server;
    QTcpSocket *socket = nullptr;
    bool withHandshake;
    bool authenticated = false;
};

// The child's mode: a bare readLine loop over everything the server sends,
// answering "done" when the closing status reply has been read.
int runRawReader(quint16 port)
{
    QTcpSocket socket;
    const QByteArray closing = ampNode(0) + '>';
    qint64 lines = 0;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        while (socket.canReadLine()) {
            const QByteArray line = socket.readLine();
            ++lines;
            if (line.startsWith(closing)) {
                socket.write("done " + QByteArray::number(lines) + '\n');
                lines = 0;
            }
        }
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, qApp, &QCoreApplication::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    return QCoreApplication::exec();
}

struct Result
{
    int chambers = 0;
    bool archived = false;
    // Brenlow's lines about its archive (when the last day was read, when
    // retention ended), and when the benchmark saw both, in seconds after
    // Brenlow started.
    QStringList archiveLog;
    bool archiveWorkDone = false;
    double archiveWorkDoneSeconds = 0;
    std::vector<double> startMs, startCpuMs, rawRate, rate, ratio, cpuRatio, cpu, rssMiB, peakMiB;
    // --save-snapshot: CPU ms and peak resident MiB of the whole run.
    std::vector<double> snapshotCpuMs, snapshotPeakMiB;
    double steadyCpuShare = -1;
    // The same by thread name, for threads that used any.
    QHash<QString, double> steadyThreadShares;
    double lagP50 = 0, lagP95 = 0, lagP99 = 0, lagMax = 0;
    double lagStartSeconds = 0, lagSeconds = 0;
    bool failed = false;
    QString failure;
};

class Bench
{
public:
    Bench(QString brenlowPath, QString self)
        : brenlow(std::move(brenlowPath)), selfPath(std::move(self))
    {
    }

    int rounds = 3;
    int floodLines = 100000;
    double steadySeconds = 10;
    double lagSeconds = 5;
    QString platform = QStringLiteral("offscreen");
    // A top-level line of the station file that names an archive; empty for
    // none.
    QByteArray historyLine;

    Result run(int chambers, bool archived = false)
    {
        Result result;
        result.chambers = chambers;
        result.archived = archived;
        for (int start = 0; start < rounds && !result.failed; ++start)
            oneStart(chambers, start == rounds - 1, result);
        // A run for a script leaves the archive alone, so it is measured
        // without one only.
        for (int save = 0; !archived && save < rounds && !result.failed; ++save)
            saveSnapshot(chambers, result);
        return result;
    }

private:
    // Starts brenlow once; the last start of a size also runs the floods, the
    // steady state and the lag probes.
    void oneStart(int chambers, bool measureTraffic, Result &result)
    {
        QTemporaryDir dir;
        LoopbackServer server(true);
        if (!dir.isValid() || !server.listen())
            return fail(result, QStringLiteral("no temporary directory or no loopback port"));
        const QString ini = writeStation(QDir(dir.path()), chambers, server.port(),
                                         result.archived ? historyLine + '\n' : QByteArray());

        int received = 0;
        qint64 lastStartNs = 0;
        QElapsedTimer clock;
        server.listener = [&](const QByteArray &) {
            ++received;
            lastStartNs = clock.nsecsElapsed();
        };

        QProcess process;
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(QProcess::nullDevice());
        // Brenlow's debug log is kept for a failure report.
        process.setStandardErrorFile(dir.filePath(QStringLiteral("brenlow.log")));
        clock.start();
        process.start(brenlow, {QStringLiteral("-e"), QStringLiteral("-c"), ini});
        if (!process.waitForStarted())
            return fail(result, QStringLiteral("cannot start %1").arg(brenlow));
        const int expected = chambers * StartLinesPerChamber;
        if (!waitUntil([&] { return received >= expected; }))
            return stop(process, result, QStringLiteral("start-up lines never arrived"));
        if (server.keyLine != KeyLine)
            return stop(process, result, QStringLiteral("unexpected key line"));
        result.startMs.push_back(double(lastStartNs) / 1e6);
        result.startCpuMs.push_back(cpuSeconds(process.processId()) * 1000);
        if (!measureTraffic)
            return stop(process, result, QString());

        // The answers a live station gives to the start-up queries, then the
        // first status reply, which settles every amplifier widget.
        QByteArray answers;
        for (int k = 0; k < chambers; ++k) {
            answers += hvLine(k, "@GetMaxV", "3000V") + hvLine(k, "@GetVLimit", "80") +
                       hvLine(k, "@GetV", "1000.0") + hvLine(k, "@GetRamp", "50") +
                       hvLine(k, "@GetStat1", "ON") + hvLine(k, "@IsControllable", "1");
        }
        bool zeroCheck = true;
        qint64 answeredNs = -1;
        server.listener = [&](const QByteArray &line) {
            if (line == statusAnswer(zeroCheck))
                answeredNs = clock.nsecsElapsed();
        };
        server.send(answers + statusLine(zeroCheck));
        if (!waitUntil([&] { return answeredNs >= 0; }))
            return stop(process, result, QStringLiteral("no answer to the first status"));
        const qint64 pid = process.processId();
        result.rssMiB.push_back(memoryMiB(pid, "VmRSS"));

        LoopbackServer rawServer(false);
        QProcess raw;
        if (!rawServer.listen())
            return stop(process, result, QStringLiteral("no loopback port for the raw reader"));
        raw.start(selfPath, {QStringLiteral("--raw-reader"), QString::number(rawServer.port())});
        if (!waitUntil([&] { return rawServer.ready(); }))
            return stop(process, result, QStringLiteral("raw reader did not connect"));
        qint64 rawDoneNs = -1;
        rawServer.listener = [&](const QByteArray &line) {
            if (line.startsWith("done"))
                rawDoneNs = clock.nsecsElapsed();
        };

        for (int r = 0; r < rounds; ++r) {
            zeroCheck = !zeroCheck;
            const QByteArray bytes = flood(chambers, floodLines, zeroCheck);
            const double lines = floodLines + 1;

            rawDoneNs = -1;
            const double rawCpuBefore = cpuSeconds(raw.processId());
            const qint64 rawStart = clock.nsecsElapsed();
            rawServer.send(bytes);
            if (!waitUntil([&] { return rawDoneNs >= 0; }))
                return stop(process, result, QStringLiteral("raw reader did not finish"));
            const double rawRate = lines / seconds(rawDoneNs - rawStart);
            const double rawCpu = cpuSeconds(raw.processId()) - rawCpuBefore;

            answeredNs = -1;
            const double cpuBefore = cpuSeconds(pid);
            const qint64 start = clock.nsecsElapsed();
            server.send(bytes);
            if (!waitUntil([&] { return answeredNs >= 0; }))
                return stop(process, result, QStringLiteral("flood never answered"));
            const double rate = lines / seconds(answeredNs - start);
            const double cpu = cpuSeconds(pid) - cpuBefore;
            result.cpu.push_back(cpu);
            // The same ratio from CPU time, which waiting for a core does not
            // inflate (the clock ticks are coarse: 10 ms).
            result.cpuRatio.push_back(cpu > 0 ? rawCpu / cpu : 0);
            result.rawRate.push_back(rawRate);
            result.rate.push_back(rate);
            result.ratio.push_back(rate / rawRate);
        }
        raw.kill();
        raw.waitForFinished();

        // Set beside a run with an archive, the steady state of both runs is
        // measured at the same point: after the lag probes.
        const bool steadyAfterLag = !historyLine.isEmpty();
        if (!steadyAfterLag)
            steadyState(server, pid, clock, result);
        // Lag: 10,000 events a second, with a status probe every 100 ms whose
        // answer time is what an operator's click would wait at most.
        {
            std::vector<double> lags;
            int sent = 0;
            qint64 probeAt = -1;
            server.listener = [&](const QByteArray &line) {
                if (probeAt >= 0 && line == statusAnswer(zeroCheck)) {
                    lags.push_back(double(clock.nsecsElapsed() - probeAt) / 1e6);
                    probeAt = -1;
                }
            };
            const double total = lagSeconds * 10000;
            const int perProbe = 1000;
            result.lagStartSeconds = seconds(clock.nsecsElapsed());
            result.lagSeconds = lagSeconds;
            paced(total, lagSeconds, [&] {
                if (sent % perProbe == 0 && probeAt < 0) {
                    zeroCheck = !zeroCheck;
                    probeAt = clock.nsecsElapsed();
                    server.send(statusLine(zeroCheck));
                }
                server.send(
                    hvLine(sent % chambers, "_ChangedValue",
                           QByteArray::number(1000.0 + (sent / chambers) % 50 * 0.1, 'f', 1)));
                ++sent;
            });
            waitUntil([&] { return probeAt < 0; }, 5000);
            std::sort(lags.begin(), lags.end());
            if (!lags.empty()) {
                result.lagP50 = lags[lags.size() / 2];
                result.lagP95 = lags[std::min(lags.size() - 1, lags.size() * 95 / 100)];
                result.lagP99 = lags[std::min(lags.size() - 1, lags.size() * 99 / 100)];
                result.lagMax = lags.back();
            }
        }
        // With an archive, the lag probes above ran while Brenlow read the
        // archive's last day and made its first retention pass; the steady
        // state is measured once both are done, as it is afterwards.
        if (result.archived) {
            const QString log = dir.filePath(QStringLiteral("brenlow.log"));
            const auto said = [&log](const char *what) {
                QFile file(log);
                return file.open(QIODevice::ReadOnly) && file.readAll().contains(what);
            };
            result.archiveWorkDone =
                waitUntil([&] { return said("the last day read") && said("retention pass done"); },
                          ArchiveWorkLimitMs);
            // The clock started with the process.
            result.archiveWorkDoneSeconds = seconds(clock.nsecsElapsed());
        }
        if (steadyAfterLag)
            steadyState(server, pid, clock, result);
        result.peakMiB.push_back(memoryMiB(pid, "VmHWM"));
        stop(process, result, QString());
        if (result.archived) {
            QFile log(dir.filePath(QStringLiteral("brenlow.log")));
            if (log.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : log.readAll().split('\n')) {
                    if (line.contains("history archive"))
                        result.archiveLog << QString::fromUtf8(line);
                }
            }
        }
    }

    // The answer a device gives to a request line of brenlow's
    // ("Brenlow.hv3>hvps.3 GetMaxV"): addressed back to the sender, with a
    // value for every query the snapshot waits for and "Ok" for the rest.
    static QByteArray answerTo(const QByteArray &line)
    {
        const int arrow = line.indexOf('>');
        const int blank = line.indexOf(' ');
        if (arrow < 0 || blank < arrow)
            return {};
        const QByteArray from = line.left(arrow);
        const QByteArray node = line.mid(arrow + 1, blank - arrow - 1);
        const QByteArray word = line.mid(blank + 1).split(' ').first();
        static const QHash<QByteArray, QByteArray> values = {
            {"GetMaxV", "3000V"},
            {"GetVLimit", "80"},
            {"GetV", "1000.0"},
            {"GetRamp", "50"},
            {"GetStat1", "ON"},
            {"IsControllable", "1"},
            {"GetStatus", "CA5350A0B0C0H0I0J0K0M0N1P0R0S0T5W0Y0Z0"},
            {"GetRange", "1e-08"},
            {"GetCurrentSurpressionValue", "0"},
            {"GetVoltageBiasRange", "0"}};
        if (node == "System")
            return {};
        return node + '>' + from + " @" + word + ' ' + values.value(word, "Ok") + '\n';
    }

    // One --save-snapshot run with no display (a platform that does not
    // exist): what it costs from start to end.
    void saveSnapshot(int chambers, Result &result)
    {
        QTemporaryDir dir;
        LoopbackServer server(true);
        if (!dir.isValid() || !server.listen())
            return fail(result, QStringLiteral("no temporary directory or no loopback port"));
        const QString ini = writeStation(QDir(dir.path()), chambers, server.port(), QByteArray());
        server.listener = [&server](const QByteArray &line) {
            const QByteArray answer = answerTo(line);
            if (!answer.isEmpty())
                server.send(answer);
        };
        const QByteArray program = QFile::encodeName(brenlow);
        const QByteArray config = QFile::encodeName(ini);
        const QByteArray file = QFile::encodeName(dir.filePath(QStringLiteral("s.json")));
        std::vector<char *> argv = {
            const_cast<char *>(program.constData()), const_cast<char *>("-c"),
            const_cast<char *>(config.constData()),  const_cast<char *>("--save-snapshot"),
            const_cast<char *>(file.constData()),    nullptr};
        QByteArrayList environment = {"QT_QPA_PLATFORM=bogus"};
        for (const QByteArray &name : {QByteArray("HOME"), QByteArray("PATH")})
            environment << name + '=' + qgetenv(name.constData());
        std::vector<char *> envp;
        for (QByteArray &entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        // Spawned and reaped here rather than by QProcess: wait4 gives the
        // ended process's own CPU time and peak memory.
        pid_t pid = 0;
        const QByteArray devNull = QFile::encodeName(QProcess::nullDevice());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // In the station's directory, where its key file and table are.
        const QByteArray where = QFile::encodeName(dir.path());
        posix_spawn_file_actions_addchdir_np(&actions, where.constData());
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, devNull.constData(), O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, devNull.constData(), O_WRONLY, 0);
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return fail(result, QStringLiteral("cannot start %1").arg(brenlow));
        std::promise<std::pair<int, rusage>> ended;
        std::future<std::pair<int, rusage>> end = ended.get_future();
        std::thread reaper([pid, &ended] {
            int status = 0;
            rusage usage{};
            wait4(pid, &status, 0, &usage);
            ended.set_value({status, usage});
        });
        waitUntil(
            [&end] { return end.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        if (end.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            kill(pid, SIGKILL);
        reaper.join();
        const auto [status, usage] = end.get();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return fail(result, QStringLiteral("--save-snapshot ended with %1").arg(status));
        const double cpuMs = (double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
        result.snapshotCpuMs.push_back(cpuMs);
        result.snapshotPeakMiB.push_back(double(usage.ru_maxrss) / 1024.0);
    }

    // Steady state: every HV module sends 10 events a second.
    void steadyState(LoopbackServer &server, qint64 pid, QElapsedTimer &clock, Result &result)
    {
        const int chambers = result.chambers;
        {
            int sent = 0;
            const qint64 begin = clock.nsecsElapsed();
            const double cpuBefore = cpuSeconds(pid);
            const QHash<QString, double> threadsBefore = threadCpuSeconds(pid);
            const double total = steadySeconds * 10 * chambers;
            paced(total, steadySeconds, [&] {
                server.send(
                    hvLine(sent % chambers, "_ChangedValue",
                           QByteArray::number(1000.0 + (sent / chambers) % 50 * 0.1, 'f', 1)));
                ++sent;
            });
            const double wall = seconds(clock.nsecsElapsed() - begin);
            result.steadyCpuShare = (cpuSeconds(pid) - cpuBefore) / wall;
            const QHash<QString, double> threadsAfter = threadCpuSeconds(pid);
            for (auto it = threadsAfter.cbegin(); it != threadsAfter.cend(); ++it) {
                const double used = it.value() - threadsBefore.value(it.key());
                if (used > 0)
                    result.steadyThreadShares.insert(it.key(), used / wall);
            }
        }
    }

    // Calls step total times, spread evenly over the given seconds, sending
    // in 5 ms slices.
    static void paced(double total, double secondsLong, const std::function<void()> &step)
    {
        QElapsedTimer timer;
        timer.start();
        double done = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const double due =
                std::min(total, total * double(timer.nsecsElapsed()) / (secondsLong * 1e9));
            while (done < due) {
                step();
                done += 1;
            }
        });
        tick.start();
        waitUntil([&] { return done >= total; }, int(secondsLong * 1000) + WaitLimitMs);
    }

    void stop(QProcess &process, Result &result, const QString &failure)
    {
        if (!failure.isEmpty()) {
            fail(result, failure);
            QFile log(
                QFileInfo(process.workingDirectory(), QStringLiteral("brenlow.log")).filePath());
            if (log.open(QIODevice::ReadOnly))
                std::fprintf(stderr, "%s: the end of brenlow's log:\n%s\n", qPrintable(failure),
                             log.readAll().right(2000).constData());
        }
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
    }

    static void fail(Result &result, const QString &failure)
    {
        result.failed = true;
        result.failure = failure;
    }

    QString brenlow;
    QString selfPath;
};

void printTable(const std::vector<Result> &results, const Bench &bench)
{
    QTextStream out(stdout);
    out << "| chambers (panels) | routed lines/s | raw readLine lines/s | ratio to raw (by CPU) | "
           "CPU s per 100k lines | start-up ms (CPU ms) | RSS MiB (peak) | steady CPU % of a core "
           "| "
           "lag ms p50 / p95 / p99 / max | --save-snapshot CPU ms (peak MiB) |\n";
    out << "|---|---|---|---|---|---|---|---|---|---|\n";
    for (const Result &r : results) {
        if (r.failed) {
            out << "| " << r.chambers << " | failed: " << r.failure << " |\n";
            continue;
        }
        const double per100k = median(r.cpu) * 100000.0 / (bench.floodLines + 1);
        out << QStringLiteral(
                   "| %1 (%2) | %3 k | %4 k | %5 % (%15 %) | %6 | %7 (%14) | %8 (%9) | %10 | "
                   "%11 / %12 / %16 / %13 | %17 (%18) |\n")
                   .arg(r.archived ? QStringLiteral("%1, archive").arg(r.chambers)
                                   : QString::number(r.chambers))
                   .arg(2 * r.chambers)
                   .arg(median(r.rate) / 1000, 0, 'f', 0)
                   .arg(median(r.rawRate) / 1000, 0, 'f', 0)
                   .arg(median(r.ratio) * 100, 0, 'f', 1)
                   .arg(per100k, 0, 'f', 2)
                   .arg(median(r.startMs), 0, 'f', 0)
                   .arg(median(r.rssMiB), 0, 'f', 1)
                   .arg(median(r.peakMiB), 0, 'f', 1)
                   .arg(r.steadyCpuShare * 100, 0, 'f', 2)
                   .arg(r.lagP50, 0, 'f', 1)
                   .arg(r.lagP95, 0, 'f', 1)
                   .arg(r.lagMax, 0, 'f', 1)
                   .arg(median(r.startCpuMs), 0, 'f', 0)
                   .arg(median(r.cpuRatio) * 100, 0, 'f', 1)
                   .arg(r.lagP99, 0, 'f', 1)
                   .arg(r.snapshotCpuMs.empty() ? QStringLiteral("–")
                                                : QString::number(median(r.snapshotCpuMs), 'f', 0))
                   .arg(r.snapshotPeakMiB.empty()
                            ? QStringLiteral("–")
                            : QString::number(median(r.snapshotPeakMiB), 'f', 1));
    }
    out.flush();
}

// The goals, each a ratio within this run, against the smallest, the middle
// (16 chambers by default) and the largest station measured.
bool printGoals(const std::vector<Result> &results)
{
    QTextStream out(stdout);
    if (results.size() < 3)
        return false;
    for (const Result &r : results) {
        if (r.failed)
            return false;
    }
    const Result &small = results.front();
    const Result &middle = results.at(results.size() / 2);
    const Result &large = results.back();
    bool all = true;
    auto goal = [&](const QString &text, double value, double limit, bool atLeast) {
        const bool met = atLeast ? value >= limit : value <= limit;
        all = all && met;
        out << (met ? "met    " : "MISSED ") << text
            << QStringLiteral(": %1 (goal %2 %3)\n")
                   .arg(value, 0, 'f', 3)
                   .arg(atLeast ? QStringLiteral(">=") : QStringLiteral("<="))
                   .arg(limit);
    };
    const QString big = QString::number(large.chambers);
    const QString mid = QString::number(middle.chambers);
    const QString one = QString::number(small.chambers);
    goal(QStringLiteral("steady CPU at %1 / steady CPU at %2").arg(big, mid),
         large.steadyCpuShare / middle.steadyCpuShare, 1.5, false);
    goal(QStringLiteral("steady CPU at %1 chambers, 10 events/s each, share of a core").arg(mid),
         middle.steadyCpuShare, 0.04, false);
    goal(QStringLiteral("probe answer time p99 at 10,000 events/s, ms (%1 chambers)").arg(big),
         large.lagP99, 16, false);
    goal(QStringLiteral("RSS at %1 / RSS at %2").arg(big, mid),
         median(large.rssMiB) / median(middle.rssMiB), 1.6, false);
    goal(QStringLiteral("lines/s at %1 / raw readLine lines/s").arg(big), median(large.ratio), 0.15,
         true);
    out << QStringLiteral("       (the same by CPU time: %1)\n")
               .arg(median(large.cpuRatio), 0, 'f', 3);
    goal(QStringLiteral("lines/s at %1 / lines/s at %2").arg(big, one),
         median(large.rate) / median(small.rate), 0.90, true);
    // A run for a script builds no window (see SnapshotCpuGoalMs).
    goal(QStringLiteral("--save-snapshot CPU at %1 chambers, ms").arg(big),
         median(large.snapshotCpuMs), SnapshotCpuGoalMs, false);
    goal(QStringLiteral("--save-snapshot peak RSS at %1 chambers, MiB").arg(big),
         median(large.snapshotPeakMiB), SnapshotPeakGoalMiB, false);
    // Start-up has no ratio goal: it is compared with the earlier table by
    // hand, against that table's own spread.
    out << QStringLiteral("note   start-up at %1 chambers: %2 ms (CPU %3 ms)\n")
               .arg(big)
               .arg(median(large.startMs), 0, 'f', 0)
               .arg(median(large.startCpuMs), 0, 'f', 0);
    out.flush();
    return all;
}

// With an archive: the same station without and with it, in one run.
bool printArchiveGoals(const std::vector<Result> &results)
{
    QTextStream out(stdout);
    bool all = true;
    for (size_t i = 0; i + 1 < results.size(); i += 2) {
        const Result &plain = results.at(i);
        const Result &archived = results.at(i + 1);
        if (plain.failed || archived.failed)
            return false;
        for (const QString &line : archived.archiveLog)
            out << "       brenlow: " << line << '\n';
        out << QStringLiteral("       the lag probes ran from %1 s after the start for %2 s; the "
                              "archive's start-up work %3 %4 s after the start\n")
                   .arg(archived.lagStartSeconds, 0, 'f', 1)
                   .arg(archived.lagSeconds, 0, 'f', 0)
                   .arg(archived.archiveWorkDone ? QStringLiteral("was done")
                                                 : QStringLiteral("was NOT done"))
                   .arg(archived.archiveWorkDoneSeconds, 0, 'f', 1);
        // Where the steady state's CPU went: the archive's worker against the
        // window's thread and the rest.
        for (const Result *r : {&plain, &archived}) {
            QStringList shares;
            for (auto it = r->steadyThreadShares.cbegin(); it != r->steadyThreadShares.cend(); ++it)
                shares << QStringLiteral("%1 %2").arg(it.key()).arg(it.value() * 100, 0, 'f', 2);
            shares.sort();
            out << QStringLiteral("       steady CPU %1 by thread, % of a core: %2\n")
                       .arg(r->archived ? QStringLiteral("with the archive")
                                        : QStringLiteral("without"),
                            shares.join(QStringLiteral(", ")));
        }
        const double ratio = archived.steadyCpuShare / plain.steadyCpuShare;
        const bool cpuMet = ratio <= 1.2;
        const bool lagMet = archived.lagP99 < 16;
        all = all && cpuMet && lagMet;
        out << (cpuMet ? "met    " : "MISSED ")
            << QStringLiteral("steady CPU at %1 chambers with the archive / without: %2 (goal "
                              "<= 1.2)\n")
                   .arg(plain.chambers)
                   .arg(ratio, 0, 'f', 3);
        out << (lagMet ? "met    " : "MISSED ")
            << QStringLiteral("probe answer time p99 with the archive, ms (%1 chambers): %2 "
                              "(goal < 16)\n")
                   .arg(plain.chambers)
                   .arg(archived.lagP99, 0, 'f', 1);
    }
    out.flush();
    return all;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Brenlow's receive path and start-up, by station size."));
    parser.addHelpOption();
    const QCommandLineOption brenlowOption(
        QStringLiteral("brenlow"), QStringLiteral("The brenlow binary."), QStringLiteral("path"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"),
                                          QStringLiteral("Starts and floods per size (default 3)."),
                                          QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption linesOption(QStringLiteral("lines"),
                                         QStringLiteral("Lines per flood (default 100000)."),
                                         QStringLiteral("n"), QStringLiteral("100000"));
    const QCommandLineOption sizesOption(
        QStringLiteral("sizes"), QStringLiteral("Station sizes in chambers (default 1,16,64)."),
        QStringLiteral("list"), QStringLiteral("1,16,64"));
    const QCommandLineOption rawOption(QStringLiteral("raw-reader"),
                                       QStringLiteral("Internal: the bare readLine loop."),
                                       QStringLiteral("port"));
    const QCommandLineOption platformOption(
        QStringLiteral("platform"),
        QStringLiteral("Qt platform brenlow runs on (default offscreen; xcb with a DISPLAY)."),
        QStringLiteral("name"), QStringLiteral("offscreen"));
    const QCommandLineOption historyOption(
        QStringLiteral("history"),
        QStringLiteral("A station-file line naming an archive (History File=... or History "
                       "Database=...): every size is measured without it, then with it."),
        QStringLiteral("line"));
    const QCommandLineOption steadyOption(QStringLiteral("steady-seconds"),
                                          QStringLiteral("Length of the steady state (10)."),
                                          QStringLiteral("s"), QStringLiteral("10"));
    const QCommandLineOption lagOption(QStringLiteral("lag-seconds"),
                                       QStringLiteral("Length of the lag probes (5)."),
                                       QStringLiteral("s"), QStringLiteral("5"));
    parser.addOptions({brenlowOption, roundsOption, linesOption, sizesOption, rawOption,
                       platformOption, historyOption, steadyOption, lagOption});
    parser.process(app);

    if (parser.isSet(rawOption))
        return runRawReader(quint16(parser.value(rawOption).toUInt()));
    if (!parser.isSet(brenlowOption)) {
        std::fprintf(stderr, "bench_station: --brenlow PATH is required\n");
        return 2;
    }

    // Brenlow runs in its station's directory, so its path must not be relative.
    Bench bench(QFileInfo(parser.value(brenlowOption)).absoluteFilePath(),
                QCoreApplication::applicationFilePath());
    bench.rounds = std::max(1, parser.value(roundsOption).toInt());
    bench.floodLines = std::max(1000, parser.value(linesOption).toInt());
    bench.platform = parser.value(platformOption);
    bench.historyLine = parser.value(historyOption).toUtf8();
    bench.steadySeconds = std::max(1.0, parser.value(steadyOption).toDouble());
    bench.lagSeconds = std::max(1.0, parser.value(lagOption).toDouble());
    if (!bench.historyLine.isEmpty() && !bench.historyLine.startsWith("History File=") &&
        !bench.historyLine.startsWith("History Database=postgresql://brenlow@127.0.0.1:")) {
        std::fprintf(stderr, "bench_station: --history names a file or a server on 127.0.0.1\n");
        return 2;
    }
    std::vector<Result> results;
    for (const QString &size : parser.value(sizesOption).split(QLatin1Char(','))) {
        const int chambers = size.trimmed().toInt();
        if (chambers < 1)
            continue;
        std::fprintf(stderr, "measuring %d chambers...\n", chambers);
        results.push_back(bench.run(chambers));
        if (!bench.historyLine.isEmpty()) {
            std::fprintf(stderr, "measuring %d chambers with the archive...\n", chambers);
            results.push_back(bench.run(chambers, true));
        }
    }
    printTable(results, bench);
    if (!bench.historyLine.isEmpty())
        return printArchiveGoals(results) ? 0 : 1;
    return printGoals(results) ? 0 : 1;
}
