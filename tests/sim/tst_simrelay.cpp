// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator as a peer of Brenlow's client: the handshake, relaying
// between clients, subscriptions and the devices' replies and events, over
// loopback with the simulator started as a process on a free port.

#include "SimProcess.h"
#include "TestSupport.h"
#include "client/Tesra.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QStringList Keys = {"ume", "sakura", "kiku", "fuji", "kaki"};

} // namespace

class TestSimRelay : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keyLine_data();
    void keyLine();
    void clientWithRightKey();
    void clientWithWrongKey();
    void relayBetweenClients();
    void subscriptionDeliversEvents();
    void rangeChangeRoundTrip();
    void overloadAlert();
    void mutedNodeStaysSilent();
    void faultsReachSubscribers();
    void faultOnTheWrongKind_data();
    void faultOnTheWrongKind();
    void stopsOnSignal();
    void quitsByItself();

private:
    std::unique_ptr<Tesra> connected(const QString &name, const QStringList &keys = Keys);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SimProcess> sim;
};

void TestSimRelay::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    const QString keyFile = TestSupport::writeKeyFile(*dir, Keys, QStringLiteral("server"));
    sim = std::make_unique<SimProcess>();
    QVERIFY(sim->start({QStringLiteral("--key-file"), keyFile + QStringLiteral(".key"),
                        QStringLiteral("--amp"), QStringLiteral("ca5350.i0"),
                        QStringLiteral("--hv"), QStringLiteral("hvps.1"),
                        QStringLiteral("--hv-ramp"), QStringLiteral("4000")}));
}

void TestSimRelay::cleanup()
{
    sim.reset(); // kills the simulator
    dir.reset();
}

std::unique_ptr<Tesra> TestSimRelay::connected(const QString &name, const QStringList &keys)
{
    auto client = TestSupport::makeClient(sim->port(), *dir, name, keys);
    if (!TestSupport::connectClient(*client, 10000))
        return nullptr;
    return client;
}

void TestSimRelay::keyLine_data()
{
    QTest::addColumn<int>("offset"); // added to the challenge to pick the key
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<bool>("staysOpen");

    QTest::newRow("right key") << 0 << "Brenlow"
                               << "System>Brenlow @Login Ok:" << true;
    QTest::newRow("wrong key") << 1 << "Brenlow"
                               << "System>Brenlow @Login Er: wrong key" << false;
    QTest::newRow("name with a dot") << 0 << "Bren.low"
                                     << "System>unknown @Login Er:" << false;
    QTest::newRow("device name") << 0 << "hvps"
                                 << "System>hvps @Login Er: the name hvps is in use" << false;
}

void TestSimRelay::keyLine()
{
    QFETCH(int, offset);
    QFETCH(QString, name);
    QFETCH(QString, verdict);
    QFETCH(bool, staysOpen);

    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), sim->port());
    QTRY_VERIFY_WITH_TIMEOUT(socket.canReadLine(), 10000);
    bool ok = false;
    const int challenge = QString::fromLatin1(socket.readLine()).trimmed().toInt(&ok);
    QVERIFY(ok);
    QVERIFY(challenge >= 0);

    socket.write(name.toLatin1() + ' ' + Keys.at((challenge + offset) % Keys.size()).toLatin1() +
                 '\n');
    QTRY_VERIFY_WITH_TIMEOUT(socket.canReadLine(), 10000);
    const QString answer = QString::fromLatin1(socket.readLine()).trimmed();
    QVERIFY2(answer.startsWith(verdict), qPrintable(answer));

    if (staysOpen) {
        socket.write("Brenlow.t>hvps.1 GetMaxV\n");
        QTRY_VERIFY_WITH_TIMEOUT(socket.canReadLine(), 10000);
        QCOMPARE(QString::fromLatin1(socket.readLine()).trimmed(),
                 QStringLiteral("hvps.1>Brenlow.t @GetMaxV 3000V"));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
    }
}

