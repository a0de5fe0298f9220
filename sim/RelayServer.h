// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimDevice.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QTimer>
#include <QVector>
#include <map>
#include <memory>

class QIODevice;
class QTcpSocket;
class SMsg;

// The simulator's message server.
//
// It accepts clients on a loopback address and speaks first with a random
// challenge number; the client answers "NAME KEY", and the key must be word
// number (challenge modulo word count) of the key file. It answers with one
// verdict line from its own node "System" and closes the connection on a
// wrong key. Afterwards each line is routed by its receiver: a device node
// hands it to the simulated device, whose reply goes back to the sender;
// "System" handles subscriptions ("flgon" / "flgoff" with a device node);
// any other receiver goes to the client whose name is the receiver's node
// part. A tick timer moves the devices' time on and sends their events to
// every subscriber, addressed to the subscribing sender name.
class RelayServer : public QObject
{
    Q_OBJECT

public:
    // How often the devices' time moves on: ramps and drifts report a few
    // times a second.
    static constexpr int TickMs = 200;
    // Connections, line length and unsent output are bounded so that a
    // misbehaving client cannot exhaust the simulator.
    static constexpr int MaxClients = 32;
    static constexpr int LineLimit = 4000;
    static constexpr qint64 MaxPendingOutput = 4 << 20;
    static constexpr int LoginTimeoutMs = 10000;

    explicit RelayServer(const QStringList &keyWords, QObject *parent = nullptr);
    ~RelayServer() override;

    void addDevice(std::unique_ptr<SimDevice> device);
    // Every line relayed and every login is written to log (not owned).
    void setLog(QIODevice *log) { logDevice = log; }
    // The devices of these nodes take no requests and report nothing, as a
    // hung driver: their requests are dropped unanswered and their events
    // are not sent.
    void setMuted(const QStringList &nodes) { muted = nodes; }
    bool isMuted(const QString &node) const { return muted.contains(node); }

    bool listen(const QHostAddress &address, quint16 port, QString &error);
    quint16 port() const { return server.serverPort(); }
    // Closes every connection and stops the clock; the server is then inert.
    void stop();
    // How often the devices' time moves on, in milliseconds (TickMs unless
    // an event rate asks for more).
    void setTickInterval(int ms) { tickTimer.setInterval(ms); }
    // Closes every client's connection, as a server restart would, and then
    // turns new connections away for refuseMs (closed at once on arrival).
    void dropAll(int refuseMs);

private:
    struct Client
    {
        QTcpSocket *socket = nullptr;
        QString name;
        bool loggedIn = false;
        qint32 challenge = 0;
        QTimer *loginTimer = nullptr;
    };
    struct Subscription
    {
        QTcpSocket *socket;
        QString subscriber;
    };

    void accept();
    void readFrom(QTcpSocket *socket);
    void login(Client &client, const QString &line);
    void relay(Client &client, const QString &line);
    void handleSystem(Client &client, const SMsg &msg);
    void handleDevice(Client &client, SimDevice &device, const SMsg &msg);
    void publish(const QString &node, const DeviceEvents &events);
    void tick();
    void send(QTcpSocket *socket, const QString &line);
    void drop(QTcpSocket *socket, const QString &reason);
    void forget(QTcpSocket *socket);
    QTcpSocket *clientNamed(const QString &name) const;
    bool isNameTaken(const QString &name) const;
    bool hasClient(QTcpSocket *socket) const { return clients.count(socket) > 0; }
    void log(const char *tag, const QString &text);

    QTcpServer server;
    QStringList keys;
    std::map<QString, std::unique_ptr<SimDevice>> devices;
    // A node-based map: a reference to one client stays valid while another
    // is dropped (a send may drop a peer that does not read).
    std::map<QTcpSocket *, Client> clients;
    QHash<QString, QVector<Subscription>> subscriptions; // by device node
    QTimer tickTimer;
    QElapsedTimer sinceTick;
    QIODevice *logDevice = nullptr;
    QStringList muted;
    bool stopped = false;
    QElapsedTimer sinceDrop;
    int refuseMs = 0;
};
