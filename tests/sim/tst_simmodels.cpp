// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's parts that need no sockets: the device models, driven step
// by step, the command line and the station file.

#include "TestSupport.h"
#include "sim/AmplifierModel.h"
#include "sim/HvModel.h"
#include "sim/SimOptions.h"
#include "sim/StationConfig.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString DefaultStatus = QStringLiteral("CA5350A0B0C0H0I1J0K0M0N1P0R0S0T5W0Y0Z0");

QString run(SimDevice &device, const QString &line, DeviceEvents *events = nullptr)
{
    DeviceEvents local;
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString params = line.section(QLatin1Char(' '), 1);
    return device.handle(command, params, events ? *events : local);
}

QStringList texts(const DeviceEvents &events)
{
    QStringList out;
    for (const DeviceEvent &e : events)
        out.append(e.params.isEmpty() ? e.word : e.word + QLatin1Char(' ') + e.params);
    return out;
}

// Runs steps on a device: "+S" lets S seconds pass, anything else is a
// request. Returns every event raised, in order.
QStringList play(SimDevice &device, const QStringList &steps)
{
    QStringList seen;
    for (const QString &step : steps) {
        DeviceEvents events;
        if (step.startsWith(QLatin1Char('+')))
            device.advance(step.mid(1).toDouble(), events);
        else
            run(device, step, &events);
        seen += texts(events);
    }
    return seen;
}

} // namespace

class TestSimModels : public QObject
{
    Q_OBJECT

private slots:
    void amplifierStatus_data();
    void amplifierStatus();
    void amplifierErrors_data();
    void amplifierErrors();
    void amplifierRange();
    void amplifierOverload();
    void amplifierDrift();
    void hvRamp();
    void hvReplies_data();
    void hvReplies();
    void hvLimitsAndRejects();
    void hvOutputSwitch();
    void hvPolarity_data();
    void hvPolarity();
    void hvFault_data();
    void hvFault();
    void amplifierBurst_data();
    void amplifierBurst();
    void faultOptions_data();
    void faultOptions();
    void options_data();
    void options();
    void numberOptions();
    void muteOption_data();
    void muteOption();
    void station();
    void stationNodes();
    void keyWords();
};

void TestSimModels::amplifierStatus_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("status");

    QTest::newRow("factory") << QStringList() << DefaultStatus;
    QTest::newRow("back light off")
        << QStringList{"SetBacklight 2"} << "CA5350A2B0C0H0I1J0K0M0N1P0R0S0T5W0Y0Z0";
    QTest::newRow("bias zero check front input")
        << QStringList{"SetVoltageBias 1", "SetZeroCheck 1", "SelectInput 0"}
        << "CA5350A0B1C1H0I0J0K0M0N1P0R0S0T5W0Y0Z0";
    QTest::newRow("filter auto, no suppression")
        << QStringList{"SetFilter 1", "SetAutoFilter 1", "SetCurrentSurpression 0"}
        << "CA5350A0B0C0H0I1J0K0M0N0P1R0S0T5W0Y0Z1";
    QTest::newRow("time constant dot")
        << QStringList{"SetFilterDuration 0.0001"} << "CA5350A0B0C0H0I1J0K0M0N1P0R0S0T.W0Y0Z0";
    QTest::newRow("time constant slash")
        << QStringList{"SetFilterDuration 0.0003"} << "CA5350A0B0C0H0I1J0K0M0N1P0R0S0T/W0Y0Z0";
    QTest::newRow("time constant 10 s is code 9")
        << QStringList{"SetFilterDuration 10"} << "CA5350A0B0C0H0I1J0K0M0N1P0R0S0T9W0Y0Z0";
    QTest::newRow("time constant nearest")
        << QStringList{"SetFilterDuration 0.011"} << "CA5350A0B0C0H0I1J0K0M0N1P0R0S0T2W0Y0Z0";
    QTest::newRow("restore") << QStringList{"SetBacklight 1", "SetFilter 1", "SetZeroCheck 1",
                                            "RestorConfig 2"}
                             << DefaultStatus;
    QTest::newRow("rejected argument keeps state")
        << QStringList{"SetBacklight 3", "SetZeroCheck x"} << DefaultStatus;
}

