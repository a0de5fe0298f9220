// SPDX-License-Identifier: GPL-3.0-or-later
// The client's delivery of routed lines to the receivers they are addressed
// to: only a receiver's own messages reach it, in the order the receivers
// were added and before the signal's listeners, and a receiver that stops,
// goes away or registers twice is handled. Then the same through the real
// panels: each takes its own lines and a second ready does not double them.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "client/Tesra.h"
#include "hv/aHV.h"

#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

// Writes what it is handed into a shared log, as "name:line".
class Recorder : public QObject
{
public:
    Recorder(const QString &name, QStringList &log) : label(name), entries(log) {}
    void take(const SMsg &msg) { entries << label + QLatin1Char(':') + msg.line; }

    QString label;
    QStringList &entries;
};

} // namespace

class tst_Delivery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void onlyOwnMessages_data();
    void onlyOwnMessages();
    void orderOfReceiversAndSignal();
    void stopAndRegisterAgain();
    void destroyedReceiverIsDropped();
    void receiverStopsOthersWhileDelivered();
    void panelsTakeTheirOwnLines();
    void secondReadyDoesNotDouble();

private:
    bool deliver(const QStringList &lines);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
    std::unique_ptr<Tesra> client;
};

void tst_Delivery::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
    client = makeClient(*server, *dir);
}

void tst_Delivery::cleanup()
{
    client.reset();
    server.reset();
    dir.reset();
}

// Sends the lines through the shared fixture helper: it returns once the
// client has routed all of them and the panels show them.
bool tst_Delivery::deliver(const QStringList &lines)
{
    return TestSupport::deliver(*server, *client, lines);
}

void tst_Delivery::onlyOwnMessages_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("reply to the sub-name")
        << "hvps.1>Brenlow.hv1 @GetV 12" << QStringList{"hv:hvps.1>Brenlow.hv1 @GetV 12"};
    QTest::newRow("reply to another sub-name") << "hvps.1>Brenlow.hv2 @GetV 12" << QStringList{};
    QTest::newRow("sub-name differs in case") << "hvps.1>Brenlow.HV1 @GetV 12" << QStringList{};
    QTest::newRow("other client, same sub-name")
        << "hvps.1>Other.hv1 @GetV 12" << QStringList{"hv:hvps.1>Other.hv1 @GetV 12"};
    QTest::newRow("word the receiver did not ask for")
        << "hvps.1>Brenlow.hv1 @GetRamp 5" << QStringList{};
    QTest::newRow("request word is never delivered")
        << "hvps.1>Brenlow.hv1 GetV 12" << QStringList{};
    QTest::newRow("event by its sender") << "dev1>Brenlow.x _RangeChanged 1e-6"
                                         << QStringList{"amp:dev1>Brenlow.x _RangeChanged 1e-6"};
    QTest::newRow("event from a channel of that sender")
        << "dev1.2>Brenlow.x _RangeChanged 1e-6" << QStringList{};
    QTest::newRow("event addressed to the sender's name")
        << "x>Brenlow.dev1 _RangeChanged 1e-6" << QStringList{};
}

void tst_Delivery::onlyOwnMessages()
{
    QFETCH(QString, line);
    QFETCH(QStringList, expected);

    QStringList log;
    Recorder hv(QStringLiteral("hv"), log);
    Recorder amp(QStringLiteral("amp"), log);
    client->Deliver(&hv, &Tesra::AnsGetV, Tesra::Addressed::ToSub, QStringLiteral("hv1"),
                    &Recorder::take);
    client->Deliver(&amp, &Tesra::EvRangeChanged, Tesra::Addressed::From, QStringLiteral("dev1"),
                    &Recorder::take);
    QVERIFY(connectClient(*client));

    QVERIFY(deliver({line}));
    QCOMPARE(log, expected);
}

