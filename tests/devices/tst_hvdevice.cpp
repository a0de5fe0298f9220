// SPDX-License-Identifier: GPL-3.0-or-later
// The HV device against the fake message server, without any widget: its
// start lines, the set voltage applied and ramped down by the Start rule,
// the set voltage's number format and the usable maximum's refusal, the
// status colour, the maximum voltage, the controllable flag, the ramp rate,
// messages for another id, and the alarm conditions the device reports.

#include "AlarmStation.h"
#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/Tesra.h"
#include "devices/HvDevice.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>

using namespace TestSupport;
using Colour = HVRules::StatusColour;

namespace {

// What the panel's form starts its ramp field with; the device takes it from
// the panel.
const QString FormRamp = QStringLiteral("15");

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

QString colourName(const std::optional<Colour> &colour)
{
    static const char *const Names[] = {"green", "grey", "yellow", "blue", "red"};
    return colour ? QLatin1String(Names[int(*colour)]) : QStringLiteral("none");
}

} // namespace

class tst_HvDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startLinesOnReady_data();
    void startLinesOnReady();
    void startLinesAgainAfterReconnect();
    void secondSetClientDoesNotDoubleStartLines();
    void exchange_data();
    void exchange();
    void voltageList();
    void withoutClient();
    void alarmConditions_data();
    void alarmConditions();

private:
    void makeDevice(const QString &ch = QStringLiteral("2"));
    void connectAndSettle();
    QStringList sentLines();
    bool perform(const QString &step);
    bool holds(const QString &state);

    ServerLink link;
    std::unique_ptr<QTemporaryDir> &dir = link.dir;
    std::unique_ptr<FakeTesraServer> &server = link.server;
    std::unique_ptr<Tesra> &client = link.client;
    std::unique_ptr<HvDevice> device;
    int refusals = 0;
};

void tst_HvDevice::init()
{
    QVERIFY(link.start());
    refusals = 0;
}

void tst_HvDevice::cleanup()
{
    device.reset();
    link.stop();
}

// A device configured the way the station configures one, with the ramp
// rate a panel's form gives it.
void tst_HvDevice::makeDevice(const QString &ch)
{
    device = std::make_unique<HvDevice>();
    device->setClient(client.get());
    device->address() = {QStringLiteral("hv1"), QStringLiteral("hvps"), ch};
    device->setVoltageList({QStringLiteral("1000"), QStringLiteral("-1500"), QStringLiteral("0")});
    device->selectVoltage(QStringLiteral("1000"));
    device->setVoltageEditable(true);
    device->takeRampText(FormRamp);
    connect(device.get(), &HvDevice::setVRefused, this, [this] { ++refusals; });
}

// Connects the client, takes the seven start lines and makes the module
// controllable, so that each test begins from an idle device.
void tst_HvDevice::connectAndSettle()
{
    QVERIFY(connectClient(*client));
    QVERIFY(server->waitForMessageLines(7));
    QCOMPARE(server->messageLines().size(), 7);
    server->clearLines();
    QVERIFY(perform(QStringLiteral("reply:@IsControllable 1")));
    QVERIFY(device->isControllable());
}

QStringList tst_HvDevice::sentLines()
{
    return link.sent();
}

// One step: "reply:<word> [params]" (from the module to hv1),
// "raw:<a line from the server>", "start" (Start pressed), "setv:<text>"
// (the set voltage typed and entered), "typed:<text>" (typed, not
// entered), "pick:<i>" (the list's entry chosen), "ramp:<text>" (the ramp
// rate typed and entered), "fill:<text>" (a restore's set voltage),
// "tolerance:<volts>".
bool tst_HvDevice::perform(const QString &step)
{
    const QString kind = step.section(QLatin1Char(':'), 0, 0);
    const QString rest = step.section(QLatin1Char(':'), 1);
    const HvDevice::SetVBox &box = device->setV();
    if (kind == QLatin1String("reply"))
        return deliver(*server, *client, {QStringLiteral("hvps.2>Brenlow.hv1 ") + rest});
    if (kind == QLatin1String("raw"))
        return deliver(*server, *client, {rest});
    if (kind == QLatin1String("start")) {
        device->hvOnOff();
    } else if (kind == QLatin1String("setv") || kind == QLatin1String("typed")) {
        device->takeSetV(box.entries, box.index, rest);
        if (kind == QLatin1String("setv"))
            device->newSetV();
    } else if (kind == QLatin1String("pick")) {
        device->takeSetV(box.entries, rest.toInt(), box.entries.value(rest.toInt()));
    } else if (kind == QLatin1String("ramp")) {
        device->takeRampText(rest);
        device->newRampRate();
    } else if (kind == QLatin1String("fill")) {
        return device->fillSetV(rest);
    } else if (kind == QLatin1String("tolerance")) {
        device->state().voltageTolerance = rest.toDouble();
    } else {
        return false;
    }
    return true;
}

