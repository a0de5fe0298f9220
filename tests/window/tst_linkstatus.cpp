// SPDX-License-Identifier: GPL-3.0-or-later
// The window telling the truth about its link, against the fake server: the
// status bar's text, mark and Reconnect button in each link state, and the
// panels' controls held while the link is not ready and given back exactly
// as the panels' own rules leave them.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "app/StartUp.h"
#include "client/Reconnector.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "widgets/LinkGuard.h"
#include "widgets/UnsentEdits.h"
#include "window/Body.h"
#include "window/LinkStatus.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

enum Scenario { Connecting, Ready, Lost, LostWithRetry, Refused, NoPort, SpacedName };

const QString Clock = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");

// The widgets of a panel that the operator could use, with their enabled
// state; the view-only Show Details boxes and the panel itself left out.
QMap<QString, bool> enabledStates(const QWidget &panel)
{
    QMap<QString, bool> states;
    for (const QWidget *w : panel.findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            states.insert(w->objectName(), w->isEnabled());
    }
    return states;
}

} // namespace

Q_DECLARE_METATYPE(Scenario)

class tst_LinkStatus : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusBar_data();
    void statusBar();
    void reconnectButtonRestartsTheLink();
    void controlsHeldUntilReady();
    void controlsComeBackAsThePanelsLeaveThem();
    void panelRuleDuringOutageTakesEffectOnReturn();
    void noReconnectWithoutTheKey();
    void reconnectIntervalFromTheKey();
    void editEndedByTheLostLinkIsKept_data();
    void editEndedByTheLostLinkIsKept();

private:
    QString writeConfig(const QByteArray &extra = QByteArray(), const QString &port = QString());
    static QLabel *stateLabel(Body &body);
    static QPushButton *reconnectButton(Body &body);
    void settle(Body &body);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_LinkStatus::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_LinkStatus::cleanup()
{
    server.reset();
    dir.reset();
}

QString tst_LinkStatus::writeConfig(const QByteArray &extra, const QString &port)
{
    return TestSupport::writeStation(
        *dir, port.isEmpty() ? QString::number(server->port()) : port,
        extra + "HV Module Names=HV1\nAMP Module Names=AMP1\nIC Module Names=I0\n"
                "[HV1]\nid=hv1\ndriver=hvps\nch=1\nDefault Voltage=1000, 0\n"
                "[AMP1]\nid=amp1\ndriver=ca\nch=1\n"
                "[I0]\nHV Unit id=hv1\nAMP Unit id=amp1\n");
}

QLabel *tst_LinkStatus::stateLabel(Body &body)
{
    return body.findChild<QLabel *>(QStringLiteral("LinkState"));
}

QPushButton *tst_LinkStatus::reconnectButton(Body &body)
{
    return body.findChild<QPushButton *>(QStringLiteral("ReconnectB"));
}

// Waits until the window's link is ready and both panels' start lines are in.
void tst_LinkStatus::settle(Body &body)
{
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Ready, 10000);
    QVERIFY(server->waitForMessageLines(13, 10000));
}

void tst_LinkStatus::statusBar_data()
{
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("pattern"); // with {port} and {clock}
    QTest::addColumn<QString>("colour");
    QTest::addColumn<bool>("reconnectEnabled");

    QTest::newRow("connecting") << Connecting << false << "^Connecting to 127\\.0\\.0\\.1:{port}$"
                                << "yellow" << true;
    QTest::newRow("ready") << Ready << false
                           << "^Connected as Brenlow to 127\\.0\\.0\\.1:{port}, since {clock}$"
                           << "green" << false;
    QTest::newRow("lost") << Lost << false << "^Lost at {clock}$"
                          << "red" << true;
    QTest::newRow("lost, retrying")
        << LostWithRetry << false << "^Lost at {clock}, retrying in (29|30) s, attempt 1$"
        << "red" << true;
    QTest::newRow("refused") << Refused << false
                             << "^Refused: the server closed the link during the handshake "
                                "\\(127\\.0\\.0\\.1:{port}\\)$"
                             << "red" << true;
    QTest::newRow("no valid port") << NoPort << false << "^Not connecting: no valid port$"
                                   << "red" << true;
    QTest::newRow("client name not one word")
        << SpacedName << false << "^Not connecting: the client name holds white space$"
        << "red" << true;
    QTest::newRow("client name not one word, Japanese")
        << SpacedName << true
        << QString::fromUtf8("^接続しません: クライアント名に空白が含まれています$") << "red"
        << true;
    QTest::newRow("ready, Japanese")
        << Ready << true
        << QString::fromUtf8("^Brenlow として 127\\.0\\.0\\.1:{port} に接続中（{clock} から）$")
        << "green" << false;
    QTest::newRow("lost, retrying, Japanese")
        << LostWithRetry << true
        << QString::fromUtf8("^{clock} に接続が切れました、(29|30) 秒後に再接続（1 回目）$")
        << "red" << true;
}

