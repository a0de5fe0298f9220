// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier panel against the fake message server: the start-up lines,
// every operator command, the ready gate, the decoding of status, range,
// value, service-request and error-status messages with the commands that the
// decoding echoes back, the current-suppression table, the wheel, and the
// panel shown on its own.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "client/Tesra.h"
#include "widgets/PanelNotice.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <linux/capability.h>
#include <memory>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using namespace TestSupport;

namespace {

const QStringList TCTable = {"0.0003", "0.001", "0.01", "0.03", "0.1", "0.3", "1", "2", "3"};
const QStringList Ranges = {"1e-5", "1e-6", "1e-7"};

// While it lives, the file modes hold for this thread even when the tests run
// as root: the permission override is dropped from the effective
// capabilities (it stays permitted, so it comes back afterwards).
class FileModesHold
{
public:
    FileModesHold()
    {
        if (syscall(SYS_capget, &header, data) != 0)
            return;
        saved = data[0].effective;
        data[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        dropped = syscall(SYS_capset, &header, data) == 0;
    }
    ~FileModesHold()
    {
        if (!dropped)
            return;
        data[0].effective = saved;
        syscall(SYS_capset, &header, data);
    }
    FileModesHold(const FileModesHold &) = delete;
    FileModesHold &operator=(const FileModesHold &) = delete;

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    quint32 saved = 0;
    bool dropped = false;
};

QStringList prefixed(const QString &head, const QStringList &commands)
{
    QStringList out;
    for (const QString &c : commands)
        out << head + c;
    return out;
}

QStringList amp1(const QStringList &commands)
{
    return prefixed(QStringLiteral("Brenlow.amp1>dev1 "), commands);
}

QByteArray readAll(const QString &path)
{
    // A device such as /dev/full reads without end under Qt 6.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
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
    void startupLines();
    void reconnectRepeatsStartupOnce();

    void statusEchoes_data();
    void statusEchoes();
    void statusVariants_data();
    void statusVariants();
    void keptLetters();
    void otherModel();

    void commands_data();
    void commands();
    void readyGateOpens();
    void timeConstantLabels_data();
    void timeConstantLabels();

    void rangeReplyAndEvent_data();
    void rangeReplyAndEvent();
    void rangeEventNotFinite_data();
    void rangeEventNotFinite();
    void filtering();

    void srqAndErrorStatus_data();
    void srqAndErrorStatus();
    void retranslateClearsDispErr();

    void cSprTableLoad_data();
    void cSprTableLoad();
    void cSprFromTable_data();
    void cSprFromTable();
    void setTable();
    void setTableRefused_data();
    void setTableRefused();
    void failedReloadKeepsItems();
    void tableFileFaults_data();
    void tableFileFaults();

    void polling();
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

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
    std::unique_ptr<Tesra> client;
    std::vector<std::unique_ptr<aCA>> panels;
};

void tst_aCA::initTestCase()
{
    qRegisterMetaType<SMsg>();
}

void tst_aCA::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
    client = makeClient(*server, *dir);
}

void tst_aCA::cleanup()
{
    panels.clear();
    client.reset();
    server.reset();
    dir.reset();
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
    if (!connectClient(*client))
        return false;
    const int expected = 6 * int(panels.size());
    if (!server->waitForMessageLines(expected))
        return false;
    return server->messageLines().size() == expected;
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
    return takeSentLines(*server, *client);
}

// Sends lines to the client and waits until it has routed all of them.
bool tst_aCA::deliver(const QStringList &lines)
{
    return TestSupport::deliver(*server, *client, lines);
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

// ---- link -------------------------------------------------------------

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

void tst_aCA::startupLines()
{
    aCA *panel = addPanel();
    panel->setClient(client.get()); // a second call adds nothing
    QVERIFY(connectAll());
    QVERIFY(panel->isReady());
    QCOMPARE(
        server->messageLines(),
        (QStringList{"Brenlow.amp1>System flgon dev1", "Brenlow.amp1>dev1 GetStatus",
                     "Brenlow.amp1>dev1 GetRange", "Brenlow.amp1>dev1 GetCurrentSurpressionValue",
                     "Brenlow.amp1>dev1 GetVoltageBiasRange", "Brenlow.amp1>dev1 SetSRQMask 01"}));
    server->clearLines();
    QCOMPARE(sent(), QStringList());

    // Reply handling is not doubled either: one error-status reply, one log line.
    DebugLog log;
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetErrorStatus CA53500000000000"));
    QCOMPARE(DebugLog::lines(), QStringList{"ErrStat 0000000000"});
}

void tst_aCA::reconnectRepeatsStartupOnce()
{
    QVERIFY(startReady());
    panels.front()->setClient(client.get());
    QSignalSpy ready(client.get(), &Tesra::ConnectionIsReady);
    client->ReConnect();
    QVERIFY(ready.wait(5000));
    QVERIFY(server->waitForMessageLines(6));
    QCOMPARE(server->connectionCount(), 2);
    QCOMPARE(
        sent(),
        (QStringList{"Brenlow.amp1>System flgon dev1", "Brenlow.amp1>dev1 GetStatus",
                     "Brenlow.amp1>dev1 GetRange", "Brenlow.amp1>dev1 GetCurrentSurpressionValue",
                     "Brenlow.amp1>dev1 GetVoltageBiasRange", "Brenlow.amp1>dev1 SetSRQMask 01"}));
}

// ---- status -----------------------------------------------------------

void tst_aCA::statusEchoes_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("letters in the device's order") << "CA5350A1B0C1I1N0P1T/Z1";
    QTest::newRow("letters in any order") << "CA5350Z1T/P1N0I1C1B0A1";
}

void tst_aCA::statusEchoes()
{
    QFETCH(QString, text);
    QVERIFY(startReady());
    aCA &panel = *panels.front();

    QVERIFY(deliver("ca>Brenlow.amp1 @GetStatus " + text));
    // Widget order of the decoding; each changed widget echoes its command.
    // The back-light group runs its slot twice: once for the button it
    // unchecks (high) and once for the one it checks (low).
    QCOMPARE(sent(), amp1({"SetZeroCheck 1", "GetStatus", "SetCurrentSurpression 0", "GetStatus",
                           "SetFilter 1", "GetStatus", "SetAutoFilter 1", "GetStatus",
                           "SetFilterDuration 0.001", "GetStatus", "SetVoltageBias 0", "GetStatus",
                           "SelectInput 1", "GetStatus", "SetBacklight 1", "GetStatus",
                           "SetBacklight 1", "GetStatus"}));
    const QStringList states = {
        "checked:BackLightLB",   "checked:VBiasOffB",       "checked:ZeroCheckB",
        "checked:SelInputRB",    "checked:FilterUseB",      "checked:FilterAutoB",
        "unchecked:BackLightHB", "unchecked:BackLightOffB", "unchecked:VBiasOnB",
        "unchecked:SelInputFB",  "unchecked:CSprUseB",      "unchecked:FilterManualB",
        "disabled:CSprUseBox",   "enabled:FilterUseBox",    "index:SelectTCCB:1"};
    for (const QString &state : states)
        QVERIFY2(holds(panel, state), qPrintable(state));
    QCOMPARE(panel.ui.StatDisp->text(), text.mid(6));

    // The device now reports what the widgets show: the exchange ends.
    QVERIFY(deliver("ca>Brenlow.amp1 @GetStatus " + text));
    QCOMPARE(sent(), QStringList());
}

void tst_aCA::statusVariants_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QStringList>("debug");

