// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier panel's form against the fake message server: what each of
// its widgets hands to the device (the lines an operator's change sends),
// what the widgets show of a decoded status, the alert's colours, the
// suppression table's selector, the wheel, and the panel shown on its own.
// The device's protocol, without any widget, is tested in
// tst_amplifierdevice.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "client/Tesra.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

using namespace TestSupport;

namespace {

const QStringList TCTable = {"0.0003", "0.001", "0.01", "0.03", "0.1", "0.3", "1", "2", "3"};
const QStringList Ranges = {"1e-5", "1e-6", "1e-7"};

QStringList amp1(const QStringList &commands)
{
    QStringList out;
    for (const QString &c : commands)
        out << QStringLiteral("Brenlow.amp1>dev1 ") + c;
    return out;
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class tst_aCA : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void constructionAndConfigurationSendNothing();
    void commands_data();
    void commands();
    void widgetsShowTheStatus();
    void alertColours_data();
    void alertColours();
    void retranslateClearsDispErr();
    void tableSelector();
    void wheel();
    void shownAlone();

private:
    aCA *addPanel(const QString &id = QStringLiteral("amp1"),
                  const QString &driver = QStringLiteral("dev1"), const QString &ch = QString(),
                  const QByteArray &table = QByteArray());
    bool connectAll();
    bool startReady(const QByteArray &table = QByteArray());
    QStringList sent();
    bool deliver(const QString &line);
    bool deliver(const QStringList &lines);
    bool perform(aCA &panel, const QString &step);
    bool holds(aCA &panel, const QString &state);
    void runSteps(aCA &panel, const QStringList &steps, const QStringList &expected,
                  const QStringList &states);

    ServerLink link;
    std::unique_ptr<QTemporaryDir> &dir = link.dir;
    std::unique_ptr<FakeTesraServer> &server = link.server;
    std::unique_ptr<Tesra> &client = link.client;
    std::vector<std::unique_ptr<aCA>> panels;
};

void tst_aCA::initTestCase()
{
    qRegisterMetaType<SMsg>();
}

void tst_aCA::init()
{
    QVERIFY(link.start());
}

void tst_aCA::cleanup()
{
    panels.clear();
    link.stop();
}

// A panel configured the way the main window configures one.
aCA *tst_aCA::addPanel(const QString &id, const QString &driver, const QString &ch,
                       const QByteArray &table)
{
    auto panel = std::make_unique<aCA>();
    panel->setClient(client.get());
    panel->setModuleName(QStringLiteral("IC1 Amp"));
    panel->id = id;
    panel->driver = driver;
    panel->ch = ch;
    panel->col = 1;
    panel->row = 0;
    panel->setTCTable(TCTable);
    panel->setRangeTable(Ranges);
    panel->setCSprTableFile(writeFile(dir->filePath(id + QStringLiteral(".txt")), table));
    panels.push_back(std::move(panel));
    return panels.back().get();
}

bool tst_aCA::connectAll()
{
    return link.connect(6 * int(panels.size()));
}

bool tst_aCA::startReady(const QByteArray &table)
{
    addPanel(QStringLiteral("amp1"), QStringLiteral("dev1"), QString(), table);
    if (!connectAll())
        return false;
    server->clearLines();
    return true;
}

// Everything the client wrote since the last call.
QStringList tst_aCA::sent()
{
    return link.sent();
}

// Sends lines to the client and waits until it has routed all of them.
bool tst_aCA::deliver(const QStringList &lines)
{
    return link.deliver(lines);
}

bool tst_aCA::deliver(const QString &line)
{
    return deliver(QStringList{line});
}

// One operator step: "click:Button", "type:Edit:text" (then Return),
// "enter:Edit" (Return alone), "keys:Edit:text" (no Return),
// "choose:Combo:index", "name:text" (the main window's setModuleName).
bool tst_aCA::perform(aCA &panel, const QString &step)
{
    const QString kind = step.section(QLatin1Char(':'), 0, 0);
    const QString name = step.section(QLatin1Char(':'), 1, 1);
    const QString rest = step.section(QLatin1Char(':'), 2);
    if (kind == QLatin1String("click")) {
        auto *button = panel.findChild<QAbstractButton *>(name);
        if (!button)
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
    } else if (kind == QLatin1String("type") || kind == QLatin1String("keys") ||
               kind == QLatin1String("enter")) {
        auto *edit = panel.findChild<QLineEdit *>(name);
        if (!edit)
            return false;
        if (kind != QLatin1String("enter")) {
            edit->clear();
            QTest::keyClicks(edit, rest);
        }
        if (kind != QLatin1String("keys"))
            QTest::keyClick(edit, Qt::Key_Return);
    } else if (kind == QLatin1String("choose")) {
        auto *box = panel.findChild<QComboBox *>(name);
        if (!box)
            return false;
        box->setCurrentIndex(rest.toInt());
    } else if (kind == QLatin1String("name")) {
        panel.setModuleName(step.section(QLatin1Char(':'), 1));
    } else {
        return false;
    }
    return true;
}

// "checked:Name", "unchecked:Name", "enabled:Name", "disabled:Name",
// "index:Combo:n", "text:Widget:text".
bool tst_aCA::holds(aCA &panel, const QString &state)
{
    const QString kind = state.section(QLatin1Char(':'), 0, 0);
    const QString name = state.section(QLatin1Char(':'), 1, 1);
    const QString rest = state.section(QLatin1Char(':'), 2);
    auto *widget = panel.findChild<QWidget *>(name);
    if (!widget)
        return false;
    if (kind == QLatin1String("checked") || kind == QLatin1String("unchecked")) {
        auto *button = qobject_cast<QAbstractButton *>(widget);
        return button && button->isChecked() == (kind == QLatin1String("checked"));
    }
    if (kind == QLatin1String("enabled") || kind == QLatin1String("disabled"))
        return widget->isEnabled() == (kind == QLatin1String("enabled"));
    if (kind == QLatin1String("index")) {
        auto *box = qobject_cast<QComboBox *>(widget);
        return box && box->currentIndex() == rest.toInt();
    }
    if (kind == QLatin1String("text")) {
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            return edit->text() == rest;
        if (auto *label = qobject_cast<QLabel *>(widget))
            return label->text() == rest;
    }
    return false;
}

void tst_aCA::constructionAndConfigurationSendNothing()
{
    QVERIFY(connectClient(*client));
    server->clearLines();
    aCA *panel = addPanel();
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QVERIFY(!panel->isReady());
    QCOMPARE(panel->ui.ModuleName->text(), QStringLiteral("IC1 Amp"));
    QCOMPARE(sent(), QStringList());
}

// ---- the widgets hand the operator's changes to the device ----------------

// Each control of the form reaches its device: the lines are those of the
// operator's change. The pairs of buttons kept opposite and the back light's
// group send twice; a box the device disables takes no clicks.
void tst_aCA::commands_data()
{
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("states");

    auto row = [](const char *name, bool ready, QStringList steps, QStringList expected,
                  QStringList states = {}) {
        QTest::newRow(name) << ready << steps << expected << states;
    };
    const QString gs = QStringLiteral("GetStatus");

    row("zero check on", true, {"click:ZeroCheckB"}, {"SetZeroCheck 1", gs},
        {"checked:ZeroCheckB"});
    row("reset", true, {"click:ResetB"}, {"RestorConfig 2", gs});
    row("range", true, {"choose:RangeSCB:1"}, {"SetRange 1e-6", gs});
    row("suppression off", true, {"click:CSprUseB"}, {"SetCurrentSurpression 0", gs},
        {"unchecked:CSprUseB", "disabled:CSprUseBox"});
    row("suppression value", true, {"type:NewCSprEdit:5e-10"},
        {"SetCurrentSurpressionValue 5e-10", "GetCurrentSurpressionValue"});
    row("filter on", true, {"click:FilterUseB"}, {"SetFilter 1", gs},
        {"checked:FilterUseB", "enabled:FilterUseBox"});
    row("time constant 10ms", true, {"choose:SelectTCCB:2"}, {"SetFilterDuration 0.01", gs});
    // The filter mode buttons sit in a box that is enabled only while the
    // filter is in use.
    row("filter mode locked while the filter is off", true, {"click:FilterAutoB"}, {},
        {"unchecked:FilterAutoB"});
    row("manual filter after auto", true,
        {"click:FilterUseB", "click:FilterAutoB", "click:FilterManualB"},
        {"SetFilter 1", gs, "SetAutoFilter 1", gs, "SetAutoFilter 0", gs, "SetAutoFilter 0", gs},
        {"unchecked:FilterAutoB", "checked:FilterManualB"});
    row("bias off after on", true, {"click:VBiasOnB", "click:VBiasOffB"},
        {"SetVoltageBias 1", gs, "SetVoltageBias 0", gs, "SetVoltageBias 0", gs},
        {"unchecked:VBiasOnB", "checked:VBiasOffB"});
    row("bias range", true, {"type:NewVBias: 12.5 "},
        {"SetVoltageBiasRange  12.5 ", "GetVoltageBiasRange"});
    row("front input after rear", true, {"click:SelInputRB", "click:SelInputFB"},
        {"SelectInput 1", gs, "SelectInput 0", gs, "SelectInput 0", gs},
        {"unchecked:SelInputRB", "checked:SelInputFB"});
    row("back light off after low", true, {"click:BackLightLB", "click:BackLightOffB"},
        {"SetBacklight 1", gs, "SetBacklight 1", gs, "SetBacklight 2", gs, "SetBacklight 2", gs},
        {"checked:BackLightOffB", "unchecked:BackLightLB", "unchecked:BackLightHB"});
    row("checked back light clicked", true, {"click:BackLightHB"}, {}, {"checked:BackLightHB"});
    row("show stat", true, {"click:ShowStatB"}, {gs});
    row("module name typed", true, {"type:ModuleName: Det 1 "}, {"SetDisplayMsg  Det 1 "});
    row("module name from the window", true, {"name:New Name"}, {"SetDisplayMsg New Name"},
        {"text:ModuleName:New Name"});
    row("manual source clicked again", true, {"click:CSprManualB"}, {}, {"checked:CSprManualB"});
    row("table source without a table", true, {"click:CSprFromTBLB"}, {},
        {"checked:CSprFromTBLB", "unchecked:CSprManualB"});
    row("save setting has no action", true, {"click:SaveCSprDefB"}, {});
    row("details shown and hidden", true, {"click:ShowDetailsB", "click:ShowDetailsB"}, {});
    row("not ready: range", false, {"choose:RangeSCB:2"}, {}, {"index:RangeSCB:2"});
    row("not ready: module name typed", false, {"type:ModuleName:Det 1"}, {"SetDisplayMsg Det 1"});
}

void tst_aCA::commands()
{
    QFETCH(bool, ready);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, states);