void tst_LinkStatus::statusBar()
{
    QFETCH(Scenario, scenario);
    QFETCH(bool, japanese);
    QFETCH(QString, pattern);
    QFETCH(QString, colour);
    QFETCH(bool, reconnectEnabled);

    if (scenario == Connecting)
        server->setAutoHandshake(false);
    if (scenario == Refused) {
        server->setAutoHandshake(false);
        connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
                [this] { server->send("7\n"); });
        connect(server.get(), &FakeTesraServer::keyLineReceived, server.get(),
                &FakeTesraServer::dropClient);
    }
    QString port;
    if (scenario == NoPort) {
        port = QStringLiteral("0");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not a port number"));
    }
    QByteArray extra = scenario == LostWithRetry ? "Reconnect Interval=30\n" : "";
    if (scenario == SpacedName)
        extra = "Name on Tesra=Bren low\n";

    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    Body body(writeConfig(extra, port));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));

    QLabel *label = stateLabel(body);
    QPushButton *button = reconnectButton(body);
    QVERIFY(label);
    QVERIFY(button);
    if (scenario == Connecting)
        // The server never sends a challenge, so no key line comes; the
        // client gives such a handshake up after its deadline.
        QVERIFY(QTest::qWaitFor([this] { return server->hasClient(); }, 5000));
    if (scenario == Lost || scenario == LostWithRetry || scenario == Ready)
        settle(body);
    if (scenario == Lost || scenario == LostWithRetry) {
        server->dropClient();
        QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Lost, 10000);
    }
    if (scenario == Refused)
        QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Refused, 10000);

    const QRegularExpression expected(
        QString(pattern)
            .replace(QStringLiteral("{port}"), QString::number(server->port()))
            .replace(QStringLiteral("{clock}"), Clock));
    QVERIFY2(expected.match(label->text()).hasMatch(), qPrintable(label->text()));
    QCOMPARE(body.linkStatus()->markColour(), colour);
    QCOMPARE(button->isEnabled(), reconnectEnabled);
    QCOMPARE(button->text(), japanese ? QString::fromUtf8("再接続") : QStringLiteral("Reconnect"));
    if (scenario == NoPort || scenario == SpacedName)
        QCOMPARE(server->connectionCount(), 0);
    QCoreApplication::removeTranslator(&translator);
}

void tst_LinkStatus::reconnectButtonRestartsTheLink()
{
    Body body(writeConfig());
    settle(body);
    server->dropClient();
    QTRY_VERIFY_WITH_TIMEOUT(reconnectButton(body)->isEnabled(), 10000);
    server->clearLines();
    QTest::mouseClick(reconnectButton(body), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Ready, 10000);
    QVERIFY(!reconnectButton(body)->isEnabled());
    QCOMPARE(server->connectionCount(), 2);
    // The panels asked for every value again.
    QVERIFY(server->waitForMessageLines(13, 10000));
}