void TestSimModels::amplifierStatus()
{
    QFETCH(QStringList, commands);
    QFETCH(QString, status);
    AmplifierModel amp(QStringLiteral("ca5350.i0"));
    for (const QString &c : commands)
        run(amp, c);
    QCOMPARE(run(amp, QStringLiteral("GetStatus")), status);
}

void TestSimModels::amplifierErrors_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("position");

    QTest::newRow("unknown command") << "Frobnicate 1" << 0;
    QTest::newRow("range not offered") << "SetRange 2e-6" << 1;
    QTest::newRow("range not a number") << "SetRange abc" << 1;
    QTest::newRow("zero check 2") << "SetZeroCheck 2" << 1;
    QTest::newRow("negative time constant") << "SetFilterDuration -1" << 1;
    QTest::newRow("bias out of range") << "SetVoltageBiasRange 50" << 1;
    QTest::newRow("suppression too large") << "SetCurrentSurpressionValue 1" << 4;
    QTest::newRow("suppression not a number") << "SetCurrentSurpressionValue x" << 4;
}

void TestSimModels::amplifierErrors()
{
    QFETCH(QString, command);
    QFETCH(int, position);
    AmplifierModel amp(QStringLiteral("ca5350.i0"));
    QCOMPARE(run(amp, QStringLiteral("GetErrorStatus")), QStringLiteral("CA53500000000000"));
    QVERIFY(run(amp, command).startsWith(QLatin1String("Er: ")));

    const QString text = run(amp, QStringLiteral("GetErrorStatus"));
    QCOMPARE(text.size(), 16);
    QVERIFY(text.startsWith(QLatin1String("CA5350")));
    for (int i = 0; i < 10; ++i)
        QCOMPARE(text.at(6 + i), i == position ? QLatin1Char('1') : QLatin1Char('0'));
    // Reading the error status clears a latched command error.
    QCOMPARE(run(amp, QStringLiteral("GetErrorStatus")), QStringLiteral("CA53500000000000"));
}

void TestSimModels::amplifierRange()
{
    // The range table as a station file writes it.
    AmplifierModel amp(QStringLiteral("ca5350.i0"), QStringList(),
                       {QStringLiteral("1e-5"), QStringLiteral("1e-6"), QStringLiteral("1e-7")});
    DeviceEvents events;
    QCOMPARE(run(amp, QStringLiteral("SetRange 1e-6"), &events), QStringLiteral("Ok: 1e-06"));
    QCOMPARE(texts(events), QStringList{"_RangeChanged 1e-06"});
    QCOMPARE(run(amp, QStringLiteral("GetRange")).toDouble(), QStringLiteral("1e-6").toDouble());

    events.clear();
    QCOMPARE(run(amp, QStringLiteral("SetRange 0.000001"), &events), QStringLiteral("Ok: 1e-06"));
    QVERIFY2(events.isEmpty(), "the same range again changes nothing");

    QVERIFY(run(amp, QStringLiteral("SetRange 1e-3"), &events).startsWith(QLatin1String("Er:")));
    QVERIFY(events.isEmpty());
    QCOMPARE(run(amp, QStringLiteral("GetRange")), QStringLiteral("1e-06"));
}

