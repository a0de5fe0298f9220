// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "FakeTesraServer.h"
#include "client/Tesra.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <array>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <unistd.h>
#endif

namespace TestSupport {

QString writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return path;
}

QString writeKeyFile(const QTemporaryDir &dir, const QStringList &words, const QString &base)
{
    const QString stem = dir.filePath(base);
    const QString path =
        writeFile(stem + QStringLiteral(".key"), words.join(QLatin1Char(' ')).toUtf8() + '\n');
    // Private, as a station's key file must be.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return stem;
}

namespace {

QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

void collectDebug(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg)
        DebugLog::lines().append(text);
    else if (previousHandler())
        previousHandler()(type, context, text);
}

} // namespace

DebugLog::DebugLog()
{
    lines().clear();
    previousHandler() = qInstallMessageHandler(&collectDebug);
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(previousHandler());
}

QStringList &DebugLog::lines()
{
    static QStringList collected;
    return collected;
}

QString writeStation(const QTemporaryDir &dir, const QString &port, const QByteArray &body)
{
    const QString key =
        writeKeyFile(dir, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
                     QStringLiteral("station"));
    const QByteArray head =
        QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nKey File=%2\n").arg(port, key).toUtf8();
    return writeFile(dir.filePath(QStringLiteral("station.ini")), head + body);
}

std::unique_ptr<Tesra> makeClient(quint16 port, const QTemporaryDir &dir, const QString &name,
                                  const QStringList &keys)
{
    auto client = std::make_unique<Tesra>();
    client->SetKeyFile(writeKeyFile(dir, keys, name), name);
    client->SetNewSVAddress(QStringLiteral("127.0.0.1"));
    client->SetNewSVPort(QString::number(port));
    return client;
}

std::unique_ptr<Tesra> makeClient(const FakeTesraServer &server, const QTemporaryDir &dir,
                                  const QString &name)
{
    return makeClient(server.port(), dir, name, {"k0", "k1", "k2", "k3", "k4"});
}

bool connectClient(Tesra &client, int timeoutMs)
{
    QSignalSpy ready(&client, &Tesra::ConnectionIsReady);
    client.MakeConnection();
    return ready.wait(timeoutMs) || ready.count() > 0;
}

QStringList takeSentLines(FakeTesraServer &server, Tesra &client, int timeoutMs)
{
    // A query, so that a read-only client lets it through as well.
    const QString marker = client.name() + QStringLiteral(".marker>Marker GetMarker");
    client.SendMsg(QStringLiteral("marker"), QStringLiteral("Marker"), QStringLiteral("GetMarker"),
                   QString());
    const bool arrived =
        QTest::qWaitFor([&] { return server.messageLines().contains(marker); }, timeoutMs);
    QStringList lines = server.messageLines();
    server.clearLines();
    if (!arrived)
        return lines << QStringLiteral("(marker never arrived)");
    return lines.mid(0, lines.indexOf(marker));
}

bool deliver(FakeTesraServer &server, Tesra &client, const QStringList &lines, int timeoutMs)
{
    QSignalSpy routed(&client, &Tesra::AnsIsBusy);
    for (const QString &line : lines)
        server.sendLine(line);
    server.sendLine(QStringLiteral("marker>%1.marker @IsBusy end").arg(client.name()));
    const bool routedAll = QTest::qWaitFor(
        [&] {
            for (const QList<QVariant> &arguments : qAsConst(routed)) {
                if (arguments.at(0).value<SMsg>().from == QLatin1String("marker"))
                    return true;
            }
            return false;
        },
        timeoutMs);
    // What the lines changed is shown once their batch is over, as it would
    // be before the window's next paint.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    return routedAll;
}

