// SPDX-License-Identifier: GPL-3.0-or-later
// The HV panel's form driven as an operator drives it, against the fake
// message server: what each field and button hands to the device, by Return,
// focus and keyboard, what the panel shows of the device (the Start
// button's colour, the usable maximum, the ramp rate, Start enabled), the
// set voltage box's marks above the usable maximum, and the panel released
// or destroyed with an edit open. The device's protocol, without any widget,
// is tested in tst_hvdevice.

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
    void operatorActions_data();
    void operatorActions();
    void chosenEntryIsApplied();
    void emptyRampRateSendsBareSetRamp();
    void editableAgainStillAppliesOnReturn();
    void statusColourShown_data();
    void statusColourShown();
    void maxVoltageShown();
    void aboveUsableMaximum_data();
    void aboveUsableMaximum();
    void entriesAboveUsableMaximum();
    void typedTextOutlivesTheLimit_data();
    void typedTextOutlivesTheLimit();
    void fieldsWrittenDirectly();
    void startFollowsControllable_data();
    void startFollowsControllable();
    void rampRateReplyAndEvent();
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

    TestSupport::ServerLink link;
    std::unique_ptr<QTemporaryDir> &dir = link.dir;
    std::unique_ptr<FakeTesraServer> &server = link.server;
    std::unique_ptr<Tesra> &client = link.client;
    std::unique_ptr<aHV> panel;
};

void tst_HVPanel::init()
{
    QVERIFY(link.start());
}

void tst_HVPanel::cleanup()
{
    panel.reset();
    link.stop();
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
    return link.sent();
}

// Sends lines to the client and returns once the client has routed them all.
void tst_HVPanel::deliver(const QStringList &lines)
{
    QVERIFY(link.deliver(lines));
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
    // The set voltage box shows the device's list and choice.
    QCOMPARE(panel->ui.SetV->count(), 3);
    QCOMPARE(panel->ui.SetV->currentText(), QStringLiteral("1000"));
}

void tst_HVPanel::operatorActions_data()
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
        << false << "ON" << PressStart << "-1500" << setV("1500") << true;
    QTest::newRow("idle, Start, OFF") << false << "OFF" << PressStart << "1500" << none << false;
    QTest::newRow("idle, SetV edit, ON") << false << "ON" << SetVReturn << "1200" << none << false;
    QTest::newRow("idle, RampRate edit")
        << false << "OFF" << RampReturn << "20" << QStringList{line("SetRamp 20")} << false;
    QTest::newRow("applied, Start, OFF") << true << "OFF" << PressStart << "" << setV("0") << false;
    QTest::newRow("applied, SetV edit, ON")
        << true << "ON" << SetVReturn << "1200" << setV("1200") << true;
    QTest::newRow("applied, SetV focus leaves, ON")
        << true << "ON" << SetVFocusOut << "1300" << setV("1300") << true;
    QTest::newRow("applied, RampRate edit")
        << true << "ON" << RampReturn << "25" << QStringList{line("SetRamp 25")} << true;
}

void tst_HVPanel::operatorActions()
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

void tst_HVPanel::statusColourShown_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("nowV");
    QTest::addColumn<QString>("style");

    QTest::newRow("ON with voltage") << "@GetStat1"
                                     << "ON"
                                     << "1500" << HVRules::GreenStyle;
    QTest::newRow("ON at zero") << "@GetStat1"
                                << "ON"
                                << "0" << HVRules::GreyStyle;
    QTest::newRow("L2H") << "_ChangedStat"
                         << "L2H"
                         << "500" << HVRules::YellowStyle;
    QTest::newRow("H2L") << "@GetStat1"
                         << "H2L"
                         << "500" << HVRules::BlueStyle;
    QTest::newRow("other word") << "_ChangedStat"
                                << "TRIP"
                                << "0" << HVRules::RedStyle;
}

// The Start button wears the device's status colour; the fields show the
// status and the voltage.
void tst_HVPanel::statusColourShown()
{
    QFETCH(QString, word);
    QFETCH(QString, status);
    QFETCH(QString, nowV);
    QFETCH(QString, style);

    makePanel();
    connectAndSettle();
    QCOMPARE(panel->ui.Start->styleSheet(), QString());
    reply(QStringLiteral("@GetV"), nowV);
    QCOMPARE(panel->ui.NowV->text(), nowV);
    reply(word, status);
    QCOMPARE(panel->ui.Stat->text(), status);
    QCOMPARE(panel->ui.Start->styleSheet(), style);
}

void tst_HVPanel::maxVoltageShown()
{
    makePanel();
    connectAndSettle();
    QCOMPARE(panel->ui.MaxV->text(), QString());
    reply(QStringLiteral("@GetMaxV"), QStringLiteral("3000V"));
    QCOMPARE(panel->ui.MaxV->text(), QStringLiteral("0"));
    reply(QStringLiteral("@GetVLimit"), QStringLiteral("80"));
    QCOMPARE(panel->ui.MaxV->text(), QStringLiteral("2400"));
    QCOMPARE(panel->maxV, 3000.0);
    QCOMPARE(panel->vLimit, 0.8);
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

// The panel's rules read its fields: a text written into the voltage, the
// status, the ramp rate or the set voltage counts as one the device
// reported or the operator typed; limits written into the panel's values
// are not the module's and refuse nothing.
void tst_HVPanel::fieldsWrittenDirectly()
{
    makePanel();
    panel->voltageTolerance = 1;
    connectAndSettle();
    panel->ui.NowV->setText(QStringLiteral("0.5"));
    reply(QStringLiteral("@GetStat1"), QStringLiteral("ON"));
    QCOMPARE(panel->ui.Start->styleSheet(), HVRules::GreyStyle);
    reply(QStringLiteral("_ChangedValue"), QStringLiteral("1500"));
    QCOMPARE(panel->ui.Start->styleSheet(), HVRules::GreenStyle);

    panel->ui.Stat->setText(QStringLiteral("L2H"));
    panel->ui.RampRate->setText(QStringLiteral("40"));
    panel->ui.SetV->setEditText(QStringLiteral("-2500"));
    panel->maxV = 3000;
    panel->vLimit = 0.5;
    QTest::mouseClick(panel->ui.Start, Qt::LeftButton);
    QCOMPARE(sentLines(), (QStringList{line("SetRamp 40"), line("SetV 2500")}));
    QVERIFY(panel->vApplied);
}

void tst_HVPanel::startFollowsControllable_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("@IsControllable 1") << "@IsControllable"
                                       << "1" << true;
    QTest::newRow("@IsControllable 0") << "@IsControllable"
                                       << "0" << false;
    QTest::newRow("_ChangedOnOff 0") << "_ChangedOnOff"
                                     << "0" << false;
}

void tst_HVPanel::startFollowsControllable()
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