    // From the fresh panel every one of these turns the suppression off, the
    // filter to manual, the bias off and the input to the front.
    const QStringList head = {"SetCurrentSurpression 0", "GetStatus", "SetAutoFilter 0",
                              "GetStatus"};
    const QStringList tail = {"SetVoltageBias 0", "GetStatus", "SelectInput 0", "GetStatus"};

    QTest::newRow("T5 selects entry 7")
        << "CA5350T5" << head + QStringList{"SetFilterDuration 2", "GetStatus"} + tail
        << QStringList{"index:SelectTCCB:7", "checked:FilterManualB", "checked:BackLightHB"}
        << QStringList();
    QTest::newRow("missing T selects entry 2")
        << "CA5350" << head + QStringList{"SetFilterDuration 0.01", "GetStatus"} + tail
        << QStringList{"index:SelectTCCB:2"} << QStringList();
    QTest::newRow("T. selects entry 0")
        << "CA5350T." << head + tail << QStringList{"index:SelectTCCB:0"} << QStringList();
    QTest::newRow("T beyond the table leaves no current item")
        << "CA5350T7" << head + tail << QStringList{"index:SelectTCCB:-1"}
        << QStringList{"no time constant at index -1 of the TC table"};
    QTest::newRow("A3 leaves the back light alone")
        << "CA5350A3T." << head + tail
        << QStringList{"checked:BackLightHB", "unchecked:BackLightLB", "unchecked:BackLightOffB"}
        << QStringList();
    QTest::newRow("A2 turns the back light off")
        << "CA5350A2T."
        << head + tail + QStringList{"SetBacklight 2", "GetStatus", "SetBacklight 2", "GetStatus"}
        << QStringList{"unchecked:BackLightHB", "checked:BackLightOffB"} << QStringList();
    QTest::newRow("zero check of 12 is not on")
        << "CA5350C12T." << head + tail << QStringList{"unchecked:ZeroCheckB"} << QStringList();
    QTest::newRow("only the first match counts")
        << "CA5350C1C0T." << QStringList{"SetZeroCheck 1", "GetStatus"} + head + tail
        << QStringList{"checked:ZeroCheckB"} << QStringList();
    QTest::newRow("all on") << "CA5350A0B1C0I1N1P1T0Z1" << QStringList{"SetFilter 1",
                                                                       "GetStatus",
                                                                       "SetAutoFilter 1",
                                                                       "GetStatus",
                                                                       "SetFilterDuration 0.01",
                                                                       "GetStatus",
                                                                       "SetVoltageBias 1",
                                                                       "GetStatus",
                                                                       "SelectInput 1",
                                                                       "GetStatus"}
                            << QStringList{"checked:CSprUseB",   "enabled:CSprUseBox",
                                           "checked:VBiasOnB",   "unchecked:VBiasOffB",
                                           "checked:SelInputRB", "unchecked:SelInputFB"}
                            << QStringList();
}

void tst_aCA::statusVariants()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, states);
    QFETCH(QStringList, debug);
    QVERIFY(startReady());
    DebugLog log;
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetStatus " + text));
    QCOMPARE(sent(), amp1(expected));
    for (const QString &state : states)
        QVERIFY2(holds(*panels.front(), state), qPrintable(state));
    QCOMPARE(DebugLog::lines(), debug);
    // A second identical status is quiet.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetStatus " + text));
    QCOMPARE(sent(), QStringList());
}

void tst_aCA::keptLetters()
{
    QVERIFY(startReady());
    aCA &panel = *panels.front();
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetStatus CA5350A0B1C0H12I0J3K45M6N1P0R7S8T.W9Y10Z0"));
    const QStringList expected = {"0", "1", "0", "12", "0", "3", "45", "6",
                                  "1", "0", "7", "8",  ".", "9", "10", "0"};
    const QString letters = QStringLiteral("ABCHIJKMNPRSTWYZ");
    for (int k = 0; k < letters.size(); ++k)
        QCOMPARE(panel.statusOf(letters.at(k)), expected.at(k));
    sent();

    // A later status without a letter forgets it.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetStatus CA5350T/"));
    QCOMPARE(panel.statusOf(QLatin1Char('H')), QString());
    QCOMPARE(panel.statusOf(QLatin1Char('T')), QStringLiteral("/"));
}

