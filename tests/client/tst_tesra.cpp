// SPDX-License-Identifier: GPL-3.0-or-later
// The client against the fake server: handshake and key choice, routing of
// received lines, composing of sent lines, and the guards against bad input.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/Tesra.h"

#include <QBuffer>
#include <QMetaMethod>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TestSupport;

class tst_Tesra : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keyChoice_data();
    void keyChoice();
    void challengeSplitAcrossArrivals();
    void noUsableKey_data();
    void noUsableKey();
    void pickKey_data();
    void pickKey();
    void verdictWithoutLineFeed();
    void keyFileWords();
    void keyFileOpenToOthers_data();
    void keyFileOpenToOthers();

    void routing_data();
    void routing();
    void linesSplitAndBatched();
    void overLongLines_data();
    void overLongLines();
    void megabytesWithoutLineFeed();
    void listenerRestartsWhileRouting();
    void restartHandshake_data();
    void restartHandshake();

    void compose_data();
    void compose();
    void lineBreaksInArguments();
    void sendWithoutSocket();
    void readOnlyJudgesTheSentLine_data();
    void readOnlyJudgesTheSentLine();

    void port_data();
    void port();
    void reConnectBeforeMakeConnection();
    void reConnectRepeatsHandshake();
    void serverClosesConnection();

    void linkStates_data();
    void linkStates();
    void linkDownSinceSpansRetries();
    void keepAliveOnReadyLink();
    void listenerRestartsFrom_data();
    void listenerRestartsFrom();
    void overlappingReConnects();
    void destructionReachesNoListener();

private:
    std::unique_ptr<Tesra> readyClient();

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_Tesra::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_Tesra::cleanup()
{
    server.reset();
    dir.reset();
}

std::unique_ptr<Tesra> tst_Tesra::readyClient()
{
    auto client = makeClient(*server, *dir);
    if (!connectClient(*client))
        return nullptr;
    return client;
}

void tst_Tesra::keyChoice_data()
{
    QTest::addColumn<QByteArray>("challenge");
    QTest::addColumn<QString>("keyLine");
    // The test client's key file holds k0 to k4.
    QTest::newRow("7 picks the third word") << QByteArray("7\n") << "Brenlow k2";
    QTest::newRow("5 wraps to the first word") << QByteArray("5\n") << "Brenlow k0";
    QTest::newRow("blanks and carriage return") << QByteArray("  12 \r\n") << "Brenlow k2";
    QTest::newRow("not a number picks the first word") << QByteArray("abc\n") << "Brenlow k0";
    QTest::newRow("zero") << QByteArray("0\n") << "Brenlow k0";
    QTest::newRow("beyond 32 bits reads as 0") << QByteArray("99999999999\n") << "Brenlow k0";
    QTest::newRow("challenge with NUL") << QByteArray("3\0"
                                                      "9\n",
                                                      4)
                                        << "Brenlow k3";
}

void tst_Tesra::keyChoice()
{
    QFETCH(QByteArray, challenge);
    QFETCH(QString, keyLine);
    server->setChallenge(challenge);
    auto client = makeClient(*server, *dir);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->MakeConnection();
    QVERIFY(ready.wait());
    QCOMPARE(ready.count(), 1);
    QCOMPARE(ready.at(0).at(0).value<Tesra *>(), client.get());
    QCOMPARE(server->keyLine(), keyLine);
    QCOMPARE(server->lines(), QStringList{keyLine});
    QCOMPARE(client->handshakeStage(), int(Tesra::Ready));
}

void tst_Tesra::challengeSplitAcrossArrivals()
{
    server->setAutoHandshake(false);
    auto client = makeClient(*server, *dir);
    QSignalSpy connected(server.get(), &FakeTesraServer::clientConnected);
    client->MakeConnection();
    QVERIFY(connected.wait());

    // The first digit arrives on its own and is handled before the rest.
    server->send("1");
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(server->lines().isEmpty());
    server->send("2\n");
    QVERIFY(server->waitForKeyLine());
    QCOMPARE(server->keyLine(), QStringLiteral("Brenlow k2")); // 12 modulo 5
    QCOMPARE(server->lines().size(), 1);
}

void tst_Tesra::noUsableKey_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QByteArray>("challenge");
    QTest::newRow("empty key file") << QStringList{} << QByteArray("3\n");
    QTest::newRow("negative challenge") << QStringList{"k0", "k1"} << QByteArray("-3\n");
}

