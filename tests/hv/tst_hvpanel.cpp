// SPDX-License-Identifier: GPL-3.0-or-later
// The HV panel driven as an operator drives it, against the fake message
// server: the lines the module node would receive and what the panel shows.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/Tesra.h"
#include "devices/HVRules.h"
#include "hv/SetVGuard.h"
#include "hv/aHV.h"

#include <QtTest>
#include <memory>

namespace {

QString line(const QString &rest)
{
    return QStringLiteral("Brenlow.hv1>hvps.2 ") + rest;
}

QStringList startLines(const QString &head, const QString &node)
{
    QStringList lines{head + QStringLiteral(">System flgon ") + node};
    for (const char *word :
         {"GetMaxV", "GetVLimit", "GetV", "GetRamp", "GetStat1", "IsControllable"})
        lines << head + QLatin1Char('>') + node + QLatin1Char(' ') + QLatin1String(word);
    return lines;
}

enum Action { PressStart, SetVReturn, SetVFocusOut, RampReturn };

// What follows a refusal of a set voltage above the usable maximum.
enum AfterRefusal { NothingMore, LimitRises, TextWithin };

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(AfterRefusal)

class tst_HVPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shownAloneWithClient();
    void startLinesOnReady_data();
    void startLinesOnReady();
    void startLinesAgainAfterReconnect();
    void secondSetClientDoesNotDoubleStartLines();
    void startThenRampDown();
    void stateTable_data();
    void stateTable();
    void setVoltageFormat_data();
    void setVoltageFormat();
    void chosenEntryIsApplied();
    void emptyRampRateSendsBareSetRamp();
    void editableAgainStillAppliesOnReturn();
    void statusColour_data();
    void statusColour();
    void valueEventRecolours();
    void maxVoltage_data();
    void maxVoltage();
    void aboveUsableMaximum_data();
    void aboveUsableMaximum();
    void entriesAboveUsableMaximum();
    void typedTextOutlivesTheLimit_data();
    void typedTextOutlivesTheLimit();
    void controllable_data();
    void controllable();
    void rampRateReplyAndEvent();
    void messagesForAnotherIdChangeNothing();
    void voltageList();
    void withoutClient();
    void goneWithFocusedEdit_data();
    void goneWithFocusedEdit();

private:
    void makePanel(const QString &ch = QStringLiteral("2"));
    void connectAndSettle();
    QStringList sentLines();
    void deliver(const QStringList &lines);
    void reply(const QString &word, const QString &params = QString());
    void typeInto(QWidget *field, const QString &text);
    void enterSetV(const QString &text);
    void enterRamp(const QString &text);
    void bringToApplied();

    std::unique_ptr<FakeTesraServer> server;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Tesra> client;
    std::unique_ptr<aHV> panel;
};

void tst_HVPanel::init()
{
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    client = TestSupport::makeClient(*server, *dir);
}

void tst_HVPanel::cleanup()
{
    panel.reset();
    client.reset();
    server.reset();
    dir.reset();
}

void tst_HVPanel::makePanel(const QString &ch)
{
    panel = std::make_unique<aHV>();
    panel->setClient(client.get());
    panel->ui.ModuleName->setText(QStringLiteral("HV 1"));
    panel->id = QStringLiteral("hv1");
    panel->driver = QStringLiteral("hvps");
    panel->ch = ch;
    panel->setVoltageList({QStringLiteral("1000"), QStringLiteral("-1500"), QStringLiteral("0")});
    panel->selectVoltage(QStringLiteral("1000"));
    panel->setVoltageEditable(true);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    // Active, so that focus moves as it does under the operator's hands.
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.get()));
}

// Connects the client, takes the seven start lines and makes the module
// controllable, so that each test begins from an idle panel whose Start works.
void tst_HVPanel::connectAndSettle()
{
    QVERIFY(TestSupport::connectClient(*client));
    QVERIFY(server->waitForMessageLines(7));
    QCOMPARE(server->messageLines().size(), 7);
    server->clearLines();
    reply(QStringLiteral("@IsControllable"), QStringLiteral("1"));
    QVERIFY(panel->ui.Start->isEnabled());
}

// Every line the server received since the last call.
QStringList tst_HVPanel::sentLines()
{
    return TestSupport::takeSentLines(*server, *client);
}

// Sends lines to the client and returns once the client has routed them all.
void tst_HVPanel::deliver(const QStringList &lines)
{
    QVERIFY(TestSupport::deliver(*server, *client, lines));
}

void tst_HVPanel::reply(const QString &word, const QString &params)
{
    QString text = QStringLiteral("hvps.2>Brenlow.hv1 ") + word;
    if (!params.isEmpty())
        text += QLatin1Char(' ') + params;
    deliver({text});
}