// "applied:<0|1>", "colour:<green|grey|yellow|blue|red|none>",
// "status:<text>", "voltage:<text>", "ramp:<text>", "maxV:<text>" (as
// shown), "controllable:<0|1>", "setv:<text>", "refused:<count>",
// "alerting:<0|1>", "alertText:<text>".
bool tst_HvDevice::holds(const QString &state)
{
    const QString kind = state.section(QLatin1Char(':'), 0, 0);
    const QString rest = state.section(QLatin1Char(':'), 1);
    if (kind == QLatin1String("applied"))
        return device->state().vApplied == (rest == QLatin1String("1"));
    if (kind == QLatin1String("colour"))
        return colourName(device->statusColour()) == rest;
    if (kind == QLatin1String("status"))
        return device->statusText() == rest;
    if (kind == QLatin1String("voltage"))
        return device->voltageText() == rest;
    if (kind == QLatin1String("ramp"))
        return device->rampText() == rest;
    if (kind == QLatin1String("maxV"))
        return device->maxVText() == rest;
    if (kind == QLatin1String("controllable"))
        return device->isControllable() == (rest == QLatin1String("1"));
    if (kind == QLatin1String("setv"))
        return device->setV().text == rest;
    if (kind == QLatin1String("refused"))
        return refusals == rest.toInt();
    if (kind == QLatin1String("alerting"))
        return device->isAlerting() == (rest == QLatin1String("1"));
    if (kind == QLatin1String("alertText"))
        return device->alertText() == rest;
    return false;
}

void tst_HvDevice::startLinesOnReady_data()
{
    QTest::addColumn<QString>("ch");
    QTest::addColumn<QString>("node");

    QTest::newRow("driver and channel") << "2"
                                        << "hvps.2";
    QTest::newRow("driver alone") << ""
                                  << "hvps";
}

void tst_HvDevice::startLinesOnReady()
{
    QFETCH(QString, ch);
    QFETCH(QString, node);

    makeDevice(ch);
    QVERIFY(connectClient(*client));
    QCOMPARE(sentLines(), startLines(QStringLiteral("Brenlow.hv1"), node));

    // Every later request goes to the same node.
    QVERIFY(deliver(*server, *client, {node + ">Brenlow.hv1 @IsControllable 1"}));
    QVERIFY(perform(QStringLiteral("ramp:7")));
    QCOMPARE(sentLines(), QStringList{"Brenlow.hv1>" + node + " SetRamp 7"});
}

void tst_HvDevice::startLinesAgainAfterReconnect()
{
    makeDevice();
    connectAndSettle();
    QVERIFY(perform(QStringLiteral("reply:@GetMaxV 3000V")));
    QVERIFY(perform(QStringLiteral("reply:@GetVLimit 80")));
    QCOMPARE(device->maxVText(), QStringLiteral("2400"));

    client->ReConnect();
    QTRY_COMPARE(server->connectionCount(), 2);
    QVERIFY(server->waitForMessageLines(7));
    QCOMPARE(sentLines(), startLines(QStringLiteral("Brenlow.hv1"), QStringLiteral("hvps.2")));

    // The module's values survive the reconnection.
    QCOMPARE(device->state().maxV, 3000.0);
    QCOMPARE(device->state().vLimit, 0.8);
    QCOMPARE(device->maxVText(), QStringLiteral("2400"));
}