void tst_Tesra::noUsableKey()
{
    QFETCH(QStringList, words);
    QFETCH(QByteArray, challenge);
    server->setChallenge(challenge);
    Tesra client;
    client.SetKeyFile(writeKeyFile(*dir, words, QStringLiteral("other")),
                      QStringLiteral("Brenlow"));
    QCOMPARE(client.keyWordCount(), int(words.size()));
    client.SetNewSVAddress(QStringLiteral("127.0.0.1"));
    client.SetNewSVPort(QString::number(server->port()));
    QSignalSpy ready(&client, &Tesra::ConnectionIsReady);
    QSignalSpy disconnected(&client, &Tesra::Disconnected);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Tesra: no key word for challenge"));
    client.MakeConnection();
    QVERIFY(disconnected.wait());
    QVERIFY(server->lines().isEmpty());
    QCOMPARE(ready.count(), 0);
}

void tst_Tesra::pickKey_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("key");
    const QStringList five{"a", "b", "c", "d", "e"};
    QTest::newRow("7 of 5") << five << 7 << "c";
    QTest::newRow("5 of 5") << five << 5 << "a";
    QTest::newRow("largest int") << five << int(2147483647) << "c";
    QTest::newRow("negative") << five << -1 << "";
    QTest::newRow("no keys") << QStringList{} << 0 << "";
}

void tst_Tesra::pickKey()
{
    QFETCH(QStringList, words);
    QFETCH(int, number);
    QFETCH(QString, key);
    Tesra client;
    client.SetKeyFile(writeKeyFile(*dir, words, QStringLiteral("pick")), QStringLiteral("n"));
    QCOMPARE(client.PickKey(number), key);
}

void tst_Tesra::verdictWithoutLineFeed()
{
    server->setVerdict("Ok");
    auto client = makeClient(*server, *dir);
    QVERIFY(connectClient(*client));
}

void tst_Tesra::keyFileWords()
{
    const QString stem = dir->filePath(QStringLiteral("spread"));
    writeFile(stem + ".key", "alpha\tbeta   gamma\n\n  delta\r\nepsilon");
    Tesra client;
    client.SetKeyFile(stem, QStringLiteral("me"));
    QCOMPARE(client.keyWords(), (QStringList{"alpha", "beta", "gamma", "delta", "epsilon"}));
    QCOMPARE(client.keyWordCount(), 5);
    QCOMPARE(client.name(), QStringLiteral("me"));
}

// A key file that others than its owner may read or write is named, by its
// path, in the debug log; the client logs in with it all the same.
void tst_Tesra::keyFileOpenToOthers_data()
{
    QTest::addColumn<int>("permissions");
    QTest::addColumn<bool>("named");
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    QTest::newRow("owner only") << int(owner) << false;
    QTest::newRow("owner may only read") << int(QFile::ReadOwner) << false;
    QTest::newRow("group may read") << int(owner | QFile::ReadGroup) << true;
    QTest::newRow("others may read") << int(owner | QFile::ReadOther) << true;
    QTest::newRow("group may write") << int(owner | QFile::WriteGroup) << true;
    QTest::newRow("others may write") << int(owner | QFile::WriteOther) << true;
}

void tst_Tesra::keyFileOpenToOthers()
{
    QFETCH(int, permissions);
    QFETCH(bool, named);
    const QString stem = writeKeyFile(*dir, {"k0", "k1", "k2", "k3", "k4"});
    const QString path = stem + QStringLiteral(".key");
    QVERIFY(QFile::setPermissions(path, QFile::Permissions(permissions)));
    if (named)
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QStringLiteral("key file [%1] may be read or written by "
                                                       "others than its owner; it should be "
                                                       "private (chmod 600)")
                                            .arg(path)));
    Tesra client;
    client.SetKeyFile(stem, QStringLiteral("Brenlow"));
    QCOMPARE(client.exposedKeyFile(), named ? path : QString());
    client.SetNewSVAddress(QStringLiteral("127.0.0.1"));
    client.SetNewSVPort(QString::number(server->port()));
    QVERIFY(connectClient(client));
    QCOMPARE(server->keyLine(), QStringLiteral("Brenlow k2"));
}

