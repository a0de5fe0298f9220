// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier device against the fake message server, without any widget:
// the start-up lines, every command of its controls, the ready gate, the
// decoding of status, range, value, service-request and error-status
// messages with the commands that the decoding echoes back, the
// current-suppression table, the polling, how a snapshot's setting is put
// back, and the alarm conditions the device reports.

#include "AlarmStation.h"
#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/Tesra.h"
#include "devices/AmplifierDevice.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <linux/capability.h>
#include <memory>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using namespace TestSupport;
using Switch = AmplifierDevice::Switch;
using BackLight = AmplifierDevice::BackLight;

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

template <typename Enum> Enum enumOf(const QString &name)
{
    bool ok = false;
    const int value = QMetaEnum::fromType<Enum>().keyToValue(name.toLatin1().constData(), &ok);
    if (!ok)
        qFatal("no such name: %s", qPrintable(name));
    return Enum(value);
}

} // namespace

class tst_AmplifierDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupLines();
    void reconnectRepeatsStartupOnce();
    void readyGateOpens();

    void exchange_data();
    void exchange();

    void timeConstantLabels_data();
    void timeConstantLabels();
    void filtering();

    void setTable();
    void setTableRefused_data();
    void setTableRefused();
    void failedReloadKeepsItems();
    void tableFileFaults_data();
    void tableFileFaults();

    void polling();

    void alarmConditions_data();
    void alarmConditions();

private:
    AmplifierDevice *addDevice(const QString &id = QStringLiteral("amp1"),
                               const QString &driver = QStringLiteral("dev1"),
                               const QString &ch = QString(),
                               const QByteArray &table = QByteArray());
    bool connectAll();
    bool startReady(const QByteArray &table = QByteArray());
    QStringList sent();
    bool deliver(const QString &line);
    bool deliver(const QStringList &lines);
    bool perform(AmplifierDevice &device, const QString &step);
    bool holds(const AmplifierDevice &device, const QString &state);

    ServerLink link;
    std::unique_ptr<QTemporaryDir> &dir = link.dir;
    std::unique_ptr<FakeTesraServer> &server = link.server;
    std::unique_ptr<Tesra> &client = link.client;
    std::vector<std::unique_ptr<AmplifierDevice>> devices;
};

void tst_AmplifierDevice::initTestCase()
{
    qRegisterMetaType<SMsg>();
}

void tst_AmplifierDevice::init()
{
    QVERIFY(link.start());
}

void tst_AmplifierDevice::cleanup()
{
    devices.clear();
    link.stop();
}

// A device configured the way the station configures one.
AmplifierDevice *tst_AmplifierDevice::addDevice(const QString &id, const QString &driver,
                                                const QString &ch, const QByteArray &table)
{
    auto device = std::make_unique<AmplifierDevice>();
    device->setClient(client.get());
    device->setDisplayName(QStringLiteral("IC1 Amp"));
    device->address() = {id, driver, ch};
    device->setTimeConstants(TCTable);
    device->setRanges(Ranges);
    device->setTableFile(writeFile(dir->filePath(id + QStringLiteral(".txt")), table));
    devices.push_back(std::move(device));
    return devices.back().get();
}

bool tst_AmplifierDevice::connectAll()
{
    return link.connect(6 * int(devices.size()));
}

bool tst_AmplifierDevice::startReady(const QByteArray &table)
{
    addDevice(QStringLiteral("amp1"), QStringLiteral("dev1"), QString(), table);
    if (!connectAll())
        return false;
    server->clearLines();
    return true;
}

// Everything the client wrote since the last call.
QStringList tst_AmplifierDevice::sent()
{
    return link.sent();
}

// Sends lines to the client and waits until it has routed all of them.
bool tst_AmplifierDevice::deliver(const QStringList &lines)
{
    return link.deliver(lines);
}

bool tst_AmplifierDevice::deliver(const QString &line)
{
    return deliver(QStringList{line});
}

// One step: "line:<a line from the server>", "switch:<Switch>:<0|1>",
// "light:<BackLight>", "range:<i>", "tc:<i>", "entry:<i>" (the controls as
// an operator changes them), "suppression:<text>", "bias:<text>",
// "typedName:<text>" (the end of an edit), "confirm" (the suppression
// value's field entered as it stands), "name:<text>" (the window's module
// name), "reset", "askStatus", "put:<setting key>:<JSON value>".
bool tst_AmplifierDevice::perform(AmplifierDevice &device, const QString &step)
{
    const QString kind = step.section(QLatin1Char(':'), 0, 0);
    const QString rest = step.section(QLatin1Char(':'), 1);
    if (kind == QLatin1String("line"))
        return deliver(rest);
    if (kind == QLatin1String("switch"))
        device.setSwitch(enumOf<Switch>(rest.section(':', 0, 0)), rest.section(':', 1) == "1");
    else if (kind == QLatin1String("light"))
        device.chooseBackLight(enumOf<BackLight>(rest));
    else if (kind == QLatin1String("range"))
        device.chooseRange(rest.toInt());
    else if (kind == QLatin1String("tc"))
        device.chooseTimeConstant(rest.toInt());
    else if (kind == QLatin1String("entry"))
        device.chooseTableEntry(rest.toInt());
    else if (kind == QLatin1String("suppression"))
        device.enterSuppressionValue(rest);
    else if (kind == QLatin1String("confirm"))
        device.enterSuppressionValue(device.suppressionEntry());
    else if (kind == QLatin1String("bias"))
        device.enterBiasVoltage(rest);
    else if (kind == QLatin1String("typedName"))
        device.enterDisplayName(rest);
    else if (kind == QLatin1String("name"))
        device.setDisplayName(rest);
    else if (kind == QLatin1String("reset"))
        device.reset();
    else if (kind == QLatin1String("askStatus"))
        device.askStatus();
    else if (kind == QLatin1String("put")) {
        const QString key = rest.section(':', 0, 0);
        const QJsonValue value =
            QJsonDocument::fromJson("[" + rest.section(':', 1).toUtf8() + "]").array().at(0);
        for (int k = 0; k < device.settings().size(); ++k) {
            if (QLatin1String(device.settings().at(k).key) == key)
                return device.put(k, value);
        }
        return false;
    } else
        return false;
    return true;
}

