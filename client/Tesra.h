// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/SMsg.h"

#include <QAbstractSocket>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <vector>

class CommandLog;
class QIODevice;
class QTcpSocket;

// The one client of the Tesra message server.
//
// The main window creates it once, gives it its name and key file and the
// server's address and port, and starts the connection. The server speaks
// first with a challenge number; the client answers with its name and the key
// word that the number selects from the key file, and counts as authenticated
// on the server's next line. From then on every complete line is parsed into
// an SMsg and, when its word is a known reply or event, handed to the panels
// it is addressed to and then emitted as the typed signal of that word.
// Panels send through SendMsg. They take their own messages through Deliver:
// the client looks a line's receiver sub-name (or its sender) up among the
// panels' addresses, so a line costs the same however many panels there are.
// Whoever else wants every message of a kind connects to its signal.
//
// The socket is the client's child and is only ever released with its
// connections cut and deleteLater, so a listener may restart the link from
// inside any of the client's signals. LinkStateChanged tells where the link
// stands, for the window to show and for whatever retries it. No link is
// left hanging (see LinkDeadlines): an attempt and a handshake each have a
// deadline, the socket's own keep-alive notices a peer that has vanished,
// and a socket error of a ready link ends it as a closed link ends.
class Tesra : public QObject
{
    Q_OBJECT

public:
    enum Stage { AwaitChallenge = 0, AwaitVerdict = 1, Ready = 2 };

    // Where the link stands. Idle: nothing tried yet. Connecting: waiting for
    // the TCP connection. Handshake: connected, challenge and key under way.
    // Ready: authenticated, lines are routed. Lost: a ready link broke (the
    // server closed it, or the socket gave up on a silent peer) or an
    // attempt could not connect in time. Refused: the handshake did not go
    // through: the server closed the link before it was (a wrong key, a
    // server turning clients away), or did not finish it within the
    // deadline (see refusal()). NoValidPort: the configured port is not a
    // port number, so nothing is tried. NoValidName: the client's name holds
    // white space (or a control character), so that its key line and every
    // line it heads would read as other words; nothing is tried either.
    enum class LinkState {
        Idle,
        Connecting,
        Handshake,
        Ready,
        Lost,
        Refused,
        NoValidPort,
        NoValidName
    };
    Q_ENUM(LinkState)
    // Why the latest attempt was refused: the server closed the link, or it
    // gave no answer in time and the client cut the handshake off.
    enum class Refusal { Closed, NoAnswer };

    // The longest line the client reads in one piece, line feed included.
    static constexpr qint64 LineLimit = 4000;

    Tesra();
    ~Tesra() override;

    void SetKeyFile(const QString &keyFile, const QString &name);
    // The exit status with which SetKeyFile ends the process when it finds
    // no key file: 1, unless a command-line run for which 1 means something
    // else (differences found) sets its own. Process-wide, as the ending is.
    static void setMissingKeyFileStatus(int status);
    static int missingKeyFileStatus();
    void MakeConnection();
    // The key word for a challenge number, or the empty text when the number
    // selects none (no keys, or a negative number).
    QString PickKey(qint32 number) const;

    bool SendMsg(const QString &fromSub, const QString &to, const QString &message,
                 const QString &params);
    void SendReply(const SMsg &msg, const QString &text);
    void SendToSystem(const QString &sender, const QString &text);
    bool SendLine(const QString &head, const QString &message, const QString &params);

    // In read-only mode the client writes only its key line, subscriptions
    // and queries; SendLine refuses every other line, so no panel path can
    // change a device whatever it does.
    void setReadOnly(bool on) { readOnly = on; }
    bool isReadOnly() const { return readOnly; }
    // Every command (a line that is neither a query nor a subscription)
    // written in full to a ready link is written to log, when one is set;
    // the client does not own it. A command that does not go out so is
    // never logged: it is named in the debug log and by CommandNotSent.
    void setCommandLog(CommandLog *log) { commandLog = log; }