void tst_aCA::otherModel()
{
    QVERIFY(startReady());
    aCA &panel = *panels.front();
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetStatus CA5350A1B0C1I1N0P1T/Z1"));
    sent();
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetStatus CA5351A0B1C0I0N1P0T.Z0"));
    QCOMPARE(sent(), QStringList());
    QCOMPARE(panel.ui.StatDisp->text(), QString());
    QVERIFY(panel.ui.ZeroCheckB->isChecked());
    QVERIFY(panel.ui.BackLightLB->isChecked());
    QCOMPARE(panel.ui.SelectTCCB->currentIndex(), 1);
    QCOMPARE(panel.statusOf(QLatin1Char('A')), QStringLiteral("1"));
}

// ---- commands ---------------------------------------------------------

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
    row("zero check off again", true, {"click:ZeroCheckB", "click:ZeroCheckB"},
        {"SetZeroCheck 1", gs, "SetZeroCheck 0", gs}, {"unchecked:ZeroCheckB"});
    row("reset", true, {"click:ResetB"}, {"RestorConfig 2", gs});
    row("range", true, {"choose:RangeSCB:1"}, {"SetRange 1e-6", gs});
    row("suppression off", true, {"click:CSprUseB"}, {"SetCurrentSurpression 0", gs},
        {"unchecked:CSprUseB", "disabled:CSprUseBox"});
    row("suppression on again", true, {"click:CSprUseB", "click:CSprUseB"},
        {"SetCurrentSurpression 0", gs, "SetCurrentSurpression 1", gs}, {"enabled:CSprUseBox"});
    row("suppression value", true, {"type:NewCSprEdit:5e-10"},
        {"SetCurrentSurpressionValue 5e-10", "GetCurrentSurpressionValue"});
    row("suppression value as typed", true, {"type:NewCSprEdit: 5.0E-10"},
        {"SetCurrentSurpressionValue  5.0E-10", "GetCurrentSurpressionValue"});
    row("suppression value 0", true, {"type:NewCSprEdit:0"}, {});
    row("suppression value not a number", true, {"type:NewCSprEdit:abc"}, {});
    row("suppression value empty", true, {"type:NewCSprEdit:"}, {});
    row("suppression value nan", true, {"type:NewCSprEdit:nan"}, {});
    row("suppression value inf", true, {"type:NewCSprEdit:-inf"}, {});
    row("filter on", true, {"click:FilterUseB"}, {"SetFilter 1", gs},
        {"checked:FilterUseB", "enabled:FilterUseBox"});
    row("filter off again", true, {"click:FilterUseB", "click:FilterUseB"},
        {"SetFilter 1", gs, "SetFilter 0", gs}, {"disabled:FilterUseBox"});
    row("time constant 10ms", true, {"choose:SelectTCCB:2"}, {"SetFilterDuration 0.01", gs});
    // The filter mode buttons sit in a box that is enabled only while the
    // filter is in use.
    row("filter mode locked while the filter is off", true, {"click:FilterAutoB"}, {},
        {"unchecked:FilterAutoB"});
    row("auto filter from neither", true, {"click:FilterUseB", "click:FilterAutoB"},
        {"SetFilter 1", gs, "SetAutoFilter 1", gs},
        {"checked:FilterAutoB", "unchecked:FilterManualB"});
    row("manual filter after auto", true,
        {"click:FilterUseB", "click:FilterAutoB", "click:FilterManualB"},
        {"SetFilter 1", gs, "SetAutoFilter 1", gs, "SetAutoFilter 0", gs, "SetAutoFilter 0", gs},
        {"unchecked:FilterAutoB", "checked:FilterManualB"});
    row("auto filter unchecked", true,
        {"click:FilterUseB", "click:FilterAutoB", "click:FilterAutoB"},
        {"SetFilter 1", gs, "SetAutoFilter 1", gs, "SetAutoFilter 0", gs, "SetAutoFilter 0", gs},
        {"unchecked:FilterAutoB", "checked:FilterManualB"});
    row("bias on", true, {"click:VBiasOnB"}, {"SetVoltageBias 1", gs},
        {"checked:VBiasOnB", "unchecked:VBiasOffB"});
    row("bias off after on", true, {"click:VBiasOnB", "click:VBiasOffB"},
        {"SetVoltageBias 1", gs, "SetVoltageBias 0", gs, "SetVoltageBias 0", gs},
        {"unchecked:VBiasOnB", "checked:VBiasOffB"});
    row("bias range", true, {"type:NewVBias: 12.5 "},
        {"SetVoltageBiasRange  12.5 ", "GetVoltageBiasRange"});
    row("bias range of blanks", true, {"type:NewVBias:   "}, {});
    row("rear input", true, {"click:SelInputRB"}, {"SelectInput 1", gs},
        {"checked:SelInputRB", "unchecked:SelInputFB"});
    row("front input after rear", true, {"click:SelInputRB", "click:SelInputFB"},
        {"SelectInput 1", gs, "SelectInput 0", gs, "SelectInput 0", gs},
        {"unchecked:SelInputRB", "checked:SelInputFB"});
    row("back light low", true, {"click:BackLightLB"}, {"SetBacklight 1", gs, "SetBacklight 1", gs},
        {"checked:BackLightLB", "unchecked:BackLightHB"});
    row("back light off after low", true, {"click:BackLightLB", "click:BackLightOffB"},
        {"SetBacklight 1", gs, "SetBacklight 1", gs, "SetBacklight 2", gs, "SetBacklight 2", gs},
        {"checked:BackLightOffB", "unchecked:BackLightLB"});
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

    row("not ready: reset", false, {"click:ResetB"}, {});
    row("not ready: range", false, {"choose:RangeSCB:2"}, {}, {"index:RangeSCB:2"});
    row("not ready: time constant", false, {"choose:SelectTCCB:1"}, {});
    row("not ready: module name from the window", false, {"name:New Name"}, {});
    row("not ready: module name typed", false, {"type:ModuleName:Det 1"}, {"SetDisplayMsg Det 1"});
    row("not ready: zero check", false, {"click:ZeroCheckB"}, {"SetZeroCheck 1", gs});
    row("not ready: suppression value", false, {"type:NewCSprEdit:5e-10"},
        {"SetCurrentSurpressionValue 5e-10", "GetCurrentSurpressionValue"});
    row("not ready: back light", false, {"click:BackLightOffB"},
        {"SetBacklight 2", gs, "SetBacklight 2", gs});
    row("not ready: show stat", false, {"click:ShowStatB"}, {gs});
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