// Keys go where the operator's keyboard sends them: to the focused field. For
// the set voltage that is the box itself, which hands them to its line edit.
void tst_HVPanel::typeInto(QWidget *field, const QString &text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void tst_HVPanel::enterSetV(const QString &text)
{
    QVERIFY(panel->ui.SetV->lineEdit());
    typeInto(panel->ui.SetV, text);
    QTest::keyClick(panel->ui.SetV, Qt::Key_Return);
}

// Note that the ramp field keeps the focus: pressing Start afterwards ends
// its edit once more and sends another "SetRamp".
void tst_HVPanel::enterRamp(const QString &text)
{
    if (!panel->ui.ShowDetailsB->isChecked())
        QTest::mouseClick(panel->ui.ShowDetailsB, Qt::LeftButton);
    QVERIFY(panel->ui.RampRate->isVisible());
    typeInto(panel->ui.RampRate, text);
    QTest::keyClick(panel->ui.RampRate, Qt::Key_Return);
}

void tst_HVPanel::bringToApplied()
{
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    enterSetV(QStringLiteral("1000"));
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 15"), line("SetV 1000")}));
    QVERIFY(panel->vApplied);
}

void tst_HVPanel::shownAloneWithClient()
{
    makePanel();
    connectAndSettle();
    QVERIFY(panel->isVisible());
    QVERIFY(panel->ui.Start->isVisible());
    QVERIFY(!panel->ui.HideBox->isVisible());
    QTest::mouseClick(panel->ui.ShowDetailsB, Qt::LeftButton);
    QVERIFY(panel->ui.ShowDetailsB->isChecked());
    QVERIFY(panel->ui.HideBox->isVisible());
    QTest::mouseClick(panel->ui.ShowDetailsB, Qt::LeftButton);
    QVERIFY(!panel->ui.HideBox->isVisible());
    QCOMPARE(panel->ui.ModuleName->text(), QStringLiteral("HV 1"));
}

void tst_HVPanel::startLinesOnReady_data()
{
    QTest::addColumn<QString>("ch");
    QTest::addColumn<QString>("node");

    QTest::newRow("driver and channel") << "2"
                                        << "hvps.2";
    QTest::newRow("driver alone") << ""
                                  << "hvps";
}

void tst_HVPanel::startLinesOnReady()
{
    QFETCH(QString, ch);
    QFETCH(QString, node);

    makePanel(ch);
    QVERIFY(TestSupport::connectClient(*client));
    QCOMPARE(sentLines(), startLines(QStringLiteral("Brenlow.hv1"), node));

    // Every later request goes to the same node.
    reply(QStringLiteral("@IsControllable"), QStringLiteral("1"));
    enterRamp(QStringLiteral("7"));
    QCOMPARE(sentLines(), QStringList{"Brenlow.hv1>" + node + " SetRamp 7"});
}

void tst_HVPanel::startLinesAgainAfterReconnect()
{
    makePanel();
    connectAndSettle();
    reply(QStringLiteral("@GetMaxV"), QStringLiteral("3000V"));
    reply(QStringLiteral("@GetVLimit"), QStringLiteral("80"));
    QCOMPARE(panel->ui.MaxV->text(), QStringLiteral("2400"));

    client->ReConnect();
    QTRY_COMPARE(server->connectionCount(), 2);
    QVERIFY(server->waitForMessageLines(7));
    QCOMPARE(sentLines(), startLines(QStringLiteral("Brenlow.hv1"), QStringLiteral("hvps.2")));

    // The module's values survive the reconnection.
    QCOMPARE(panel->maxV, 3000.0);
    QCOMPARE(panel->vLimit, 0.8);
    QCOMPARE(panel->ui.MaxV->text(), QStringLiteral("2400"));
}

void tst_HVPanel::secondSetClientDoesNotDoubleStartLines()
{
    makePanel();
    panel->setClient(client.get());
    panel->setClient(nullptr); // ignored: the panel keeps its client
    QVERIFY(TestSupport::connectClient(*client));
    QCOMPARE(sentLines(), startLines(QStringLiteral("Brenlow.hv1"), QStringLiteral("hvps.2")));
}

void tst_HVPanel::startThenRampDown()
{
    makePanel();
    connectAndSettle();
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    enterSetV(QStringLiteral("-1500"));
    QCOMPARE(sentLines(), QStringList{});

    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 15"), line("SetV 1500")}));
    QVERIFY(panel->vApplied);

    // Ramping down does not look at the status.
    reply(QStringLiteral("_ChangedStat"), QStringLiteral("OFF"));
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 15"), line("SetV 0")}));
    QVERIFY(!panel->vApplied);

    // Idle again with status OFF: Start sends nothing.
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), QStringList{});
    QVERIFY(!panel->vApplied);
}