void tst_HvDevice::secondSetClientDoesNotDoubleStartLines()
{
    makeDevice();
    device->setClient(client.get());
    device->setClient(nullptr); // ignored: the device keeps its client
    QVERIFY(connectClient(*client));
    QCOMPARE(sentLines(), startLines(QStringLiteral("Brenlow.hv1"), QStringLiteral("hvps.2")));
}

void tst_HvDevice::exchange_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("states");

    const QStringList none;
    auto setV = [](const QString &v) { return QStringList{line("SetRamp 15"), line("SetV " + v)}; };
    auto row = [](const QString &name, const QStringList &steps, const QStringList &expected,
                  const QStringList &states = {}) {
        QTest::newRow(qPrintable(name)) << steps << expected << states;
    };
    // The set voltage 1000 applied from idle with the module on.
    const QStringList applied = {"reply:_ChangedStat ON", "setv:1000", "start"};

    // Start applies the set voltage when the status takes one, and ramps
    // down while one is applied; an edit ends applies at once only while
    // one is applied; the ramp rate goes out whenever it is entered.
    row("idle, Start, ON", {"reply:_ChangedStat ON", "setv:1500", "start"}, setV("1500"),
        {"applied:1"});
    row("idle, Start, H2L", {"reply:_ChangedStat H2L", "setv:-800", "start"}, setV("800"),
        {"applied:1"});
    row("idle, Start, L2H", {"reply:_ChangedStat L2H", "setv:0.25", "start"}, setV("0.25"),
        {"applied:1"});
    row("idle, Start, zero", {"reply:_ChangedStat ON", "setv:0", "start"}, setV("0"),
        {"applied:0"});
    row("idle, Start, not a number", {"reply:_ChangedStat ON", "setv:abc", "start"}, setV("0"),
        {"applied:0"});
    row("idle, Start, OFF", {"reply:_ChangedStat OFF", "setv:1500", "start"}, none, {"applied:0"});
    row("idle, Start, unknown status", {"reply:_ChangedStat ERR", "setv:1500", "start"}, none,
        {"applied:0"});
    row("idle, Start, lower-case on", {"reply:_ChangedStat on", "setv:1500", "start"}, none,
        {"applied:0"});
    row("idle, Start, empty status", {"reply:_ChangedStat", "setv:1500", "start"}, none,
        {"applied:0"});
    row("idle, SetV edit, ON", {"reply:_ChangedStat ON", "setv:1200"}, none, {"applied:0"});
    row("idle, RampRate edit", {"reply:_ChangedStat OFF", "ramp:20"}, {line("SetRamp 20")},
        {"applied:0"});
    row("applied, Start, ON", applied + QStringList{"start"}, setV("1000") + setV("0"),
        {"applied:0"});
    row("applied, Start, OFF", applied + QStringList{"reply:_ChangedStat OFF", "start"},
        setV("1000") + setV("0"), {"applied:0"});
    row("applied, Start, unknown status", applied + QStringList{"reply:_ChangedStat ERR", "start"},
        setV("1000") + setV("0"), {"applied:0"});
    row("applied, SetV edit, ON", applied + QStringList{"setv:1200"}, setV("1000") + setV("1200"),
        {"applied:1"});
    row("applied, SetV edit, H2L", applied + QStringList{"reply:_ChangedStat H2L", "setv:-900"},
        setV("1000") + setV("900"), {"applied:1"});
    row("applied, SetV edit, L2H, zero", applied + QStringList{"reply:_ChangedStat L2H", "setv:0"},
        setV("1000") + setV("0"), {"applied:0"});
    row("applied, SetV edit, OFF", applied + QStringList{"reply:_ChangedStat OFF", "setv:1200"},
        setV("1000"), {"applied:1"});
    row("applied, SetV edit, empty status",
        applied + QStringList{"reply:_ChangedStat", "setv:1200"}, setV("1000"), {"applied:1"});
    row("applied, RampRate edit", applied + QStringList{"ramp:25"},
        setV("1000") + QStringList{line("SetRamp 25")}, {"applied:1"});
    row("ramping down does not look at the status",
        {"reply:@GetStat1 ON", "setv:-1500", "start", "reply:_ChangedStat OFF", "start", "start"},
        setV("1500") + setV("0"), {"applied:0"});
    row("a chosen entry is applied", {"reply:@GetStat1 L2H", "pick:1", "start"}, setV("1500"),
        {"applied:1", "setv:-1500"});
    row("an empty ramp rate sends a bare SetRamp", {"reply:@GetStat1 ON", "ramp:", "start"},
        {line("SetRamp"), line("SetRamp"), line("SetV 1000")});

    // The set voltage as the module gets it: the magnitude, at most six
    // significant digits, no trailing zeros; and a value that left the
    // device idle makes the next Start apply again instead of ramping down.
    const QList<QStringList> formats = {{"integer", "1500", "1500", "1"},
                                        {"negative", "-1500", "1500", "1"},
                                        {"exponent input", "1e3", "1000", "1"},
                                        {"blanks around", " 42 ", "42", "1"},
                                        {"six significant digits", "0.1234564", "0.123456", "1"},
                                        {"trailing zeros dropped", "2.500", "2.5", "1"},
                                        {"one million", "1234567", "1.23457e+06", "1"},
                                        {"tiny", "0.00001", "1e-05", "1"},
                                        {"negative zero", "-0", "0", "0"},
                                        {"decimal comma", "1,5", "0", "0"},
                                        {"unit attached", "1500V", "0", "0"},
                                        {"empty", "", "0", "0"},
                                        {"nan", "nan", "0", "0"},
                                        {"inf", "inf", "0", "0"},
                                        {"-inf", "-inf", "0", "0"}};
    for (const QStringList &f : formats) {
        const bool on = f.at(3) == QLatin1String("1");
        row("set voltage format, " + f.at(0),
            {"reply:@GetStat1 ON", "setv:" + f.at(1), "start", "start"},
            setV(f.at(2)) + setV(on ? QStringLiteral("0") : f.at(2)), {"applied:0"});
    }

    // Above the usable maximum a set voltage is refused: nothing goes out
    // and vApplied stays; ramping down is never refused.
    const QStringList limits = {"reply:@GetMaxV 3000V", "reply:@GetVLimit 80",
                                "reply:@GetStat1 ON"};
    row("above the usable maximum", limits + QStringList{"setv:3000", "start"}, none,
        {"applied:0", "refused:1"});
    row("below the usable maximum", limits + QStringList{"setv:1500", "start"}, setV("1500"),
        {"applied:1", "refused:0"});
    row("at the maximum as shown after rounding",
        {"reply:@GetMaxV 3000", "reply:@GetVLimit 33.3", "reply:@GetStat1 ON", "setv:999", "start"},
        setV("999"), {"refused:0"});
    row("negative module, above",
        {"reply:@GetMaxV -3000", "reply:@GetVLimit 50", "reply:@GetStat1 ON", "setv:-1600",
         "start"},
        none, {"refused:1"});
    row("limit unknown", {"reply:@GetMaxV 3000V", "reply:@GetStat1 ON", "setv:15000", "start"},
        setV("15000"), {"refused:0"});
    row("applied, an edit above is refused",
        limits + QStringList{"setv:1000", "start", "setv:3000"}, setV("1000"),
        {"applied:1", "refused:1"});
    row("applied, ramping down while above",
        limits + QStringList{"setv:1000", "start", "typed:3000", "start"}, setV("1000") + setV("0"),
        {"applied:0", "refused:0"});

    // The Start button's colour: the status word, and with "ON" the voltage
    // against the tolerance.
    const QList<QStringList> colours = {
        {"ON with voltage", "@GetStat1", "ON", "1500", "0", "green"},
        {"ON negative voltage", "_ChangedStat", "ON", "-1500", "0", "green"},
        {"ON at zero", "@GetStat1", "ON", "0", "0", "grey"},
        {"ON tiny, no tolerance", "@GetStat1", "ON", "0.001", "0", "green"},
        {"ON within tolerance", "@GetStat1", "ON", "0.5", "1", "grey"},
        {"ON at tolerance", "_ChangedStat", "ON", "-1", "1", "grey"},
        {"ON above tolerance", "@GetStat1", "ON", "1.5", "1", "green"},
        {"ON, voltage not a number", "@GetStat1", "ON", "---", "0", "grey"},
        {"OFF", "@GetStat1", "OFF", "1500", "0", "grey"},
        {"L2H", "_ChangedStat", "L2H", "500", "0", "yellow"},
        {"H2L", "@GetStat1", "H2L", "500", "0", "blue"},
        {"lower case", "@GetStat1", "on", "1500", "0", "red"},
        {"other word", "_ChangedStat", "TRIP", "0", "0", "red"},
        {"empty", "_ChangedStat", "", "0", "0", "red"},
        {"ON and a second word", "_ChangedStat", "ON now", "1500", "0", "red"},
        {"OFF, voltage not a number", "_ChangedStat", "OFF", "---", "0", "grey"}};
    for (const QStringList &c : colours) {
        const QString status = c.at(2).isEmpty() ? c.at(1) : c.at(1) + " " + c.at(2);
        const bool red = c.at(5) == QLatin1String("red");
        row("colour, " + c.at(0),
            {"tolerance:" + c.at(4), "reply:@GetV " + c.at(3), "reply:" + status}, none,
            {"colour:" + c.at(5), "voltage:" + c.at(3), "status:" + c.at(2),
             QStringLiteral("alerting:") + (red ? "1" : "0"),
             "alertText:" + (red ? c.at(2).simplified() : QString())});
    }
    row("no colour before a status", {"reply:@GetV 5"}, none, {"colour:none"});
    row("a value event recolours, a GetV reply does not",
        {"tolerance:1", "reply:@GetV 0.5", "reply:@GetStat1 ON", "reply:_ChangedValue 1500",
         "reply:@GetV 0"},
        none, {"colour:green", "voltage:0"});
    row("a small value event turns grey",
        {"tolerance:1", "reply:@GetStat1 ON", "reply:_ChangedValue 1500",
         "reply:_ChangedValue 0.2"},
        none, {"colour:grey"});

    // The usable maximum, whichever factor arrives first.
    const QList<QStringList> maxima = {
        {"maximum first", "@GetMaxV 3000V", "@GetVLimit 80", "2400"},
        {"limit first", "@GetVLimit 80", "@GetMaxV 3000V", "2400"},
        {"V in the limit", "@GetVLimit 80V", "@GetMaxV 3000V", "2400"},
        {"negative maximum", "@GetMaxV -3000", "@GetVLimit 80", "-2400"},
        {"fractional limit", "@GetMaxV 3000", "@GetVLimit 33.3", "999"},
        {"large", "@GetMaxV 3000000V", "@GetVLimit 41.1", "1.233e+06"},
        {"maximum not a number", "@GetMaxV high", "@GetVLimit 80", "0"},
        {"lower-case v is not dropped", "@GetMaxV 3000v", "@GetVLimit 80", "0"},
        {"maximum nan", "@GetMaxV nan", "@GetVLimit 80", "0"}};
    for (const QStringList &m : maxima) {
        row("maximum, " + m.at(0) + ", the first factor", {"reply:" + m.at(1)}, none, {"maxV:0"});
        row("maximum, " + m.at(0), {"reply:" + m.at(1), "reply:" + m.at(2)}, none,
            {"maxV:" + m.at(3)});
    }

    // Whether the module may be driven from here.
    for (const char *word : {"@IsControllable", "_ChangedOnOff"}) {
        const QString w = QLatin1String(word);
        row(w + " 1", {"reply:" + w + " 0", "reply:" + w + " 1"}, none, {"controllable:1"});
        row(w + " 0", {"reply:" + w + " 0"}, none, {"controllable:0"});
        row(w + " 2", {"reply:" + w + " 2"}, none, {"controllable:0"});
        row(w + " not an integer", {"reply:" + w + " 1.0"}, none, {"controllable:0"});
        row(w + " empty", {"reply:" + w}, none, {"controllable:0"});
    }

    // The ramp rate as reported, sent as shown.
    row("ramp rate reply and event",
        {"ramp:99", "reply:@GetRamp 20", "reply:_ChangedRampRate 30 V/s", "reply:@GetStat1 ON",
         "start"},
        {line("SetRamp 99"), line("SetRamp 30 V/s"), line("SetV 1000")}, {"ramp:30 V/s"});

    // A restore only fills the set voltage in: nothing is sent.
    row("a restore fills the set voltage in", {"reply:@GetStat1 ON", "fill:200"}, none,
        {"setv:200", "applied:0"});

    // Replies and events addressed to another sub-name, even from the same
    // module node, change nothing.
    QStringList others;
    for (const QString &to : {QStringLiteral("Brenlow.hv2"), QStringLiteral("Brenlow.HV1"),
                              QStringLiteral("Brenlow"), QStringLiteral("Brenlow.hv1x")}) {
        const QString head = QStringLiteral("raw:hvps.2>") + to + QLatin1Char(' ');
        others << head + "@GetMaxV 3000V" << head + "@GetVLimit 80" << head + "@GetV 5"
               << head + "@GetStat1 ON" << head + "@GetRamp 99" << head + "@IsControllable 0"
               << head + "_ChangedOnOff 0" << head + "_ChangedStat H2L" << head + "_ChangedValue 7"
               << head + "_ChangedRampRate 77";
    }
    row("messages for another id", others, none,
        {"maxV:", "voltage:", "status:", "ramp:15", "colour:none", "controllable:1"});
}