    // A query asks and changes nothing: its word starts with "Get" or "Is".
    static bool isQuery(const QString &word);
    // A subscription: "flgon" or "flgoff" sent to System.
    static bool isSubscription(const QString &head, const QString &word);
    // Whether a composed line, as the server reads it, is a query or a
    // subscription: judged by the word after the line's receiver, however
    // the pieces it was made of were split.
    static bool onlyAsks(const QString &line);

    // The signals that carry a routed message.
    using MsgSignal = void (Tesra::*)(SMsg);
    // How a panel's messages name it: by their receiver's sub-name, or by
    // their sender (a device node).
    enum class Addressed { ToSub, From };

    // From now on every routed message of the kind of signal whose receiver
    // sub-name (or sender) is address goes to receiver's slot, before the
    // signal is emitted; receivers of one line are called in the order in
    // which they were added. A panel states its addresses again on every
    // ready connection, as it subscribes at the server, after StopDelivery.
    template <typename Receiver>
    void Deliver(Receiver *receiver, MsgSignal signal, Addressed by, const QString &address,
                 void (Receiver::*slot)(const SMsg &))
    {
        addDelivery(receiver, signal, by, address,
                    [receiver, slot](const SMsg &msg) { (receiver->*slot)(msg); });
    }
    // Ends every delivery to receiver; a destroyed receiver's end by themselves.
    void StopDelivery(QObject *receiver);
    // How many deliveries go to receiver (for tests and diagnostics).
    int deliveryCount(const QObject *receiver) const;

    QString name() const { return clientName; }
    QString serverAddress() const { return svAddress; }
    quint16 serverPort() const { return svPort; }
    QStringList keyWords() const { return keys; }
    // The key file on disk when others than its owner may read or write it;
    // empty when it is private (or came from the resources).
    QString exposedKeyFile() const { return exposedKey; }
    int keyWordCount() const { return keyCount; }
    int handshakeStage() const { return stage; }
    bool hasSocket() const { return socket != nullptr; }

    LinkState linkState() const { return link; }
    // When the current link state began.
    QDateTime linkStateSince() const { return linkSince; }
    // When the link stopped being usable: the first loss, refusal or failed
    // attempt since the link was last ready. Null while ready, and before
    // anything has failed.
    QDateTime linkDownSince() const { return downSince; }
    // Meaningful while linkState() is Refused.
    Refusal refusal() const { return refusedBy; }

    // The "Dead Link Timeout" in milliseconds (see LinkDeadlines); 0 keeps
    // the system's socket timings and lets attempts and handshakes take as
    // long as they take. Taken on from the next attempt.
    void setDeadLinkTimeout(int ms) { deadLinkMs = qMax(0, ms); }
    int deadLinkTimeout() const { return deadLinkMs; }

signals:
    void ConnectionIsReady(Tesra *s);
    void ReConnected();
    void Disconnected();
    // Every change of linkState(), emitted after the client has taken it on.
    void LinkStateChanged(Tesra::LinkState state);

    void AnsIsBusy(SMsg msg);
    void AnsGetStatus(SMsg msg);
    void AnsGetRange(SMsg msg);
    void AnsGetCurrentSurpressionValue(SMsg msg);
    void AnsGetVoltageBiasRange(SMsg msg);
    void AnsGetMaxV(SMsg msg);
    void AnsGetVLimit(SMsg msg);
    void AnsGetV(SMsg msg);
    void AnsGetSetV(SMsg msg);
    void AnsGetRamp(SMsg msg);
    void AnsGetStat1(SMsg msg);
    void AnsIsControllable(SMsg msg);

    void EvIsBusy(SMsg msg);
    void EvCurrentSurpressionValueChanged(SMsg msg);
    void EvStatusChanged(SMsg msg);
    void EvErrorStatusChanged(SMsg msg);
    void EvVoltageBiasRangeChanged(SMsg msg);
    void EvTotalGainChanged(SMsg msg);
    void EvRangeChanged(SMsg msg);
    void EvChangedOnOff(SMsg msg);
    void EvChangedStat(SMsg msg);
    void EvChangedValue(SMsg msg);
    void EvChangedSetValue(SMsg msg);
    void EvChangedRampRate(SMsg msg);