void tst_aCA::readyGateOpens()
{
    QVERIFY(connectClient(*client));
    aCA *panel = addPanel();
    server->clearLines();
    panel->ui.RangeSCB->setCurrentIndex(1);
    QCOMPARE(sent(), QStringList());

    emit client->ConnectionIsReady(client.get());
    QVERIFY(panel->isReady());
    QCOMPARE(sent().size(), 6);
    panel->ui.RangeSCB->setCurrentIndex(2);
    panel->ui.SelectTCCB->setCurrentIndex(3);
    panel->ui.ResetB->click();
    QCOMPARE(sent(), amp1({"SetRange 1e-7", "GetStatus", "SetFilterDuration 0.03", "GetStatus",
                           "RestorConfig 2", "GetStatus"}));
}

void tst_aCA::timeConstantLabels_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("label");
    QTest::newRow("300us") << "0.0003"
                           << "300us";
    QTest::newRow("10ms") << "0.01"
                          << "10ms";
    QTest::newRow("2s") << "2"
                        << "2s";
    QTest::newRow("1ms at the boundary") << "0.001"
                                         << "1ms";
    QTest::newRow("1s at the boundary") << "1"
                                        << "1s";
    QTest::newRow("fraction of a second") << "1.5"
                                          << "1.5s";
    QTest::newRow("exponent form") << "3e-5"
                                   << "30us";
    QTest::newRow("six significant digits") << "0.1234567"
                                            << "123.457ms";
    QTest::newRow("not a number") << "abc"
                                  << "0us";
}

void tst_aCA::timeConstantLabels()
{
    QFETCH(QString, entry);
    QFETCH(QString, label);
    QVERIFY(startReady());
    aCA &panel = *panels.front();
    panel.setTCTable({"0.0003", entry});
    QCOMPARE(panel.ui.SelectTCCB->count(), 2);
    QCOMPARE(panel.ui.SelectTCCB->itemText(1), label);
    sent();
    // The table's own text is the argument, not the label.
    panel.ui.SelectTCCB->setCurrentIndex(1);
    QCOMPARE(sent(), amp1({"SetFilterDuration " + entry, "GetStatus"}));
}

// ---- range, filtering -------------------------------------------------

void tst_aCA::rangeReplyAndEvent_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("debug");

    const QStringList none;
    QTest::newRow("reply equal to an item") << "dev1>Brenlow.amp1 @GetRange 1e-6" << 1
                                            << QStringList{"SetRange 1e-6", "GetStatus"} << none;
    QTest::newRow("reply written differently") << "dev1>Brenlow.amp1 @GetRange 0.0000001" << 2
                                               << QStringList{"SetRange 1e-7", "GetStatus"} << none;
    QTest::newRow("reply equal to the current item")
        << "dev1>Brenlow.amp1 @GetRange 1e-5" << 0 << none << none;
    QTest::newRow("reply between items") << "dev1>Brenlow.amp1 @GetRange 2e-6" << 0 << none
                                         << QStringList{"can't find the range 2e-06 in RangeSCB"};
    QTest::newRow("reply not a number") << "dev1>Brenlow.amp1 @GetRange abc" << 0 << none
                                        << QStringList{"can't find the range 0 in RangeSCB"};
    QTest::newRow("reply for another panel")
        << "dev1>Brenlow.amp9 @GetRange 1e-6" << 0 << none << none;
    QTest::newRow("event nearest item") << "dev1>Brenlow _RangeChanged 2e-6" << 1
                                        << QStringList{"SetRange 1e-6", "GetStatus"} << none;
    QTest::newRow("event below every item") << "dev1>Brenlow _RangeChanged 1e-9" << 2
                                            << QStringList{"SetRange 1e-7", "GetStatus"} << none;
    QTest::newRow("event near the current item")
        << "dev1>Brenlow _RangeChanged 1.2e-5" << 0 << none << none;
    QTest::newRow("event from another device")
        << "dev2>Brenlow _RangeChanged 1e-7" << 0 << none << none;
    QTest::newRow("event from a channel of the device")
        << "dev1.2>Brenlow _RangeChanged 1e-7" << 0 << none << none;
}

void tst_aCA::rangeReplyAndEvent()
{
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, debug);
    QVERIFY(startReady());
    DebugLog log;
    QVERIFY(deliver(line));
    QCOMPARE(panels.front()->ui.RangeSCB->currentIndex(), index);
    QCOMPARE(sent(), amp1(expected));
    QCOMPARE(DebugLog::lines(), debug);
}

void tst_aCA::rangeEventNotFinite_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("nan") << "nan";
    QTest::newRow("inf") << "inf";
    QTest::newRow("-inf") << "-inf";
}

void tst_aCA::rangeEventNotFinite()
{
    // Every item is equally far from such a value; the event must not move
    // the range, or the panel would command the first range of its list.
    QFETCH(QString, value);
    QVERIFY(startReady());
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetRange 1e-7"));
    QCOMPARE(panels.front()->ui.RangeSCB->currentIndex(), 2);
    server->clearLines();
    DebugLog log;
    QVERIFY(deliver("dev1>Brenlow _RangeChanged " + value));
    QCOMPARE(panels.front()->ui.RangeSCB->currentIndex(), 2);
    QCOMPARE(sent(), QStringList());
    QCOMPARE(DebugLog::lines(),
             QStringList{QStringLiteral("range event with no usable value [%1]").arg(value)});
}

