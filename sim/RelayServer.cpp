// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/RelayServer.h"

#include "client/Logging.h"
#include "client/SMsg.h"
#include "sim/StationConfig.h"

#include <QFileDevice>
#include <QIODevice>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTime>
#include <vector>

namespace {

const QString SystemNode = QStringLiteral("System");

// The client part of a name: everything before its first dot. Client names
// hold no dot, so a sender or receiver Brenlow.amp0 belongs to client Brenlow.
QString clientPart(const QString &name)
{
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString composeLine(const QString &from, const QString &to, const QString &word,
                    const QString &params)
{
    QString line = from + QLatin1Char('>') + to + QLatin1Char(' ') + word;
    if (!params.isEmpty())
        line += QLatin1Char(' ') + params;
    return line;
}

} // namespace

RelayServer::RelayServer(const QStringList &keyWords, QObject *parent)
    : QObject(parent), keys(keyWords)
{
    server.setMaxPendingConnections(MaxClients);
    connect(&server, &QTcpServer::newConnection, this, &RelayServer::accept);
    tickTimer.setInterval(TickMs);
    connect(&tickTimer, &QTimer::timeout, this, &RelayServer::tick);
}

RelayServer::~RelayServer()
{
    stop();
}

void RelayServer::addDevice(std::unique_ptr<SimDevice> device)
{
    const QString node = device->node();
    devices[node] = std::move(device);
}

bool RelayServer::listen(const QHostAddress &address, quint16 port, QString &error)
{
    if (!address.isLoopback()) {
        error = QStringLiteral("refusing to listen on %1: loopback only").arg(address.toString());
        return false;
    }
    if (!server.listen(address, port)) {
        error = server.errorString();
        return false;
    }
    sinceTick.start();
    tickTimer.start();
    return true;
}

void RelayServer::stop()
{
    if (stopped)
        return;
    stopped = true;
    tickTimer.stop();
    server.close();
    while (!clients.empty()) {
        const auto first = clients.begin();
        QTcpSocket *socket = first->first;
        delete first->second.loginTimer;
        clients.erase(first);
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
    subscriptions.clear();
    log("stop", QStringLiteral("server stopped"));
}

void RelayServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        if (stopped || int(clients.size()) >= MaxClients) {
            log("refused", QStringLiteral("too many connections"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (sinceDrop.isValid() && sinceDrop.elapsed() < refuseMs) {
            log("refused", QStringLiteral("turning connections away after a drop"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        Client client;
        client.socket = socket;
        // The client reads the number as a 32-bit integer.
        client.challenge = qint32(QRandomGenerator::global()->bounded(1000000));
        client.loginTimer = new QTimer(this);
        client.loginTimer->setSingleShot(true);
        connect(client.loginTimer, &QTimer::timeout, this,
                [this, socket] { drop(socket, QStringLiteral("no key line in time")); });
        client.loginTimer->start(LoginTimeoutMs);
        clients[socket] = client;
        log("open", QStringLiteral("%1 connection(s)").arg(clients.size()));

        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (hasClient(socket)) {
                log("closed", clients.at(socket).name);
                forget(socket);
            }
        });
        send(socket, QString::number(client.challenge));
    }
}

void RelayServer::readFrom(QTcpSocket *socket)
{
    while (hasClient(socket) && socket->canReadLine()) {
        const QByteArray bytes = socket->readLine(LineLimit + 1);
        if (!bytes.endsWith('\n')) {
            drop(socket, QStringLiteral("line longer than %1 bytes").arg(LineLimit));
            return;
        }
        // Latin-1 maps every byte to one character and back, so lines are
        // relayed byte for byte.
        const QString line = SMsg::normalise(QString::fromLatin1(bytes));
        if (line.isEmpty())
            continue;
        Client &client = clients[socket];
        if (client.loggedIn)
            relay(client, line);
        else
            login(client, line);
    }
    if (hasClient(socket) && socket->bytesAvailable() > LineLimit)
        drop(socket, QStringLiteral("line longer than %1 bytes").arg(LineLimit));
}

bool RelayServer::isNameTaken(const QString &name) const
{
    if (name == SystemNode || clientNamed(name))
        return true;
    // A client must not shadow a device: device nodes and their drivers are
    // reserved.
    for (const auto &entry : devices) {
        if (entry.first == name || clientPart(entry.first) == name)
            return true;
    }
    return false;
}

void RelayServer::login(Client &client, const QString &line)
{
    QTcpSocket *socket = client.socket;
    const QStringList words = line.split(QLatin1Char(' '));
    const QString name = words.value(0);
    const bool nameOk = StationConfig::isNodeName(name) && !name.contains(QLatin1Char('.'));
    QString verdict;
    if (words.size() != 2 || !nameOk)
        verdict = QStringLiteral("Er: the key line must be NAME KEY with a name without dots");
    else if (words.at(1) != keys.at(client.challenge % keys.size()))
        verdict = QStringLiteral("Er: wrong key");
    else if (isNameTaken(name))
        verdict = QStringLiteral("Er: the name %1 is in use").arg(name);

    const QString to = nameOk ? name : QStringLiteral("unknown");
    if (!verdict.isEmpty()) {
        log("refused", line.section(QLatin1Char(' '), 0, 0) + QStringLiteral(": ") + verdict);
        send(socket, composeLine(SystemNode, to, QStringLiteral("@Login"), verdict));
        delete client.loginTimer;
        clients.erase(socket);
        socket->disconnect(this);
        // Closing after the pending verdict has been written.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
        return;
    }
    client.name = name;
    client.loggedIn = true;
    delete client.loginTimer;
    client.loginTimer = nullptr;
    log("login", name);
    send(socket, composeLine(SystemNode, name, QStringLiteral("@Login"), QStringLiteral("Ok:")));
}

QTcpSocket *RelayServer::clientNamed(const QString &name) const
{
    for (const auto &entry : clients) {
        if (entry.second.loggedIn && entry.second.name == name)
            return entry.first;
    }
    return nullptr;
}

void RelayServer::relay(Client &client, const QString &line)
{
    SMsg msg;
    if (msg.Parse(line) == SMsg::Malformed) {
        log("drop", QStringLiteral("malformed: ") + line);
        return;
    }
    if (clientPart(msg.from) != client.name) {
        log("drop", QStringLiteral("sender is not %1: ").arg(client.name) + line);
        return;
    }
    if (msg.to == SystemNode) {
        log("system", line);
        handleSystem(client, msg);
        return;
    }
    const auto device = devices.find(msg.to);
    if (device != devices.end() && isMuted(msg.to)) {
        log("muted", line);
        return;
    }
    if (device != devices.end()) {
        log("request", line);
        handleDevice(client, *device->second, msg);
        return;
    }
    if (QTcpSocket *peer = clientNamed(clientPart(msg.to))) {
        log("relay", line);
        send(peer, line);
        return;
    }
    log("drop", QStringLiteral("no node %1: ").arg(msg.to) + line);
}

void RelayServer::handleSystem(Client &client, const SMsg &msg)
{
    const QString reply = QLatin1Char('@') + msg.message;
    QString answer;
    if (msg.message == QLatin1String("flgon") || msg.message == QLatin1String("flgoff")) {
        const QString node = msg.params;
        if (devices.find(node) == devices.end()) {
            answer = QStringLiteral("Er: no device node %1").arg(node);
        } else {
            QVector<Subscription> &list = subscriptions[node];
            for (int i = list.size() - 1; i >= 0; --i) {
                if (list[i].socket == client.socket && list[i].subscriber == msg.from)
                    list.remove(i);
            }
            if (msg.message == QLatin1String("flgon"))
                list.append({client.socket, msg.from});
            answer = QStringLiteral("Ok: ") + node;
        }
    } else {
        answer = QStringLiteral("Er: unknown command ") + msg.message;
    }
    const QString line = composeLine(SystemNode, msg.from, reply, answer);
    log("reply", line);
    send(client.socket, line);
}

void RelayServer::handleDevice(Client &client, SimDevice &device, const SMsg &msg)
{
    DeviceEvents events;
    const QString answer = device.handle(msg.message, msg.params, events);
    const QString line =
        composeLine(device.node(), msg.from, QLatin1Char('@') + msg.message, answer);
    log("reply", line);
    send(client.socket, line);
    publish(device.node(), events);
}

void RelayServer::publish(const QString &node, const DeviceEvents &events)
{
    if (events.isEmpty() || isMuted(node))
        return;
    const QVector<Subscription> list = subscriptions.value(node);
    for (const DeviceEvent &event : events) {
        for (const Subscription &s : list) {
            const QString line = composeLine(node, s.subscriber, event.word, event.params);
            log("event", line);
            send(s.socket, line);
        }
        if (list.isEmpty())
            log("event", composeLine(node, QStringLiteral("-"), event.word, event.params));
    }
}

void RelayServer::tick()
{
    // A stalled process must not make the devices jump: at most a second per tick.
    const double seconds = std::min(sinceTick.restart() / 1000.0, 1.0);
    for (auto &entry : devices) {
        DeviceEvents events;
        entry.second->advance(seconds, events);
        publish(entry.first, events);
    }
}

void RelayServer::send(QTcpSocket *socket, const QString &line)
{
    if (!hasClient(socket))
        return;
    socket->write(line.toLatin1() + '\n');
    if (socket->bytesToWrite() > MaxPendingOutput)
        drop(socket, QStringLiteral("not reading its input"));
}

void RelayServer::drop(QTcpSocket *socket, const QString &reason)
{
    if (!hasClient(socket))
        return;
    log("closed", clients.at(socket).name + QStringLiteral(": ") + reason);
    forget(socket);
    socket->abort();
}

void RelayServer::dropAll(int refuse)
{
    std::vector<QTcpSocket *> all;
    for (const auto &entry : clients)
        all.push_back(entry.first);
    log("drop-all", QStringLiteral("closing %1 connection(s)").arg(all.size()));
    for (QTcpSocket *socket : all)
        drop(socket, QStringLiteral("dropped on purpose"));
    refuseMs = refuse;
    sinceDrop.start();
}

void RelayServer::forget(QTcpSocket *socket)
{
    delete clients.at(socket).loginTimer;
    clients.erase(socket);
    for (auto it = subscriptions.begin(); it != subscriptions.end(); ++it) {
        QVector<Subscription> &list = it.value();
        for (int i = list.size() - 1; i >= 0; --i) {
            if (list[i].socket == socket)
                list.remove(i);
        }
    }
    socket->disconnect(this);
    socket->deleteLater();
}

void RelayServer::log(const char *tag, const QString &text)
{
    qCDebug(lcSim).noquote() << tag << text;
    if (!logDevice)
        return;
    const QString entry = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) +
                          QLatin1Char(' ') + QLatin1String(tag) + QLatin1Char(' ') + text +
                          QLatin1Char('\n');
    logDevice->write(entry.toUtf8());
    // The log is read while the simulator runs (tests, the demo): no buffering.
    if (auto *file = qobject_cast<QFileDevice *>(logDevice))
        file->flush();
}