void tst_Tesra::routing_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("signal"); // empty: dropped

    const char *const rows[][2] = {
        {"@IsBusy", "AnsIsBusy"},
        {"@GetStatus", "AnsGetStatus"},
        {"@GetRange", "AnsGetRange"},
        {"@GetCurrentSurpressionValue", "AnsGetCurrentSurpressionValue"},
        {"@GetVoltageBiasRange", "AnsGetVoltageBiasRange"},
        {"@GetMaxV", "AnsGetMaxV"},
        {"@GetVLimit", "AnsGetVLimit"},
        {"@GetV", "AnsGetV"},
        {"@GetSetV", "AnsGetSetV"},
        {"@GetRamp", "AnsGetRamp"},
        {"@GetStat1", "AnsGetStat1"},
        {"@IsControllable", "AnsIsControllable"},
        {"_ChangedIsBusy", "EvIsBusy"},
        {"_CurrentSurpressionValueChanged", "EvCurrentSurpressionValueChanged"},
        {"_StatusChanged", "EvStatusChanged"},
        {"_ErrorStatusChanged", "EvErrorStatusChanged"},
        {"_VoltageBiasRangeChanged", "EvVoltageBiasRangeChanged"},
        {"_TotalGainChanged", "EvTotalGainChanged"},
        {"_RangeChanged", "EvRangeChanged"},
        {"_ChangedOnOff", "EvChangedOnOff"},
        {"_ChangedStat", "EvChangedStat"},
        {"_ChangedValue", "EvChangedValue"},
        {"_ChangedSetValue", "EvChangedSetValue"},
        {"_ChangedRampRate", "EvChangedRampRate"},
        {"@GetErrorStatus", "AnsGetErrorStatus"},
        {"@GetSRQ", "AnsGetSRQ"},
        {"_SRQChanged", "EvSRQChanged"},
    };
    for (const auto &row : rows) {
        QTest::newRow(row[0]) << QStringLiteral("dev1>Brenlow.amp1 %1 0123").arg(row[0])
                              << QString::fromLatin1(row[1]);
    }
    QTest::newRow("request dropped") << "dev1>Brenlow.amp1 GetStatus"
                                     << "";
    QTest::newRow("unknown reply dropped") << "dev1>Brenlow.amp1 @Hello 1"
                                           << "";
    QTest::newRow("event word as reply dropped") << "x>y @ChangedIsBusy 1"
                                                 << "";
    QTest::newRow("reply word as event dropped") << "x>y _GetStatus 1"
                                                 << "";
    QTest::newRow("malformed dropped") << "no addressing here"
                                       << "";
    QTest::newRow("other client routed") << "dev1>Other.amp1 @GetStatus 0123"
                                         << "AnsGetStatus";
}

void tst_Tesra::routing()
{
    QFETCH(QString, line);
    QFETCH(QString, signal);
    auto client = readyClient();
    QVERIFY(client);

    // One spy per SMsg signal, found through the meta-object so that a
    // line reaching the wrong signal is caught as well.
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    QStringList names;
    const QMetaObject *mo = client->metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() == QMetaMethod::Signal && m.parameterCount() == 1 &&
            m.parameterType(0) == qMetaTypeId<SMsg>()) {
            spies.push_back(std::make_unique<QSignalSpy>(client.get(), m));
            names << QString::fromLatin1(m.name());
        }
    }
    QCOMPARE(names.size(), 27);
    QSignalSpy sentinel(client.get(), &Tesra::AnsIsBusy);
    server->sendLine(line);
    server->sendLine(QStringLiteral("dev9>x @IsBusy sentinel"));
    QTRY_VERIFY(!sentinel.isEmpty());

    for (size_t i = 0; i < spies.size(); ++i) {
        const int expected = names.at(int(i)) == signal ? 1 : 0;
        const int sentinelHits = names.at(int(i)) == QLatin1String("AnsIsBusy") ? 1 : 0;
        QCOMPARE(spies[i]->count(), expected + sentinelHits);
        if (expected) {
            const SMsg msg = spies[i]->at(0).at(0).value<SMsg>();
            QCOMPARE(msg.params, QStringLiteral("0123"));
            QCOMPARE(msg.line, line);
        }
    }
}

void tst_Tesra::linesSplitAndBatched()
{
    auto client = readyClient();
    QVERIFY(client);
    QSignalSpy status(client.get(), &Tesra::AnsGetStatus);
    QSignalSpy range(client.get(), &Tesra::EvRangeChanged);

    // Two lines in one arrival: two signals, in arrival order.
    server->send("dev1>Brenlow.amp1 @GetStatus first\ndev1>Brenlow.amp1 @GetStatus second\n");
    QTRY_COMPARE(status.count(), 2);
    QCOMPARE(status.at(0).at(0).value<SMsg>().params, QStringLiteral("first"));
    QCOMPARE(status.at(1).at(0).value<SMsg>().params, QStringLiteral("second"));

    // A line split across arrivals is routed once, when its line feed comes.
    server->send("dev1>Brenlow.amp1 _Range");
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(range.count(), 0);
    server->send("Changed 1e-6\r\n");
    QTRY_COMPARE(range.count(), 1);
    const SMsg msg = range.at(0).at(0).value<SMsg>();
    QCOMPARE(msg.params, QStringLiteral("1e-6"));
    QCOMPARE(msg.from, QStringLiteral("dev1"));
    QCOMPARE(msg.toSub, QStringLiteral("amp1"));
}