void tst_Delivery::orderOfReceiversAndSignal()
{
    QStringList log;
    Recorder first(QStringLiteral("first"), log);
    Recorder second(QStringLiteral("second"), log);
    client->Deliver(&first, &Tesra::AnsGetStatus, Tesra::Addressed::ToSub, QStringLiteral("amp1"),
                    &Recorder::take);
    client->Deliver(&second, &Tesra::AnsGetStatus, Tesra::Addressed::ToSub, QStringLiteral("amp1"),
                    &Recorder::take);
    connect(client.get(), &Tesra::AnsGetStatus, this,
            [&log](SMsg msg) { log << QStringLiteral("signal:") + msg.line; });
    QVERIFY(connectClient(*client));

    QVERIFY(deliver({"dev1>Brenlow.amp1 @GetStatus a", "dev1>Brenlow.amp1 @GetStatus b"}));
    QCOMPARE(
        log,
        QStringList(
            {"first:dev1>Brenlow.amp1 @GetStatus a", "second:dev1>Brenlow.amp1 @GetStatus a",
             "signal:dev1>Brenlow.amp1 @GetStatus a", "first:dev1>Brenlow.amp1 @GetStatus b",
             "second:dev1>Brenlow.amp1 @GetStatus b", "signal:dev1>Brenlow.amp1 @GetStatus b"}));
}

void tst_Delivery::stopAndRegisterAgain()
{
    QStringList log;
    Recorder rec(QStringLiteral("r"), log);
    const auto add = [&] {
        client->Deliver(&rec, &Tesra::AnsGetV, Tesra::Addressed::ToSub, QStringLiteral("hv1"),
                        &Recorder::take);
    };
    add();
    QCOMPARE(client->deliveryCount(&rec), 1);
    QVERIFY(connectClient(*client));

    // Stopped, then registered once again: one delivery, not two.
    client->StopDelivery(&rec);
    QCOMPARE(client->deliveryCount(&rec), 0);
    QVERIFY(deliver({"hvps>Brenlow.hv1 @GetV 1"}));
    QCOMPARE(log, QStringList());
    add();
    QVERIFY(deliver({"hvps>Brenlow.hv1 @GetV 2"}));
    QCOMPARE(log, QStringList{"r:hvps>Brenlow.hv1 @GetV 2"});
}

void tst_Delivery::destroyedReceiverIsDropped()
{
    QStringList log;
    auto gone = std::make_unique<Recorder>(QStringLiteral("gone"), log);
    Recorder stays(QStringLiteral("stays"), log);
    client->Deliver(gone.get(), &Tesra::AnsGetV, Tesra::Addressed::ToSub, QStringLiteral("hv1"),
                    &Recorder::take);
    client->Deliver(&stays, &Tesra::AnsGetV, Tesra::Addressed::ToSub, QStringLiteral("hv1"),
                    &Recorder::take);
    QVERIFY(connectClient(*client));
    const QObject *goneAddress = gone.get();
    gone.reset();
    QCOMPARE(client->deliveryCount(goneAddress), 0);
    QVERIFY(deliver({"hvps>Brenlow.hv1 @GetV 3"}));
    QCOMPARE(log, QStringList{"stays:hvps>Brenlow.hv1 @GetV 3"});
}

void tst_Delivery::receiverStopsOthersWhileDelivered()
{
    // The first receiver of a line ends the deliveries of the second while
    // the line is being delivered: the second no longer gets it, and the
    // first is not called again.
    QStringList log;
    Recorder second(QStringLiteral("second"), log);

    struct Stopper : QObject
    {
        Tesra *tesra = nullptr;
        QObject *other = nullptr;
        QStringList *entries = nullptr;
        void take(const SMsg &msg)
        {
            *entries << QStringLiteral("stopper:") + msg.line;
            tesra->StopDelivery(other);
        }
    } stopper;
    stopper.tesra = client.get();
    stopper.other = &second;
    stopper.entries = &log;
    client->Deliver(&stopper, &Tesra::AnsGetV, Tesra::Addressed::ToSub, QStringLiteral("hv1"),
                    &Stopper::take);
    client->Deliver(&second, &Tesra::AnsGetV, Tesra::Addressed::ToSub, QStringLiteral("hv1"),
                    &Recorder::take);
    QVERIFY(connectClient(*client));

    QVERIFY(deliver({"hvps>Brenlow.hv1 @GetV 4", "hvps>Brenlow.hv1 @GetV 5"}));
    QCOMPARE(log,
             QStringList({"stopper:hvps>Brenlow.hv1 @GetV 4", "stopper:hvps>Brenlow.hv1 @GetV 5"}));
}