void tst_aCA::filtering()
{
    aCA *one = addPanel(QStringLiteral("amp1"), QStringLiteral("dev1"));
    aCA *two = addPanel(QStringLiteral("amp2"), QStringLiteral("dev1"), QStringLiteral("2"));
    QVERIFY(connectAll());
    const QStringList startup = {
        "System flgon %1",        "%1 GetStatus",    "%1 GetRange", "%1 GetCurrentSurpressionValue",
        "%1 GetVoltageBiasRange", "%1 SetSRQMask 01"};
    QStringList expected;
    for (const QString &line : startup)
        expected << "Brenlow.amp1>" + line.arg("dev1");
    for (const QString &line : startup)
        expected << "Brenlow.amp2>" + line.arg("dev1.2");
    QCOMPARE(server->messageLines(), expected);
    server->clearLines();

    QVERIFY(deliver("dev1>Brenlow.amp2 @GetCurrentSurpressionValue 3e-10"));
    QCOMPARE(two->ui.NowCSprDisp->text(), QStringLiteral("3e-10"));
    QCOMPARE(one->ui.NowCSprDisp->text(), QString());
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetVoltageBiasRange 5 V"));
    QCOMPARE(one->ui.NowVBias->text(), QStringLiteral("5 V"));
    QCOMPARE(two->ui.NowVBias->text(), QString());

    // Events go by the sending device.
    QVERIFY(deliver("dev1>Brenlow _RangeChanged 1e-7"));
    QCOMPARE(one->ui.RangeSCB->currentIndex(), 2);
    QCOMPARE(two->ui.RangeSCB->currentIndex(), 0);
    QCOMPARE(sent(), amp1({"SetRange 1e-7", "GetStatus"}));
    QVERIFY(deliver("dev1.2>Brenlow _RangeChanged 1e-6"));
    QCOMPARE(one->ui.RangeSCB->currentIndex(), 2);
    QCOMPARE(two->ui.RangeSCB->currentIndex(), 1);
    QCOMPARE(sent(), prefixed("Brenlow.amp2>dev1.2 ", {"SetRange 1e-6", "GetStatus"}));

    // Replies go by the addressed sub-name alone, exactly.
    QVERIFY(deliver("dev1.2>Brenlow.amp1 @GetRange 1e-5"));
    QCOMPARE(one->ui.RangeSCB->currentIndex(), 0);
    QCOMPARE(two->ui.RangeSCB->currentIndex(), 1);
    QCOMPARE(sent(), amp1({"SetRange 1e-5", "GetStatus"}));
    QVERIFY(deliver("dev1>Brenlow.AMP1 @GetStatus CA5350C1"));
    QVERIFY(!one->ui.ZeroCheckB->isChecked());
    QVERIFY(deliver("dev1>Brenlow.amp2 @GetStatus CA5350A0B0C1I0N1P0T.Z0"));
    QVERIFY(two->ui.ZeroCheckB->isChecked());
    QVERIFY(!one->ui.ZeroCheckB->isChecked());
    QCOMPARE(sent(), prefixed("Brenlow.amp2>dev1.2 ",
                              {"SetZeroCheck 1", "GetStatus", "SetAutoFilter 0", "GetStatus",
                               "SetVoltageBias 0", "GetStatus", "SelectInput 0", "GetStatus"}));
    QVERIFY(deliver("dev1.2>Brenlow _SRQChanged 1"));
    QCOMPARE(two->ui.DispErr->text(), QStringLiteral("OVER !!!"));
    QCOMPARE(one->ui.DispErr->text(), QString());
}

// ---- alerts -----------------------------------------------------------

void tst_aCA::srqAndErrorStatus_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("dispErr");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QStringList>("debug");

    const QString colour = QStringLiteral("background-color: rgb(10, 20, 30);");
    const QString alert = QStringLiteral("background-color: rgb(255, 200, 200);");
    const QString over = QStringLiteral("OVER !!!");
    const QString srq1 = QStringLiteral("dev1>Brenlow.amp1 @GetSRQ 1");
    const QString err = QStringLiteral("dev1>Brenlow.amp1 @GetErrorStatus CA5350");
    const QStringList none;

    QTest::newRow("SRQ reply 1") << QStringList{srq1} << over << alert << none;
    QTest::newRow("SRQ reply 0 clears and drops the colour")
        << QStringList{srq1, "dev1>Brenlow.amp1 @GetSRQ 0"} << QString() << QString() << none;
    QTest::newRow("SRQ reply 0 alone drops the colour")
        << QStringList{"dev1>Brenlow.amp1 @GetSRQ 0"} << QString() << QString() << none;
    QTest::newRow("SRQ reply 2 clears")
        << QStringList{srq1, "dev1>Brenlow.amp1 @GetSRQ 2"} << QString() << QString() << none;
    QTest::newRow("SRQ event 1") << QStringList{"dev1>Brenlow _SRQChanged 1"} << over << alert
                                 << none;
    QTest::newRow("SRQ event 0 clears")
        << QStringList{"dev1>Brenlow _SRQChanged 1", "dev1>Brenlow _SRQChanged 0"} << QString()
        << QString() << none;
    QTest::newRow("SRQ event from another device")
        << QStringList{"dev2>Brenlow _SRQChanged 1"} << QString() << colour << none;
    QTest::newRow("SRQ reply for another panel")
        << QStringList{"dev1>Brenlow.amp2 @GetSRQ 1"} << QString() << colour << none;

    const char *texts[] = {"Er: CMD",
                           "Er: CMD Arg",
                           "",
                           "Er: Self CHK",
                           "Er: CSpr Set",
                           "Er: CSpr Over",
                           "Er: AutoCSpr while ZeroCHK",
                           "",
                           "Er: Mem Err",
                           "Er: Over!"};
    for (int position = 0; position < 10; ++position) {
        QString body(10, QLatin1Char('0'));
        body[position] = QLatin1Char('1');
        const QString text = QString::fromLatin1(texts[position]);
        QTest::addRow("error bit %d", position)
            << QStringList{err + body} << text << (text.isEmpty() ? QString() : alert)
            << QStringList{"ErrStat " + body};
    }
    QTest::newRow("error bits 0 and 8 show the later")
        << QStringList{err + "1000000010"} << "Er: Mem Err" << alert
        << QStringList{"ErrStat 1000000010"};
    QTest::newRow("error all zeros clears")
        << QStringList{err + "1000000010", err + "0000000000"} << QString() << QString()
        << QStringList{"ErrStat 1000000010", "ErrStat 0000000000"};
    QTest::newRow("error status clears the SRQ alert")
        << QStringList{srq1, err + "0000000000"} << QString() << QString()
        << QStringList{"ErrStat 0000000000"};
    QTest::newRow("error short body")
        << QStringList{err + "1"} << "Er: CMD" << alert << QStringList{"ErrStat 1"};
    QTest::newRow("error non-digits read as 0")
        << QStringList{err + "x1a2"} << "Er: CMD Arg" << alert << QStringList{"ErrStat x1a2"};
    QTest::newRow("error value 2 is not 1") << QStringList{err + "2000000002"} << QString()
                                            << QString() << QStringList{"ErrStat 2000000002"};
    QTest::newRow("error status of another model")
        << QStringList{"dev1>Brenlow.amp1 @GetErrorStatus CA53511111111111"} << QString() << colour
        << none;
    QTest::newRow("error status for another panel")
        << QStringList{"dev1>Brenlow.amp2 @GetErrorStatus CA53501111111111"} << QString() << colour
        << none;
}