void tst_Tesra::overLongLines_data()
{
    QTest::addColumn<int>("length"); // characters before the line feed
    QTest::addColumn<bool>("routed");
    QTest::addColumn<bool>("splitArrival");
    QTest::newRow("longest line that fits") << 3998 << true << false;
    QTest::newRow("one byte too long") << 3999 << false << false;
    QTest::newRow("far too long") << 12000 << false << false;
    QTest::newRow("far too long, split arrival") << 12000 << false << true;
}

void tst_Tesra::overLongLines()
{
    QFETCH(int, length);
    QFETCH(bool, routed);
    QFETCH(bool, splitArrival);
    auto client = readyClient();
    QVERIFY(client);
    QSignalSpy maxV(client.get(), &Tesra::AnsGetMaxV);
    QSignalSpy busy(client.get(), &Tesra::AnsIsBusy);

    // A reply whose params pad it to the length; "@GetMaxV" inside the
    // padding would be routed too if a piece of it were parsed.
    QByteArray line = "dev>Brenlow.hv @GetMaxV ";
    while (line.size() < length)
        line += " x>y @GetMaxV";
    line.truncate(length);
    if (!routed)
        QTest::ignoreMessage(QtDebugMsg, "Tesra: dropped a line longer than 4000 bytes");
    if (splitArrival) {
        server->send(line.left(length / 2));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        server->send(line.mid(length / 2) + "\n");
    } else {
        server->send(line + "\n");
    }
    server->send("dev>Brenlow.hv @IsBusy after\n");
    QTRY_COMPARE(busy.count(), 1);
    QCOMPARE(maxV.count(), routed ? 1 : 0);
    QCOMPARE(busy.at(0).at(0).value<SMsg>().params, QStringLiteral("after"));
}

void tst_Tesra::megabytesWithoutLineFeed()
{
    auto client = readyClient();
    QVERIFY(client);
    QSignalSpy busy(client.get(), &Tesra::AnsIsBusy);
    QSignalSpy maxV(client.get(), &Tesra::AnsGetMaxV);
    QTest::ignoreMessage(QtDebugMsg, "Tesra: dropped a line longer than 4000 bytes");
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 32; ++i) { // 2 MiB without a line feed
        server->send(chunk);
        QCoreApplication::processEvents();
    }
    server->send(" @GetMaxV 1\ndev>Brenlow.hv @IsBusy after\n");
    QTRY_COMPARE_WITH_TIMEOUT(busy.count(), 1, 20000);
    QCOMPARE(maxV.count(), 0);
}

void tst_Tesra::listenerRestartsWhileRouting()
{
    auto client = readyClient();
    QVERIFY(client);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    int seen = 0;
    connect(client.get(), &Tesra::AnsGetV, this, [&] {
        ++seen;
        client->ReConnect();
    });
    server->send("d>Brenlow.hv @GetV 1\nd>Brenlow.hv @GetV 2\n");
    QVERIFY(ready.wait());
    QCOMPARE(seen, 1); // the second line left with the old connection
    QCOMPARE(server->connectionCount(), 2);
}

// One client fed through a plain buffer, as the fuzzers reuse it: whatever the
// last connection left (a ready link, half of an overlong line), a restarted
// handshake reads the next line as a challenge and routes only what follows
// its verdict.
void tst_Tesra::restartHandshake_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::newRow("nothing yet") << QByteArray();
    QTest::newRow("ready link") << QByteArray("2\nOk:\ndev>Brenlow.hv @IsBusy before\n");
    QTest::newRow("half of an overlong line")
        << QByteArray("2\nOk:\ndev>Brenlow.hv @IsBusy ") + QByteArray(Tesra::LineLimit, 'x');
    QTest::newRow("waiting for the verdict") << QByteArray("2\n");
}