void tst_HVPanel::stateTable_data()
{
    QTest::addColumn<bool>("applied");
    QTest::addColumn<QString>("status");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("text"); // set voltage or ramp rate typed by the operator
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("appliedAfter");

    const QStringList none;
    auto setV = [](const QString &v) { return QStringList{line("SetRamp 15"), line("SetV " + v)}; };

    QTest::newRow("idle, Start, ON")
        << false << "ON" << PressStart << "1500" << setV("1500") << true;
    QTest::newRow("idle, Start, H2L")
        << false << "H2L" << PressStart << "-800" << setV("800") << true;
    QTest::newRow("idle, Start, L2H")
        << false << "L2H" << PressStart << "0.25" << setV("0.25") << true;
    QTest::newRow("idle, Start, zero") << false << "ON" << PressStart << "0" << setV("0") << false;
    QTest::newRow("idle, Start, not a number")
        << false << "ON" << PressStart << "abc" << setV("0") << false;
    QTest::newRow("idle, Start, OFF") << false << "OFF" << PressStart << "1500" << none << false;
    QTest::newRow("idle, Start, unknown status")
        << false << "ERR" << PressStart << "1500" << none << false;
    QTest::newRow("idle, Start, lower-case on")
        << false << "on" << PressStart << "1500" << none << false;
    QTest::newRow("idle, Start, empty status")
        << false << "" << PressStart << "1500" << none << false;
    QTest::newRow("idle, SetV edit, ON") << false << "ON" << SetVReturn << "1200" << none << false;
    QTest::newRow("idle, RampRate edit")
        << false << "OFF" << RampReturn << "20" << QStringList{line("SetRamp 20")} << false;

    QTest::newRow("applied, Start, ON") << true << "ON" << PressStart << "" << setV("0") << false;
    QTest::newRow("applied, Start, OFF") << true << "OFF" << PressStart << "" << setV("0") << false;
    QTest::newRow("applied, Start, unknown status")
        << true << "ERR" << PressStart << "" << setV("0") << false;
    QTest::newRow("applied, SetV edit, ON")
        << true << "ON" << SetVReturn << "1200" << setV("1200") << true;
    QTest::newRow("applied, SetV edit, H2L")
        << true << "H2L" << SetVReturn << "-900" << setV("900") << true;
    QTest::newRow("applied, SetV edit, L2H, zero")
        << true << "L2H" << SetVReturn << "0" << setV("0") << false;
    QTest::newRow("applied, SetV edit, OFF")
        << true << "OFF" << SetVReturn << "1200" << none << true;
    QTest::newRow("applied, SetV edit, empty status")
        << true << "" << SetVReturn << "1200" << none << true;
    QTest::newRow("applied, SetV focus leaves, ON")
        << true << "ON" << SetVFocusOut << "1300" << setV("1300") << true;
    QTest::newRow("applied, RampRate edit")
        << true << "ON" << RampReturn << "25" << QStringList{line("SetRamp 25")} << true;
}

void tst_HVPanel::stateTable()
{
    QFETCH(bool, applied);
    QFETCH(QString, status);
    QFETCH(Action, action);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(bool, appliedAfter);

    makePanel();
    connectAndSettle();
    if (applied)
        bringToApplied();
    reply(QStringLiteral("_ChangedStat"), status);
    QCOMPARE(panel->ui.Stat->text(), status);

    switch (action) {
    case PressStart:
        if (!applied) {
            // Ending the edit while idle only prepares the value.
            enterSetV(text);
            QCOMPARE(sentLines(), QStringList{});
        }
        QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
        break;
    case SetVReturn:
        enterSetV(text);
        break;
    case SetVFocusOut:
        typeInto(panel->ui.SetV, text);
        QCOMPARE(sentLines(), QStringList{});
        panel->ui.NowV->setFocus();
        break;
    case RampReturn:
        enterRamp(text);
        break;
    }
    QCOMPARE(sentLines(), expected);
    QCOMPARE(panel->vApplied, appliedAfter);
}

void tst_HVPanel::setVoltageFormat_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<bool>("appliedAfter");

    QTest::newRow("integer") << "1500"
                             << "1500" << true;
    QTest::newRow("negative") << "-1500"
                              << "1500" << true;
    QTest::newRow("exponent input") << "1e3"
                                    << "1000" << true;
    QTest::newRow("blanks around") << " 42 "
                                   << "42" << true;
    QTest::newRow("six significant digits") << "0.1234564"
                                            << "0.123456" << true;
    QTest::newRow("trailing zeros dropped") << "2.500"
                                            << "2.5" << true;
    QTest::newRow("one million") << "1234567"
                                 << "1.23457e+06" << true;
    QTest::newRow("tiny") << "0.00001"
                          << "1e-05" << true;
    QTest::newRow("negative zero") << "-0"
                                   << "0" << false;
    QTest::newRow("decimal comma") << "1,5"
                                   << "0" << false;
    QTest::newRow("unit attached") << "1500V"
                                   << "0" << false;
    QTest::newRow("empty") << ""
                           << "0" << false;
    QTest::newRow("nan") << "nan"
                         << "0" << false;
    QTest::newRow("inf") << "inf"
                         << "0" << false;
    QTest::newRow("-inf") << "-inf"
                          << "0" << false;
}

