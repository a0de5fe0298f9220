// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/Tesra.h"

#include "client/CommandLog.h"
#include "client/KeyFile.h"
#include "client/LinkDeadlines.h"
#include "client/Logging.h"
#include "client/MessageNames.h"
#include "client/Values.h"

#include <QFile>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpSocket>
#include <algorithm>
#include <cstdlib>

namespace {

// Fallbacks only: the main window always sets both from its configuration.
const char *const FallbackAddress = "localhost";
constexpr quint16 FallbackPort = 6057;

// Received bytes as text: UTF-8, up to the first NUL byte if there is one.
QString decodeLine(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

// The dispatch id whose signal is signal, or -1.
int idOfSignal(Tesra::MsgSignal signal)
{
    for (int id = 0; id < MessageNames::IdCount; ++id) {
        if (signal && MessageNames::signalFor(id) == signal)
            return id;
    }
    return -1;
}

} // namespace

Tesra::Tesra()
    : svAddress(QString::fromLatin1(FallbackAddress)), svPort(FallbackPort),
      deadLinkMs(LinkDeadlines::DefaultMs)
{
    qRegisterMetaType<SMsg>("SMsg");
    qRegisterMetaType<Tesra::LinkState>("Tesra::LinkState");
    linkSince = QDateTime::currentDateTime();
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &Tesra::deadlinePassed);
}

Tesra::~Tesra()
{
    // Nothing may hear from the socket while the client is half destroyed:
    // closing it would otherwise report a loss to listeners of a client that
    // is going away.
    if (socket) {
        socket->disconnect(this);
        delete socket;
        socket = nullptr;
    }
}

void Tesra::SetKeyFile(const QString &keyFile, const QString &name)
{
    qCDebug(lcClient).noquote() << "key file names" << keyFile << name;
    clientName = name;

    QFile file;
    bool opened = false;
    if (!keyFile.isEmpty()) {
        file.setFileName(keyFile + QStringLiteral(".key"));
        opened = file.open(QIODevice::ReadOnly | QIODevice::Text);
        if (!opened)
            qCDebug(lcClient).noquote() << tr("Cannot open [%1.key]").arg(keyFile);
        // Anyone who can read the file can log in as this station, and
        // anyone who can write it can lock it out. The program still runs:
        // the station must not go dark over a file mode.
        if (opened && KeyFile::openToOthers(file.fileName())) {
            exposedKey = file.fileName();
            qCDebug(lcClient).noquote()
                << QStringLiteral("key file [%1] may be read or written by others than its "
                                  "owner; it should be private (chmod 600)")
                       .arg(exposedKey);
        }
    }
    if (!opened) {
        file.setFileName(QLatin1Char(':') + name + QStringLiteral(".key"));
        opened = file.open(QIODevice::ReadOnly | QIODevice::Text);
    }
    if (!opened) {
        qCDebug(lcClient).noquote()
            << tr("Cannot open both [%1.key] and [:%2.key]").arg(keyFile, name);
        std::exit(missingKeyFileStatus());
    }

    keys += KeyFile::readWords(file);
    keyCount = keys.size();
    file.close();
}

namespace {

int &missingKeyStatus()
{
    static int status = EXIT_FAILURE;
    return status;
}

} // namespace

void Tesra::setMissingKeyFileStatus(int status)
{
    missingKeyStatus() = status;
}

int Tesra::missingKeyFileStatus()
{
    return missingKeyStatus();
}

void Tesra::SetNewSVAddress(const QString &item)
{
    svAddress = item;
    qCDebug(lcClient).noquote() << "Tesra Server" << svAddress;
    if (socket)
        restart();
}

void Tesra::SetNewSVPort(const QString &item)
{
    // Only a real port number is taken: a text such as 70000 must not quietly
    // connect to its low 16 bits.
    svPort = Values::toPort(item);
    if (svPort == 0) {
        qCWarning(lcClient).noquote()
            << QStringLiteral("Tesra Port [%1] is not a port number from 1 to "
                              "65535: no connection will be made")
                   .arg(item);
    }
    qCDebug(lcClient).noquote() << "Tesra Port" << svPort;
    if (socket)
        restart();
}