void tst_aCA::srqAndErrorStatus()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, dispErr);
    QFETCH(QString, style);
    QFETCH(QStringList, debug);
    QVERIFY(startReady());
    aCA &panel = *panels.front();
    // The main window's colour; the normal style, once restored, replaces it.
    panel.setStyleSheet(QStringLiteral("background-color: rgb(10, 20, 30);"));
    DebugLog log;
    QVERIFY(deliver(lines));
    QCOMPARE(panel.ui.DispErr->text(), dispErr);
    QCOMPARE(panel.styleSheet(), style);
    QCOMPARE(DebugLog::lines(), debug);
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

void tst_aCA::cSprTableLoad_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("newValue");

    QTest::newRow("merged, sorted and the first value shown")
        << QByteArray("1e-6 2e-10\n# note\n\n1e-6 3e-10 : 24/01/02 10:00:00\n1e-7 5e-11\n"
                      "1e-5 7.5e-10\n")
        << QStringList{"1e-05 : 7.5e-10", "1e-06 : 3e-10", "1e-07 : 5e-11"} << "7.5e-10";
    QTest::newRow("range alone") << QByteArray("1e-6\n") << QStringList{"1e-06 : 0"} << "0";
    QTest::newRow("empty file") << QByteArray() << QStringList() << QString();
}

void tst_aCA::cSprTableLoad()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, items);
    QFETCH(QString, newValue);
    QVERIFY(startReady(content));
    aCA &panel = *panels.front();
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), items);
    QCOMPARE(panel.ui.NewCSprEdit->text(), newValue);
    QCOMPARE(panel.cSprTable().size(), items.size());
    QCOMPARE(sent(), QStringList());
}

void tst_aCA::cSprFromTable_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("states");

    const QString gs = QStringLiteral("GetStatus");
    const QString gv = QStringLiteral("GetCurrentSurpressionValue");
    QTest::newRow("checking the table source sends the current range's value")
        << QStringList{"click:CSprFromTBLB"}
        << QStringList{"SetCurrentSurpressionValue 7.5e-10", gv}
        << QStringList{"index:CSprTBLCB:0", "text:NewCSprEdit:7.5e-10"};
    QTest::newRow("a range with an entry")
        << QStringList{"click:CSprFromTBLB", "choose:RangeSCB:1"}
        << QStringList{"SetCurrentSurpressionValue 7.5e-10", gv, "SetRange 1e-6", gs,
                       "SetCurrentSurpressionValue 3e-10",   gv}
        << QStringList{"index:CSprTBLCB:1", "text:NewCSprEdit:3e-10"};
    QTest::newRow("a range without an entry")
        << QStringList{"click:CSprFromTBLB", "choose:RangeSCB:2"}
        << QStringList{"SetCurrentSurpressionValue 7.5e-10", gv, "SetRange 1e-7", gs}
        << QStringList{"index:CSprTBLCB:0"};
    QTest::newRow("manual source takes no table step")
        << QStringList{"choose:RangeSCB:1"} << QStringList{"SetRange 1e-6", gs}
        << QStringList{"index:CSprTBLCB:0", "text:NewCSprEdit:7.5e-10"};
    QTest::newRow("back to manual sends nothing")
        << QStringList{"click:CSprFromTBLB", "click:CSprManualB", "choose:RangeSCB:1"}
        << QStringList{"SetCurrentSurpressionValue 7.5e-10", gv, "SetRange 1e-6", gs}
        << QStringList{"checked:CSprManualB"};
    QTest::newRow("picking an entry fills the field only")
        << QStringList{"choose:CSprTBLCB:1"} << QStringList()
        << QStringList{"text:NewCSprEdit:3e-10"};
    QTest::newRow("the operator confirms the picked value")
        << QStringList{"choose:CSprTBLCB:1", "enter:NewCSprEdit"}
        << QStringList{"SetCurrentSurpressionValue 3e-10", gv} << QStringList();
}

void tst_aCA::cSprFromTable()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, states);
    QVERIFY(startReady("1e-6 2e-10\n1e-6 3e-10\n1e-5 7.5e-10\n"));
    aCA &panel = *panels.front();
    runSteps(panel, steps, expected, states);
}