void tst_HVPanel::setVoltageFormat()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(bool, appliedAfter);

    makePanel();
    connectAndSettle();
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    enterSetV(typed);
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 15"), line("SetV " + sent)}));
    QCOMPARE(panel->vApplied, appliedAfter);

    // A value that left the panel idle makes the next Start apply again
    // instead of ramping down.
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 15"),
                                       line("SetV " + (appliedAfter ? QString("0") : sent))}));
}

void tst_HVPanel::chosenEntryIsApplied()
{
    makePanel();
    connectAndSettle();
    reply(QStringLiteral("@GetStat1"), QStringLiteral("L2H"));
    QCOMPARE(panel->ui.SetV->currentText(), QStringLiteral("1000"));
    QTest::keyClick(panel->ui.SetV, Qt::Key_Down);
    QCOMPARE(panel->ui.SetV->currentText(), QStringLiteral("-1500"));
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 15"), line("SetV 1500")}));
    QVERIFY(panel->vApplied);
}

void tst_HVPanel::emptyRampRateSendsBareSetRamp()
{
    makePanel();
    connectAndSettle();
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    enterRamp(QString());
    QCOMPARE(sentLines(), QStringList{line("SetRamp")});
    // Pressing Start takes the focus from the ramp field: its edit ends again.
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp"), line("SetRamp"), line("SetV 1000")}));
}

void tst_HVPanel::editableAgainStillAppliesOnReturn()
{
    makePanel();
    connectAndSettle();
    panel->setVoltageEditable(false);
    QVERIFY(!panel->ui.SetV->isEditable());
    QVERIFY(!panel->ui.SetV->lineEdit());
    panel->setVoltageEditable(true);
    bringToApplied();
    enterSetV(QStringLiteral("700"));
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 15"), line("SetV 700")}));
}

void tst_HVPanel::statusColour_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("nowV");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QString>("style");

    const QString reply = QStringLiteral("@GetStat1");
    const QString event = QStringLiteral("_ChangedStat");
    QTest::newRow("ON with voltage") << reply << "ON"
                                     << "1500" << 0.0 << HVRules::GreenStyle;
    QTest::newRow("ON negative voltage") << event << "ON"
                                         << "-1500" << 0.0 << HVRules::GreenStyle;
    QTest::newRow("ON at zero") << reply << "ON"
                                << "0" << 0.0 << HVRules::GreyStyle;
    QTest::newRow("ON tiny, no tolerance") << reply << "ON"
                                           << "0.001" << 0.0 << HVRules::GreenStyle;
    QTest::newRow("ON within tolerance") << reply << "ON"
                                         << "0.5" << 1.0 << HVRules::GreyStyle;
    QTest::newRow("ON at tolerance") << event << "ON"
                                     << "-1" << 1.0 << HVRules::GreyStyle;
    QTest::newRow("ON above tolerance") << reply << "ON"
                                        << "1.5" << 1.0 << HVRules::GreenStyle;
    QTest::newRow("ON, voltage not a number") << reply << "ON"
                                              << "---" << 0.0 << HVRules::GreyStyle;
    QTest::newRow("OFF") << reply << "OFF"
                         << "1500" << 0.0 << HVRules::GreyStyle;
    QTest::newRow("L2H") << event << "L2H"
                         << "500" << 0.0 << HVRules::YellowStyle;
    QTest::newRow("H2L") << reply << "H2L"
                         << "500" << 0.0 << HVRules::BlueStyle;
    QTest::newRow("lower case") << reply << "on"
                                << "1500" << 0.0 << HVRules::RedStyle;
    QTest::newRow("other word") << event << "TRIP"
                                << "0" << 0.0 << HVRules::RedStyle;
    QTest::newRow("empty") << event << ""
                           << "0" << 0.0 << HVRules::RedStyle;
    QTest::newRow("ON and a second word") << event << "ON now"
                                          << "1500" << 0.0 << HVRules::RedStyle;
    QTest::newRow("OFF, voltage not a number") << event << "OFF"
                                               << "---" << 0.0 << HVRules::GreyStyle;
}

void tst_HVPanel::statusColour()
{
    QFETCH(QString, word);
    QFETCH(QString, status);
    QFETCH(QString, nowV);
    QFETCH(double, tolerance);
    QFETCH(QString, style);

    makePanel();
    panel->voltageTolerance = tolerance;
    connectAndSettle();
    QCOMPARE(panel->ui.Start->styleSheet(), QString());
    reply(QStringLiteral("@GetV"), nowV);
    QCOMPARE(panel->ui.NowV->text(), nowV);
    reply(word, status);
    QCOMPARE(panel->ui.Stat->text(), status);
    QCOMPARE(panel->ui.Start->styleSheet(), style);
}