// "on:<Switch>", "off:<Switch>", "light:<BackLight>", "range:<i>",
// "tc:<i>", "entry:<i>" (the table's selector), "suppression:<text>" (its
// field), "status:<text>", "shown:<text>" (the reported suppression value),
// "bias:<text>" (the reported bias voltage), "alert:<text>" (empty: none),
// "letter:<L>:<capture>", "items:<item>|<item>..." (the table's selector).
bool tst_AmplifierDevice::holds(const AmplifierDevice &device, const QString &state)
{
    const QString kind = state.section(QLatin1Char(':'), 0, 0);
    const QString rest = state.section(QLatin1Char(':'), 1);
    if (kind == QLatin1String("on") || kind == QLatin1String("off"))
        return device.isOn(enumOf<Switch>(rest)) == (kind == QLatin1String("on"));
    if (kind == QLatin1String("light"))
        return device.backLight() == enumOf<BackLight>(rest);
    if (kind == QLatin1String("range"))
        return device.rangeIndex() == rest.toInt();
    if (kind == QLatin1String("tc"))
        return device.timeConstantIndex() == rest.toInt();
    if (kind == QLatin1String("entry"))
        return device.tableIndex() == rest.toInt();
    if (kind == QLatin1String("suppression"))
        return device.suppressionEntry() == rest;
    if (kind == QLatin1String("status"))
        return device.statusText() == rest;
    if (kind == QLatin1String("shown"))
        return device.suppressionValue() == rest;
    if (kind == QLatin1String("bias"))
        return device.biasVoltage() == rest;
    if (kind == QLatin1String("alert"))
        return device.alertText() == rest && device.isAlerting() == !rest.isEmpty();
    if (kind == QLatin1String("letter"))
        return device.statusOf(rest.at(0)) == rest.section(':', 1);
    if (kind == QLatin1String("items"))
        return device.tableItems() == rest.split('|', Qt::SkipEmptyParts);
    return false;
}

// ---- link -------------------------------------------------------------