    if (ready) {
        QVERIFY(startReady());
    } else {
        // The panel joins a client that is already connected, so it never
        // hears the ready signal while lines still reach the server.
        QVERIFY(connectClient(*client));
        addPanel();
        server->clearLines();
    }
    aCA &panel = *panels.front();
    QCOMPARE(panel.isReady(), ready);
    runSteps(panel, steps, expected, states);
}

// Shows the panel with its details, performs the operator's steps, then
// checks the lines sent and the widget states.
void tst_aCA::runSteps(aCA &panel, const QStringList &steps, const QStringList &expected,
                       const QStringList &states)
{
    panel.show();
    panel.ui.ShowDetailsB->setChecked(true);
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    for (const QString &step : steps)
        QVERIFY2(perform(panel, step), qPrintable(step));
    QCOMPARE(sent(), amp1(expected));
    for (const QString &state : states)
        QVERIFY2(holds(panel, state), qPrintable(state));
}

// ---- the widgets show the device ----------------------------------------

void tst_aCA::widgetsShowTheStatus()
{
    QVERIFY(startReady());
    aCA &panel = *panels.front();
    const QString text = QStringLiteral("CA5350A1B0C1I1N0P1T/Z1");
    QVERIFY(deliver("ca>Brenlow.amp1 @GetStatus " + text));
    // The echo is the device's; the widgets show where it leaves the
    // controls, and no widget sends anything of its own.
    QCOMPARE(sent().size(), 18);
    const QStringList states = {
        "checked:BackLightLB",   "checked:VBiasOffB",       "checked:ZeroCheckB",
        "checked:SelInputRB",    "checked:FilterUseB",      "checked:FilterAutoB",
        "unchecked:BackLightHB", "unchecked:BackLightOffB", "unchecked:VBiasOnB",
        "unchecked:SelInputFB",  "unchecked:CSprUseB",      "unchecked:FilterManualB",
        "disabled:CSprUseBox",   "enabled:FilterUseBox",    "index:SelectTCCB:1"};
    for (const QString &state : states)
        QVERIFY2(holds(panel, state), qPrintable(state));
    QCOMPARE(panel.ui.StatDisp->text(), text.mid(6));
    QVERIFY(deliver("ca>Brenlow.amp1 @GetStatus " + text));
    QCOMPARE(sent(), QStringList());

    // Range replies move the range selector.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetRange 1e-7"));
    QCOMPARE(panel.ui.RangeSCB->currentIndex(), 2);
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 3e-10"));
    QCOMPARE(panel.ui.NowCSprDisp->text(), QStringLiteral("3e-10"));
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetVoltageBiasRange 5 V"));
    QCOMPARE(panel.ui.NowVBias->text(), QStringLiteral("5 V"));
}