void tst_aCA::setTable()
{
    QVERIFY(startReady("1e-6 2e-10\n"));
    aCA &panel = *panels.front();
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 4.5e-10"));
    panel.ui.SetCSprTableB->click();

    const QStringList lines = QString::fromUtf8(readAll(panel.cSprFile())).split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringLiteral("1e-6 2e-10"));
    QVERIFY2(QRegularExpression("^1e-5 4\\.5e-10 : \\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                 .match(lines.at(1))
                 .hasMatch(),
             qPrintable(lines.at(1)));
    QCOMPARE(lines.at(2), QString());
    const QString stamp = lines.at(1).section(QStringLiteral(" : "), 1);
    const QDateTime when = QDateTime::fromString("20" + stamp, "yyyy/MM/dd hh:mm:ss");
    QVERIFY(when.isValid());
    QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTime())) < 3600);

    // Reloaded at once: the new entry leads and fills the field.
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), (QStringList{"1e-05 : 4.5e-10", "1e-06 : 2e-10"}));
    QCOMPARE(panel.ui.NewCSprEdit->text(), QStringLiteral("4.5e-10"));
    QCOMPARE(sent(), QStringList());

    // A second value for the same range replaces the first on reload.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 5e-10"));
    panel.ui.SetCSprTableB->click();
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), (QStringList{"1e-05 : 5e-10", "1e-06 : 2e-10"}));
}

void tst_aCA::setTableRefused_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("emptyRanges");
    QTest::addColumn<bool>("appended");
    QTest::addColumn<QStringList>("items");

    QTest::addColumn<QString>("why");

    const QString nothing = "CSpr Table: no current range or suppression value";
    QTest::newRow("no value reported yet") << QByteArray("1e-6 2e-10\n") << QString() << false
                                           << false << QStringList{"1e-06 : 2e-10"} << nothing;
    QTest::newRow("blank value reported")
        << QByteArray("1e-6 2e-10\n") << QStringLiteral(" ") << false << false
        << QStringList{"1e-06 : 2e-10"} << nothing;
    QTest::newRow("no current range") << QByteArray("1e-6 2e-10\n") << QStringLiteral("4e-10")
                                      << true << false << QStringList{"1e-06 : 2e-10"} << nothing;
    QTest::newRow("last line without line feed")
        << QByteArray("1e-6 2e-10") << QStringLiteral("4e-10") << false << true
        << QStringList{"1e-05 : 4e-10", "1e-06 : 2e-10"} << QString();
    // Read back, such a row would count as 0 and, as the last row for its
    // range, replace the good value.
    const QString notNumber = "CSpr Table: the suppression value [%1] is not a number";
    QTest::newRow("device error word")
        << QByteArray("1e-5 2e-10\n") << QStringLiteral("ERR") << false << false
        << QStringList{"1e-05 : 2e-10"} << notNumber.arg("ERR");
    QTest::newRow("beyond a double")
        << QByteArray("1e-5 2e-10\n") << QStringLiteral("1e999") << false << false
        << QStringList{"1e-05 : 2e-10"} << notNumber.arg("1e999");
    QTest::newRow("two numbers") << QByteArray("1e-5 2e-10\n") << QStringLiteral("3e-10 4e-10")
                                 << false << false << QStringList{"1e-05 : 2e-10"}
                                 << notNumber.arg("3e-10 4e-10");
}

void tst_aCA::setTableRefused()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(bool, emptyRanges);
    QFETCH(bool, appended);
    QFETCH(QStringList, items);
    QFETCH(QString, why);
    QVERIFY(startReady(before));
    aCA &panel = *panels.front();
    if (emptyRanges)
        panel.setRangeTable({});
    if (!value.isEmpty())
        QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue " + value));
    DebugLog log;
    QSignalSpy said(panel.notice(), &PanelNotice::posted);
    panel.ui.SetCSprTableB->click();
    const QByteArray after = readAll(panel.cSprFile());
    if (appended) {
        QVERIFY2(after.startsWith(QByteArray(before + "\n1e-5 " + value.toUtf8() + " : ")),
                 after.constData());
        QCOMPARE(DebugLog::lines(), QStringList());
        QCOMPARE(said.count(), 0);
    } else {
        QCOMPARE(after, before);
        QCOMPARE(DebugLog::lines().size(), 1);
        QVERIFY2(DebugLog::lines().first().startsWith(why), qPrintable(DebugLog::lines().first()));
        // The operator hears why nothing was recorded.
        QCOMPARE(said.count(), 1);
        QVERIFY2(said.at(0).at(0).toString().startsWith("Set Table: "),
                 qPrintable(said.at(0).at(0).toString()));
    }
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), items);
}

void tst_aCA::failedReloadKeepsItems()
{
    QVERIFY(startReady("1e-6 2e-10\n1e-5 7.5e-10\n"));
    aCA &panel = *panels.front();
    const QString missing = dir->filePath(QStringLiteral("no/such/t.txt"));
    {
        DebugLog log;
        panel.setCSprTableFile(missing);
        QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file [" + missing + "]"});
    }
    QVERIFY(panel.cSprTable().isEmpty());
    QCOMPARE(panel.ui.CSprTBLCB->count(), 2);

    // The stale items no longer belong to any entry: the field keeps the
    // operator's text, and the table source finds nothing to send.
    QVERIFY(perform(panel, "keys:NewCSprEdit:7e-10"));
    panel.ui.CSprTBLCB->setCurrentIndex(1);
    QCOMPARE(panel.ui.NewCSprEdit->text(), QStringLiteral("7e-10"));
    panel.ui.CSprFromTBLB->click();
    QCOMPARE(sent(), QStringList());

    // Appending to a file that cannot be opened reports it and keeps the items.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 4e-10"));
    DebugLog log;
    panel.ui.SetCSprTableB->click();
    QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file [" + missing + "]"});
    QCOMPARE(panel.ui.CSprTBLCB->count(), 2);

    // The main window passes an empty name when the key is missing.
    DebugLog::lines().clear();
    panel.setCSprTableFile(QString());
    QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file []"});
}