void tst_HvDevice::exchange()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, states);

    makeDevice();
    connectAndSettle();
    if (std::any_of(states.cbegin(), states.cend(),
                    [](const QString &s) { return s.startsWith("refused:1"); }))
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^hv1: SetV .* refused: above the "
                                                            "usable maximum of .* V$"));
    for (const QString &step : steps)
        QVERIFY2(perform(step), qPrintable(step));
    QCOMPARE(sentLines(), expected);
    for (const QString &state : states)
        QVERIFY2(holds(state), qPrintable(state));
}

void tst_HvDevice::voltageList()
{
    HvDevice empty;
    empty.setVoltageList({});
    QCOMPARE(empty.setV().entries, QStringList{"0"});
    empty.selectVoltage(QStringLiteral("5"));
    QCOMPARE(empty.setV().index, 0);

    HvDevice hv;
    hv.setVoltageList({QStringLiteral("500"), QStringLiteral("1000"), QStringLiteral("1500V")});
    hv.setVoltageList({QStringLiteral("2000")}); // appended, nothing removed
    QCOMPARE(hv.setV().entries.size(), 4);
    QCOMPARE(hv.setV().entries.at(3), QStringLiteral("2000"));
    hv.selectVoltage(QStringLiteral("1000"));
    QCOMPARE(hv.setV().index, 1);
    hv.selectVoltage(QStringLiteral("1500v")); // case-sensitive: no match
    QCOMPARE(hv.setV().index, 0);
    hv.selectVoltage(QStringLiteral("100")); // whole text only
    QCOMPARE(hv.setV().index, 0);
    hv.selectVoltage(QStringLiteral("2000"));
    QCOMPARE(hv.setV().text, QStringLiteral("2000"));

    // A box that takes no typed values fills in an entry of the text only.
    hv.setVoltageEditable(false);
    QVERIFY(hv.fillSetV(QStringLiteral("500")));
    QCOMPARE(hv.setV().index, 0);
    QVERIFY(!hv.fillSetV(QStringLiteral("700")));
    QCOMPARE(hv.setV().text, QStringLiteral("500"));
}