    // The amplifier's error status and overload alerts.
    void AnsGetErrorStatus(SMsg msg);
    void AnsGetSRQ(SMsg msg);
    void EvSRQChanged(SMsg msg);

    // A command handed to the client did not go out on a ready link: there
    // was no link, it was not ready, or the write failed. line is the
    // command line without its line feed. The send operations still return
    // what they always have (true while a socket exists), so this is the
    // one word of it.
    void CommandNotSent(const QString &line);

public slots:
    void SetNewSVAddress(const QString &item);
    void SetNewSVPort(const QString &item);
    void ReceiveMessageFromTesra();
    void ReConnect();

public:
    // Handles the complete lines that device holds as if they had arrived on
    // the connection: one step of the handshake or the routing loop. The
    // socket's notification runs it on the socket; the fuzzers and tests feed
    // bytes through it without a network.
    void ReadFrom(QIODevice &device);
    // Starts the handshake over, as a new connection does: the next line is
    // a challenge, no piece of an overlong line is pending and no buffer of
    // the last connection's lines is held. A new
    // connection starts here; the fuzzers reuse one client between inputs.
    void restartHandshake();

private:
    void restart();
    // Cuts the socket's connections to the client, closes it at once and
    // hands it to deleteLater: a listener may be running inside one of its
    // signals right now.
    void releaseSocket();
    void socketConnected();
    void socketDisconnected();
    void socketStateChanged(QAbstractSocket::SocketState state);
    void socketError(QAbstractSocket::SocketError error);
    // The attempt or the handshake took longer than the dead-link timeout.
    void deadlinePassed();
    void setLinkState(LinkState state);
    // Hands text to the socket; true when all of it was taken.
    bool writeLine(const QString &text);
    // Takes the next complete line of at most LineLimit bytes. Pieces of
    // longer lines are read and thrown away, so that buffered input stays
    // bounded; such a line is never returned.
    // The line is only valid until the next call.
    bool takeLine(QIODevice &device, QByteArray &out);
    void answerChallenge(const QByteArray &challenge);
    void route(const QByteArray &bytes);

    struct Delivery
    {
        int msgId;
        QObject *receiver;
        std::function<void(const SMsg &)> call;
    };
    using Deliveries = QHash<QString, std::vector<Delivery>>;
    void addDelivery(QObject *receiver, MsgSignal signal, Addressed by, const QString &address,
                     std::function<void(const SMsg &)> call);
    void deliver(const Deliveries &table, const QString &address);

    QString clientName;
    QString svAddress;
    quint16 svPort;
    QStringList keys;
    qint32 keyCount = 0;
    QString exposedKey;
    QTcpSocket *socket = nullptr;
    bool needConnect = true;
    int stage = AwaitChallenge;
    bool discardingLongLine = false;
    bool readOnly = false;
    CommandLog *commandLog = nullptr;
    std::array<char, LineLimit> lineBuffer{};
    SMsg working;
    // Counts sockets; a slot that emitted a signal compares it to learn
    // whether a listener replaced the socket meanwhile.
    quint64 generation = 0;
    bool socketWasConnected = false;
    bool socketEnded = false;
    LinkState link = LinkState::Idle;
    Refusal refusedBy = Refusal::Closed;
    int deadLinkMs;
    // Runs from connectToHost to the connection, and again from the
    // connection to the verdict.
    QTimer deadline;
    QDateTime linkSince;
    QDateTime downSince;
    // The panels' addresses: receiver sub-name or sender, to the deliveries
    // made to it. Changed only by Deliver and StopDelivery; generation counts
    // the changes, so that a delivery that changes them is noticed.
    Deliveries byToSub;
    Deliveries byFrom;
    quint64 deliveryGeneration = 0;
};