void TestSimModels::amplifierOverload()
{
    AmplifierModel amp(QStringLiteral("ca5350.i0"), QStringList(), QStringList(), 3e-9);
    QCOMPARE(run(amp, QStringLiteral("GetSRQ")), QStringLiteral("0"));

    DeviceEvents events;
    run(amp, QStringLiteral("SetRange 1e-10"), &events);
    QCOMPARE(texts(events), (QStringList{"_RangeChanged 1e-10", "_SRQChanged 1"}));
    QCOMPARE(run(amp, QStringLiteral("GetErrorStatus")).right(1), QStringLiteral("1"));

    // With the input shorted nothing reaches the range.
    events.clear();
    run(amp, QStringLiteral("SetZeroCheck 1"), &events);
    QCOMPARE(texts(events), QStringList{"_SRQChanged 0"});
    events.clear();
    run(amp, QStringLiteral("SetZeroCheck 0"), &events);
    QCOMPARE(texts(events), QStringList{"_SRQChanged 1"});

    // Suppression takes nearly all of the current away.
    events.clear();
    run(amp, QStringLiteral("SetCurrentSurpressionValue 2.95e-9"), &events);
    QCOMPARE(texts(events), QStringList{"_SRQChanged 0"});
    QCOMPARE(run(amp, QStringLiteral("GetCurrentSurpressionValue")), QStringLiteral("2.95e-09"));
    // ... but a suppression value above the range is reported.
    QCOMPARE(run(amp, QStringLiteral("GetErrorStatus")).mid(6), QStringLiteral("0000010000"));

    // A cleared mask silences the events; the state is still reported.
    events.clear();
    run(amp, QStringLiteral("SetSRQMask 00"), &events);
    run(amp, QStringLiteral("SetCurrentSurpression 0"), &events);
    QVERIFY(events.isEmpty());
    QCOMPARE(run(amp, QStringLiteral("GetSRQ")), QStringLiteral("1"));
    QVERIFY(amp.overloaded());
}

void TestSimModels::amplifierDrift()
{
    // A current right at the range: the drift takes it over and back.
    AmplifierModel amp(QStringLiteral("ca5350.i0"), QStringList(), QStringList(), 1e-8, 0);
    QCOMPARE(amp.range(), 1e-8);
    QVERIFY(!amp.overloaded());
    QStringList seen;
    for (int step = 0; step < 200; ++step) {
        DeviceEvents events;
        amp.advance(0.25, events);
        seen += texts(events);
    }
    QVERIFY2(seen.size() >= 2, qPrintable(seen.join(QLatin1Char(','))));
    QCOMPARE(seen.at(0), QStringLiteral("_SRQChanged 1"));
    QCOMPARE(seen.at(1), QStringLiteral("_SRQChanged 0"));
}

void TestSimModels::hvRamp()
{
    HvModel hv(QStringLiteral("hvps.1"), 0, 100);
    QCOMPARE(hv.status(), QStringLiteral("ON"));
    DeviceEvents events;
    QCOMPARE(run(hv, QStringLiteral("SetV 250"), &events), QStringLiteral("Ok: 250.0"));
    QCOMPARE(texts(events), (QStringList{"_ChangedSetValue 250.0", "_ChangedStat L2H"}));

    QStringList seen;
    for (int step = 0; step < 4; ++step) {
        events.clear();
        hv.advance(1.0, events);
        seen += texts(events);
    }
    QCOMPARE(seen, (QStringList{"_ChangedValue 100.0", "_ChangedValue 200.0", "_ChangedValue 250.0",
                                "_ChangedStat ON"}));
    QCOMPARE(run(hv, QStringLiteral("GetV")), QStringLiteral("250.0"));

    events.clear();
    run(hv, QStringLiteral("SetV 0"), &events);
    QCOMPARE(texts(events), (QStringList{"_ChangedSetValue 0.0", "_ChangedStat H2L"}));
    QCOMPARE(run(hv, QStringLiteral("GetStat1")), QStringLiteral("H2L"));
    events.clear();
    hv.advance(10.0, events);
    QCOMPARE(texts(events), (QStringList{"_ChangedValue 0.0", "_ChangedStat ON"}));
    events.clear();
    hv.advance(1.0, events);
    QVERIFY2(events.isEmpty(), "a settled module raises nothing");
    // Unless it is told to report on every tick (the soak test's event load).
    hv.setSteadyReports(true);
    hv.advance(0.1, events);
    QCOMPARE(texts(events), (QStringList{"_ChangedValue 0.0"}));
}