void tst_aCA::alertColours_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("dispErr");
    QTest::addColumn<QString>("style");

    const QString colour = QStringLiteral("background-color: rgb(10, 20, 30);");
    const QString alert = QStringLiteral("background-color: rgb(255, 200, 200);");
    const QString srq1 = QStringLiteral("dev1>Brenlow.amp1 @GetSRQ 1");
    const QString err = QStringLiteral("dev1>Brenlow.amp1 @GetErrorStatus CA5350");

    QTest::newRow("SRQ reply 1") << QStringList{srq1} << "OVER !!!" << alert;
    QTest::newRow("SRQ reply 0 clears and drops the colour")
        << QStringList{srq1, "dev1>Brenlow.amp1 @GetSRQ 0"} << QString() << QString();
    QTest::newRow("SRQ reply 0 alone drops the colour")
        << QStringList{"dev1>Brenlow.amp1 @GetSRQ 0"} << QString() << QString();
    QTest::newRow("SRQ event from another device")
        << QStringList{"dev2>Brenlow _SRQChanged 1"} << QString() << colour;
    QTest::newRow("error bits 0 and 8 show the later")
        << QStringList{err + "1000000010"} << "Er: Mem Err" << alert;
    QTest::newRow("error all zeros clears")
        << QStringList{err + "1000000010", err + "0000000000"} << QString() << QString();
    QTest::newRow("error status for another panel")
        << QStringList{"dev1>Brenlow.amp2 @GetErrorStatus CA53501111111111"} << QString() << colour;
}