void tst_AmplifierDevice::startupLines()
{
    AmplifierDevice *device = addDevice();
    device->setClient(client.get()); // a second call adds nothing
    QVERIFY(connectAll());
    QVERIFY(device->isReady());
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

void tst_AmplifierDevice::reconnectRepeatsStartupOnce()
{
    QVERIFY(startReady());
    devices.front()->setClient(client.get());
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

void tst_AmplifierDevice::readyGateOpens()
{
    QVERIFY(connectClient(*client));
    AmplifierDevice *device = addDevice();
    server->clearLines();
    device->chooseRange(1);
    QCOMPARE(sent(), QStringList());

    emit client->ConnectionIsReady(client.get());
    QVERIFY(device->isReady());
    QCOMPARE(sent().size(), 6);
    device->chooseRange(2);
    device->chooseTimeConstant(3);
    device->reset();
    QCOMPARE(sent(), amp1({"SetRange 1e-7", "GetStatus", "SetFilterDuration 0.03", "GetStatus",
                           "RestorConfig 2", "GetStatus"}));
}

// ---- the exchange -----------------------------------------------------

void tst_AmplifierDevice::exchange_data()
{
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QStringList>("debug");

    const QString gs = QStringLiteral("GetStatus");
    const QString gv = QStringLiteral("GetCurrentSurpressionValue");
    const QStringList none;
    auto row = [](const QString &name, bool ready, const QStringList &steps,
                  const QStringList &expected, const QStringList &states = {},
                  const QStringList &debug = {}, const QByteArray &table = {}) {
        QTest::newRow(qPrintable(name)) << ready << table << steps << expected << states << debug;
    };

    // A status decoded moves each control it changes, which sends the
    // control's command back, in the order of the letters; the back light
    // group sends twice (the button that goes off, the one that comes on).
    // The device then reports what the controls show: a second status is
    // quiet.
    const QStringList echoed = {
        "SetZeroCheck 1",  gs, "SetCurrentSurpression 0", gs, "SetFilter 1",      gs,
        "SetAutoFilter 1", gs, "SetFilterDuration 0.001", gs, "SetVoltageBias 0", gs,
        "SelectInput 1",   gs, "SetBacklight 1",          gs, "SetBacklight 1",   gs};
    const QStringList echoedStates = {"light:Low",       "off:BiasOn",    "on:BiasOff",
                                      "on:ZeroCheck",    "on:RearInput",  "off:FrontInput",
                                      "on:Filter",       "on:FilterAuto", "off:FilterManual",
                                      "off:Suppression", "tc:1"};
    for (const QString &text :
         {QStringLiteral("CA5350A1B0C1I1N0P1T/Z1"), QStringLiteral("CA5350Z1T/P1N0I1C1B0A1")}) {
        const QString line = "ca>Brenlow.amp1 @GetStatus " + text;
        row("status echoes, " + text, true, {"line:" + line, "line:" + line}, echoed,
            echoedStates + QStringList{"status:" + text.mid(6)});
    }

    // From the fresh device every one of these turns the suppression off,
    // the filter to manual, the bias off and the input to the front.
    const QStringList head = {"SetCurrentSurpression 0", gs, "SetAutoFilter 0", gs};
    const QStringList tail = {"SetVoltageBias 0", gs, "SelectInput 0", gs};
    auto status = [&](const QString &name, const QString &text, const QStringList &expected,
                      const QStringList &states, const QStringList &debug = {}) {
        const QString line = "line:dev1>Brenlow.amp1 @GetStatus " + text;
        row(name, true, {line, line}, expected, states, debug);
    };
    status("T5 selects entry 7", "CA5350T5", head + QStringList{"SetFilterDuration 2", gs} + tail,
           {"tc:7", "on:FilterManual", "light:High"});
    status("missing T selects entry 2", "CA5350",
           head + QStringList{"SetFilterDuration 0.01", gs} + tail, {"tc:2"});
    status("T. selects entry 0", "CA5350T.", head + tail, {"tc:0"});
    status("T beyond the table leaves no current entry", "CA5350T7", head + tail, {"tc:-1"},
           {"no time constant at index -1 of the TC table"});
    status("A3 leaves the back light alone", "CA5350A3T.", head + tail, {"light:High"});
    status("A2 turns the back light off", "CA5350A2T.",
           head + tail + QStringList{"SetBacklight 2", gs, "SetBacklight 2", gs}, {"light:Off"});
    status("zero check of 12 is not on", "CA5350C12T.", head + tail, {"off:ZeroCheck"});
    status("only the first match counts", "CA5350C1C0T.",
           QStringList{"SetZeroCheck 1", gs} + head + tail, {"on:ZeroCheck"});
    status("all on", "CA5350A0B1C0I1N1P1T0Z1",
           {"SetFilter 1", gs, "SetAutoFilter 1", gs, "SetFilterDuration 0.01", gs,
            "SetVoltageBias 1", gs, "SelectInput 1", gs},
           {"on:Suppression", "on:BiasOn", "off:BiasOff", "on:RearInput", "off:FrontInput"});
    row("the letters kept", true,
        {"line:dev1>Brenlow.amp1 @GetStatus CA5350A0B1C0H12I0J3K45M6N1P0R7S8T.W9Y10Z0"},
        {"SetAutoFilter 0", gs, "SetVoltageBias 1", gs, "SelectInput 0", gs},
        {"letter:A:0", "letter:B:1", "letter:C:0", "letter:H:12", "letter:I:0", "letter:J:3",
         "letter:K:45", "letter:M:6", "letter:N:1", "letter:P:0", "letter:R:7", "letter:S:8",
         "letter:T:.", "letter:W:9", "letter:Y:10", "letter:Z:0"});
    row("a later status without a letter forgets it", true,
        {"line:dev1>Brenlow.amp1 @GetStatus CA5350H12T.", "line:dev1>Brenlow.amp1 @GetStatus "
                                                          "CA5350T/"},
        head + tail + QStringList{"SetFilterDuration 0.001", gs}, {"letter:H:", "letter:T:/"});
    row("a status of another model changes nothing", true,
        {"line:dev1>Brenlow.amp1 @GetStatus CA5350A1B0C1I1N0P1T/Z1",
         "line:dev1>Brenlow.amp1 @GetStatus CA5351A0B1C0I0N1P0T.Z0"},
        echoed, {"status:", "on:ZeroCheck", "light:Low", "tc:1", "letter:A:1"});

    // The controls, changed as an operator changes them.
    row("zero check on", true, {"switch:ZeroCheck:1"}, {"SetZeroCheck 1", gs}, {"on:ZeroCheck"});
    row("zero check off again", true, {"switch:ZeroCheck:1", "switch:ZeroCheck:0"},
        {"SetZeroCheck 1", gs, "SetZeroCheck 0", gs}, {"off:ZeroCheck"});
    row("zero check set as it is", true, {"switch:ZeroCheck:0"}, none);
    row("reset", true, {"reset"}, {"RestorConfig 2", gs});
    row("range", true, {"range:1"}, {"SetRange 1e-6", gs}, {"range:1"});
    row("range as it is", true, {"range:0"}, none);
    row("suppression off", true, {"switch:Suppression:0"}, {"SetCurrentSurpression 0", gs},
        {"off:Suppression"});
    row("suppression on again", true, {"switch:Suppression:0", "switch:Suppression:1"},
        {"SetCurrentSurpression 0", gs, "SetCurrentSurpression 1", gs});
    row("suppression value", true, {"suppression:5e-10"}, {"SetCurrentSurpressionValue 5e-10", gv});
    row("suppression value as typed", true, {"suppression: 5.0E-10"},
        {"SetCurrentSurpressionValue  5.0E-10", gv});
    for (const char *text : {"0", "abc", "", "nan", "-inf"})
        row(QStringLiteral("suppression value [%1] sends nothing").arg(QLatin1String(text)), true,
            {QStringLiteral("suppression:") + QLatin1String(text)}, none);
    row("filter on", true, {"switch:Filter:1"}, {"SetFilter 1", gs}, {"on:Filter"});
    row("filter off again", true, {"switch:Filter:1", "switch:Filter:0"},
        {"SetFilter 1", gs, "SetFilter 0", gs});
    row("time constant 10ms", true, {"tc:2"}, {"SetFilterDuration 0.01", gs});
    row("auto filter from neither", true, {"switch:Filter:1", "switch:FilterAuto:1"},
        {"SetFilter 1", gs, "SetAutoFilter 1", gs}, {"on:FilterAuto", "off:FilterManual"});
    row("manual filter after auto", true,
        {"switch:Filter:1", "switch:FilterAuto:1", "switch:FilterManual:1"},
        {"SetFilter 1", gs, "SetAutoFilter 1", gs, "SetAutoFilter 0", gs, "SetAutoFilter 0", gs},
        {"off:FilterAuto", "on:FilterManual"});
    row("auto filter unchecked", true,
        {"switch:Filter:1", "switch:FilterAuto:1", "switch:FilterAuto:0"},
        {"SetFilter 1", gs, "SetAutoFilter 1", gs, "SetAutoFilter 0", gs, "SetAutoFilter 0", gs},
        {"off:FilterAuto", "on:FilterManual"});
    row("bias on", true, {"switch:BiasOn:1"}, {"SetVoltageBias 1", gs},
        {"on:BiasOn", "off:BiasOff"});
    row("bias off after on", true, {"switch:BiasOn:1", "switch:BiasOff:1"},
        {"SetVoltageBias 1", gs, "SetVoltageBias 0", gs, "SetVoltageBias 0", gs},
        {"off:BiasOn", "on:BiasOff"});
    row("bias voltage", true, {"bias: 12.5 "},
        {"SetVoltageBiasRange  12.5 ", "GetVoltageBiasRange"});
    row("bias voltage of blanks", true, {"bias:   "}, none);
    row("rear input", true, {"switch:RearInput:1"}, {"SelectInput 1", gs},
        {"on:RearInput", "off:FrontInput"});
    row("front input after rear", true, {"switch:RearInput:1", "switch:FrontInput:1"},
        {"SelectInput 1", gs, "SelectInput 0", gs, "SelectInput 0", gs},
        {"off:RearInput", "on:FrontInput"});
    row("back light low", true, {"light:Low"}, {"SetBacklight 1", gs, "SetBacklight 1", gs},
        {"light:Low"});
    row("back light off after low", true, {"light:Low", "light:Off"},
        {"SetBacklight 1", gs, "SetBacklight 1", gs, "SetBacklight 2", gs, "SetBacklight 2", gs},
        {"light:Off"});
    row("back light chosen as it is", true, {"light:High"}, none, {"light:High"});
    row("show stat", true, {"askStatus"}, {gs});
    row("module name typed", true, {"typedName: Det 1 "}, {"SetDisplayMsg  Det 1 "});
    row("module name from the window", true, {"name:New Name"}, {"SetDisplayMsg New Name"});
    row("manual source as it is", true, {"switch:TableSource:0"}, none, {"off:TableSource"});
    row("table source without a table", true, {"switch:TableSource:1"}, none, {"on:TableSource"});

    row("not ready: reset", false, {"reset"}, none);
    row("not ready: range", false, {"range:2"}, none, {"range:2"});
    row("not ready: time constant", false, {"tc:1"}, none, {"tc:1"});
    row("not ready: module name from the window", false, {"name:New Name"}, none);
    row("not ready: module name typed", false, {"typedName:Det 1"}, {"SetDisplayMsg Det 1"});
    row("not ready: zero check", false, {"switch:ZeroCheck:1"}, {"SetZeroCheck 1", gs});
    row("not ready: suppression value", false, {"suppression:5e-10"},
        {"SetCurrentSurpressionValue 5e-10", gv});
    row("not ready: back light", false, {"light:Off"},
        {"SetBacklight 2", gs, "SetBacklight 2", gs});
    row("not ready: show stat", false, {"askStatus"}, {gs});

    // Range replies select the item equal to the value, range events the
    // nearest one; a new range is commanded as an operator's choice.
    const QStringList gotRange = {"SetRange 1e-6", gs};
    row("range reply equal to an item", true, {"line:dev1>Brenlow.amp1 @GetRange 1e-6"}, gotRange,
        {"range:1"});
    row("range reply written differently", true, {"line:dev1>Brenlow.amp1 @GetRange 0.0000001"},
        {"SetRange 1e-7", gs}, {"range:2"});
    row("range reply equal to the current item", true, {"line:dev1>Brenlow.amp1 @GetRange 1e-5"},
        none, {"range:0"});
    row("range reply between items", true, {"line:dev1>Brenlow.amp1 @GetRange 2e-6"}, none,
        {"range:0"}, {"can't find the range 2e-06 in RangeSCB"});
    row("range reply not a number", true, {"line:dev1>Brenlow.amp1 @GetRange abc"}, none,
        {"range:0"}, {"can't find the range 0 in RangeSCB"});
    row("range reply for another device", true, {"line:dev1>Brenlow.amp9 @GetRange 1e-6"}, none,
        {"range:0"});
    row("range event nearest item", true, {"line:dev1>Brenlow _RangeChanged 2e-6"}, gotRange,
        {"range:1"});
    row("range event below every item", true, {"line:dev1>Brenlow _RangeChanged 1e-9"},
        {"SetRange 1e-7", gs}, {"range:2"});
    row("range event near the current item", true, {"line:dev1>Brenlow _RangeChanged 1.2e-5"}, none,
        {"range:0"});
    row("range event from another device", true, {"line:dev2>Brenlow _RangeChanged 1e-7"}, none,
        {"range:0"});
    row("range event from a channel of the device", true,
        {"line:dev1.2>Brenlow _RangeChanged 1e-7"}, none, {"range:0"});
    // Every item is equally far from a value that is not finite: the event
    // must not move the range, or the device would command the first range.
    for (const char *value : {"nan", "inf", "-inf"})
        row(QStringLiteral("range event of %1").arg(QLatin1String(value)), true,
            {"line:dev1>Brenlow.amp1 @GetRange 1e-7",
             QStringLiteral("line:dev1>Brenlow _RangeChanged ") + QLatin1String(value)},
            {"SetRange 1e-7", gs}, {"range:2"},
            {QStringLiteral("range event with no usable value [%1]").arg(QLatin1String(value))});

    // Service requests and error statuses raise and clear the alert.
    const QString srq1 = QStringLiteral("line:dev1>Brenlow.amp1 @GetSRQ 1");
    const QString err = QStringLiteral("line:dev1>Brenlow.amp1 @GetErrorStatus CA5350");
    row("SRQ reply 1", true, {srq1}, none, {"alert:OVER !!!"});
    row("SRQ reply 0 clears", true, {srq1, "line:dev1>Brenlow.amp1 @GetSRQ 0"}, none, {"alert:"});
    row("SRQ reply 2 clears", true, {srq1, "line:dev1>Brenlow.amp1 @GetSRQ 2"}, none, {"alert:"});
    row("SRQ event 1", true, {"line:dev1>Brenlow _SRQChanged 1"}, none, {"alert:OVER !!!"});
    row("SRQ event 0 clears", true,
        {"line:dev1>Brenlow _SRQChanged 1", "line:dev1>Brenlow _SRQChanged 0"}, none, {"alert:"});
    row("SRQ event from another device", true, {"line:dev2>Brenlow _SRQChanged 1"}, none,
        {"alert:"});
    row("SRQ reply for another device", true, {"line:dev1>Brenlow.amp2 @GetSRQ 1"}, none,
        {"alert:"});
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
        row(QStringLiteral("error bit %1").arg(position), true, {err + body}, none,
            {"alert:" + QString::fromLatin1(texts[position])}, {"ErrStat " + body});
    }
    row("error bits 0 and 8 show the later", true, {err + "1000000010"}, none,
        {"alert:Er: Mem Err"}, {"ErrStat 1000000010"});
    row("error all zeros clears", true, {err + "1000000010", err + "0000000000"}, none, {"alert:"},
        {"ErrStat 1000000010", "ErrStat 0000000000"});
    row("error status clears the SRQ alert", true, {srq1, err + "0000000000"}, none, {"alert:"},
        {"ErrStat 0000000000"});
    row("error short body", true, {err + "1"}, none, {"alert:Er: CMD"}, {"ErrStat 1"});
    row("error non-digits read as 0", true, {err + "x1a2"}, none, {"alert:Er: CMD Arg"},
        {"ErrStat x1a2"});
    row("error value 2 is not 1", true, {err + "2000000002"}, none, {"alert:"},
        {"ErrStat 2000000002"});
    row("error status of another model", true,
        {"line:dev1>Brenlow.amp1 @GetErrorStatus CA53511111111111"}, none, {"alert:"});
    row("error status for another device", true,
        {"line:dev1>Brenlow.amp2 @GetErrorStatus CA53501111111111"}, none, {"alert:"});
    row("values shown as reported", true,
        {"line:dev1>Brenlow.amp1 @GetCurrentSurpressionValue 3e-10",
         "line:dev1>Brenlow.amp1 @GetVoltageBiasRange 5 V"},
        none, {"shown:3e-10", "bias:5 V"});

    // The suppression table: read, merged and sorted; its first entry fills
    // the field.
    row("table merged, sorted and the first value taken", true, {}, none,
        {"items:1e-05 : 7.5e-10|1e-06 : 3e-10|1e-07 : 5e-11", "entry:0", "suppression:7.5e-10"}, {},
        "1e-6 2e-10\n# note\n\n1e-6 3e-10 : 24/01/02 10:00:00\n1e-7 5e-11\n1e-5 7.5e-10\n");
    row("table of a range alone", true, {}, none, {"items:1e-06 : 0", "suppression:0"}, {},
        "1e-6\n");
    row("empty table", true, {}, none, {"items:", "entry:-1", "suppression:"}, {}, "\n");
    const QByteArray table = "1e-6 2e-10\n1e-6 3e-10\n1e-5 7.5e-10\n";
    row("table source sends the present range's value", true, {"switch:TableSource:1"},
        {"SetCurrentSurpressionValue 7.5e-10", gv}, {"entry:0", "suppression:7.5e-10"}, {}, table);
    row("table source and a range with an entry", true, {"switch:TableSource:1", "range:1"},
        {"SetCurrentSurpressionValue 7.5e-10", gv, "SetRange 1e-6", gs,
         "SetCurrentSurpressionValue 3e-10", gv},
        {"entry:1", "suppression:3e-10"}, {}, table);
    row("table source and a range without an entry", true, {"switch:TableSource:1", "range:2"},
        {"SetCurrentSurpressionValue 7.5e-10", gv, "SetRange 1e-7", gs}, {"entry:0"}, {}, table);
    row("manual source takes no table step", true, {"range:1"}, {"SetRange 1e-6", gs},
        {"entry:0", "suppression:7.5e-10"}, {}, table);
    row("back to manual sends nothing", true,
        {"switch:TableSource:1", "switch:TableSource:0", "range:1"},
        {"SetCurrentSurpressionValue 7.5e-10", gv, "SetRange 1e-6", gs}, {"off:TableSource"}, {},
        table);
    row("picking an entry fills the field only", true, {"entry:1"}, none, {"suppression:3e-10"}, {},
        table);
    row("the operator confirms the picked value", true, {"entry:1", "confirm"},
        {"SetCurrentSurpressionValue 3e-10", gv}, {}, {}, table);

    // A snapshot's setting put back: the control is changed as an operator
    // changes it, or, when it shows the value already, its command is sent
    // as the change would send it.
    row("put a range", true, {"put:range:\"1e-6\""}, gotRange, {"range:1"});
    row("put the range shown", true, {"put:range:\"1e-05\""}, {"SetRange 1e-5", gs}, {"range:0"});
    row("put a filter mode of a pair", true, {"put:filterMode:\"auto\""}, {"SetAutoFilter 1", gs},
        {"on:FilterAuto", "off:FilterManual"});
    row("put the filter mode shown", true, {"switch:FilterAuto:1", "put:filterMode:\"auto\""},
        {"SetAutoFilter 1", gs, "SetAutoFilter 1", gs}, {"on:FilterAuto"});
    row("put the manual filter mode to neither button", true, {"put:filterMode:\"manual\""},
        {"SetAutoFilter 0", gs}, {"off:FilterAuto", "off:FilterManual"});
    row("put a back light", true, {"put:backLight:\"off\""},
        {"SetBacklight 2", gs, "SetBacklight 2", gs}, {"light:Off"});
    row("put the back light shown", true, {"put:backLight:\"high\""}, {"SetBacklight 0", gs});
    row("put a suppression value", true, {"put:suppressionValue:\"5e-10\""},
        {"SetCurrentSurpressionValue 5e-10", gv}, {"suppression:5e-10"});
    row("put a bias voltage", true, {"put:biasVoltage:\"2.5\""},
        {"SetVoltageBiasRange 2.5", "GetVoltageBiasRange"});
}

void tst_AmplifierDevice::exchange()
{
    QFETCH(bool, ready);
    QFETCH(QByteArray, table);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, states);
    QFETCH(QStringList, debug);

    if (ready) {
        QVERIFY(startReady(table));
    } else {
        // The device joins a client that is already connected, so it never
        // hears the ready signal while lines still reach the server.
        QVERIFY(connectClient(*client));
        addDevice(QStringLiteral("amp1"), QStringLiteral("dev1"), QString(), table);
        server->clearLines();
    }
    AmplifierDevice &device = *devices.front();
    QCOMPARE(device.isReady(), ready);
    DebugLog log;
    for (const QString &step : steps)
        QVERIFY2(perform(device, step), qPrintable(step));
    QCOMPARE(sent(), amp1(expected));
    for (const QString &state : states)
        QVERIFY2(holds(device, state), qPrintable(state));
    QCOMPARE(DebugLog::lines(), debug);
}