void TestSimRelay::clientWithRightKey()
{
    auto client = connected(QStringLiteral("Brenlow"));
    QVERIFY(client);
    QTRY_VERIFY_WITH_TIMEOUT(sim->log().contains(QLatin1String("login Brenlow")), 10000);

    QSignalSpy status(client.get(), &Tesra::AnsGetStatus);
    QVERIFY(client->SendMsg(QStringLiteral("amp0"), QStringLiteral("ca5350.i0"),
                            QStringLiteral("GetStatus"), QString()));
    QVERIFY(status.wait(10000));
    const SMsg msg = status.at(0).at(0).value<SMsg>();
    QCOMPARE(msg.from, QStringLiteral("ca5350.i0"));
    QCOMPARE(msg.toSub, QStringLiteral("amp0"));
    QCOMPARE(msg.params, QStringLiteral("CA5350A0B0C0H0I1J0K0M0N1P0R0S0T5W0Y0Z0"));
}

void TestSimRelay::clientWithWrongKey()
{
    // The client takes any answer to its key line as the verdict and becomes
    // ready; the simulator then closes the connection.
    auto client = TestSupport::makeClient(sim->port(), *dir, QStringLiteral("Intruder"), {"wrong"});
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    QSignalSpy gone(client.get(), &Tesra::Disconnected);
    client->MakeConnection();
    QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 10000);
    QVERIFY(sim->log().contains(QLatin1String("refused Intruder: Er: wrong key")));
    QVERIFY(!sim->log().contains(QLatin1String("login Intruder")));
}

void TestSimRelay::relayBetweenClients()
{
    auto alpha = connected(QStringLiteral("Alpha"));
    auto beta = connected(QStringLiteral("Beta"));
    QVERIFY(alpha && beta);
    QTRY_VERIFY_WITH_TIMEOUT(sim->log().contains(QLatin1String("login Beta")), 10000);

    QSignalSpy atBeta(beta.get(), &Tesra::AnsGetV);
    QSignalSpy atAlpha(alpha.get(), &Tesra::AnsGetV);
    alpha->SendMsg(QStringLiteral("x"), QStringLiteral("Beta.y"), QStringLiteral("@GetV"),
                   QStringLiteral("12.5"));
    QVERIFY(atBeta.wait(10000));
    const SMsg msg = atBeta.at(0).at(0).value<SMsg>();
    QCOMPARE(msg.from, QStringLiteral("Alpha.x"));
    QCOMPARE(msg.to, QStringLiteral("Beta.y"));
    QCOMPARE(msg.params, QStringLiteral("12.5"));

    // A sender that is not the client's own name is not relayed, and neither
    // is a line for a node that does not exist.
    alpha->SendLine(QStringLiteral("Beta.z>Alpha.q"), QStringLiteral("@GetV"), QStringLiteral("1"));
    alpha->SendMsg(QStringLiteral("x"), QStringLiteral("Gamma.y"), QStringLiteral("@GetV"),
                   QStringLiteral("2"));
    QTRY_VERIFY_WITH_TIMEOUT(sim->log().contains(QLatin1String("drop no node Gamma.y")), 10000);
    QVERIFY(sim->log().contains(QLatin1String("drop sender is not Alpha: Beta.z>Alpha.q")));
    QCOMPARE(atAlpha.count(), 0);
    QCOMPARE(atBeta.count(), 1);
}