void tst_HVPanel::valueEventRecolours()
{
    makePanel();
    panel->voltageTolerance = 1;
    connectAndSettle();
    reply(QStringLiteral("@GetV"), QStringLiteral("0.5"));
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    QCOMPARE(panel->ui.Start->styleSheet(), HVRules::GreyStyle);

    reply(QStringLiteral("_ChangedValue"), QStringLiteral("1500"));
    QCOMPARE(panel->ui.NowV->text(), QStringLiteral("1500"));
    QCOMPARE(panel->ui.Start->styleSheet(), HVRules::GreenStyle);

    // A GetV reply shows the value but leaves the colour alone.
    reply(QStringLiteral("@GetV"), QStringLiteral("0"));
    QCOMPARE(panel->ui.NowV->text(), QStringLiteral("0"));
    QCOMPARE(panel->ui.Start->styleSheet(), HVRules::GreenStyle);

    reply(QStringLiteral("_ChangedValue"), QStringLiteral("0.2"));
    QCOMPARE(panel->ui.Start->styleSheet(), HVRules::GreyStyle);
}

void tst_HVPanel::maxVoltage_data()
{
    QTest::addColumn<QStringList>("first"); // message word, params
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QString>("shown");

    const QStringList max{"@GetMaxV", "3000V"};
    const QStringList limit{"@GetVLimit", "80"};
    QTest::newRow("maximum first") << max << limit << "2400";
    QTest::newRow("limit first") << limit << max << "2400";
    QTest::newRow("V in the limit") << QStringList{"@GetVLimit", "80V"} << max << "2400";
    QTest::newRow("negative maximum") << QStringList{"@GetMaxV", "-3000"} << limit << "-2400";
    QTest::newRow("fractional limit")
        << QStringList{"@GetMaxV", "3000"} << QStringList{"@GetVLimit", "33.3"} << "999";
    QTest::newRow("large") << QStringList{"@GetMaxV", "3000000V"}
                           << QStringList{"@GetVLimit", "41.1"} << "1.233e+06";
    QTest::newRow("maximum not a number") << QStringList{"@GetMaxV", "high"} << limit << "0";
    QTest::newRow("lower-case v is not dropped")
        << QStringList{"@GetMaxV", "3000v"} << limit << "0";
    QTest::newRow("maximum nan") << QStringList{"@GetMaxV", "nan"} << limit << "0";
}

void tst_HVPanel::maxVoltage()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QString, shown);

    makePanel();
    connectAndSettle();
    reply(first.at(0), first.at(1));
    QCOMPARE(panel->ui.MaxV->text(), QStringLiteral("0"));
    reply(second.at(0), second.at(1));
    QCOMPARE(panel->ui.MaxV->text(), shown);
}

void tst_HVPanel::aboveUsableMaximum_data()
{
    QTest::addColumn<QString>("max");   // GetMaxV reply; empty: none
    QTest::addColumn<QString>("limit"); // GetVLimit reply; empty: none
    QTest::addColumn<bool>("applied");  // 1000 V applied first
    QTest::addColumn<Action>("action"); // PressStart, SetVReturn or SetVFocusOut (then Start)
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<AfterRefusal>("after"); // then Start once more
    QTest::addColumn<QStringList>("expectedAfter");

    const QStringList none;
    auto setV = [](const QString &v) { return QStringList{line("SetRamp 15"), line("SetV " + v)}; };
    const QString max = QStringLiteral("3000V");
    const QString limit = QStringLiteral("80");

    QTest::newRow("above") << max << limit << false << PressStart << "3000" << none << true
                           << NothingMore << none;
    QTest::newRow("typo far above")
        << max << limit << false << PressStart << "15000" << none << true << NothingMore << none;
    QTest::newRow("negative text above")
        << max << limit << false << PressStart << "-2401" << none << true << NothingMore << none;
    QTest::newRow("at") << max << limit << false << PressStart << "2400" << setV("2400") << false
                        << NothingMore << none;
    QTest::newRow("below") << max << limit << false << PressStart << "1500" << setV("1500") << false
                           << NothingMore << none;
    QTest::newRow("at, as shown after rounding")
        << "3000"
        << "33.3" << false << PressStart << "999" << setV("999") << false << NothingMore << none;
    QTest::newRow("negative module, above")
        << "-3000"
        << "50" << false << PressStart << "-1600" << none << true << NothingMore << none;
    QTest::newRow("negative module, at")
        << "-3000"
        << "50" << false << PressStart << "-1500" << setV("1500") << false << NothingMore << none;
    QTest::newRow("limit unknown") << max << "" << false << PressStart << "15000" << setV("15000")
                                   << false << NothingMore << none;
    QTest::newRow("maximum unknown") << "" << limit << false << PressStart << "15000"
                                     << setV("15000") << false << NothingMore << none;
    QTest::newRow("limit answered 0") << max << "0" << false << PressStart << "15000"
                                      << setV("15000") << false << NothingMore << none;
    QTest::newRow("apply at once, above")
        << max << limit << true << SetVReturn << "3000" << none << true << NothingMore << none;
    QTest::newRow("apply at once, within") << max << limit << true << SetVReturn << "2000"
                                           << setV("2000") << false << NothingMore << none;
    // Leaving the field applies at once and is refused; the Start press that
    // took the focus still ramps down.
    QTest::newRow("ramp-down while above") << max << limit << true << SetVFocusOut << "3000"
                                           << setV("0") << true << NothingMore << none;
    QTest::newRow("limit rises after the refusal") << max << limit << false << PressStart << "3000"
                                                   << none << true << LimitRises << setV("3000");
    QTest::newRow("text within after the refusal") << max << limit << false << PressStart << "3000"
                                                   << none << true << TextWithin << setV("2000");
}