void tst_Tesra::restartHandshake()
{
    QFETCH(QByteArray, before);
    // Port 0: the client never connects anywhere; bytes reach it only here.
    auto client = makeClient(0, *dir, QStringLiteral("Brenlow"), {"k0", "k1", "k2"});
    QSignalSpy busy(client.get(), &Tesra::AnsIsBusy);
    // A connection's bytes: a new connection starts with an empty one.
    auto feed = std::make_unique<QBuffer>();
    auto arrive = [&](const QByteArray &bytes) {
        if (!feed->isOpen())
            feed->open(QIODevice::ReadWrite);
        const qint64 at = feed->pos();
        feed->seek(feed->size());
        feed->write(bytes);
        feed->seek(at);
        client->ReadFrom(*feed);
    };
    if (!before.isEmpty())
        arrive(before);
    busy.clear();
    feed = std::make_unique<QBuffer>();

    client->restartHandshake();
    QCOMPARE(client->handshakeStage(), int(Tesra::AwaitChallenge));
    arrive("dev>Brenlow.hv @IsBusy challenge\n");
    QCOMPARE(client->handshakeStage(), int(Tesra::AwaitVerdict));
    arrive("Ok:\n");
    QCOMPARE(client->handshakeStage(), int(Tesra::Ready));
    arrive("dev>Brenlow.hv @IsBusy after\n");
    QCOMPARE(busy.count(), 1);
    QCOMPARE(busy.at(0).at(0).value<SMsg>().params, QStringLiteral("after"));
}

void tst_Tesra::compose_data()
{
    QTest::addColumn<QStringList>("args"); // fromSub, to, message, params
    QTest::addColumn<QString>("expected");
    QTest::newRow("command with params")
        << QStringList{"hv1", "hvps.2", "SetV", "1500"} << "Brenlow.hv1>hvps.2 SetV 1500";
    QTest::newRow("no params, no trailing blank")
        << QStringList{"amp1", "dev1", "GetStatus", ""} << "Brenlow.amp1>dev1 GetStatus";
    QTest::newRow("empty sub still writes the dot")
        << QStringList{"", "dev1", "GetStatus", ""} << "Brenlow.>dev1 GetStatus";
    QTest::newRow("whole command as message")
        << QStringList{"amp1", "dev1", "SetSRQMask 01", ""} << "Brenlow.amp1>dev1 SetSRQMask 01";
    QTest::newRow("outside Latin-1 becomes ?")
        << QStringList{"amp1", "dev1", "SetDisplayMsg", QString::fromUtf8("I0 電流")}
        << "Brenlow.amp1>dev1 SetDisplayMsg I0 ??";
    QTest::newRow("Latin-1 kept") << QStringList{"amp1", "dev1", "SetDisplayMsg", "µA"}
                                  << QString::fromUtf8("Brenlow.amp1>dev1 SetDisplayMsg µA");
}

void tst_Tesra::compose()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    auto client = readyClient();
    QVERIFY(client);
    QVERIFY(client->SendMsg(args.at(0), args.at(1), args.at(2), args.at(3)));
    QVERIFY(server->waitForMessageLines(1));
    QCOMPARE(server->messageLines(), QStringList{expected});
}

void tst_Tesra::lineBreaksInArguments()
{
    auto client = readyClient();
    QVERIFY(client);
    QVERIFY(client->SendMsg("a\nb", "dev\r1", "Set\nV", "1\r\n500"));
    QVERIFY(client->SendLine("head\n", "Get\rV", "x\ny"));
    SMsg received;
    received.to = QStringLiteral("Brenlow.hv1\n");
    received.from = QStringLiteral("dev\n1");
    client->SendReply(received, QStringLiteral("@Get\nV 2"));
    client->SendToSystem(QStringLiteral("Brenlow.x\r"), QStringLiteral("flgon\ndev1"));
    QVERIFY(server->waitForMessageLines(4));
    QCOMPARE(server->messageLines(), (QStringList{
                                         "Brenlow.a b>dev 1 Set V 1  500",
                                         "head  Get V x y",
                                         "Brenlow.hv1 >dev 1 @Get V 2",
                                         "Brenlow.x >System flgon dev1",
                                     }));
}