void TestSimModels::hvReplies_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reply");

    QTest::newRow("GetMaxV") << "GetMaxV"
                             << "3000V";
    QTest::newRow("GetVLimit") << "GetVLimit"
                               << "80";
    QTest::newRow("GetV") << "GetV"
                          << "1500.0";
    QTest::newRow("GetSetV") << "GetSetV"
                             << "1500.0";
    QTest::newRow("GetRamp") << "GetRamp"
                             << "25";
    QTest::newRow("GetStat1") << "GetStat1"
                              << "ON";
    QTest::newRow("IsControllable") << "IsControllable"
                                    << "1";
    QTest::newRow("unknown") << "Explode"
                             << "Er: unknown command Explode";
}

void TestSimModels::hvReplies()
{
    QFETCH(QString, command);
    QFETCH(QString, reply);
    HvModel hv(QStringLiteral("hvps.1"), 1500, 25);
    QCOMPARE(run(hv, command), reply);
}

void TestSimModels::hvLimitsAndRejects()
{
    HvModel hv(QStringLiteral("hvps.1"), 0, 100);
    DeviceEvents events;
    QCOMPARE(run(hv, QStringLiteral("SetV 5000"), &events),
             QStringLiteral("Ok: limited to 2400.0"));
    QCOMPARE(hv.target(), 2400.0);
    // A negative value names its sign, also on a positive module.
    run(hv, QStringLiteral("SetV -500"));
    QCOMPARE(hv.target(), -500.0);

    for (const char *bad : {"SetRamp 0", "SetRamp -5", "SetRamp fast", "SetRamp", "SetV lots"})
        QVERIFY2(run(hv, QString::fromLatin1(bad)).startsWith(QLatin1String("Er: ")), bad);
    QCOMPARE(hv.rampRate(), 100.0);
    QCOMPARE(hv.target(), -500.0);
}

void TestSimModels::hvOutputSwitch()
{
    HvModel hv(QStringLiteral("hvps.1"), 800, 100);
    DeviceEvents events;
    run(hv, QStringLiteral("SetOnOff 0"), &events);
    QCOMPARE(texts(events),
             (QStringList{"_ChangedOnOff 0", "_ChangedValue 0.0", "_ChangedStat OFF"}));
    QCOMPARE(run(hv, QStringLiteral("IsControllable")), QStringLiteral("0"));
    QVERIFY(run(hv, QStringLiteral("SetV 100")).startsWith(QLatin1String("Er: ")));

    events.clear();
    run(hv, QStringLiteral("SetOnOff 1"), &events);
    QCOMPARE(texts(events), (QStringList{"_ChangedOnOff 1", "_ChangedStat ON"}));
    QCOMPARE(run(hv, QStringLiteral("GetV")), QStringLiteral("0.0"));
}

void TestSimModels::hvPolarity_data()
{
    QTest::addColumn<bool>("negative");
    QTest::addColumn<double>("start");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("settled");

    // The panel sends magnitudes: a negative module takes them as negative.
    QTest::newRow("negative module, magnitude")
        << true << 0.0 << "SetV 150" << QStringList{"_ChangedSetValue -150.0", "_ChangedStat L2H"}
        << "-150.0";
    QTest::newRow("negative module, signed value")
        << true << 0.0 << "SetV -150" << QStringList{"_ChangedSetValue -150.0", "_ChangedStat L2H"}
        << "-150.0";
    QTest::newRow("negative module, down to 0")
        << true << 100.0 << "SetV 0" << QStringList{"_ChangedSetValue 0.0", "_ChangedStat H2L"}
        << "0.0";
    QTest::newRow("positive module, signed value")
        << false << 0.0 << "SetV -150" << QStringList{"_ChangedSetValue -150.0", "_ChangedStat L2H"}
        << "-150.0";
    QTest::newRow("positive module, across 0")
        << false << 100.0 << "SetV -50" << QStringList{"_ChangedSetValue -50.0", "_ChangedStat H2L"}
        << "-50.0";
    QTest::newRow("negative module, limit")
        << true << 0.0 << "SetV 5000" << QStringList{"_ChangedSetValue -2400.0", "_ChangedStat L2H"}
        << "-2400.0";
}