void tst_HVPanel::aboveUsableMaximum()
{
    QFETCH(QString, max);
    QFETCH(QString, limit);
    QFETCH(bool, applied);
    QFETCH(Action, action);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(bool, marked);
    QFETCH(AfterRefusal, after);
    QFETCH(QStringList, expectedAfter);

    makePanel();
    connectAndSettle();
    const QString plainStyle = panel->ui.SetV->styleSheet();
    if (!max.isEmpty())
        reply(QStringLiteral("@GetMaxV"), max);
    if (!limit.isEmpty())
        reply(QStringLiteral("@GetVLimit"), limit);
    if (applied)
        bringToApplied();
    else
        reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));

    if (marked)
        QTest::ignoreMessage(QtDebugMsg, qPrintable("hv1: SetV " + text +
                                                    " refused: above the usable maximum of " +
                                                    panel->ui.MaxV->text() + " V"));
    switch (action) {
    case PressStart:
        enterSetV(text);
        QCOMPARE(sentLines(), QStringList{});
        QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
        break;
    case SetVReturn:
        enterSetV(text);
        break;
    case SetVFocusOut:
        typeInto(panel->ui.SetV, text);
        QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
        break;
    default:
        QFAIL("not an action of this test");
    }
    QCOMPARE(sentLines(), expected);
    // A refused value leaves vApplied as it was; a ramp-down ends it.
    QCOMPARE(panel->vApplied, action == SetVFocusOut ? false : applied || !expected.isEmpty());
    QCOMPARE(panel->setVGuard()->isMarked(), marked);
    QCOMPARE(panel->ui.SetV->styleSheet(), marked ? SetVGuard::MarkStyle : plainStyle);
    QCOMPARE(panel->ui.SetV->toolTip(),
             marked ? "above the usable maximum of " + panel->ui.MaxV->text() + " V" : QString());

    switch (after) {
    case NothingMore:
        return;
    case LimitRises:
        reply(QStringLiteral("@GetVLimit"), QStringLiteral("100"));
        break;
    case TextWithin:
        typeInto(panel->ui.SetV, QStringLiteral("2000"));
        break;
    }
    QVERIFY(!panel->setVGuard()->isMarked());
    QCOMPARE(panel->ui.SetV->styleSheet(), plainStyle);
    QCOMPARE(panel->ui.SetV->toolTip(), QString());
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), expectedAfter);
    QVERIFY(panel->vApplied);
}

// The list keeps every entry; those above the usable maximum say so.
// The limit's answers mark the list's entries; the current entry's mark
// must not put its text back over a voltage typed but not yet entered.
void tst_HVPanel::typedTextOutlivesTheLimit_data()
{
    QTest::addColumn<QString>("limit");
    QTest::newRow("the current entry becomes unreachable") << "20";
    QTest::newRow("no entry changes") << "80";
}

void tst_HVPanel::typedTextOutlivesTheLimit()
{
    QFETCH(QString, limit);
    makePanel(); // the current entry is 1000
    connectAndSettle();
    reply(QStringLiteral("@GetMaxV"), QStringLiteral("3000V"));
    typeInto(panel->ui.SetV, QStringLiteral("500"));
    reply(QStringLiteral("@GetVLimit"), limit);
    QCOMPARE(panel->ui.SetV->currentText(), QStringLiteral("500"));
    QCOMPARE(sentLines(), QStringList{});
}