void tst_AmplifierDevice::timeConstantLabels_data()
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

void tst_AmplifierDevice::timeConstantLabels()
{
    QFETCH(QString, entry);
    QFETCH(QString, label);
    QVERIFY(startReady());
    AmplifierDevice &device = *devices.front();
    QCOMPARE(AmplifierDevice::timeConstantLabel(entry), label);
    // A new table puts its first entry in place, which a ready device sends.
    device.setTimeConstants({"0.0003", entry});
    QCOMPARE(sent(), amp1({"SetFilterDuration 0.0003", "GetStatus"}));
    // The table's own text is the argument, not the label.
    device.chooseTimeConstant(1);
    QCOMPARE(sent(), amp1({"SetFilterDuration " + entry, "GetStatus"}));
}

void tst_AmplifierDevice::filtering()
{
    AmplifierDevice *one = addDevice(QStringLiteral("amp1"), QStringLiteral("dev1"));
    AmplifierDevice *two =
        addDevice(QStringLiteral("amp2"), QStringLiteral("dev1"), QStringLiteral("2"));
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
    QCOMPARE(two->suppressionValue(), QStringLiteral("3e-10"));
    QCOMPARE(one->suppressionValue(), QString());
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetVoltageBiasRange 5 V"));
    QCOMPARE(one->biasVoltage(), QStringLiteral("5 V"));
    QCOMPARE(two->biasVoltage(), QString());

    // Events go by the sending device.
    QVERIFY(deliver("dev1>Brenlow _RangeChanged 1e-7"));
    QCOMPARE(one->rangeIndex(), 2);
    QCOMPARE(two->rangeIndex(), 0);
    QCOMPARE(sent(), amp1({"SetRange 1e-7", "GetStatus"}));
    QVERIFY(deliver("dev1.2>Brenlow _RangeChanged 1e-6"));
    QCOMPARE(one->rangeIndex(), 2);
    QCOMPARE(two->rangeIndex(), 1);
    QCOMPARE(sent(), prefixed("Brenlow.amp2>dev1.2 ", {"SetRange 1e-6", "GetStatus"}));

    // Replies go by the addressed sub-name alone, exactly.
    QVERIFY(deliver("dev1.2>Brenlow.amp1 @GetRange 1e-5"));
    QCOMPARE(one->rangeIndex(), 0);
    QCOMPARE(two->rangeIndex(), 1);
    QCOMPARE(sent(), amp1({"SetRange 1e-5", "GetStatus"}));
    QVERIFY(deliver("dev1>Brenlow.AMP1 @GetStatus CA5350C1"));
    QVERIFY(!one->isOn(Switch::ZeroCheck));
    QVERIFY(deliver("dev1>Brenlow.amp2 @GetStatus CA5350A0B0C1I0N1P0T.Z0"));
    QVERIFY(two->isOn(Switch::ZeroCheck));
    QVERIFY(!one->isOn(Switch::ZeroCheck));
    QCOMPARE(sent(), prefixed("Brenlow.amp2>dev1.2 ",
                              {"SetZeroCheck 1", "GetStatus", "SetAutoFilter 0", "GetStatus",
                               "SetVoltageBias 0", "GetStatus", "SelectInput 0", "GetStatus"}));
    QVERIFY(deliver("dev1.2>Brenlow _SRQChanged 1"));
    QCOMPARE(two->alertText(), QStringLiteral("OVER !!!"));
    QCOMPARE(one->alertText(), QString());
}