void tst_Delivery::panelsTakeTheirOwnLines()
{
    // Two HV panels and two amplifiers on one client; each line changes
    // exactly the panel it is addressed to.
    std::vector<std::unique_ptr<aHV>> hvs;
    std::vector<std::unique_ptr<aCA>> amps;
    for (int k = 1; k <= 2; ++k) {
        auto hv = std::make_unique<aHV>();
        hv->setClient(client.get());
        hv->id = QStringLiteral("hv%1").arg(k);
        hv->driver = QStringLiteral("hvps");
        hv->ch = QString::number(k);
        hvs.push_back(std::move(hv));
        auto amp = std::make_unique<aCA>();
        amp->setClient(client.get());
        amp->id = QStringLiteral("amp%1").arg(k);
        amp->driver = QStringLiteral("dev%1").arg(k);
        amp->setRangeTable({"1e-3", "1e-4", "1e-5"});
        amps.push_back(std::move(amp));
    }
    QVERIFY(connectClient(*client));
    QVERIFY(server->waitForMessageLines(2 * 7 + 2 * 6));

    QVERIFY(deliver({"hvps.2>Brenlow.hv2 _ChangedValue 250.5", "hvps.1>Brenlow.hv1 @GetV 10.0",
                     "x>Brenlow.amp2 @GetCurrentSurpressionValue 3e-10",
                     "dev1>Brenlow.whoever _RangeChanged 1e-5"}));
    QCOMPARE(hvs[0]->ui.NowV->text(), QStringLiteral("10.0"));
    QCOMPARE(hvs[1]->ui.NowV->text(), QStringLiteral("250.5"));
    QCOMPARE(amps[0]->ui.NowCSprDisp->text(), QString());
    QCOMPARE(amps[1]->ui.NowCSprDisp->text(), QStringLiteral("3e-10"));
    QCOMPARE(amps[0]->ui.RangeSCB->currentIndex(), 2);
    QCOMPARE(amps[1]->ui.RangeSCB->currentIndex(), 0);
}

void tst_Delivery::secondReadyDoesNotDouble()
{
    aHV hv;
    hv.setClient(client.get());
    hv.setClient(client.get());
    hv.id = QStringLiteral("hv1");
    hv.driver = QStringLiteral("hvps");
    aCA amp;
    amp.setClient(client.get());
    amp.id = QStringLiteral("amp1");
    amp.driver = QStringLiteral("dev1");
    QVERIFY(connectClient(*client));
    const int hvCount = client->deliveryCount(hv.device());
    const int ampCount = client->deliveryCount(amp.device());
    QCOMPARE(hvCount, 10);
    QCOMPARE(ampCount, 8);

    // A second ready (as after a reconnection) states the addresses again
    // instead of adding to them.
    emit client->ConnectionIsReady(client.get());
    QCOMPARE(client->deliveryCount(hv.device()), hvCount);
    QCOMPARE(client->deliveryCount(amp.device()), ampCount);

    int changes = 0;
    connect(hv.ui.NowV, &QLineEdit::textChanged, this, [&changes] { ++changes; });
    QVERIFY(deliver({"hvps>Brenlow.hv1 _ChangedValue 5"}));
    QCOMPARE(changes, 1);
}

QTEST_MAIN(tst_Delivery)
#include "tst_delivery.moc"