void tst_aCA::alertColours()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, dispErr);
    QFETCH(QString, style);
    QVERIFY(startReady());
    aCA &panel = *panels.front();
    // The main window's colour; the normal style, once restored, replaces it.
    panel.setStyleSheet(QStringLiteral("background-color: rgb(10, 20, 30);"));
    QVERIFY(deliver(lines));
    QCOMPARE(panel.ui.DispErr->text(), dispErr);
    QCOMPARE(panel.styleSheet(), style);
    QCOMPARE(sent(), QStringList());
}

void tst_aCA::retranslateClearsDispErr()
{
    QVERIFY(startReady());
    aCA &panel = *panels.front();
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetSRQ 1"));
    QCOMPARE(panel.ui.DispErr->text(), QStringLiteral("OVER !!!"));
    panel.ui.retranslateUi(&panel);
    QCOMPARE(panel.ui.DispErr->text(), QString());
}

// ---- current-suppression table ----------------------------------------

void tst_aCA::tableSelector()
{
    QVERIFY(startReady("1e-6 2e-10\n1e-6 3e-10\n1e-5 7.5e-10\n"));
    aCA &panel = *panels.front();
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), (QStringList{"1e-05 : 7.5e-10", "1e-06 : 3e-10"}));
    QCOMPARE(panel.ui.NewCSprEdit->text(), QStringLiteral("7.5e-10"));

    // Picking an entry fills the field; the operator's Enter sends it.
    runSteps(panel, {"choose:CSprTBLCB:1", "enter:NewCSprEdit"},
             {"SetCurrentSurpressionValue 3e-10", "GetCurrentSurpressionValue"},
             {"text:NewCSprEdit:3e-10"});

    // "Set Table" records the reported value and the selector lists it.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 4e-10"));
    panel.ui.SetCSprTableB->click();
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), (QStringList{"1e-05 : 4e-10", "1e-06 : 3e-10"}));
    QCOMPARE(panel.ui.NewCSprEdit->text(), QStringLiteral("4e-10"));
    QCOMPARE(sent(), QStringList());

    // It records what the field shows, however the text came there.
    panel.ui.NowCSprDisp->setText(QStringLiteral("6e-10"));
    panel.ui.SetCSprTableB->click();
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), (QStringList{"1e-05 : 6e-10", "1e-06 : 3e-10"}));
}