// ---- current-suppression table ----------------------------------------

void tst_AmplifierDevice::setTable()
{
    QVERIFY(startReady("1e-6 2e-10\n"));
    AmplifierDevice &device = *devices.front();
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 4.5e-10"));
    device.recordTableEntry();

    const QStringList lines = QString::fromUtf8(readAll(device.cSprFile())).split('\n');
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

    // Read again at once: the new entry leads and fills the field.
    QCOMPARE(device.tableItems(), (QStringList{"1e-05 : 4.5e-10", "1e-06 : 2e-10"}));
    QCOMPARE(device.suppressionEntry(), QStringLiteral("4.5e-10"));
    QCOMPARE(sent(), QStringList());

    // A second value for the same range replaces the first on reload.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 5e-10"));
    device.recordTableEntry();
    QCOMPARE(device.tableItems(), (QStringList{"1e-05 : 5e-10", "1e-06 : 2e-10"}));
}

void tst_AmplifierDevice::setTableRefused_data()
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

void tst_AmplifierDevice::setTableRefused()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(bool, emptyRanges);
    QFETCH(bool, appended);
    QFETCH(QStringList, items);
    QFETCH(QString, why);
    QVERIFY(startReady(before));
    AmplifierDevice &device = *devices.front();
    if (emptyRanges) {
        DebugLog log; // the ready device reports the emptied selector
        device.setRanges({});
    }
    if (!value.isEmpty())
        QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue " + value));
    DebugLog log;
    QSignalSpy said(&device, &Device::notice);
    device.recordTableEntry();
    const QByteArray after = readAll(device.cSprFile());
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
    QCOMPARE(device.tableItems(), items);
}

