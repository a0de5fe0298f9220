// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeTesraServer.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkProxy>
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
    return listen(QHostAddress(QHostAddress::LocalHost));
}

bool FakeTesraServer::listen(const QHostAddress &address)
{
    server.setProxy(QNetworkProxy::NoProxy);
    return server.listen(address, 0);
}

quint16 FakeTesraServer::port() const
{
    return server.serverPort();
}

void FakeTesraServer::close()
{
    server.close();
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
        if (autoHandshake && stall != Stall::BeforeChallenge)
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
            if (autoHandshake && stall == Stall::None) {
                socket->write(verdict);
                socket->flush();
            }
            emit keyLineReceived(line);
        } else {
            answer(socket, line);
            if (responder) {
                for (const QString &reply : responder(line))
                    socket->write(reply.toUtf8() + '\n');
                socket->flush();
            }
        }
        emit lineReceived(line);
    }
}

void FakeTesraServer::answerNode(const QString &node, const QString &params)
{
    answered.insert(node, params);
}

void FakeTesraServer::answer(QTcpSocket *socket, const QString &line)
{
    if (answered.isEmpty())
        return;
    // sender>receiver word [params]
    const int arrow = line.indexOf(QLatin1Char('>'));
    const int blank = line.indexOf(QLatin1Char(' '), arrow + 1);
    if (arrow < 0 || blank < 0)
        return;
    const QString to = line.mid(arrow + 1, blank - arrow - 1);
    const QString word = line.mid(blank + 1).section(QLatin1Char(' '), 0, 0);
    const auto found = answered.constFind(to);
    if (found == answered.constEnd() || word.startsWith(QLatin1Char('@')) ||
        word.startsWith(QLatin1Char('_')))
        return;
    const QString reply =
        QStringLiteral("%1>%2 @%3 %4\n").arg(to, line.left(arrow), word, found.value());
    socket->write(reply.toUtf8());
    socket->flush();
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
