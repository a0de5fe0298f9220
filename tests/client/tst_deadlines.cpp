// SPDX-License-Identifier: GPL-3.0-or-later
// The client giving up on links and handshakes that go quiet, and the answer
// watch naming a device node that stops answering, against the fake server.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/AnswerWatch.h"
#include "client/LinkDeadlines.h"
#include "client/Reconnector.h"
#include "client/Tesra.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

using namespace TestSupport;

namespace {

// Short times keep the test quick; the rules are the same at any scale.
constexpr int Deadline = 600;
constexpr int Interval = 100;
constexpr int Ceiling = 1000;
constexpr int AnswerMs = 300;

const QString Node = QStringLiteral("hvps.2");

enum class After { Nothing, NodeAnswers, OtherNodeSpeaks, NodeAnswersLate, NodeSendsEvent };

QList<int> gapsOf(const QSignalSpy &spy)
{
    QList<int> gaps;
    for (const QList<QVariant> &args : spy)
        gaps << args.at(0).toInt();
    return gaps;
}

#ifdef Q_OS_LINUX
int tcpOption(qintptr descriptor, int option)
{
    int value = -1;
    socklen_t size = sizeof value;
    if (getsockopt(int(descriptor), IPPROTO_TCP, option, &value, &size) != 0)
        return -1;
    return value;
}
#endif

} // namespace

Q_DECLARE_METATYPE(FakeTesraServer::Stall)
Q_DECLARE_METATYPE(After)

class tst_Deadlines : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void socketTimings_data();
    void socketTimings();
    void handshakeDeadline_data();
    void handshakeDeadline();
    void readyLinkKeepsNoDeadline();

    void answerWatch_data();
    void answerWatch();
    void nothingWatchedBeforeReady();
    void linkDownDropsTheSilence();

private:
    // A client of the fake server, ready, with a watch on Node.
    std::unique_ptr<Tesra> readyClient(AnswerWatch &watch);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_Deadlines::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_Deadlines::cleanup()
{
    server.reset();
    dir.reset();
}

void tst_Deadlines::socketTimings_data()
{
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("idle");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("userTimeout");

    QTest::newRow("default 10 s") << LinkDeadlines::DefaultMs << 5 << 2 << 3 << 10000;
    QTest::newRow("3 s, whole seconds rounded up") << 3000 << 2 << 1 << 3 << 3000;
    QTest::newRow("1 s, at least a second") << 1000 << 1 << 1 << 3 << 1000;
    QTest::newRow("0 keeps the system's") << 0 << -1 << -1 << -1 << 0;
}

void tst_Deadlines::socketTimings()
{
#ifndef Q_OS_LINUX
    QSKIP("the socket's timings are read back with Linux's option names");
#else
    QFETCH(int, timeoutMs);
    QFETCH(int, idle);
    QFETCH(int, interval);
    QFETCH(int, count);
    QFETCH(int, userTimeout);

    auto client = makeClient(*server, *dir);
    client->setDeadLinkTimeout(timeoutMs);
    QVERIFY(connectClient(*client));
    auto *socket = client->findChild<QTcpSocket *>();
    QVERIFY(socket);
    const qintptr fd = socket->socketDescriptor();
    QCOMPARE(socket->socketOption(QAbstractSocket::KeepAliveOption).toInt(), 1);
    QCOMPARE(tcpOption(fd, TCP_USER_TIMEOUT), userTimeout);
    if (timeoutMs == 0) {
        // The system's own first probe, untouched.
        QFile system(QStringLiteral("/proc/sys/net/ipv4/tcp_keepalive_time"));
        if (system.open(QIODevice::ReadOnly))
            QCOMPARE(tcpOption(fd, TCP_KEEPIDLE), system.readAll().trimmed().toInt());
        return;
    }
    QCOMPARE(tcpOption(fd, TCP_KEEPIDLE), idle);
    QCOMPARE(tcpOption(fd, TCP_KEEPINTVL), interval);
    QCOMPARE(tcpOption(fd, TCP_KEEPCNT), count);
#endif
}