void tst_AmplifierDevice::failedReloadKeepsItems()
{
    QVERIFY(startReady("1e-6 2e-10\n1e-5 7.5e-10\n"));
    AmplifierDevice &device = *devices.front();
    const QString missing = dir->filePath(QStringLiteral("no/such/t.txt"));
    {
        DebugLog log;
        device.setTableFile(missing);
        QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file [" + missing + "]"});
    }
    QVERIFY(device.cSprTable().isEmpty());
    QCOMPARE(device.tableItems().size(), 2);

    // The stale items no longer belong to any entry: the field keeps the
    // operator's text, and the table source finds nothing to send.
    device.enterSuppressionValue(QStringLiteral("7e-10"));
    QCOMPARE(sent(), amp1({"SetCurrentSurpressionValue 7e-10", "GetCurrentSurpressionValue"}));
    device.chooseTableEntry(1);
    QCOMPARE(device.suppressionEntry(), QStringLiteral("7e-10"));
    device.setSwitch(Switch::TableSource, true);
    QCOMPARE(sent(), QStringList());

    // Appending to a file that cannot be opened reports it and keeps the items.
    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 4e-10"));
    DebugLog log;
    device.recordTableEntry();
    QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file [" + missing + "]"});
    QCOMPARE(device.tableItems().size(), 2);

    // The station passes an empty name when the key is missing.
    DebugLog::lines().clear();
    device.setTableFile(QString());
    QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file []"});
}