// "Set Table" when the table file cannot take the line, or was changed by
// someone else since the panel loaded it: nothing already in the file is lost
// or changed, a failure leaves one debug line saying what failed, and the
// panel goes on working.
void tst_aCA::tableFileFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("added"); // by someone else after the load
    QTest::addColumn<QString>("failure");  // start of the debug line; empty: appended
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QStringList>("items");
    const QByteArray one = "1e-6 2e-10\n";
    const QStringList oneItem{"1e-06 : 2e-10"};
    QTest::newRow("not writable") << "read-only" << one << QByteArray()
                                  << "Can't open CSpr Table file [" << QByteArray() << oneItem;
    QTest::newRow("directory missing") << "no directory" << one << QByteArray()
                                       << "Can't open CSpr Table file [" << QByteArray() << oneItem;
    QTest::newRow("disk full") << "full" << one << QByteArray() << "Can't write CSpr Table file ["
                               << QByteArray() << oneItem;
    QTest::newRow("changed by someone else")
        << "" << one << QByteArray("1e-7 9e-11") << "" << QByteArray("\n")
        << QStringList{"1e-05 : 4e-10", "1e-06 : 2e-10", "1e-07 : 9e-11"};
    QTest::newRow("no trailing line feed")
        << "" << QByteArray("1e-6 2e-10") << QByteArray() << "" << QByteArray("\n")
        << QStringList{"1e-05 : 4e-10", "1e-06 : 2e-10"};
    QTest::newRow("CRLF line ends")
        << "" << QByteArray("# taken by hand\r\n1e-6 2e-10\r\n") << QByteArray() << ""
        << QByteArray("\r\n") << QStringList{"1e-05 : 4e-10", "1e-06 : 2e-10"};
}

void tst_aCA::tableFileFaults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, added);
    QFETCH(QString, failure);
    QFETCH(QByteArray, lineEnd);
    QFETCH(QStringList, items);
    QVERIFY(startReady(before));
    aCA &panel = *panels.front();
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB).size(), 1);

    std::unique_ptr<FileModesHold> modesHold;
    if (fault == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(panel.cSprFile(), QFile::ReadOwner | QFile::ReadGroup));
        modesHold = std::make_unique<FileModesHold>();
        QFile probe(panel.cSprFile());
        if (probe.open(QIODevice::Append))
            QSKIP("this process may write to a read-only file");
    } else if (fault == QLatin1String("no directory")) {
        const QString path = writeFile(dir->filePath(QStringLiteral("gone/t.txt")), before);
        panel.setCSprTableFile(path);
        QCOMPARE(itemsOf(panel.ui.CSprTBLCB), items);
        QVERIFY(QDir(dir->filePath(QStringLiteral("gone"))).removeRecursively());
    } else if (fault == QLatin1String("full")) {
        DebugLog log; // a device is not a table: it loads as no table
        panel.setCSprTableFile(QStringLiteral("/dev/full"));
        QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file [/dev/full]"});
    }
    const QString path = panel.cSprFile();
    if (!added.isEmpty()) {
        QFile other(path);
        QVERIFY(other.open(QIODevice::Append));
        QCOMPARE(other.write(added), qint64(added.size()));
    }
    const QByteArray onDisk = readAll(path);

    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 4e-10"));
    {
        DebugLog log;
        panel.ui.SetCSprTableB->click();
        if (failure.isEmpty()) {
            QCOMPARE(DebugLog::lines(), QStringList());
        } else {
            QCOMPARE(DebugLog::lines().size(), 1);
            QVERIFY2(DebugLog::lines().first().startsWith(failure + path),
                     qPrintable(DebugLog::lines().first()));
        }
    }
    modesHold.reset();

    const QByteArray after = readAll(path);
    if (lineEnd.isEmpty()) {
        QCOMPARE(after, onDisk);
        if (fault == QLatin1String("no directory"))
            QVERIFY(!QFile::exists(path));
    } else {
        const QByteArray kept = onDisk.endsWith('\n') ? onDisk : onDisk + lineEnd;
        QVERIFY2(after.startsWith(QByteArray(kept + "1e-5 4e-10 : ")), after.constData());
        QVERIFY(after.endsWith(lineEnd));
        QCOMPARE(after.count('\n'), kept.count('\n') + 1);
    }
    QCOMPARE(itemsOf(panel.ui.CSprTBLCB), items);

    // The panel goes on working.
    panel.ui.ShowStatB->click();
    QCOMPARE(sent(), amp1({"GetStatus"}));
}

// ---- polling, wheel, shown --------------------------------------------

void tst_aCA::polling()
{
    aCA *quiet = addPanel(QStringLiteral("amp1"), QStringLiteral("dev1"));
    aCA *polled = addPanel(QStringLiteral("amp2"), QStringLiteral("dev2"));
    polled->setPollErrors(true);
    auto *quietTimer = quiet->findChild<QTimer *>(QStringLiteral("pollTimer"));
    auto *polledTimer = polled->findChild<QTimer *>(QStringLiteral("pollTimer"));
    QVERIFY(quietTimer && polledTimer);
    QVERIFY(!polledTimer->isActive()); // not before the connection is ready

    QVERIFY(connectAll());
    QVERIFY(!quietTimer->isActive());
    QVERIFY(polledTimer->isActive());
    QCOMPARE(polledTimer->interval(), 500);
    QVERIFY(server->waitForMessageLines(13));
    QCOMPARE(server->messageLines().at(12), QStringLiteral("Brenlow.amp2>dev2 GetErrorStatus"));

    polled->setPollErrors(false);
    QVERIFY(!polledTimer->isActive());
    quiet->setPollErrors(true); // switched on once ready: starts at once
    QVERIFY(quietTimer->isActive());
    server->clearLines();
    QVERIFY(server->waitForMessageLines(1));
    QCOMPARE(server->messageLines().first(), QStringLiteral("Brenlow.amp1>dev1 GetErrorStatus"));
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