void TestSimRelay::subscriptionDeliversEvents()
{
    auto client = connected(QStringLiteral("Brenlow"));
    auto other = connected(QStringLiteral("Other"));
    QVERIFY(client && other);
    QSignalSpy stat(client.get(), &Tesra::EvChangedStat);
    QSignalSpy value(client.get(), &Tesra::EvChangedValue);
    QSignalSpy onOff(client.get(), &Tesra::EvChangedOnOff);
    QSignalSpy otherStat(other.get(), &Tesra::EvChangedStat);

    client->SendMsg(QStringLiteral("hv0"), QStringLiteral("System"), QStringLiteral("flgon"),
                    QStringLiteral("hvps.1"));
    client->SendMsg(QStringLiteral("hv0"), QStringLiteral("hvps.1"), QStringLiteral("SetV"),
                    QStringLiteral("800"));
    QTRY_COMPARE_WITH_TIMEOUT(stat.count(), 2, 10000);
    QCOMPARE(stat.at(0).at(0).value<SMsg>().params, QStringLiteral("L2H"));
    const SMsg last = stat.at(1).at(0).value<SMsg>();
    QCOMPARE(last.params, QStringLiteral("ON"));
    QCOMPARE(last.from, QStringLiteral("hvps.1"));
    QCOMPARE(last.to, QStringLiteral("Brenlow.hv0"));
    QVERIFY(value.count() >= 1);
    QCOMPARE(value.last().at(0).value<SMsg>().params, QStringLiteral("800.0"));

    client->SendMsg(QStringLiteral("hv0"), QStringLiteral("hvps.1"), QStringLiteral("SetOnOff"),
                    QStringLiteral("0"));
    QTRY_COMPARE_WITH_TIMEOUT(onOff.count(), 1, 10000);
    QCOMPARE(onOff.at(0).at(0).value<SMsg>().params, QStringLiteral("0"));

    // Unknown nodes cannot be subscribed; the other client got nothing.
    client->SendMsg(QStringLiteral("hv0"), QStringLiteral("System"), QStringLiteral("flgon"),
                    QStringLiteral("hvps.9"));
    QTRY_VERIFY_WITH_TIMEOUT(
        sim->log().contains(QLatin1String("System>Brenlow.hv0 @flgon Er: no device node hvps.9")),
        10000);
    QCOMPARE(otherStat.count(), 0);
}

void TestSimRelay::rangeChangeRoundTrip()
{
    auto client = connected(QStringLiteral("Brenlow"));
    QVERIFY(client);
    QSignalSpy changed(client.get(), &Tesra::EvRangeChanged);
    QSignalSpy range(client.get(), &Tesra::AnsGetRange);
    QSignalSpy errors(client.get(), &Tesra::AnsGetErrorStatus);
    const auto send = [&client](const QString &command) {
        client->SendMsg(QStringLiteral("amp0"), QStringLiteral("ca5350.i0"), command, QString());
    };

    client->SendMsg(QStringLiteral("amp0"), QStringLiteral("System"), QStringLiteral("flgon"),
                    QStringLiteral("ca5350.i0"));
    send(QStringLiteral("SetRange 1e-6"));
    send(QStringLiteral("GetRange"));
    QTRY_COMPARE_WITH_TIMEOUT(range.count(), 1, 10000);
    QCOMPARE(changed.count(), 1);
    const SMsg event = changed.at(0).at(0).value<SMsg>();
    QCOMPARE(event.from, QStringLiteral("ca5350.i0"));
    QCOMPARE(event.toSub, QStringLiteral("amp0"));
    QCOMPARE(event.params.toDouble(), 1e-6);
    QCOMPARE(range.at(0).at(0).value<SMsg>().params.toDouble(), 1e-6);

    // A range the device does not have changes nothing and is reported as an
    // argument error.
    send(QStringLiteral("SetRange 2e-6"));
    send(QStringLiteral("GetRange"));
    send(QStringLiteral("GetErrorStatus"));
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000);
    QCOMPARE(range.count(), 2);
    QCOMPARE(range.at(1).at(0).value<SMsg>().params.toDouble(), 1e-6);
    QCOMPARE(errors.at(0).at(0).value<SMsg>().params, QStringLiteral("CA53500100000000"));
    QCOMPARE(changed.count(), 1);
}