void tst_LinkStatus::controlsHeldUntilReady()
{
    server->setAutoHandshake(false);
    Body body(writeConfig());
    aHV *hv = body.hvModules().at(0);
    aCA *amp = body.ampModules().at(0);
    QVERIFY(hv->linkGuard()->isHolding());
    QVERIFY(amp->linkGuard()->isHolding());

    for (QWidget *w : std::initializer_list<QWidget *>{
             hv->ui.Start, hv->ui.SetV, hv->ui.RampRate, amp->ui.ModuleName, amp->ui.ZeroCheckB,
             amp->ui.RangeSCB, amp->ui.ResetB, amp->ui.NewCSprEdit, amp->ui.SelectTCCB,
             amp->ui.NewVBias, amp->ui.BackLightHB, amp->ui.ShowStatB, amp->ui.SetCSprTableB})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    // Only the view changes.
    QVERIFY(hv->ui.ShowDetailsB->isEnabled());
    QVERIFY(amp->ui.ShowDetailsB->isEnabled());
    for (QWidget *w : std::initializer_list<QWidget *>{hv->ui.NowV, hv->ui.Stat, hv->ui.MaxV,
                                                       amp->ui.StatDisp, amp->ui.NowCSprDisp}) {
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QCOMPARE(w->toolTip(), QStringLiteral("Not connected yet: no value has arrived"));
    }
    // No click goes out.
    QTest::mouseClick(amp->ui.ShowStatB, Qt::LeftButton);
    QTest::mouseClick(amp->ui.ZeroCheckB, Qt::LeftButton);
    QVERIFY(!amp->ui.ZeroCheckB->isChecked());
}

void tst_LinkStatus::controlsComeBackAsThePanelsLeaveThem()
{
    Body body(writeConfig());
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    settle(body);
    aHV *hv = body.hvModules().at(0);
    aCA *amp = body.ampModules().at(0);
    // The panels' own rules at work: Start controllable, the filter in use.
    server->sendLine(QStringLiteral("hvps.1>Brenlow.hv1 @IsControllable 1"));
    QTRY_VERIFY_WITH_TIMEOUT(hv->ui.Start->isEnabled(), 10000);
    amp->ui.FilterUseB->setChecked(true);
    QVERIFY(amp->ui.FilterUseBox->isEnabled());
    const QMap<QString, bool> hvBefore = enabledStates(*hv);
    const QMap<QString, bool> ampBefore = enabledStates(*amp);
    QVERIFY(!ampBefore.value(QStringLiteral("CSprLoadDefB")));

    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Lost, 10000);
    QVERIFY(!hv->ui.Start->isEnabled());
    QVERIFY(!amp->ui.FilterAutoB->isEnabled());
    QVERIFY(QRegularExpression(
                QStringLiteral("^Link lost at %1: this value may be out of date$").arg(Clock))
                .match(hv->ui.NowV->toolTip())
                .hasMatch());

    server->clearLines();
    body.tesra()->ReConnect();
    settle(body);
    QCOMPARE(enabledStates(*hv), hvBefore);
    QCOMPARE(enabledStates(*amp), ampBefore);
    QCOMPARE(hv->ui.NowV->toolTip(), QString());
}

void tst_LinkStatus::panelRuleDuringOutageTakesEffectOnReturn()
{
    Body body(writeConfig());
    settle(body);
    aHV *hv = body.hvModules().at(0);
    server->sendLine(QStringLiteral("hvps.1>Brenlow.hv1 @IsControllable 1"));
    QTRY_VERIFY_WITH_TIMEOUT(hv->ui.Start->isEnabled(), 10000);
    server->dropClient();
    QTRY_VERIFY_WITH_TIMEOUT(!hv->ui.Start->isEnabled(), 10000);
    // The module's last word, as if it came while the link was going down.
    SMsg off;
    off.toSub = QStringLiteral("hv1");
    off.params = QStringLiteral("0");
    hv->ChangedOnOff(off);
    QVERIFY(!hv->linkGuard()->ownEnabled(hv->ui.Start));
    body.tesra()->ReConnect();
    settle(body);
    QVERIFY(!hv->ui.Start->isEnabled());
    QVERIFY(hv->ui.SetV->isEnabled());
}

void tst_LinkStatus::noReconnectWithoutTheKey()
{
    Body body(writeConfig());
    QVERIFY(!body.autoReconnect());
    settle(body);
    QSignalSpy connected(server.get(), &FakeTesraServer::clientConnected);
    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Lost, 10000);
    // Nothing but the operator brings it back.
    QVERIFY(!connected.wait(2000));
    QCOMPARE(server->connectionCount(), 1);
    QVERIFY(!stateLabel(body)->text().contains(QLatin1String("retrying")));
}