void Tesra::MakeConnection()
{
    if (socket && socket->state() == QAbstractSocket::ConnectedState)
        return;
    if (!needConnect)
        return;
    if (svPort == 0) {
        qCDebug(lcClient).noquote() << "Tesra: no valid port, not connecting to" << svAddress;
        setLinkState(LinkState::NoValidPort);
        return;
    }
    if (!SMsg::isWord(clientName)) {
        qCDebug(lcClient).noquote()
            << QStringLiteral("Tesra: the client name [%1] is not one word; not connecting to %2")
                   .arg(clientName, svAddress);
        setLinkState(LinkState::NoValidName);
        return;
    }
    needConnect = false;
    if (!socket) {
        socket = new QTcpSocket(this);
        // Straight to the server, never through a web proxy that the
        // environment names (http_proxy and the like, set on many
        // workstations for the browser): a proxy would see the key word and
        // every command, and one that refuses to relay leaves the link down
        // without a word.
        socket->setProxy(QNetworkProxy::NoProxy);
        ++generation;
    }
    restartHandshake();
    socketWasConnected = false;
    socketEnded = false;
    connect(socket, &QTcpSocket::readyRead, this, &Tesra::ReceiveMessageFromTesra,
            Qt::UniqueConnection);
    connect(socket, &QTcpSocket::connected, this, &Tesra::socketConnected, Qt::UniqueConnection);
    connect(socket, &QTcpSocket::disconnected, this, &Tesra::socketDisconnected,
            Qt::UniqueConnection);
    connect(socket, &QTcpSocket::stateChanged, this, &Tesra::socketStateChanged,
            Qt::UniqueConnection);
    connect(socket, &QAbstractSocket::errorOccurred, this, &Tesra::socketError,
            Qt::UniqueConnection);

    const quint64 attempt = generation;
    refusedBy = Refusal::Closed;
    setLinkState(LinkState::Connecting);
    if (attempt != generation)
        return; // a listener has started another attempt already
    // A server whose packets vanish leaves the attempt hanging for minutes.
    if (deadLinkMs > 0)
        deadline.start(deadLinkMs);
    socket->connectToHost(svAddress, svPort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void Tesra::ReConnect()
{
    if (socket)
        restart();
    emit ReConnected();
}

void Tesra::restart()
{
    releaseSocket();
    needConnect = true;
    MakeConnection();
}

void Tesra::releaseSocket()
{
    QTcpSocket *old = socket;
    socket = nullptr;
    ++generation;
    deadline.stop();
    old->disconnect(this);
    old->disconnectFromHost();
    // A connection still flushing would stay open next to the new one.
    if (old->state() != QAbstractSocket::UnconnectedState)
        old->abort();
    old->deleteLater();
}

void Tesra::socketConnected()
{
    socketWasConnected = true;
    // A peer that vanishes without closing (a cable pulled, a host gone) is
    // noticed only by keep-alive probes; without them the link would look
    // ready forever.
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    // Every line is a whole command written at once: it goes out now rather
    // than waiting for the server to acknowledge the one before, which with
    // a delayed acknowledgement holds an operator's command for up to 40 ms.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // The system's keep-alive waits two hours before its first probe, and
    // unacknowledged data is retried for a quarter of an hour; a dead link
    // must show within seconds.
    LinkDeadlines::apply(socket->socketDescriptor(), deadLinkMs);
    // The handshake gets the whole deadline of its own, however long the
    // connection took.
    if (deadLinkMs > 0)
        deadline.start(deadLinkMs);
    setLinkState(LinkState::Handshake);
}

void Tesra::socketDisconnected()
{
    if (socketEnded)
        return;
    socketEnded = true;
    deadline.stop();
    const bool wasReady = stage == Ready;
    const quint64 current = generation;
    emit Disconnected();
    if (current != generation)
        return; // a listener has restarted the link already
    setLinkState(wasReady ? LinkState::Lost : LinkState::Refused);
}

void Tesra::socketStateChanged(QAbstractSocket::SocketState state)
{
    // A connected socket ends in disconnected(); only an attempt that never
    // connected ends here.
    if (socketWasConnected || socketEnded || state != QAbstractSocket::UnconnectedState)
        return;
    socketEnded = true;
    deadline.stop();
    qCDebug(lcClient).noquote() << "Tesra: cannot connect to" << svAddress << svPort << ":"
                                << socket->errorString();
    setLinkState(LinkState::Lost);
}

void Tesra::socketError(QAbstractSocket::SocketError error)
{
    // Before the connection stands, a failed attempt ends in stateChanged;
    // a closing server in disconnected(), which follows its error.
    if (!socketWasConnected || socketEnded || error == QAbstractSocket::RemoteHostClosedError)
        return;
    // The system gave up on the link (no answer to keep-alive probes, data
    // never acknowledged, a reset): it ends exactly as a closed link does.
    qCDebug(lcClient).noquote() << "Tesra: the link to" << svAddress << svPort
                                << "failed:" << socket->errorString();
    socketDisconnected();
}

void Tesra::deadlinePassed()
{
    if (!socket || socketEnded)
        return;
    if (!socketWasConnected) {
        qCDebug(lcClient).noquote()
            << QStringLiteral("Tesra: no connection to %1:%2 within %3 ms; giving up")
                   .arg(svAddress)
                   .arg(svPort)
                   .arg(deadLinkMs);
        // Ends in stateChanged as any attempt that cannot connect.
        socket->abort();
        return;
    }
    if (stage == Ready)
        return;
    qCDebug(lcClient).noquote()
        << QStringLiteral("Tesra: no answer from %1:%2 during the handshake within %3 ms; "
                          "cutting it off")
               .arg(svAddress)
               .arg(svPort)
               .arg(deadLinkMs);
    // Ends in disconnected() as a server that closes during the handshake.
    refusedBy = Refusal::NoAnswer;
    socket->abort();
}

void Tesra::setLinkState(LinkState state)
{
    if (state == link)
        return;
    link = state;
    linkSince = QDateTime::currentDateTime();
    if (state == LinkState::Ready)
        downSince = QDateTime();
    else if ((state == LinkState::Lost || state == LinkState::Refused ||
              state == LinkState::NoValidPort || state == LinkState::NoValidName) &&
             downSince.isNull())
        downSince = linkSince;
    emit LinkStateChanged(state);
}

QString Tesra::PickKey(qint32 number) const
{
    if (keys.size() != keyCount)
        return QString();
    return KeyFile::pick(keys, number);
}

bool Tesra::takeLine(QIODevice &device, QByteArray &out)
{
    while (device.canReadLine()) {
        // Read into the client's own buffer: a line read into a new array
        // would reserve the whole limit for every line.
        const int length = int(qMax<qint64>(0, device.readLine(lineBuffer.data(), LineLimit)));
        const bool complete = length > 0 && lineBuffer[size_t(length - 1)] == '\n';
        if (discardingLongLine) {
            if (complete)
                discardingLongLine = false;
            continue;
        }
        if (!complete) {
            discardingLongLine = true;
            qCDebug(lcClient).noquote()
                << "Tesra: dropped a line longer than" << LineLimit << "bytes";
            continue;
        }
        // Valid until the next line is taken, which is all its users need.
        out = QByteArray::fromRawData(lineBuffer.data(), length);
        return true;
    }
    // No line feed in what has arrived. Once that is more than a line may
    // hold, the line is too long whatever follows: drop what is there now so
    // the buffer stays bounded.
    if (discardingLongLine || device.bytesAvailable() >= LineLimit - 1) {
        if (!discardingLongLine && device.bytesAvailable() > 0) {
            discardingLongLine = true;
            qCDebug(lcClient).noquote()
                << "Tesra: dropped a line longer than" << LineLimit << "bytes";
        }
        device.readAll();
    }
    return false;
}

void Tesra::ReceiveMessageFromTesra()
{
    if (socket)
        ReadFrom(*socket);
}

void Tesra::restartHandshake()
{
    stage = AwaitChallenge;
    discardingLongLine = false;
    // The working record keeps the buffers of the last line it parsed.
    working = SMsg();
}

void Tesra::ReadFrom(QIODevice &device)
{
    QByteArray bytes;
    switch (stage) {
    case AwaitChallenge:
        // The key is chosen from the whole challenge number, so wait for its
        // line feed: a number split across arrivals must not be read in part.
        if (takeLine(device, bytes))
            answerChallenge(bytes);
        return;
    case AwaitVerdict: {
        while (takeLine(device, bytes)) {
        }
        stage = Ready;
        deadline.stop();
        const quint64 current = generation;
        setLinkState(LinkState::Ready);
        if (current == generation)
            emit ConnectionIsReady(this);
        return;
    }
    default: {
        // A listener may restart the connection while lines are routed; the
        // old socket is then gone and its remaining lines with it.
        const QPointer<QIODevice> current(&device);
        QTcpSocket *const connection = socket;
        while (current && connection == socket && takeLine(device, bytes))
            route(bytes);
        return;
    }
    }
}

void Tesra::answerChallenge(const QByteArray &challenge)
{
    const QString text = SMsg::normalise(decodeLine(challenge));
    bool ok = false;
    qint32 number = text.toInt(&ok, 10);
    if (!ok)
        number = 0;

    const QString key = PickKey(number);
    if (key.isEmpty()) {
        qCDebug(lcClient).noquote()
            << QStringLiteral("Tesra: no key word for challenge %1 with %2 key "
                              "words; closing the connection")
                   .arg(number)
                   .arg(keyCount);
        if (socket)
            socket->abort();
        return;
    }
    stage = AwaitVerdict;
    writeLine(tr("%1 %2\n").arg(SMsg::oneLine(clientName), key));
}

void Tesra::route(const QByteArray &received)
{
    const int kind = working.Parse(decodeLine(received));
    const int id = working.msgId;
    const bool routed = (kind == SMsg::Request && MessageNames::isReplyId(id)) ||
                        (kind == SMsg::Event && MessageNames::isEventId(id));
    if (!routed)
        return;
    // The panels the line is addressed to first, as when they were the
    // first to connect to the signal.
    deliver(byToSub, working.toSub);
    deliver(byFrom, working.from);
    if (const MessageNames::Signal sig = MessageNames::signalFor(id))
        (this->*sig)(working);
}

void Tesra::deliver(const Deliveries &table, const QString &address)
{
    const int id = working.msgId;
    const quint64 seen = deliveryGeneration;
    auto found = table.constFind(address);
    for (size_t i = 0; found != table.constEnd() && i < found->size(); ++i) {
        if ((*found)[i].msgId != id)
            continue;
        (*found)[i].call(working);
        // A receiver that changed the deliveries (or went away) while it
        // ran: look the address up again and go on after the same place.
        if (seen != deliveryGeneration)
            found = table.constFind(address);
    }
}

void Tesra::addDelivery(QObject *receiver, MsgSignal signal, Addressed by, const QString &address,
                        std::function<void(const SMsg &)> call)
{
    const int id = idOfSignal(signal);
    if (!receiver || id < 0)
        return;
    if (deliveryCount(receiver) == 0)
        connect(receiver, &QObject::destroyed, this, [this, receiver] { StopDelivery(receiver); });
    Deliveries &table = by == Addressed::ToSub ? byToSub : byFrom;
    table[address].push_back(Delivery{id, receiver, std::move(call)});
    ++deliveryGeneration;
}

void Tesra::StopDelivery(QObject *receiver)
{
    bool removed = false;
    for (Deliveries *table : {&byToSub, &byFrom}) {
        for (auto it = table->begin(); it != table->end();) {
            std::vector<Delivery> &list = *it;
            const auto end =
                std::remove_if(list.begin(), list.end(),
                               [receiver](const Delivery &d) { return d.receiver == receiver; });
            removed = removed || end != list.end();
            list.erase(end, list.end());
            if (list.empty())
                it = table->erase(it);
            else
                ++it;
        }
    }
    if (removed) {
        ++deliveryGeneration;
        disconnect(receiver, &QObject::destroyed, this, nullptr);
    }
}

int Tesra::deliveryCount(const QObject *receiver) const
{
    int count = 0;
    for (const Deliveries *table : {&byToSub, &byFrom}) {
        for (const std::vector<Delivery> &list : *table)
            count += int(std::count_if(list.begin(), list.end(), [receiver](const Delivery &d) {
                return d.receiver == receiver;
            }));
    }
    return count;
}

bool Tesra::writeLine(const QString &text)
{
    if (!socket)
        return false;
    const QByteArray bytes = text.toLatin1();
    const qint64 written = socket->write(bytes);
    // Out now, not when the event loop next looks at the socket: by then it
    // may first have painted the window or read a long backlog, and the
    // operator's command would wait behind them.
    socket->flush();
    return written == bytes.size();
}

bool Tesra::SendMsg(const QString &fromSub, const QString &to, const QString &message,
                    const QString &params)
{
    // The same line as SendLine with the sender and receiver as its head.
    return SendLine(clientName + QLatin1Char('.') + fromSub + QLatin1Char('>') + to, message,
                    params);
}

void Tesra::SendReply(const SMsg &msg, const QString &text)
{
    // The answer goes back to the sender, from the receiver of the message.
    SendLine(msg.to + QLatin1Char('>') + msg.from, text, QString());
}

void Tesra::SendToSystem(const QString &sender, const QString &text)
{
    SendLine(sender + QStringLiteral(">System"), text, QString());
}

bool Tesra::isQuery(const QString &word)
{
    return word.startsWith(QLatin1String("Get")) || word.startsWith(QLatin1String("Is"));
}

bool Tesra::isSubscription(const QString &head, const QString &word)
{
    return head.endsWith(QLatin1String(">System")) &&
           (word == QLatin1String("flgon") || word == QLatin1String("flgoff"));
}

bool Tesra::onlyAsks(const QString &line)
{
    SMsg read;
    read.Parse(line);
    return isQuery(read.message) ||
           isSubscription(read.from + QLatin1Char('>') + read.to, read.message);
}

bool Tesra::SendLine(const QString &head, const QString &message, const QString &params)
{
    const QString cleanHead = SMsg::oneLine(head);
    const QString cleanMessage = SMsg::oneLine(message);
    const QString line = SMsg::compose(cleanHead, cleanMessage, params);
    const QString text = line.chopped(1); // without its line feed, for the log

    const bool changesNothing = onlyAsks(line);
    if (readOnly && !changesNothing) {
        qCDebug(lcClient).noquote() << "Tesra: read-only, not sending" << text;
        return false;
    }
    // The line is written whenever a socket exists, as it always was; but
    // only a command that went out whole on a ready link is on record as
    // sent. One written into a link that is gone would otherwise stand in
    // the log after "link lost" as if the device had received it.
    const bool written = writeLine(line);
    if (!changesNothing) {
        if (written && link == LinkState::Ready) {
            if (commandLog)
                commandLog->write(text);
        } else {
            qCDebug(lcClient).noquote() << "Tesra: not sent, the link is not ready:" << text;
            emit CommandNotSent(text);
        }
    }
    return socket != nullptr;
}