// A device that never got a client stays silent through every operator
// action; the connected client of another device shows that nothing left it.
void tst_HvDevice::withoutClient()
{
    QVERIFY(connectClient(*client));
    server->clearLines();

    HvDevice alone;
    alone.address() = {QStringLiteral("hv1"), QStringLiteral("hvps"), QString()};
    alone.setVoltageList({QStringLiteral("1000")});
    SMsg msg;
    msg.toSub = QStringLiteral("hv1");
    msg.params = QStringLiteral("1");
    alone.AnsIsControllable(msg);
    msg.params = QStringLiteral("ON");
    alone.AnsGetStat1(msg);
    QVERIFY(alone.isControllable());

    alone.hvOnOff();
    QVERIFY(!alone.state().vApplied);
    alone.takeSetV(alone.setV().entries, 0, QStringLiteral("1200"));
    alone.newSetV();
    alone.takeRampText(QStringLiteral("5"));
    alone.newRampRate();
    alone.hvOnOff();
    QVERIFY(!alone.state().vApplied);
    QCOMPARE(sentLines(), QStringList{});
}

void tst_HvDevice::alarmConditions_data()
{
    // Station keys, and keys of the module's section.
    QTest::addColumn<QByteArray>("station");
    QTest::addColumn<QByteArray>("module");
    // "status W" and "volts V" (the module's events), "set V" (typed and
    // applied with Start), "down" (Start again: ramped down), "wait MS"
    // (the clock moves on), "silence" (the start queries go unanswered past
    // the answer timeout), "answer" (the module says something).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transitions");

    const QStringList applied{"status ON", "set 1500"};
    const QByteArray quick = "Answer Timeout=0.05\n";

    QTest::newRow("fault at once")
        << QByteArray() << QByteArray() << QStringList{"status ON", "status TRIP"}
        << QStringList{"raised hv-fault TRIP"};
    QTest::newRow("fault clears") << QByteArray() << QByteArray()
                                  << QStringList{"status TRIP", "status OFF"}
                                  << QStringList{"raised hv-fault TRIP", "cleared hv-fault"};
    QTest::newRow("working statuses are no fault")
        << QByteArray() << QByteArray()
        << QStringList{"status OFF", "status L2H", "status H2L", "status ON"} << QStringList{};
    // The Start button turns red for want of a word, but nothing is known to
    // be wrong.
    QTest::newRow("an empty status is no fault")
        << QByteArray() << QByteArray() << QStringList{"status ON", "status ", "status OFF"}
        << QStringList{};
    QTest::newRow("a voltage before any status is no fault")
        << QByteArray() << QByteArray() << QStringList{"volts 12", "status TRIP"}
        << QStringList{"raised hv-fault TRIP"};
    QTest::newRow("fault turned off") << QByteArray() << QByteArray("Alarms=hv-deviation, silent\n")
                                      << QStringList{"status TRIP"} << QStringList{};
    QTest::newRow("deviation waits for the delay")
        << QByteArray() << QByteArray() << applied + QStringList{"volts 1400", "wait 4999"}
        << QStringList{};
    QTest::newRow("deviation when the delay is up")
        << QByteArray() << QByteArray()
        << applied + QStringList{"volts 1400", "wait 4999", "wait 1"}
        << QStringList{"raised hv-deviation 1400 V (set 1500 V)"};
    QTest::newRow("a delay of the station's own")
        << QByteArray("Alarm Delay=0\n") << QByteArray() << applied + QStringList{"volts 1400"}
        << QStringList{"raised hv-deviation 1400 V (set 1500 V)"};
    QTest::newRow("no voltage read yet, nothing to compare")
        << QByteArray("Alarm Delay=0\n") << QByteArray() << applied + QStringList{"wait 9000"}
        << QStringList{};
    QTest::newRow("back within tolerance clears it")
        << QByteArray() << QByteArray()
        << applied + QStringList{"volts 1400", "wait 6000", "volts 1490"}
        << QStringList{"raised hv-deviation 1400 V (set 1500 V)", "cleared hv-deviation"};
    QTest::newRow("a break starts the delay anew")
        << QByteArray() << QByteArray()
        << applied + QStringList{"volts 1400", "wait 4000", "volts 1500", "volts 1400", "wait 4000"}
        << QStringList{};
    QTest::newRow("5 % of the set voltage is within")
        << QByteArray() << QByteArray() << applied + QStringList{"volts 1425", "wait 60000"}
        << QStringList{};
    QTest::newRow("a tolerance in volts") << QByteArray("HV Tolerance=20\n") << QByteArray()
                                          << applied + QStringList{"volts 1475", "wait 5000"}
                                          << QStringList{"raised hv-deviation 1475 V (set 1500 V)"};
    QTest::newRow("never closer than the module's own tolerance")
        << QByteArray() << QByteArray("Voltage Tolerance=100\n")
        << applied + QStringList{"volts 1420", "wait 9000"} << QStringList{};
    QTest::newRow("a negative module by magnitude")
        << QByteArray() << QByteArray() << applied + QStringList{"volts -1500.0", "wait 9000"}
        << QStringList{};
    QTest::newRow("ramping is no deviation")
        << QByteArray() << QByteArray()
        << applied + QStringList{"status L2H", "volts 300", "wait 9000"} << QStringList{};
    QTest::newRow("nothing applied, nothing to compare")
        << QByteArray() << QByteArray() << QStringList{"status ON", "volts 1000", "wait 9000"}
        << QStringList{};
    QTest::newRow("ramped down, nothing to compare")
        << QByteArray() << QByteArray() << applied + QStringList{"down", "volts 0", "wait 9000"}
        << QStringList{};
    QTest::newRow("a fault is no deviation")
        << QByteArray() << QByteArray()
        << applied + QStringList{"volts 0", "status TRIP", "wait 9000"}
        << QStringList{"raised hv-fault TRIP"};
    QTest::newRow("deviation turned off")
        << QByteArray() << QByteArray("Alarms=hv-fault\n")
        << applied + QStringList{"volts 1000", "wait 9000"} << QStringList{};
    QTest::newRow("silent, and answering again")
        << quick << QByteArray() << QStringList{"silence", "answer"}
        << QStringList{"raised silent hvps.2", "cleared silent"};
    QTest::newRow("silence turned off")
        << quick << QByteArray("Alarms=hv-fault\n") << QStringList{"silence", "status TRIP"}
        << QStringList{"raised hv-fault TRIP"};
    QTest::newRow("all turned off")
        << quick << QByteArray("Alarms=off\n")
        << QStringList{"silence"} + applied + QStringList{"volts 1000", "wait 9000", "status TRIP"}
        << QStringList{};
}