void TestSimRelay::overloadAlert()
{
    auto client = connected(QStringLiteral("Brenlow"));
    QVERIFY(client);
    QSignalSpy srq(client.get(), &Tesra::EvSRQChanged);
    client->SendMsg(QStringLiteral("amp0"), QStringLiteral("System"), QStringLiteral("flgon"),
                    QStringLiteral("ca5350.i0"));
    client->SendMsg(QStringLiteral("amp0"), QStringLiteral("ca5350.i0"),
                    QStringLiteral("SetRange 1e-11"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(srq.count(), 1, 10000);
    QCOMPARE(srq.at(0).at(0).value<SMsg>().params, QStringLiteral("1"));
    QCOMPARE(srq.at(0).at(0).value<SMsg>().from, QStringLiteral("ca5350.i0"));

    client->SendMsg(QStringLiteral("amp0"), QStringLiteral("ca5350.i0"),
                    QStringLiteral("SetRange 1e-3"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(srq.count(), 2, 10000);
    QCOMPARE(srq.at(1).at(0).value<SMsg>().params, QStringLiteral("0"));
}

void TestSimRelay::mutedNodeStaysSilent()
{
    // A simulator whose HV node has hung; its amplifier is fine.
    const QString keyFile = dir->filePath(QStringLiteral("server.key"));
    sim = std::make_unique<SimProcess>();
    QVERIFY(
        sim->start({QStringLiteral("--key-file"), keyFile, QStringLiteral("--amp"),
                    QStringLiteral("ca5350.i0"), QStringLiteral("--hv"), QStringLiteral("hvps.1"),
                    QStringLiteral("--mute"), QStringLiteral("hvps.1")}));
    auto client = connected(QStringLiteral("Brenlow"));
    QVERIFY(client);
    QSignalSpy voltage(client.get(), &Tesra::AnsGetV);
    QSignalSpy events(client.get(), &Tesra::EvChangedStat);
    QSignalSpy status(client.get(), &Tesra::AnsGetStatus);
    client->SendMsg(QStringLiteral("hv0"), QStringLiteral("System"), QStringLiteral("flgon"),
                    QStringLiteral("hvps.1"));
    client->SendMsg(QStringLiteral("hv0"), QStringLiteral("hvps.1"), QStringLiteral("GetV"),
                    QString());
    client->SendMsg(QStringLiteral("hv0"), QStringLiteral("hvps.1"), QStringLiteral("SetV"),
                    QStringLiteral("800"));
    // The amplifier answers a request sent after those: whatever the HV node
    // was going to say would have come first.
    client->SendMsg(QStringLiteral("amp0"), QStringLiteral("ca5350.i0"),
                    QStringLiteral("GetStatus"), QString());
    QVERIFY(status.wait(10000));
    QCOMPARE(voltage.count(), 0);
    QCOMPARE(events.count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        sim->log().contains(QLatin1String("muted Brenlow.hv0>hvps.1 SetV 800")), 10000);
}

void TestSimRelay::faultsReachSubscribers()
{
    // The HV module trips and the amplifier overloads from the start, until
    // each is reset.
    const QString keyFile = dir->filePath(QStringLiteral("server.key"));
    sim = std::make_unique<SimProcess>();
    QVERIFY(
        sim->start({QStringLiteral("--key-file"), keyFile, QStringLiteral("--amp"),
                    QStringLiteral("ca5350.i0"), QStringLiteral("--hv"), QStringLiteral("hvps.1"),
                    QStringLiteral("--fault"), QStringLiteral("hvps.1=TRIP@0"),
                    QStringLiteral("--overload"), QStringLiteral("ca5350.i0@0")}));
    auto client = connected(QStringLiteral("Brenlow"));
    QVERIFY(client);
    QSignalSpy statusEvents(client.get(), &Tesra::EvChangedStat);
    QSignalSpy statusReplies(client.get(), &Tesra::AnsGetStat1);
    QSignalSpy srqEvents(client.get(), &Tesra::EvSRQChanged);
    QSignalSpy srqReplies(client.get(), &Tesra::AnsGetSRQ);
    auto send = [&client](const char *sub, const char *to, const char *word, const char *params) {
        client->SendMsg(QLatin1String(sub), QLatin1String(to), QLatin1String(word),
                        QLatin1String(params));
    };
    auto last = [](const QSignalSpy &spy) {
        return spy.isEmpty() ? QString() : spy.last().at(0).value<SMsg>().params;
    };
    send("hv0", "System", "flgon", "hvps.1");
    send("amp0", "System", "flgon", "ca5350.i0");
    send("hv0", "hvps.1", "GetStat1", "");
    send("amp0", "ca5350.i0", "GetSRQ", "");
    QTRY_VERIFY_WITH_TIMEOUT(statusReplies.count() == 1 && srqReplies.count() == 1, 10000);
    // Asked before the devices' first tick, the faults are still to come
    // as events; after it, the replies carry them.
    QTRY_COMPARE_WITH_TIMEOUT(last(statusEvents).isEmpty() ? last(statusReplies)
                                                           : last(statusEvents),
                              QStringLiteral("TRIP"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(last(srqEvents).isEmpty() ? last(srqReplies) : last(srqEvents),
                              QStringLiteral("1"), 10000);

    // A new set voltage resets the trip; a range large enough holds the burst.
    send("hv0", "hvps.1", "SetV", "100");
    send("amp0", "ca5350.i0", "SetRange", "1e-3");
    QTRY_COMPARE_WITH_TIMEOUT(last(srqEvents), QStringLiteral("0"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(last(statusEvents) == QLatin1String("L2H") ||
                                 last(statusEvents) == QLatin1String("ON"),
                             10000);
}

void TestSimRelay::faultOnTheWrongKind_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("a status word for an amplifier")
        << QStringList{"--fault", "ca5350.i0=TRIP@1"} << QByteArray("no HV module node");
    QTest::newRow("an overload for an HV module")
        << QStringList{"--overload", "hvps.1@1"} << QByteArray("no amplifier node");
    QTest::newRow("no such node") << QStringList{"--fault", "hvps.9=TRIP@1"}
                                  << QByteArray("no HV module node [hvps.9]");
}

void TestSimRelay::faultOnTheWrongKind()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    QProcess refused;
    refused.start(
        QStringLiteral(TESRA_SIM_BIN),
        QStringList{QStringLiteral("--key-file"), dir->filePath(QStringLiteral("server.key")),
                    QStringLiteral("--amp"), QStringLiteral("ca5350.i0"), QStringLiteral("--hv"),
                    QStringLiteral("hvps.1"), QStringLiteral("--port"), QStringLiteral("0")} +
            arguments);
    QVERIFY(refused.waitForFinished(10000));
    QCOMPARE(refused.exitCode(), 2);
    QVERIFY(refused.readAllStandardError().contains(message));
}

void TestSimRelay::stopsOnSignal()
{
    auto client = connected(QStringLiteral("Brenlow"));
    QVERIFY(client);
    QSignalSpy gone(client.get(), &Tesra::Disconnected);
    QVERIFY(sim->terminate());
    QVERIFY(sim->log().contains(QLatin1String("stop server stopped")));
    QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 10000);
}

void TestSimRelay::quitsByItself()
{
    SimProcess shortLived;
    QVERIFY(
        shortLived.start({QStringLiteral("--key-file"), dir->filePath(QStringLiteral("server.key")),
                          QStringLiteral("--quit-after"), QStringLiteral("0.2")}));
    QVERIFY(shortLived.process.waitForFinished(10000));
    QCOMPARE(shortLived.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(shortLived.process.exitCode(), 0);

    // Anything but a loopback address is refused before listening.
    QProcess refused;
    refused.start(QStringLiteral(TESRA_SIM_BIN),
                  {QStringLiteral("--address"), QStringLiteral("10.1.2.3"),
                   QStringLiteral("--key-file"), dir->filePath(QStringLiteral("server.key"))});
    QVERIFY(refused.waitForFinished(10000));
    QCOMPARE(refused.exitCode(), 2);
    QVERIFY(refused.readAllStandardError().contains("loopback"));
}

QTEST_GUILESS_MAIN(TestSimRelay)
#include "tst_simrelay.moc"