void tst_Deadlines::handshakeDeadline_data()
{
    QTest::addColumn<FakeTesraServer::Stall>("stall");
    QTest::newRow("server never speaks") << FakeTesraServer::Stall::BeforeChallenge;
    QTest::newRow("challenge, never a verdict") << FakeTesraServer::Stall::BeforeVerdict;
}

void tst_Deadlines::handshakeDeadline()
{
    QFETCH(FakeTesraServer::Stall, stall);
    server->setStall(stall);
    auto client = makeClient(*server, *dir);
    client->setDeadLinkTimeout(Deadline);
    Reconnector reconnector(client.get(), Interval, nullptr, Ceiling);
    QSignalSpy scheduled(&reconnector, &Reconnector::RetryScheduled);
    QSignalSpy states(client.get(), &Tesra::LinkStateChanged);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    QElapsedTimer connected;
    connect(server.get(), &FakeTesraServer::clientConnected, this, [&connected] {
        if (!connected.isValid())
            connected.start();
    });

    client->MakeConnection();
    QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Refused, 15000);
    // Not before the deadline: the server had all of it.
    QVERIFY2(connected.elapsed() >= Deadline - 50,
             qPrintable(QString::number(connected.elapsed())));
    QCOMPARE(client->refusal(), Tesra::Refusal::NoAnswer);
    if (stall == FakeTesraServer::Stall::BeforeVerdict)
        QVERIFY(!server->keyLine().isEmpty());
    else
        QVERIFY(server->lines().isEmpty());

    // Retried like a refused link, each wait twice the one before.
    QTRY_VERIFY_WITH_TIMEOUT(scheduled.count() >= 3, 30000);
    QCOMPARE(gapsOf(scheduled).mid(0, 3), (QList<int>{Interval, 2 * Interval, 4 * Interval}));
    QVERIFY(server->connectionCount() >= 3);
    QVERIFY(server->peakOpenConnections() <= 2); // the server notices a close late
    QCOMPARE(ready.count(), 0);
    QVERIFY(!states.isEmpty());
}

void tst_Deadlines::readyLinkKeepsNoDeadline()
{
    // A ready link that is quiet for longer than the deadline stays up: the
    // deadline ends at the verdict, and a live peer answers the probes.
    auto client = makeClient(*server, *dir);
    client->setDeadLinkTimeout(Deadline);
    QVERIFY(connectClient(*client));
    QSignalSpy states(client.get(), &Tesra::LinkStateChanged);
    QVERIFY(!states.wait(3 * Deadline));
    QCOMPARE(client->linkState(), Tesra::LinkState::Ready);
}

std::unique_ptr<Tesra> tst_Deadlines::readyClient(AnswerWatch &watch)
{
    auto client = makeClient(*server, *dir);
    watch.setTimeout(AnswerMs);
    watch.follow(client.get());
    if (!connectClient(*client))
        return nullptr;
    watch.listen(Node);
    return client;
}

void tst_Deadlines::answerWatch_data()
{
    QTest::addColumn<After>("after");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("answering");

    QTest::newRow("node answers in time") << After::NodeAnswers << false << false;
    QTest::newRow("node sends an event in time") << After::NodeSendsEvent << false << false;
    QTest::newRow("nothing comes") << After::Nothing << true << false;
    QTest::newRow("only another node speaks") << After::OtherNodeSpeaks << true << false;
    QTest::newRow("node answers late") << After::NodeAnswersLate << true << true;
}