void TestSimModels::hvPolarity()
{
    QFETCH(bool, negative);
    QFETCH(double, start);
    QFETCH(QString, command);
    QFETCH(QStringList, events);
    QFETCH(QString, settled);
    HvModel hv(QStringLiteral("hvps.1"), start, 1000, true,
               negative ? HvModel::Negative : HvModel::Positive);
    QCOMPARE(run(hv, QStringLiteral("GetV")),
             QString::number(negative && start != 0 ? -start : start, 'f', 1));
    DeviceEvents seen;
    run(hv, command, &seen);
    QCOMPARE(texts(seen), events);
    seen.clear();
    hv.advance(10.0, seen);
    QCOMPARE(texts(seen), (QStringList{"_ChangedValue " + settled, "_ChangedStat ON"}));
    QCOMPARE(run(hv, QStringLiteral("GetV")), settled);
}

void TestSimModels::hvFault_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<double>("lasts");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("status");

    QTest::newRow("not yet") << "TRIP" << 0.0 << QStringList{"+0.5", "+0.4"} << QStringList{}
                             << "ON";
    QTest::newRow("trips and stays") << "TRIP" << 0.0 << QStringList{"+0.5", "+0.6", "+100"}
                                     << QStringList{"_ChangedStat TRIP"} << "TRIP";
    QTest::newRow("lasts, then recovers")
        << "TRIP" << 2.0 << QStringList{"+1", "+1", "+1"}
        << QStringList{"_ChangedStat TRIP", "_ChangedStat ON"} << "ON";
    // The output moves on under the fault; its own statuses stay hidden
    // until the fault ends.
    QTest::newRow("ramping under the fault")
        << "ILK" << 0.0 << QStringList{"SetV 150", "+1", "+1"}
        << QStringList{"_ChangedSetValue 150.0", "_ChangedStat L2H", "_ChangedStat ILK",
                       "_ChangedValue 100.0", "_ChangedValue 150.0"}
        << "ILK";
    // Reset first, then on its way to the new voltage.
    QTest::newRow("a set voltage resets it")
        << "TRIP" << 0.0 << QStringList{"+1", "SetV 100"}
        << QStringList{"_ChangedStat TRIP", "_ChangedStat ON", "_ChangedSetValue 100.0",
                       "_ChangedStat L2H"}
        << "L2H";
    QTest::newRow("switching off resets it") << "TRIP" << 0.0 << QStringList{"+1", "SetOnOff 0"}
                                             << QStringList{"_ChangedStat TRIP", "_ChangedStat ON",
                                                            "_ChangedOnOff 0", "_ChangedStat OFF"}
                                             << "OFF";
    QTest::newRow("a word the module has already")
        << "ON" << 0.0 << QStringList{"+2"} << QStringList{} << "ON";
}

// A scheduled fault at 1 s of the module's time: what the module reports.
void TestSimModels::hvFault()
{
    QFETCH(QString, word);
    QFETCH(double, lasts);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    HvModel hv(QStringLiteral("hvps.2"), 0, 100);
    hv.scheduleFault(word, 1.0, lasts);
    QCOMPARE(play(hv, steps), events);
    QTEST(hv.status(), "status");
    QTEST(run(hv, QStringLiteral("GetStat1")), "status");
}