void tst_aCA::wheel()
{
    QVERIFY(startReady("1e-6 2e-10\n1e-5 7.5e-10\n"));
    aCA &panel = *panels.front();
    auto turn = [](QComboBox *box) {
        QWheelEvent down(QPointF(5, 5), box->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &down);
    };

    turn(panel.ui.RangeSCB);
    QCOMPARE(panel.ui.RangeSCB->currentIndex(), 0);
    QCOMPARE(sent(), QStringList());

    turn(panel.ui.SelectTCCB);
    QCOMPARE(panel.ui.SelectTCCB->currentIndex(), 1);
    QCOMPARE(sent(), amp1({"SetFilterDuration 0.001", "GetStatus"}));

    turn(panel.ui.CSprTBLCB);
    QCOMPARE(panel.ui.CSprTBLCB->currentIndex(), 1);
    QCOMPARE(panel.ui.NewCSprEdit->text(), QStringLiteral("2e-10"));
    QCOMPARE(sent(), QStringList());
}

void tst_aCA::shownAlone()
{
    aCA *panel = addPanel();
    QSignalSpy resized(panel, &aCA::resized);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QVERIFY(resized.count() >= 1);
    const int before = resized.count();
    panel->resize(panel->width() + 40, panel->height());
    QTRY_VERIFY(resized.count() > before);

    QVERIFY(connectAll());
    server->clearLines();
    QTest::mouseClick(panel->ui.ShowDetailsB, Qt::LeftButton);
    QVERIFY(panel->ui.Details->isVisible());
    QTest::mouseClick(panel->ui.ZeroCheckB, Qt::LeftButton);
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetStatus CA5350A0B0C1I0N1P0T.Z0"));
    QCOMPARE(panel->ui.StatDisp->text(), QStringLiteral("A0B0C1I0N1P0T.Z0"));
    QCOMPARE(sent(), amp1({"SetZeroCheck 1", "GetStatus", "SetAutoFilter 0", "GetStatus",
                           "SetVoltageBias 0", "GetStatus", "SelectInput 0", "GetStatus"}));
    QTest::mouseClick(panel->ui.ShowDetailsB, Qt::LeftButton);
    QVERIFY(!panel->ui.Details->isVisible());
}

QTEST_MAIN(tst_aCA)
#include "tst_aca.moc"