// Read-only mode lets a line through by the word the server will take for
// its command: the one after the receiver of the composed line, wherever the
// blanks that make it came from.
void tst_Tesra::readOnlyJudgesTheSentLine_data()
{
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("params");
    QTest::addColumn<bool>("sent");
    QTest::newRow("query") << "Brenlow.amp1>dev1"
                           << "GetStatus"
                           << "" << true;
    QTest::newRow("subscription") << "Brenlow.amp1>System"
                                  << "flgon"
                                  << "dev1" << true;
    QTest::newRow("command") << "Brenlow.amp1>dev1"
                             << "SetRange"
                             << "1e-5" << false;
    QTest::newRow("command with its value in the message") << "Brenlow.amp1>dev1"
                                                           << "SetSRQMask 01"
                                                           << "" << false;
    QTest::newRow("command in the receiver") << "Brenlow.amp1>dev.1 SetV"
                                             << "GetStatus"
                                             << "" << false;
    QTest::newRow("tab in the receiver") << "Brenlow.amp1>dev.1\tSetV"
                                         << "GetV"
                                         << "" << false;
    QTest::newRow("line break in the receiver") << "Brenlow.amp1>dev.1\nSetV"
                                                << "GetV"
                                                << "" << false;
    QTest::newRow("flgon behind another word") << "Brenlow.amp1>System SetV"
                                               << "flgon"
                                               << "dev1" << false;
    QTest::newRow("blank before the receiver") << "Brenlow.a b>dev1"
                                               << "GetStatus"
                                               << "" << true;
}

void tst_Tesra::readOnlyJudgesTheSentLine()
{
    QFETCH(QString, head);
    QFETCH(QString, message);
    QFETCH(QString, params);
    QFETCH(bool, sent);
    auto client = readyClient();
    QVERIFY(client);
    client->setReadOnly(true);
    QCOMPARE(client->SendLine(head, message, params), sent);
    const QString line = SMsg::compose(head, message, params).chopped(1);
    QCOMPARE(takeSentLines(*server, *client), sent ? QStringList{line} : QStringList());
}

void tst_Tesra::sendWithoutSocket()
{
    Tesra client;
    QVERIFY(!client.SendMsg("a", "b", "c", "d"));
    QVERIFY(!client.SendLine("a", "b", "c"));
    client.SendReply(SMsg(), QStringLiteral("x"));
    client.SendToSystem(QStringLiteral("a"), QStringLiteral("b"));
    QVERIFY(!client.hasSocket());
}

void tst_Tesra::port_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("default") << "6058" << 6058;
    QTest::newRow("highest") << "65535" << 65535;
    QTest::newRow("blanks around") << " 6058 " << 6058;
    QTest::newRow("beyond 16 bits") << "70000" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-1" << 0;
    QTest::newRow("not a number") << "port" << 0;
    QTest::newRow("empty") << "" << 0;
}

void tst_Tesra::port()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    Tesra client;
    if (port == 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not a port number"));
    client.SetNewSVPort(text);
    QCOMPARE(int(client.serverPort()), port);
    if (port == 0) {
        // No attempt at all, not even at the address given.
        client.SetKeyFile(writeKeyFile(*dir, {"k"}), QStringLiteral("x"));
        client.SetNewSVAddress(QStringLiteral("127.0.0.1"));
        client.MakeConnection();
        QVERIFY(!client.hasSocket());
    }
}

void tst_Tesra::reConnectBeforeMakeConnection()
{
    Tesra client;
    QSignalSpy reconnected(&client, &Tesra::ReConnected);
    client.ReConnect();
    QCOMPARE(reconnected.count(), 1);
    QVERIFY(!client.hasSocket());
}

void tst_Tesra::reConnectRepeatsHandshake()
{
    auto client = readyClient();
    QVERIFY(client);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    QSignalSpy reconnected(client.get(), &Tesra::ReConnected);
    client->ReConnect();
    QCOMPARE(reconnected.count(), 1);
    QVERIFY(ready.wait());
    QCOMPARE(server->connectionCount(), 2);
    QCOMPARE(server->keyLine(), QStringLiteral("Brenlow k2"));
}

void tst_Tesra::serverClosesConnection()
{
    auto client = readyClient();
    QVERIFY(client);
    QSignalSpy disconnected(client.get(), &Tesra::Disconnected);
    server->dropClient();
    QVERIFY(disconnected.wait());
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(client->SendMsg("a", "b", "c", ""));
    client->MakeConnection(); // nothing retries a lost connection
    QCOMPARE(server->connectionCount(), 1);
}