void TestSimModels::amplifierBurst_data()
{
    QTest::addColumn<double>("lasts");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("overloaded");

    QTest::newRow("not yet") << 0.0 << QStringList{"+1.9"} << QStringList{} << false;
    QTest::newRow("for good") << 0.0 << QStringList{"+2", "+100"} << QStringList{"_SRQChanged 1"}
                              << true;
    QTest::newRow("for a while") << 3.0 << QStringList{"+2", "+2", "+1"}
                                 << QStringList{"_SRQChanged 1", "_SRQChanged 0"} << false;
    QTest::newRow("a range large enough holds it")
        << 0.0 << QStringList{"+2", "SetRange 1e-3"}
        << QStringList{"_SRQChanged 1", "_RangeChanged 0.001", "_SRQChanged 0"} << false;
    QTest::newRow("one decade up is not enough")
        << 0.0 << QStringList{"+2", "SetRange 1e-7"}
        << QStringList{"_SRQChanged 1", "_RangeChanged 1e-07"} << true;
    QTest::newRow("zero check takes it away")
        << 0.0 << QStringList{"+2", "SetZeroCheck 1"}
        << QStringList{"_SRQChanged 1", "_SRQChanged 0"} << false;
}

// A burst of the chamber's current at 2 s of the device's time, on a
// current that sits well inside its range.
void TestSimModels::amplifierBurst()
{
    QFETCH(double, lasts);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    AmplifierModel amp(QStringLiteral("ca5350.i0"), QStringList(), QStringList(), 3e-9);
    amp.scheduleOverload(2.0, lasts);
    QCOMPARE(play(amp, steps), events);
    QTEST(amp.overloaded(), "overloaded");
}

void TestSimModels::faultOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    // node word at lasts, one per fault, then one per overload
    QTest::addColumn<QStringList>("faults");

    QTest::newRow("none") << QStringList{} << true << QStringList{};
    QTest::newRow("a trip") << QStringList{"--fault", "hvps.2=TRIP@5"} << true
                            << QStringList{"hvps.2 TRIP 5 0"};
    QTest::newRow("a trip that lasts") << QStringList{"--fault", "hvps.2=TRIP@5+12.5"} << true
                                       << QStringList{"hvps.2 TRIP 5 12.5"};
    QTest::newRow("repeated, with an overload")
        << QStringList{"--fault",       "hvps.1=ILK@0", "--overload",
                       "ca5350.i0@3+1", "--fault",      "hvps.2=TRIP@7"}
        << true << QStringList{"hvps.1 ILK 0 0", "hvps.2 TRIP 7 0", "ca5350.i0  3 1"};
    QTest::newRow("no time") << QStringList{"--fault", "hvps.2=TRIP"} << false << QStringList{};
    QTest::newRow("no word") << QStringList{"--fault", "hvps.2@5"} << false << QStringList{};
    QTest::newRow("empty word") << QStringList{"--fault", "hvps.2=@5"} << false << QStringList{};
    QTest::newRow("no node") << QStringList{"--fault", "=TRIP@5"} << false << QStringList{};
    QTest::newRow("negative time")
        << QStringList{"--fault", "hvps.2=TRIP@-1"} << false << QStringList{};
    QTest::newRow("lasting 0") << QStringList{"--fault", "hvps.2=TRIP@1+0"} << false
                               << QStringList{};
    QTest::newRow("time not a number")
        << QStringList{"--overload", "ca5350.i0@soon"} << false << QStringList{};
    QTest::newRow("an overload with a word")
        << QStringList{"--overload", "ca5350.i0=OVER@1"} << false << QStringList{};
}

void TestSimModels::faultOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    SimOptions options;
    QString error;
    QCOMPARE(options.parse(QStringList{QStringLiteral("tesra-sim")} + arguments, error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!valid)
        return;
    QStringList seen;
    for (const SimFault &f : options.faults + options.overloads)
        seen.append(QStringLiteral("%1 %2 %3 %4").arg(f.node, f.word).arg(f.at).arg(f.lasts));
    QTEST(seen, "faults");
}