namespace {

const char *const BlackholeTable = "brenlow_test_blackhole";

// Runs a program to its end; false with what it said when it fails.
bool run(const QString &program, const QStringList &arguments, const QByteArray &input,
         QString &why)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        why = QStringLiteral("%1 cannot be started: %2").arg(program, process.errorString());
        return false;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        why = QStringLiteral("%1 %2 failed: %3")
                  .arg(program, arguments.join(QLatin1Char(' ')),
                       QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

// True when the process's network namespace is not the one of process 1,
// the machine's own.
QByteArray namespaceOf(const char *link)
{
#ifdef Q_OS_LINUX
    std::array<char, 128> target{};
    const ssize_t length = readlink(link, target.data(), target.size() - 1);
    if (length > 0)
        return QByteArray(target.data(), int(length));
#else
    Q_UNUSED(link)
#endif
    return QByteArray();
}

// The network namespace the process started in, before enterOwnNetwork.
QByteArray startingNetwork;

QByteArray currentNetwork()
{
    return namespaceOf("/proc/thread-self/ns/net");
}

// True when the calling thread is in a network namespace other than the
// one the process started in: the one enterOwnNetwork made.
bool inOwnNetwork()
{
    const QByteArray own = currentNetwork();
    return !own.isEmpty() && !startingNetwork.isEmpty() && own != startingNetwork;
}

bool ownNetworkEntered = false;

} // namespace

bool enterOwnNetwork(QString &why)
{
#ifdef Q_OS_LINUX
    if (!ownNetworkEntered) {
        startingNetwork = currentNetwork();
        if (startingNetwork.isEmpty()) {
            why = QStringLiteral("the process's network namespace cannot be read");
            return false;
        }
        if (unshare(CLONE_NEWNET) != 0) {
            why = QStringLiteral("no network namespace of its own (unshare: %1); needs root on "
                                 "Linux")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        ownNetworkEntered = true;
    }
    if (!inOwnNetwork()) {
        why = QStringLiteral("the network namespace cannot be told apart from the machine's");
        return false;
    }
    return run(QStringLiteral("ip"), {"link", "set", "lo", "up"}, {}, why);
#else
    why = QStringLiteral("network namespaces are a Linux feature");
    return false;
#endif
}

bool addOwnAddress(const QString &address, QString &why)
{
    if (!ownNetworkEntered || !inOwnNetwork()) {
        why = QStringLiteral("refusing to add an address outside a namespace of the test's own");
        return false;
    }
    return run(QStringLiteral("ip"),
               {QStringLiteral("addr"), QStringLiteral("add"), address + QStringLiteral("/32"),
                QStringLiteral("dev"), QStringLiteral("lo")},
               {}, why);
}

PortBlackhole::~PortBlackhole()
{
    QString ignored;
    heal(ignored);
}

bool PortBlackhole::drop(quint16 port, QString &why)
{
    if (!ownNetworkEntered || !inOwnNetwork()) {
        why =
            QStringLiteral("refusing to set firewall rules outside a namespace of the test's own");
        return false;
    }
    // Out of the namespace's only device, in both directions of the port.
    const QByteArray rules = QStringLiteral("add table inet %1\n"
                                            "add chain inet %1 out { type filter hook output "
                                            "priority 0; policy accept; }\n"
                                            "add rule inet %1 out tcp dport %2 drop\n"
                                            "add rule inet %1 out tcp sport %2 drop\n")
                                 .arg(QLatin1String(BlackholeTable))
                                 .arg(port)
                                 .toLatin1();
    if (!run(QStringLiteral("nft"), {"-f", "-"}, rules, why))
        return false;
    dropping = true;
    return true;
}

bool PortBlackhole::heal(QString &why)
{
    if (!dropping)
        return true;
    if (!ownNetworkEntered || !inOwnNetwork()) {
        why = QStringLiteral("not in the test's own network namespace");
        return false;
    }
    if (!run(QStringLiteral("nft"), {"delete", "table", "inet", BlackholeTable}, {}, why))
        return false;
    dropping = false;
    return true;
}

ServerLink::ServerLink() = default;
ServerLink::~ServerLink() = default;

bool ServerLink::start()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    if (!dir->isValid() || !server->listen())
        return false;
    client = makeClient(*server, *dir);
    return true;
}

void ServerLink::stop()
{
    client.reset();
    server.reset();
    dir.reset();
}

bool ServerLink::connect(int startLines)
{
    if (!connectClient(*client) || !server->waitForMessageLines(startLines))
        return false;
    return server->messageLines().size() == startLines;
}

QStringList ServerLink::sent()
{
    return takeSentLines(*server, *client);
}

bool ServerLink::deliver(const QStringList &lines)
{
    return TestSupport::deliver(*server, *client, lines);
}

} // namespace TestSupport