// "Set Table" when the table file cannot take the line, or was changed by
// someone else since the device loaded it: nothing already in the file is
// lost or changed, a failure leaves one debug line saying what failed, and
// the device goes on working.
void tst_AmplifierDevice::tableFileFaults_data()
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

void tst_AmplifierDevice::tableFileFaults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, added);
    QFETCH(QString, failure);
    QFETCH(QByteArray, lineEnd);
    QFETCH(QStringList, items);
    QVERIFY(startReady(before));
    AmplifierDevice &device = *devices.front();
    QCOMPARE(device.tableItems().size(), 1);

    std::unique_ptr<FileModesHold> modesHold;
    if (fault == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(device.cSprFile(), QFile::ReadOwner | QFile::ReadGroup));
        modesHold = std::make_unique<FileModesHold>();
        QFile probe(device.cSprFile());
        if (probe.open(QIODevice::Append))
            QSKIP("this process may write to a read-only file");
    } else if (fault == QLatin1String("no directory")) {
        const QString path = writeFile(dir->filePath(QStringLiteral("gone/t.txt")), before);
        device.setTableFile(path);
        QCOMPARE(device.tableItems(), items);
        QVERIFY(QDir(dir->filePath(QStringLiteral("gone"))).removeRecursively());
    } else if (fault == QLatin1String("full")) {
        DebugLog log; // a device is not a table: it loads as no table
        device.setTableFile(QStringLiteral("/dev/full"));
        QCOMPARE(DebugLog::lines(), QStringList{"Can't open CSpr Table file [/dev/full]"});
    }
    const QString path = device.cSprFile();
    if (!added.isEmpty()) {
        QFile other(path);
        QVERIFY(other.open(QIODevice::Append));
        QCOMPARE(other.write(added), qint64(added.size()));
    }
    const QByteArray onDisk = readAll(path);

    QVERIFY(deliver("dev1>Brenlow.amp1 @GetCurrentSurpressionValue 4e-10"));
    {
        DebugLog log;
        device.recordTableEntry();
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
    QCOMPARE(device.tableItems(), items);

    // The device goes on working.
    device.askStatus();
    QCOMPARE(sent(), amp1({"GetStatus"}));
}