void TestSimModels::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");

    QTest::newRow("defaults") << QStringList() << true << "127.0.0.1" << -1;
    QTest::newRow("free port") << QStringList{"--port", "0"} << true << "127.0.0.1" << 0;
    QTest::newRow("other loopback")
        << QStringList{"--address", "127.0.0.2", "-p", "7000"} << true << "127.0.0.2" << 7000;
    QTest::newRow("ipv6 loopback") << QStringList{"--address", "::1"} << true << "::1" << -1;
    QTest::newRow("localhost") << QStringList{"--address", "localhost"} << true << "127.0.0.1"
                               << -1;
    QTest::newRow("private address refused")
        << QStringList{"--address", "192.168.1.10"} << false << "" << 0;
    QTest::newRow("any address refused") << QStringList{"--address", "0.0.0.0"} << false << "" << 0;
    QTest::newRow("host name refused")
        << QStringList{"--address", "example.org"} << false << "" << 0;
    QTest::newRow("port too large") << QStringList{"--port", "70000"} << false << "" << 0;
    QTest::newRow("port not a number") << QStringList{"--port", "x"} << false << "" << 0;
    QTest::newRow("negative quit time") << QStringList{"--quit-after", "-1"} << false << "" << 0;
    QTest::newRow("zero ramp") << QStringList{"--hv-ramp", "0"} << false << "" << 0;
    QTest::newRow("ramp target") << QStringList{"--hv-target", "1500"} << true << "127.0.0.1" << -1;
    QTest::newRow("negative ramp target") << QStringList{"--hv-target", "-5"} << false << "" << 0;
    QTest::newRow("drops and refusals")
        << QStringList{"--drop-every", "5", "--refuse-for", "1.5"} << true << "127.0.0.1" << -1;
    QTest::newRow("drop every 0") << QStringList{"--drop-every", "0"} << false << "" << 0;
    QTest::newRow("drop every not a number")
        << QStringList{"--drop-every", "often"} << false << "" << 0;
    QTest::newRow("event rate 0") << QStringList{"--hv-events", "0"} << false << "" << 0;
    QTest::newRow("negative refusal") << QStringList{"--refuse-for", "-1"} << false << "" << 0;
    QTest::newRow("stray argument") << QStringList{"extra"} << false << "" << 0;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << false << "" << 0;
}