void tst_HVPanel::entriesAboveUsableMaximum()
{
    makePanel(); // entries 1000, -1500, 0
    panel->setVoltageList({QStringLiteral("2500")});
    connectAndSettle();
    QComboBox *box = panel->ui.SetV;
    auto aboveEntries = [box] {
        QStringList above;
        for (int i = 0; i < box->count(); ++i) {
            const QString tip = box->itemData(i, Qt::ToolTipRole).toString();
            const bool dimmed = box->itemData(i, Qt::ForegroundRole).isValid();
            if (!tip.isEmpty() || dimmed)
                above << box->itemText(i) + ": " + tip + (dimmed ? "" : " (not dimmed)");
        }
        return above;
    };
    QCOMPARE(aboveEntries(), QStringList{});
    reply(QStringLiteral("@GetMaxV"), QStringLiteral("3000V"));
    QCOMPARE(aboveEntries(), QStringList{});
    reply(QStringLiteral("@GetVLimit"), QStringLiteral("40"));
    QCOMPARE(box->count(), 4);
    QCOMPARE(aboveEntries(), (QStringList{"-1500: above the usable maximum of 1200 V",
                                          "2500: above the usable maximum of 1200 V"}));
    reply(QStringLiteral("@GetVLimit"), QStringLiteral("80"));
    QCOMPARE(aboveEntries(), QStringList{"2500: above the usable maximum of 2400 V"});
    panel->setVoltageList({QStringLiteral("2800")});
    QCOMPARE(aboveEntries(), (QStringList{"2500: above the usable maximum of 2400 V",
                                          "2800: above the usable maximum of 2400 V"}));
    reply(QStringLiteral("@GetVLimit"), QStringLiteral("100"));
    QCOMPARE(aboveEntries(), QStringList{});

    // A chosen entry above the maximum is refused like a typed one.
    reply(QStringLiteral("@GetVLimit"), QStringLiteral("50"));
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    box->setCurrentIndex(3);
    QTest::ignoreMessage(QtDebugMsg, "hv1: SetV 2500 refused: above the usable maximum of 1500 V");
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), QStringList{});
    QVERIFY(panel->setVGuard()->isMarked());
    box->setCurrentIndex(0);
    QVERIFY(!panel->setVGuard()->isMarked());
}

void tst_HVPanel::controllable_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("enabled");

    for (const char *word : {"@IsControllable", "_ChangedOnOff"}) {
        const QString w = QLatin1String(word);
        QTest::addRow("%s 1", word) << w << "1" << true;
        QTest::addRow("%s 0", word) << w << "0" << false;
        QTest::addRow("%s 2", word) << w << "2" << false;
        QTest::addRow("%s not an integer", word) << w << "1.0" << false;
        QTest::addRow("%s empty", word) << w << "" << false;
    }
}

void tst_HVPanel::controllable()
{
    QFETCH(QString, word);
    QFETCH(QString, value);
    QFETCH(bool, enabled);

    makePanel();
    QVERIFY(!panel->ui.Start->isEnabled());
    QVERIFY(TestSupport::connectClient(*client));
    QVERIFY(server->waitForMessageLines(7));
    server->clearLines();
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    if (!enabled)
        reply(QStringLiteral("@IsControllable"), QStringLiteral("1"));
    QCOMPARE(panel->ui.Start->isEnabled(), !enabled);

    reply(word, value);
    QCOMPARE(panel->ui.Start->isEnabled(), enabled);

    // A disabled Start cannot be pressed.
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    const QStringList applied{line("SetRamp 15"), line("SetV 1000")};
    QCOMPARE(sentLines(), enabled ? applied : QStringList());
}

void tst_HVPanel::rampRateReplyAndEvent()
{
    makePanel();
    connectAndSettle();
    enterRamp(QStringLiteral("99"));
    QCOMPARE(sentLines(), QStringList{line("SetRamp 99")});
    panel->ui.Start->setFocus(); // leaving the field ends the edit once more
    QCOMPARE(sentLines(), QStringList{line("SetRamp 99")});
    reply(QStringLiteral("@GetRamp"), QStringLiteral("20"));
    QCOMPARE(panel->ui.RampRate->text(), QStringLiteral("20"));
    reply(QStringLiteral("_ChangedRampRate"), QStringLiteral("30 V/s"));
    QCOMPARE(panel->ui.RampRate->text(), QStringLiteral("30 V/s"));

    // The ramp text goes out as shown, unconverted.
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 30 V/s"), line("SetV 1000")}));
}

void tst_HVPanel::messagesForAnotherIdChangeNothing()
{
    makePanel();
    QVERIFY(TestSupport::connectClient(*client));
    QVERIFY(server->waitForMessageLines(7));
    server->clearLines();

    QStringList lines;
    for (const QString &to : {QStringLiteral("Brenlow.hv2"), QStringLiteral("Brenlow.HV1"),
                              QStringLiteral("Brenlow"), QStringLiteral("Brenlow.hv1x")}) {
        const QString head = QStringLiteral("hvps.2>") + to + QLatin1Char(' ');
        lines << head + "@GetMaxV 3000V" << head + "@GetVLimit 80" << head + "@GetV 5"
              << head + "@GetStat1 ON" << head + "@GetRamp 99" << head + "@IsControllable 1"
              << head + "_ChangedOnOff 1" << head + "_ChangedStat H2L" << head + "_ChangedValue 7"
              << head + "_ChangedRampRate 77";
    }
    deliver(lines);

    QCOMPARE(panel->maxV, 0.0);
    QCOMPARE(panel->vLimit, 0.0);
    QCOMPARE(panel->ui.MaxV->text(), QString());
    QCOMPARE(panel->ui.NowV->text(), QString());
    QCOMPARE(panel->ui.Stat->text(), QString());
    QCOMPARE(panel->ui.RampRate->text(), QStringLiteral("15"));
    QCOMPARE(panel->ui.Start->styleSheet(), QString());
    QVERIFY(!panel->ui.Start->isEnabled());
    QCOMPARE(sentLines(), QStringList{});
}