// The module's own device, made by the station from its file, reports what
// it hears on the wire to the station's alarm list.
void tst_HvDevice::alarmConditions()
{
    QFETCH(QByteArray, station);
    QFETCH(QByteArray, module);
    QFETCH(QStringList, steps);

    AlarmStation run(*server, *dir,
                     station + "HV Module Names=HV I1\n[HV I1]\nid=hv1\ndriver=hvps\nch=2\n" +
                         module);
    QVERIFY(run.connect());
    auto *hv = qobject_cast<HvDevice *>(run.devices().devices().value(0));
    QVERIFY(hv);
    const QString from = QStringLiteral("hvps.2>Brenlow.hv1 ");
    for (const QString &step : qAsConst(steps)) {
        const QString word = step.section(QLatin1Char(' '), 0, 0);
        const QString arg = step.section(QLatin1Char(' '), 1);
        if (word == QLatin1String("status")) {
            QVERIFY(run.deliver({from + QStringLiteral("_ChangedStat ") + arg}));
        } else if (word == QLatin1String("volts")) {
            QVERIFY(run.deliver({from + QStringLiteral("_ChangedValue ") + arg}));
        } else if (word == QLatin1String("set")) {
            hv->takeSetV(hv->setV().entries, hv->setV().index, arg);
            hv->hvOnOff();
            QVERIFY(hv->state().vApplied);
        } else if (word == QLatin1String("down")) {
            hv->hvOnOff();
            QVERIFY(!hv->state().vApplied);
        } else if (word == QLatin1String("wait")) {
            run.wait(arg.toLongLong());
        } else if (word == QLatin1String("silence")) {
            QTRY_VERIFY(hv->answerWatch()->isSilent());
        } else if (word == QLatin1String("answer")) {
            QVERIFY(run.deliver({from + QStringLiteral("@GetRamp 15")}));
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
    QTEST(run.transitions(), "transitions");
}

QTEST_MAIN(tst_HvDevice)
#include "tst_hvdevice.moc"