void TestSimModels::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    SimOptions options;
    QString error;
    QCOMPARE(options.parse(QStringList{QStringLiteral("tesra-sim")} + arguments, error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (valid) {
        QTEST(options.address, "address");
        QTEST(options.port, "port");
    }
}

// Each numeric option lands in its own field; distinct values show a mix-up.
void TestSimModels::numberOptions()
{
    SimOptions options;
    QString error;
    QVERIFY2(options.parse({"tesra-sim", "--quit-after", "1", "--drop-every", "2", "--refuse-for",
                            "3", "--hv-voltage", "4", "--hv-ramp", "5", "--hv-target", "6",
                            "--hv-events", "7"},
                           error),
             qPrintable(error));
    QCOMPARE(options.quitAfter, 1.0);
    QCOMPARE(options.dropEvery, 2.0);
    QCOMPARE(options.refuseFor, 3.0);
    QCOMPARE(options.hvVoltage, 4.0);
    QCOMPARE(options.hvRampRate, 5.0);
    QCOMPARE(options.hvTarget, 6.0);
    QCOMPARE(options.hvEventRate, 7.0);
}

void TestSimModels::station()
{
    StationConfig station;
    QString error;
    QVERIFY2(station.read(QStringLiteral(BRENLOW_SOURCE_DIR "/examples/station.ini"), error),
             qPrintable(error));
    QCOMPARE(station.keyFile, QStringLiteral("examples/Brenlow"));
    QCOMPARE(station.port, QStringLiteral("6058"));
    QStringList nodes;
    for (const StationDevice &d : station.devices)
        nodes.append(QString::number(d.kind) + QLatin1Char(':') + d.node);
    QCOMPARE(nodes, (QStringList{"0:ca5350.i0", "0:ca5350.i1", "0:ca5350.it", "0:ca5350.if",
                                 "1:hvps.1", "1:hvps.2", "1:hvps.3", "1:hvps.4"}));
    QCOMPARE(station.devices.at(0).timeConstants.size(), 12);
    QCOMPARE(station.devices.at(0).ranges.first(), QStringLiteral("1e-3"));
    QCOMPARE(station.devices.at(0).ranges.size(), 9);
    // Only the chamber "If" lists negative voltages.
    QStringList negative;
    for (const StationDevice &d : station.devices) {
        if (d.negative)
            negative.append(d.node);
    }
    QCOMPARE(negative, QStringList{"hvps.4"});

    QVERIFY(!station.read(QStringLiteral("/nonexistent/station.ini"), error));
    QVERIFY(!error.isEmpty());
}

void TestSimModels::stationNodes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = TestSupport::writeFile(dir.filePath(QStringLiteral("s.ini")),
                                               "AMP Module Names=A, B, C\n"
                                               "HV Module Names=H\n"
                                               "Key File=keys\n"
                                               "Tesra Port=7001\n"
                                               "[A]\ndriver=amp\n"
                                               "[B]\ndriver=amp\n"
                                               "[C]\ndriver=amp\nch=2\nTC Table=Missing\n"
                                               "[H]\ndriver=hv\nch=1\n");
    StationConfig station;
    QString error;
    QVERIFY2(station.read(ini, error), qPrintable(error));
    QCOMPARE(station.keyFile, QStringLiteral("keys"));
    QCOMPARE(station.port, QStringLiteral("7001"));
    // Two modules naming one node share one device; no channel: the driver alone.
    QCOMPARE(station.devices.size(), 3);
    QCOMPARE(station.devices.at(0).node, QStringLiteral("amp"));
    QCOMPARE(station.devices.at(1).node, QStringLiteral("amp.2"));
    QVERIFY(station.devices.at(1).timeConstants.isEmpty());
    QCOMPARE(station.devices.at(2).node, QStringLiteral("hv.1"));

    // A node cannot be an amplifier and an HV module at once, nor lack a name.
    QVERIFY(!station.addDevice({StationDevice::Hv, QStringLiteral("amp"), {}, {}}));
    QVERIFY(!station.addDevice({StationDevice::Hv, QString(), {}, {}}));
    QVERIFY(!station.addDevice({StationDevice::Hv, QStringLiteral("System"), {}, {}}));
    QVERIFY(!station.addDevice({StationDevice::Hv, QStringLiteral("a b"), {}, {}}));
}

void TestSimModels::keyWords()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList words;
    QString error;
    const QString spread = TestSupport::writeFile(dir.filePath(QStringLiteral("a.key")),
                                                  "one  two\tthree\n\nfour\r\n");
    QVERIFY(readKeyWords(spread, words, error));
    QCOMPARE(words, (QStringList{"one", "two", "three", "four"}));

    const QString empty = TestSupport::writeFile(dir.filePath(QStringLiteral("b.key")), " \n");
    QVERIFY(!readKeyWords(empty, words, error));
    QVERIFY(!readKeyWords(dir.filePath(QStringLiteral("missing.key")), words, error));
}

void TestSimModels::muteOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("muted");
    QTest::newRow("none") << QStringList{} << true << QStringList{};
    QTest::newRow("one") << QStringList{"--mute", "hvps.2"} << true << QStringList{"hvps.2"};
    QTest::newRow("a list, repeated") << QStringList{"--mute", "hvps.1, ca.2", "--mute", "hvps.3"}
                                      << true << QStringList{"hvps.1", "ca.2", "hvps.3"};
    QTest::newRow("an empty name")
        << QStringList{"--mute", "hvps.1,,ca.2"} << false << QStringList{};
    QTest::newRow("nothing") << QStringList{"--mute", ""} << false << QStringList{};
}

void TestSimModels::muteOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(QStringList, muted);
    SimOptions options;
    QString error;
    QCOMPARE(options.parse(QStringList{QStringLiteral("tesra-sim")} + arguments, error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (valid)
        QCOMPARE(options.mutedNodes, muted);
}

QTEST_GUILESS_MAIN(TestSimModels)
#include "tst_simmodels.moc"