void tst_HVPanel::voltageList()
{
    aHV empty;
    empty.setVoltageList({});
    QCOMPARE(empty.ui.SetV->count(), 1);
    QCOMPARE(empty.ui.SetV->itemText(0), QStringLiteral("0"));
    empty.selectVoltage(QStringLiteral("5"));
    QCOMPARE(empty.ui.SetV->currentIndex(), 0);

    aHV hv;
    hv.setVoltageList({QStringLiteral("500"), QStringLiteral("1000"), QStringLiteral("1500V")});
    hv.setVoltageList({QStringLiteral("2000")}); // appended, nothing removed
    QCOMPARE(hv.ui.SetV->count(), 4);
    QCOMPARE(hv.ui.SetV->itemText(3), QStringLiteral("2000"));
    hv.selectVoltage(QStringLiteral("1000"));
    QCOMPARE(hv.ui.SetV->currentIndex(), 1);
    hv.selectVoltage(QStringLiteral("1500v")); // case-sensitive: no match
    QCOMPARE(hv.ui.SetV->currentIndex(), 0);
    hv.selectVoltage(QStringLiteral("100")); // whole text only
    QCOMPARE(hv.ui.SetV->currentIndex(), 0);
    hv.selectVoltage(QStringLiteral("2000"));
    QCOMPARE(hv.ui.SetV->currentText(), QStringLiteral("2000"));
}

// A panel that never got a client stays silent and survives every operator
// action; the connected client of another panel shows that nothing left it.
void tst_HVPanel::withoutClient()
{
    QVERIFY(TestSupport::connectClient(*client));
    server->clearLines();

    aHV alone;
    alone.id = QStringLiteral("hv1");
    alone.driver = QStringLiteral("hvps");
    alone.setVoltageList({QStringLiteral("1000")});
    alone.show();
    QVERIFY(QTest::qWaitForWindowExposed(&alone));

    SMsg msg;
    msg.toSub = QStringLiteral("hv1");
    msg.params = QStringLiteral("1");
    alone.AnsIsControllable(msg);
    msg.params = QStringLiteral("ON");
    alone.AnsGetStat1(msg);
    QVERIFY(alone.ui.Start->isEnabled());

    QTest::mouseClick(alone.ui.Start, Qt::LeftButton);
    QVERIFY(!alone.vApplied);
    typeInto(alone.ui.SetV, QStringLiteral("1200"));
    QTest::keyClick(alone.ui.SetV, Qt::Key_Return);
    QTest::mouseClick(alone.ui.ShowDetailsB, Qt::LeftButton);
    QVERIFY(alone.ui.HideBox->isVisible());
    typeInto(alone.ui.RampRate, QStringLiteral("5"));
    QTest::keyClick(alone.ui.RampRate, Qt::Key_Return);
    QTest::mouseClick(alone.ui.Start, Qt::LeftButton);
    QVERIFY(!alone.vApplied);
    QCOMPARE(sentLines(), QStringList{});
}

// The panel destroyed, or released and hidden as the main window does when it
// closes, while the operator's edit still has the focus: the focus-out that
// follows must not run a slot of the going panel nor write its edit.
void tst_HVPanel::goneWithFocusedEdit_data()
{
    QTest::addColumn<bool>("rampField");
    QTest::addColumn<bool>("destroy");
    QTest::newRow("ramp rate, destroyed") << true << true;
    QTest::newRow("set voltage, destroyed") << false << true;
    QTest::newRow("ramp rate, released and hidden") << true << false;
    QTest::newRow("set voltage, released and hidden") << false << false;
}

void tst_HVPanel::goneWithFocusedEdit()
{
    QFETCH(bool, rampField);
    QFETCH(bool, destroy);
    makePanel();
    connectAndSettle();
    bringToApplied();
    if (rampField) {
        QTest::mouseClick(panel->ui.ShowDetailsB, Qt::LeftButton);
        typeInto(panel->ui.RampRate, QStringLiteral("9"));
    } else {
        typeInto(panel->ui.SetV, QStringLiteral("1200"));
    }
    QWidget *edit = rampField ? static_cast<QWidget *>(panel->ui.RampRate)
                              : static_cast<QWidget *>(panel->ui.SetV->lineEdit());
    QVERIFY(edit->hasFocus());

    if (destroy) {
        panel.reset();
    } else {
        panel->releaseClient();
        panel->hide();
        QVERIFY(!edit->hasFocus());
        // Released: the module's messages no longer reach it either.
        reply(QStringLiteral("@GetV"), QStringLiteral("77"));
        QVERIFY(panel->ui.NowV->text() != QStringLiteral("77"));
    }
    QCOMPARE(sentLines(), QStringList());
}

QTEST_MAIN(tst_HVPanel)
#include "tst_hvpanel.moc"