namespace {

enum LinkScenario {
    Connects,
    ServerDrops,
    ClosedAfterKey,
    ClosedAtOnce,
    NothingListening,
    NoPort,
    SpacedName
};

using States = QList<Tesra::LinkState>;

QList<Tesra::LinkState> statesOf(const QSignalSpy &spy)
{
    QList<Tesra::LinkState> states;
    for (const QList<QVariant> &args : spy)
        states << args.at(0).value<Tesra::LinkState>();
    return states;
}

// A loopback port with nothing listening on it: one the system handed out
// and took back.
quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// The client's sockets that are not closed.
int liveSockets(const Tesra &client)
{
    int live = 0;
    for (const QTcpSocket *socket : client.findChildren<QTcpSocket *>()) {
        if (socket->state() != QAbstractSocket::UnconnectedState)
            ++live;
    }
    return live;
}

} // namespace

Q_DECLARE_METATYPE(LinkScenario)

void tst_Tesra::linkStates_data()
{
    using S = Tesra::LinkState;
    QTest::addColumn<LinkScenario>("scenario");
    QTest::addColumn<States>("expected");
    QTest::newRow("handshake completes")
        << Connects << States{S::Connecting, S::Handshake, S::Ready};
    QTest::newRow("server drops a ready link")
        << ServerDrops << States{S::Connecting, S::Handshake, S::Ready, S::Lost};
    QTest::newRow("closed after the key line")
        << ClosedAfterKey << States{S::Connecting, S::Handshake, S::Refused};
    QTest::newRow("closed before the challenge")
        << ClosedAtOnce << States{S::Connecting, S::Handshake, S::Refused};
    QTest::newRow("nothing listening") << NothingListening << States{S::Connecting, S::Lost};
    QTest::newRow("no valid port") << NoPort << States{S::NoValidPort};
    QTest::newRow("client name not one word") << SpacedName << States{S::NoValidName};
}

void tst_Tesra::linkStates()
{
    QFETCH(LinkScenario, scenario);
    QFETCH(States, expected);
    // Its key line would read as the name "Bren" and the key word "low".
    auto client =
        makeClient(*server, *dir,
                   scenario == SpacedName ? QStringLiteral("Bren low") : QStringLiteral("Brenlow"));
    if (scenario == NothingListening)
        client->SetNewSVPort(QString::number(deadPort()));
    if (scenario == NoPort) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not a port number"));
        client->SetNewSVPort(QStringLiteral("0"));
    }
    if (scenario == ClosedAfterKey) {
        connect(server.get(), &FakeTesraServer::keyLineReceived, server.get(),
                &FakeTesraServer::dropClient);
        server->setAutoHandshake(false);
        connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
                [this] { server->send("7\n"); });
    }
    if (scenario == ClosedAtOnce) {
        server->setAutoHandshake(false);
        connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
                &FakeTesraServer::dropClient);
    }
    QCOMPARE(client->linkState(), Tesra::LinkState::Idle);
    QSignalSpy states(client.get(), &Tesra::LinkStateChanged);
    client->MakeConnection();
    if (scenario == ServerDrops) {
        QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Ready, 10000);
        server->dropClient();
    }
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), expected.size(), 10000);
    QCOMPARE(statesOf(states), expected);
    QCOMPARE(client->linkState(), expected.last());
    // Nothing retries by itself.
    QCoreApplication::processEvents();
    QCOMPARE(states.count(), expected.size());
    if (scenario == NoPort || scenario == SpacedName)
        QCOMPARE(server->connectionCount(), 0);
}

void tst_Tesra::linkDownSinceSpansRetries()
{
    auto client = readyClient();
    QVERIFY(client);
    QVERIFY(client->linkDownSince().isNull());
    const QDateTime readyAt = client->linkStateSince();
    QVERIFY(readyAt.isValid());

    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Lost, 10000);
    const QDateTime lostAt = client->linkDownSince();
    QVERIFY(lostAt >= readyAt);
    QCOMPARE(client->linkStateSince(), lostAt);

    // A failed retry keeps the time the link went down.
    server->setAutoHandshake(false);
    auto dropNext = connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
                            &FakeTesraServer::dropClient);
    client->ReConnect();
    QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Refused, 10000);
    QCOMPARE(client->linkDownSince(), lostAt);

    disconnect(dropNext);
    server->setAutoHandshake(true);
    client->ReConnect();
    QTRY_COMPARE_WITH_TIMEOUT(client->linkState(), Tesra::LinkState::Ready, 10000);
    QVERIFY(client->linkDownSince().isNull());
}

void tst_Tesra::keepAliveOnReadyLink()
{
    auto client = readyClient();
    QVERIFY(client);
    const QList<QTcpSocket *> sockets = client->findChildren<QTcpSocket *>();
    QCOMPARE(sockets.size(), 1);
    QCOMPARE(sockets.front()->socketOption(QAbstractSocket::KeepAliveOption).toInt(), 1);
}