void tst_LinkStatus::reconnectIntervalFromTheKey()
{
    Body body(writeConfig("Reconnect Interval=0.05\n"));
    QVERIFY(body.autoReconnect());
    QCOMPARE(body.autoReconnect()->intervalMs(), 50);
    settle(body);
    server->clearLines();
    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 2, 10000);
    settle(body);
    QCOMPARE(server->peakOpenConnections(), 1);
}

// The operator types into a field (no Enter) and the link goes: the guard
// disables the field, Qt ends the edit, and the panel would send the text
// into a link that is gone. Nothing goes out and nothing is on record as
// sent; the field keeps the text, marked, and the status bar says so. The
// text is not sent when the link comes back, only when the operator
// confirms it again.
void tst_LinkStatus::editEndedByTheLostLinkIsKept_data()
{
    QTest::addColumn<bool>("hvField");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("command");
    QTest::newRow("HV ramp rate") << true << "RampRate"
                                  << "57"
                                  << "Brenlow.hv1>hvps.1 SetRamp 57";
    QTest::newRow("suppression value") << false << "NewCSprEdit"
                                       << "5e-10"
                                       << "Brenlow.amp1>ca.1 SetCurrentSurpressionValue 5e-10";
    QTest::newRow("bias voltage") << false << "NewVBias"
                                  << "2.5"
                                  << "Brenlow.amp1>ca.1 SetVoltageBiasRange 2.5";
    QTest::newRow("module name") << false << "ModuleName"
                                 << "AMP X"
                                 << "Brenlow.amp1>ca.1 SetDisplayMsg AMP X";
}

void tst_LinkStatus::editEndedByTheLostLinkIsKept()
{
    QFETCH(bool, hvField);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, command);
    const QString logPath = dir->filePath(QStringLiteral("commands.log"));
    Body body(writeConfig("Command Log=" + logPath.toUtf8() + "\n"));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    body.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&body));
    settle(body);
    QWidget *panel = hvField ? static_cast<QWidget *>(body.hvModules().at(0))
                             : static_cast<QWidget *>(body.ampModules().at(0));
    const UnsentEdits *unsent =
        hvField ? body.hvModules().at(0)->unsentEdits() : body.ampModules().at(0)->unsentEdits();
    auto *edit = panel->findChild<QLineEdit *>(field);
    QVERIFY(edit);
    auto *details = panel->findChild<QAbstractButton *>(QStringLiteral("ShowDetailsB"));
    if (!edit->isVisible())
        QTest::mouseClick(details, Qt::LeftButton);
    QVERIFY(edit->isVisible());
    const QString plainStyle = edit->styleSheet();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QVERIFY(edit->hasFocus());

    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Lost, 10000);
    QVERIFY(!edit->hasFocus());
    QCOMPARE(edit->text(), typed);
    QVERIFY(unsent->isMarked(edit));
    QCOMPARE(edit->styleSheet(), UnsentEdits::MarkStyle);
    QVERIFY2(edit->toolTip().startsWith("“" + typed + "” was not sent"),
             qPrintable(edit->toolTip()));
    const QString said = body.statusBar()->currentMessage();
    QVERIFY2(said.startsWith("Not sent, the link is not ready: " +
                             command.section('>', 1).section(' ', 1)),
             qPrintable(said));
    auto logged = [&] {
        QFile file(logPath);
        return file.open(QIODevice::ReadOnly) &&
               QString::fromUtf8(file.readAll()).contains(command);
    };
    QVERIFY(!logged());

    // Back: the panels start again, and the held text stays where it is.
    server->clearLines();
    body.tesra()->ReConnect();
    settle(body);
    QStringList sent = takeSentLines(*server, *body.tesra());
    QVERIFY2(!sent.contains(command), qPrintable(sent.join('\n')));
    QVERIFY(!logged());
    QCOMPARE(edit->text(), typed);
    QVERIFY(unsent->isMarked(edit));

    // Confirmed again by the operator, it goes out and is on record.
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    sent = takeSentLines(*server, *body.tesra());
    QVERIFY2(sent.contains(command), qPrintable(sent.join('\n')));
    QVERIFY(logged());
    QVERIFY(!unsent->isMarked(edit));
    QCOMPARE(edit->styleSheet(), plainStyle);
}

QTEST_MAIN(tst_LinkStatus)
#include "tst_linkstatus.moc"
