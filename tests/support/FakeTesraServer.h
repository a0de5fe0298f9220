// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

// A stand-in for the Tesra message server, shared by all tests.
//
// It listens on 127.0.0.1 at a port the system picks, plays the server side of
// the handshake (challenge line, then one verdict line after the key line),
// records every line it receives from its clients and sends whatever the test
// asks. Tests wait on its signals or on QTRY_* over its recorded lines; it
// never sleeps.
class FakeTesraServer : public QObject
{
    Q_OBJECT

public:
    explicit FakeTesraServer(QObject *parent = nullptr);
    ~FakeTesraServer() override;

    // Starts listening on 127.0.0.1 at a free port; false when that fails.
    bool listen();
    // The same on address, which only a network namespace of the test's own
    // may hold when it is not loopback. The server itself takes no proxy from
    // the environment, so that a test may name one for the client.
    bool listen(const QHostAddress &address);
    quint16 port() const;
    // Stops listening: a client aimed at port() is refused from now on.
    void close();

    // What the server sends first on every new connection (default "7\n"),
    // and after the key line (default "Ok: welcome\n"). With autoHandshake off
    // it sends neither and the test drives the handshake with send().
    void setChallenge(const QByteArray &raw) { challenge = raw; }
    void setVerdict(const QByteArray &raw) { verdict = raw; }
    void setAutoHandshake(bool on) { autoHandshake = on; }
    // A server that hangs in the handshake: it accepts the connection and
    // then never sends its challenge, or sends the challenge and never its
    // verdict.
    enum class Stall { None, BeforeChallenge, BeforeVerdict };
    void setStall(Stall where) { stall = where; }

    // From now on every request line sent to node (driver or driver.ch) is
    // answered as the device would: "@" and the request's word, addressed
    // back to its sender, with params. Nodes not named stay silent.
    void answerNode(const QString &node, const QString &params = QStringLiteral("0"));
    void stopAnswering(const QString &node) { answered.remove(node); }
    // Answers the message lines as devices would: every message line
    // received after the key line is handed to responder, and the lines it
    // returns go back to that client at once, in order. None by default.
    using Responder = std::function<QStringList(const QString &line)>;
    void setResponder(Responder answer) { responder = std::move(answer); }

    // Every complete line received, without its line feed, in arrival order;
    // the first line of a connection is its key line.
    QStringList lines() const { return received; }
    // The lines received after the key line of the latest connection.
    QStringList messageLines() const;
    // The key line of the latest connection, or the empty text.
    QString keyLine() const { return latestKeyLine; }
    void clearLines();

    // Writes raw bytes, or one line with a line feed added, to the latest client.
    void send(const QByteArray &raw);
    void sendLine(const QString &line);

    int connectionCount() const { return connections; }
    // Connections open right now, and the most that were ever open at once.
    int openConnectionCount() const { return openNow; }
    int peakOpenConnections() const { return openPeak; }
    bool hasClient() const;
    // Closes the latest client's connection from the server side.
    void dropClient();

    // Waits (on signals, never sleeping) until at least count message lines
    // have arrived; false on time-out.
    bool waitForMessageLines(int count, int timeoutMs = 5000);
    // Waits until the latest client has sent its key line.
    bool waitForKeyLine(int timeoutMs = 5000);

signals:
    void clientConnected();
    void keyLineReceived(const QString &line);
    void lineReceived(const QString &line);

private:
    void acceptClient();
    void readClient(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &line);

    QTcpServer server;
    QPointer<QTcpSocket> latest;
    QByteArray challenge = "7\n";
    QByteArray verdict = "Ok: welcome\n";
    bool autoHandshake = true;
    Stall stall = Stall::None;
    QHash<QString, QString> answered; // node to the params of its answers
    Responder responder;
    QStringList received;
    int messageStart = -1; // index in received of the first message line
    QString latestKeyLine;
    int connections = 0;
    int openNow = 0;
    int openPeak = 0;
};