void tst_Deadlines::answerWatch()
{
    QFETCH(After, after);
    QFETCH(bool, silent);
    QFETCH(bool, answering);

    AnswerWatch watch;
    auto client = readyClient(watch);
    QVERIFY(client);
    QSignalSpy silentSpy(&watch, &AnswerWatch::deviceSilent);
    QSignalSpy answeringSpy(&watch, &AnswerWatch::deviceAnswering);

    const QDateTime before = QDateTime::currentDateTime();
    client->SendMsg(QStringLiteral("hv2"), Node, QStringLiteral("GetV"), QString());
    watch.requestSent();
    const QDateTime sent = QDateTime::currentDateTime();
    const QString reply = QStringLiteral("%1>Brenlow.hv2 @GetV 1000").arg(Node);
    if (after == After::NodeAnswers)
        QVERIFY(deliver(*server, *client, {reply}));
    if (after == After::NodeSendsEvent)
        QVERIFY(deliver(*server, *client, {Node + QStringLiteral(">Brenlow.hv2 _ChangedValue 3")}));
    if (after == After::OtherNodeSpeaks)
        QVERIFY(deliver(*server, *client, {QStringLiteral("hvps.1>Brenlow.hv1 @GetV 5")}));

    if (!silent) {
        QVERIFY(!silentSpy.wait(3 * AnswerMs));
        QVERIFY(!watch.isSilent());
        return;
    }
    QVERIFY(silentSpy.wait(10000));
    QCOMPARE(silentSpy.count(), 1);
    QCOMPARE(silentSpy.at(0).at(0).toString(), Node);
    const QDateTime since = silentSpy.at(0).at(1).toDateTime();
    QVERIFY(since >= before && since <= sent);
    QVERIFY(watch.isSilent());
    QCOMPARE(watch.silentSince(), since);
    // Further unanswered requests change nothing: it is still the same
    // silence, since the first of them.
    watch.requestSent();
    QVERIFY(!silentSpy.wait(3 * AnswerMs));
    QCOMPARE(watch.silentSince(), since);

    if (after == After::NodeAnswersLate)
        QVERIFY(deliver(*server, *client, {reply}));
    QCOMPARE(answeringSpy.count(), answering ? 1 : 0);
    QCOMPARE(watch.isSilent(), !answering);
    if (answering)
        QCOMPARE(answeringSpy.at(0).at(0).toString(), Node);
}

void tst_Deadlines::nothingWatchedBeforeReady()
{
    server->setStall(FakeTesraServer::Stall::BeforeVerdict);
    auto client = makeClient(*server, *dir);
    AnswerWatch watch;
    watch.setTimeout(AnswerMs);
    watch.follow(client.get());
    QSignalSpy silentSpy(&watch, &AnswerWatch::deviceSilent);
    client->MakeConnection();
    QVERIFY(server->waitForKeyLine());
    // Sent while the handshake is under way: nobody can answer yet.
    watch.requestSent();
    QVERIFY(!silentSpy.wait(3 * AnswerMs));

    // Ready now, and nothing was asked since.
    server->send("Ok\n");
    QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Ready, 10000);
    watch.listen(Node);
    QVERIFY(!silentSpy.wait(3 * AnswerMs));
    QVERIFY(!watch.isSilent());
}

void tst_Deadlines::linkDownDropsTheSilence()
{
    AnswerWatch watch;
    auto client = readyClient(watch);
    QVERIFY(client);
    QSignalSpy silentSpy(&watch, &AnswerWatch::deviceSilent);
    QSignalSpy droppedSpy(&watch, &AnswerWatch::silenceDropped);
    QSignalSpy answeringSpy(&watch, &AnswerWatch::deviceAnswering);
    watch.requestSent();
    QVERIFY(silentSpy.wait(10000));

    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Lost, 10000);
    QCOMPARE(droppedSpy.count(), 1);
    QCOMPARE(droppedSpy.at(0).at(0).toString(), Node);
    QVERIFY(!watch.isSilent());
    QCOMPARE(answeringSpy.count(), 0);
    // While the link is down nothing is named.
    watch.requestSent();
    QVERIFY(!silentSpy.wait(3 * AnswerMs));
    QCOMPARE(silentSpy.count(), 1);

    // Back up, silent again; turning the watch off ends that silence too.
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->ReConnect();
    QVERIFY(ready.wait(10000));
    watch.listen(Node);
    watch.requestSent();
    QVERIFY(silentSpy.wait(10000));
    watch.setTimeout(0);
    QCOMPARE(droppedSpy.count(), 2);
    QVERIFY(!watch.isSilent());
}

QTEST_MAIN(tst_Deadlines)
#include "tst_deadlines.moc"
