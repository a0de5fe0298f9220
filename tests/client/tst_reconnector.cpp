// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic reconnecting against the fake server: the gaps between attempts
// double up to their ceiling, go back to the first interval only after a
// ready link, and never leave more than one connection open.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/Reconnector.h"
#include "client/Tesra.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

// Short gaps keep the test quick; the doubling is the same at any scale.
constexpr int Interval = 40;
constexpr int Ceiling = 320;

enum Failure { ClosesAtOnce, ClosesAfterKey, NothingListening };

QList<int> gapsOf(const QSignalSpy &spy)
{
    QList<int> gaps;
    for (const QList<QVariant> &args : spy)
        gaps << args.at(0).toInt();
    return gaps;
}

} // namespace

Q_DECLARE_METATYPE(Failure)

class tst_Reconnector : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backoff_data();
    void backoff();
    void resetOnlyAfterReady();
    void everyDropOfAReadyLinkIsRetried();
    void operatorAttemptStopsTheWait();
    void offWithoutInterval_data();
    void offWithoutInterval();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_Reconnector::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_Reconnector::cleanup()
{
    server.reset();
    dir.reset();
}

void tst_Reconnector::backoff_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("ceiling");
    QTest::addColumn<QList<int>>("gaps");
    QTest::newRow("server closes at once")
        << ClosesAtOnce << Interval << Ceiling << QList<int>{40, 80, 160, 320, 320, 320};
    QTest::newRow("server closes after the key")
        << ClosesAfterKey << Interval << Ceiling << QList<int>{40, 80, 160, 320, 320, 320};
    QTest::newRow("nothing listening")
        << NothingListening << Interval << Ceiling << QList<int>{40, 80, 160, 320, 320, 320};
    QTest::newRow("interval above the ceiling stays")
        << ClosesAtOnce << 100 << 60 << QList<int>{100, 100, 100};
}

void tst_Reconnector::backoff()
{
    QFETCH(Failure, failure);
    QFETCH(int, interval);
    QFETCH(int, ceiling);
    QFETCH(QList<int>, gaps);

    auto client = makeClient(*server, *dir);
    if (failure == NothingListening) {
        // A port the system handed out and took back: nothing listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        client->SetNewSVPort(QString::number(probe.serverPort()));
        probe.close();
    } else {
        server->setAutoHandshake(false);
        if (failure == ClosesAtOnce) {
            connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
                    &FakeTesraServer::dropClient);
        } else {
            connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
                    [this] { server->send("3\n"); });
            connect(server.get(), &FakeTesraServer::keyLineReceived, server.get(),
                    &FakeTesraServer::dropClient);
        }
    }
    Reconnector reconnector(client.get(), interval, nullptr, ceiling);
    QSignalSpy scheduled(&reconnector, &Reconnector::RetryScheduled);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->MakeConnection();
    QTRY_VERIFY_WITH_TIMEOUT(scheduled.count() >= gaps.size(), 20000);
    QCOMPARE(gapsOf(scheduled).mid(0, gaps.size()), gaps);
    for (int i = 0; i < gaps.size(); ++i)
        QCOMPARE(scheduled.at(i).at(1).toInt(), i + 1); // attempt numbers
    QCOMPARE(ready.count(), 0);
    QVERIFY(server->peakOpenConnections() <= 1);
    QVERIFY(client->findChildren<QTcpSocket *>().size() <= 2); // one live, one on its way out
}

void tst_Reconnector::resetOnlyAfterReady()
{
    // The first three connections are closed at once, the fourth is let in
    // and then dropped once ready.
    server->setAutoHandshake(false);
    connect(server.get(), &FakeTesraServer::clientConnected, server.get(), [this] {
        if (server->connectionCount() <= 3)
            server->dropClient();
        else
            server->send("7\n");
    });
    connect(server.get(), &FakeTesraServer::keyLineReceived, server.get(),
            [this] { server->send("Ok\n"); });
    auto client = makeClient(*server, *dir);
    Reconnector reconnector(client.get(), Interval, nullptr, Ceiling);
    QSignalSpy scheduled(&reconnector, &Reconnector::RetryScheduled);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->MakeConnection();
    QVERIFY(ready.wait(20000));
    QCOMPARE(gapsOf(scheduled), (QList<int>{40, 80, 160}));
    QVERIFY(!reconnector.isWaiting());

    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(scheduled.count(), 4, 10000);
    QCOMPARE(scheduled.at(3).at(0).toInt(), Interval);
    QCOMPARE(scheduled.at(3).at(1).toInt(), 1);
    QVERIFY(ready.wait(20000));
    QCOMPARE(server->peakOpenConnections(), 1);
}

void tst_Reconnector::everyDropOfAReadyLinkIsRetried()
{
    auto client = makeClient(*server, *dir);
    Reconnector reconnector(client.get(), Interval, nullptr, Ceiling);
    QSignalSpy scheduled(&reconnector, &Reconnector::RetryScheduled);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->MakeConnection();
    QVERIFY(ready.wait(10000));
    for (int drop = 1; drop <= 5; ++drop) {
        server->dropClient();
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), drop + 1, 10000);
        QCOMPARE(scheduled.count(), drop);
        QCOMPARE(scheduled.last().at(0).toInt(), Interval);
    }
    QCOMPARE(server->connectionCount(), 6);
    QCOMPARE(server->peakOpenConnections(), 1);
}

void tst_Reconnector::operatorAttemptStopsTheWait()
{
    auto client = makeClient(*server, *dir);
    // A long wait that the operator cuts short.
    Reconnector reconnector(client.get(), 50000);
    QVERIFY(connectClient(*client, 10000));
    server->dropClient();
    QTRY_VERIFY_WITH_TIMEOUT(reconnector.isWaiting(), 10000);
    QCOMPARE(reconnector.attempt(), 1);
    QVERIFY(reconnector.secondsToAttempt() >= 49 && reconnector.secondsToAttempt() <= 50);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->ReConnect();
    QVERIFY(!reconnector.isWaiting());
    QVERIFY(ready.wait(10000));
    QCOMPARE(server->connectionCount(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(server->openConnectionCount(), 1, 10000);
}

void tst_Reconnector::offWithoutInterval_data()
{
    QTest::addColumn<int>("interval");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -5;
}

void tst_Reconnector::offWithoutInterval()
{
    QFETCH(int, interval);
    auto client = makeClient(*server, *dir);
    Reconnector reconnector(client.get(), interval);
    QVERIFY(!reconnector.isOn());
    QVERIFY(connectClient(*client, 10000));
    QSignalSpy states(client.get(), &Tesra::LinkStateChanged);
    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Lost, 10000);
    QVERIFY(!reconnector.isWaiting());
    QCOMPARE(states.count(), 1);
    QCOMPARE(server->connectionCount(), 1);
}

QTEST_GUILESS_MAIN(tst_Reconnector)
#include "tst_reconnector.moc"
