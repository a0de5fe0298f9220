// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class FakeTesraServer;
class QTemporaryDir;
class Tesra;

// Small helpers shared by the tests: files in a temporary directory and a
// client pointed at the fake server on loopback.
namespace TestSupport {

// Writes content to path (directories created); returns path.
QString writeFile(const QString &path, const QByteArray &content);

// Writes "<dir>/<base>.key" holding the words, readable by its owner only,
// and returns "<dir>/<base>", the form the client's key-file setting takes.
QString writeKeyFile(const QTemporaryDir &dir, const QStringList &words,
                     const QString &base = QStringLiteral("Brenlow"));

// Writes "<dir>/station.ini": a station aimed at 127.0.0.1 and port, with a
// fresh key file "<dir>/station.key", followed by body. Returns its path.
QString writeStation(const QTemporaryDir &dir, const QString &port, const QByteArray &body = {});

// A client named name with a fresh key file of the given words, aimed at
// 127.0.0.1 and port, not yet connected.
std::unique_ptr<Tesra> makeClient(quint16 port, const QTemporaryDir &dir, const QString &name,
                                  const QStringList &keys);
// The same for the fake server, with the key words k0 to k4.
std::unique_ptr<Tesra> makeClient(const FakeTesraServer &server, const QTemporaryDir &dir,
                                  const QString &name = QStringLiteral("Brenlow"));

// Starts the connection and waits until the client reports it ready.
bool connectClient(Tesra &client, int timeoutMs = 5000);

// The lines the server received from the client since its lines were last
// cleared. A marker line that the client sends behind them on the same
// connection proves that nothing is still on its way; the server's lines are
// cleared. When the marker does not arrive in time, the list ends with
// "(marker never arrived)", so a comparison fails and shows what came.
QStringList takeSentLines(FakeTesraServer &server, Tesra &client, int timeoutMs = 10000);

// Sends lines to the client and returns once it has routed all of them: a
// busy reply from the node "marker", which no panel listens to, follows them
// on the same connection. The work the panels queue for the end of a batch
// (see LatestText) has run when it returns. False when it was not routed in
// time.
bool deliver(FakeTesraServer &server, Tesra &client, const QStringList &lines,
             int timeoutMs = 10000);

// Collects the debug log while it lives; other messages go on to the test
// framework as usual.
class DebugLog
{
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;
    static QStringList &lines();
};

// Where the tests of a device or a panel start: a temporary directory, the
// fake server listening on loopback and a client aimed at it, not yet
// connected. start() makes all three afresh (a test's init), stop() ends
// them (its cleanup, after whatever used the client).
struct ServerLink
{
    ServerLink();
    ~ServerLink();
    ServerLink(const ServerLink &) = delete;
    ServerLink &operator=(const ServerLink &) = delete;

    bool start();
    void stop();
    // Connects the client and waits until exactly startLines message lines
    // (the devices' start lines) have arrived.
    bool connect(int startLines);
    // Everything the client wrote since the last call (see takeSentLines).
    QStringList sent();
    // Sends lines to the client and waits until it has routed them (see
    // deliver).
    bool deliver(const QStringList &lines);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
    std::unique_ptr<Tesra> client;
};

// Moves the calling process (its main thread, where the tests' sockets
// live, and every program it starts from now on) into a network namespace
// of its own with only the loopback device, up. Linux as root (or with
// CAP_SYS_ADMIN) only; false with the reason otherwise. The machine's own
// network and firewall are never touched: whatever a test sets up
// afterwards lives and dies with the namespace.
bool enterOwnNetwork(QString &why);

// Gives the loopback device of the namespace of enterOwnNetwork one more
// address (such as 10.123.0.1), one that Qt does not take for loopback; only
// ever inside that namespace, which it checks first. False with the reason
// otherwise.
bool addOwnAddress(const QString &address, QString &why);

// Drops every packet to and from a TCP port with nft, as a pulled cable or
// a powered-off host: no FIN, no reset, nothing. Only ever inside the
// namespace of enterOwnNetwork, which it checks before each rule. The rules
// go when heal() is called or the object is destroyed.
class PortBlackhole
{
public:
    PortBlackhole() = default;
    ~PortBlackhole();
    PortBlackhole(const PortBlackhole &) = delete;
    PortBlackhole &operator=(const PortBlackhole &) = delete;

    bool drop(quint16 port, QString &why);
    bool heal(QString &why);
    bool isDropping() const { return dropping; }

private:
    bool dropping = false;
};

} // namespace TestSupport