// A listener restarts the link from inside one of the client's signals,
// once: the old socket must go quietly, the new one handshake afresh, and
// the server never see two connections at once.
void tst_Tesra::listenerRestartsFrom_data()
{
    QTest::addColumn<QString>("signal");
    QTest::newRow("Disconnected") << "Disconnected";
    QTest::newRow("LinkStateChanged to Lost") << "Lost";
    QTest::newRow("ConnectionIsReady") << "ConnectionIsReady";
    QTest::newRow("LinkStateChanged to Ready") << "Ready";
    QTest::newRow("LinkStateChanged to Handshake") << "Handshake";
    QTest::newRow("LinkStateChanged to Connecting") << "Connecting";
    QTest::newRow("routed reply") << "AnsGetV";
}

void tst_Tesra::listenerRestartsFrom()
{
    QFETCH(QString, signal);
    auto client = readyClient();
    QVERIFY(client);
    Tesra *c = client.get();
    int restarts = 0;
    auto restartOnce = [&] {
        if (restarts == 0) {
            ++restarts;
            c->ReConnect();
        }
    };
    if (signal == QLatin1String("Disconnected"))
        connect(c, &Tesra::Disconnected, this, restartOnce);
    else if (signal == QLatin1String("ConnectionIsReady"))
        connect(c, &Tesra::ConnectionIsReady, this, restartOnce);
    else if (signal == QLatin1String("AnsGetV"))
        connect(c, &Tesra::AnsGetV, this, restartOnce);
    else
        connect(c, &Tesra::LinkStateChanged, this, [&](Tesra::LinkState state) {
            if (QLatin1String(QMetaEnum::fromType<Tesra::LinkState>().valueToKey(int(state))) ==
                signal)
                restartOnce();
        });

    QSignalSpy ready(c, &Tesra::ConnectionIsReady);
    const bool serverDrops =
        signal == QLatin1String("Disconnected") || signal == QLatin1String("Lost");
    if (signal == QLatin1String("AnsGetV"))
        server->send("d>Brenlow.hv @GetV 1\n");
    else if (serverDrops)
        server->dropClient();
    else
        c->ReConnect(); // passes through Connecting, Handshake and Ready again

    // The listener's attempt ends ready, and stays so.
    QTRY_COMPARE_WITH_TIMEOUT(restarts, 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(c->linkState(), Tesra::LinkState::Ready, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(server->openConnectionCount(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(c->findChildren<QTcpSocket *>().size(), 1, 10000);
    // The server may take a new connection before it reads the close of one
    // the client gave up, so only a link it closed itself shows the peak.
    if (serverDrops)
        QCOMPARE(server->peakOpenConnections(), 1);
    QCOMPARE(liveSockets(*c), 1);
    QVERIFY(ready.count() >= 1);
    QVERIFY(c->SendMsg("x", "System", "ping", ""));
    QVERIFY(server->waitForMessageLines(1));
    QCOMPARE(server->messageLines().last(), QStringLiteral("Brenlow.x>System ping"));
}

void tst_Tesra::overlappingReConnects()
{
    auto client = readyClient();
    QVERIFY(client);
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->ReConnect();
    QCOMPARE(liveSockets(*client), 1);
    client->ReConnect();
    QCOMPARE(liveSockets(*client), 1);
    client->ReConnect();
    QCOMPARE(liveSockets(*client), 1);
    QVERIFY(ready.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(server->openConnectionCount(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(client->findChildren<QTcpSocket *>().size(), 1, 10000);
    QCOMPARE(ready.count(), 1);
    QCOMPARE(client->linkState(), Tesra::LinkState::Ready);
}

void tst_Tesra::destructionReachesNoListener()
{
    auto client = readyClient();
    QVERIFY(client);
    // The loop that used to free the socket twice: closing it from the
    // destructor must not come back as a loss.
    connect(client.get(), &Tesra::Disconnected, client.get(), &Tesra::ReConnect);
    int heard = 0;
    connect(client.get(), &Tesra::LinkStateChanged, this, [&heard] { ++heard; });
    connect(client.get(), &Tesra::ReConnected, this, [&heard] { ++heard; });
    client.reset();
    QCOMPARE(heard, 0);
    QTRY_COMPARE_WITH_TIMEOUT(server->openConnectionCount(), 0, 10000);
}

QTEST_GUILESS_MAIN(tst_Tesra)
#include "tst_tesra.moc"
