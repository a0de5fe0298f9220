// SPDX-License-Identifier: GPL-3.0-or-later
// The real client against a hostile server: garbage before and after the
// handshake, lines far past the limit, NUL bytes, invalid UTF-8, floods of
// lines, odd numbers and empty fields, and a server that hangs up at the
// worst moments. The client must stay alive, route nothing from garbage and
// afterwards still route a good line.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/MessageNames.h"
#include "client/Tesra.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QString ProbeLine = QStringLiteral("dev1>Brenlow.probe @IsBusy 0");

// Random bytes from a fixed seed, so that a failure can be replayed.
QByteArray randomBytes(int size, quint32 seed, bool withLineFeeds)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes) {
        c = char(random.bounded(256));
        if (!withLineFeeds && c == '\n')
            c = 'x';
    }
    return bytes;
}

QByteArray lines(const QByteArray &line, int count)
{
    return line.repeated(count);
}

enum Hangup { NoHangup, AfterAccept, AfterKeyLine };

} // namespace

Q_DECLARE_METATYPE(Hangup)

class tst_Hostile : public QObject
{
    Q_OBJECT

private slots:
    void hostileServer_data();
    void hostileServer();
};

void tst_Hostile::hostileServer_data()
{
    QTest::addColumn<QByteArray>("handshake"); // what the server sends first
    QTest::addColumn<QByteArray>("after");     // after the key line and the verdict
    QTest::addColumn<Hangup>("hangup");
    QTest::addColumn<int>("routed"); // messages routed from after

    const QByteArray ok = "7\n";
    QTest::newRow("random bytes before the challenge") << randomBytes(64 * 1024, 1, false) + "\n7\n"
                                                       << QByteArray() << NoHangup << 0;
    QTest::newRow("NUL challenge") << QByteArray("\0\n", 2) << QByteArray() << NoHangup << 0;
    QTest::newRow("10 MB without line feed before the handshake")
        << QByteArray(10 * 1024 * 1024, 'a') + "\n7\n"
        << QByteArray() << NoHangup << 0;
    QTest::newRow("10 MB without line feed after the handshake")
        << ok << QByteArray(10 * 1024 * 1024, 'a') << NoHangup << 0;
    QTest::newRow("a long line that ends in a routed word")
        << ok << QByteArray(5000, ' ') + "dev1>Brenlow.x @GetV 1\n"
        << NoHangup << 0;
    QTest::newRow("2 MB of random bytes")
        << ok << randomBytes(2 * 1024 * 1024, 2, true) << NoHangup << 0;
    QTest::newRow("many valid-looking lines")
        << ok << lines("dev1>Brenlow.amp1 @NoSuchReply 1\n", 200000) << NoHangup << 0;
    QTest::newRow("invalid UTF-8 and NUL inside lines")
        << ok << QByteArray("dev1>Brenlow.a @Get\xff\xfeV 1\nd\0ev>B @GetV 2\n\xc3\n", 36)
        << NoHangup << 0;
    QTest::newRow("non-finite and huge numbers are routed as text")
        << ok
        << QByteArray("d>B.a @GetV nan\nd>B.a @GetRange inf\nd>B.a _RangeChanged 1e999999\n"
                      "d>B.a @GetMaxV -1e308\n")
        << NoHangup << 4;
    QTest::newRow("empty fields") << ok << QByteArray(">\n> \n>  @GetV\n.>. @\n \t \r\n>.a _\n")
                                  << NoHangup << 1;
    QTest::newRow("server closes right after accept")
        << QByteArray() << QByteArray() << AfterAccept << 0;
    QTest::newRow("server closes right after the key line")
        << ok << QByteArray() << AfterKeyLine << 0;
}

void tst_Hostile::hostileServer()
{
    QFETCH(QByteArray, handshake);
    QFETCH(QByteArray, after);
    QFETCH(Hangup, hangup);
    QFETCH(int, routed);

    FakeTesraServer server;
    QVERIFY(server.listen());
    server.setAutoHandshake(false);
    QTemporaryDir dir;
    std::unique_ptr<Tesra> client = TestSupport::makeClient(server, dir);
    int count = 0;
    int probes = 0;
    // Every signal the routing table emits a line as.
    for (int id = 0; id < MessageNames::IdCount; ++id) {
        if (const MessageNames::Signal sig = MessageNames::signalFor(id)) {
            connect(client.get(), sig, this, [&](SMsg msg) {
                if (msg.line == ProbeLine)
                    ++probes;
                else
                    ++count;
            });
        }
    }
    QSignalSpy connected(&server, &FakeTesraServer::clientConnected);
    QSignalSpy gone(client.get(), &Tesra::Disconnected);
    client->MakeConnection();
    QVERIFY(connected.wait(10000) || connected.count() > 0);

    if (hangup == AfterAccept) {
        server.dropClient();
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 10000);
        QCOMPARE(client->handshakeStage(), int(Tesra::AwaitChallenge));
        return;
    }
    server.send(handshake);
    QVERIFY(server.waitForKeyLine(20000));
    if (hangup == AfterKeyLine) {
        server.dropClient();
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 10000);
        QCOMPARE(count, 0);
        return;
    }
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    server.send("Ok: welcome\n");
    QVERIFY(ready.wait(10000) || ready.count() > 0);

    // The garbage, then a line feed to end whatever line it left open, then
    // a good line: routed once, after everything before it.
    server.send(after);
    server.send("\n" + ProbeLine.toLatin1() + "\n");
    QTRY_COMPARE_WITH_TIMEOUT(probes, 1, 30000);
    QCOMPARE(count, routed);
    QVERIFY(client->hasSocket());
    QCOMPARE(gone.count(), 0);
}

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