// ---- polling ------------------------------------------------------------

void tst_AmplifierDevice::polling()
{
    AmplifierDevice *quiet = addDevice(QStringLiteral("amp1"), QStringLiteral("dev1"));
    AmplifierDevice *polled = addDevice(QStringLiteral("amp2"), QStringLiteral("dev2"));
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

void tst_AmplifierDevice::alarmConditions_data()
{
    // Keys of the module's section.
    QTest::addColumn<QByteArray>("module");
    // "line:<a line from the server>", "silence" (the start queries go
    // unanswered past the answer timeout).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transitions");

    const QString srq = QStringLiteral("line:dev1>Brenlow.amp1 @GetSRQ ");
    const QString err = QStringLiteral("line:dev1>Brenlow.amp1 @GetErrorStatus CA5350");

    QTest::newRow("overload at once, and clears")
        << QByteArray() << QStringList{srq + "0", srq + "1", srq + "0"}
        << QStringList{"raised amp-overload OVER !!!", "cleared amp-overload"};
    QTest::newRow("overload as an event")
        << QByteArray() << QStringList{"line:dev1>Brenlow _SRQChanged 1"}
        << QStringList{"raised amp-overload OVER !!!"};
    QTest::newRow("another amplifier's overload")
        << QByteArray() << QStringList{"line:dev2>Brenlow _SRQChanged 1"} << QStringList{};
    // Whatever colours the panel: an error the amplifier reports too.
    QTest::newRow("an error status alert")
        << QByteArray() << QStringList{err + "0000000010", err + "0000000000"}
        << QStringList{"raised amp-overload Er: Mem Err", "cleared amp-overload"};
    QTest::newRow("overload turned off")
        << QByteArray("Alarms=silent\n") << QStringList{srq + "1"} << QStringList{};
    QTest::newRow("silent, and answering again")
        << QByteArray() << QStringList{"silence", srq + "0"}
        << QStringList{"raised silent dev1", "cleared silent"};
    QTest::newRow("all turned off")
        << QByteArray("Alarms=off\n") << QStringList{"silence", srq + "1"} << QStringList{};
}

// The amplifier's own device, made by the station from its file, reports
// what it hears on the wire to the station's alarm list.
void tst_AmplifierDevice::alarmConditions()
{
    QFETCH(QByteArray, module);
    QFETCH(QStringList, steps);

    // Only a row that waits for the silence lets it come.
    const QByteArray timeout = steps.contains(QStringLiteral("silence"))
                                   ? QByteArray("Answer Timeout=0.05\n")
                                   : QByteArray();
    AlarmStation run(*server, *dir,
                     timeout + "AMP Module Names=AMP I1\n[AMP I1]\nid=amp1\ndriver=dev1\n" +
                         module);
    QVERIFY(run.connect());
    Device *amp = run.devices().devices().value(0);
    QVERIFY(amp);
    for (const QString &step : qAsConst(steps)) {
        if (step.startsWith(QLatin1String("line:"))) {
            QVERIFY(run.deliver({step.mid(int(qstrlen("line:")))}));
        } else if (step == QLatin1String("silence")) {
            QTRY_VERIFY(amp->answerWatch()->isSilent());
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
    QTEST(run.transitions(), "transitions");
}

QTEST_MAIN(tst_AmplifierDevice)
#include "tst_amplifierdevice.moc"
