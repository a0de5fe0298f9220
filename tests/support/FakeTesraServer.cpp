#include "FakeTesraServer.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpSocket>

namespace {
const char *const KeySeen = "fakeTesraKeySeen";
}

FakeTesraServer::FakeTesraServer(QObject *parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &FakeTesraServer::acceptClient);
}

FakeTesraServer::~FakeTesraServer() = default;

bool FakeTesraServer::listen()
{
    return server.listen(QHostAddress::LocalHost, 0);
}

quint16 FakeTesraServer::port() const
{
    return server.serverPort();
}

QStringList FakeTesraServer::messageLines() const
{
    if (messageStart < 0)
        return {};
    return received.mid(messageStart);
}

void FakeTesraServer::clearLines()
{
    received.clear();
    if (messageStart >= 0)
        messageStart = 0;
}

bool FakeTesraServer::hasClient() const
{
    return latest && latest->state() == QAbstractSocket::ConnectedState;
}

void FakeTesraServer::send(const QByteArray &raw)
{
    if (latest) {
        latest->write(raw);
        latest->flush();
    }
}

void FakeTesraServer::sendLine(const QString &line)
{
    send(line.toUtf8() + '\n');
}

void FakeTesraServer::dropClient()
{
    if (latest)
        latest->disconnectFromHost();
}

void FakeTesraServer::acceptClient()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readClient(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this] { --openNow; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        latest = socket;
        openPeak = qMax(openPeak, ++openNow);
        messageStart = -1;
        latestKeyLine.clear();
        ++connections;
        if (autoHandshake)
            send(challenge);
        emit clientConnected();
    }
}

void FakeTesraServer::readClient(QTcpSocket *socket)
{
    while (socket->canReadLine()) {
        QByteArray bytes = socket->readLine();
        bytes.chop(1);
        const QString line = QString::fromLatin1(bytes);
        received.append(line);
        if (!socket->property(KeySeen).toBool()) {
            socket->setProperty(KeySeen, true);
            if (socket == latest) {
                latestKeyLine = line;
                messageStart = received.size();
            }
            if (autoHandshake) {
                socket->write(verdict);
                socket->flush();
            }
            emit keyLineReceived(line);
        } else if (responder) {
            for (const QString &answer : responder(line))
                socket->write(answer.toUtf8() + '\n');
            socket->flush();
        }
        emit lineReceived(line);
    }
}

bool FakeTesraServer::waitForMessageLines(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QSignalSpy spy(this, &FakeTesraServer::lineReceived);
    while (messageLines().size() < count) {
        if (deadline.hasExpired() || !spy.wait(int(deadline.remainingTime())))
            return messageLines().size() >= count;
    }
    return true;
}

bool FakeTesraServer::waitForKeyLine(int timeoutMs)
{
    if (!latestKeyLine.isEmpty())
        return true;
    QSignalSpy spy(this, &FakeTesraServer::keyLineReceived);
    return spy.wait(timeoutMs) || !latestKeyLine.isEmpty();
}
