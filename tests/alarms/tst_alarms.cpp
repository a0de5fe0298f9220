// SPDX-License-Identifier: GPL-3.0-or-later
// The alarms without a window: the latch, acknowledgement and shelving of
// the list, its command-log lines, the list restored after a restart, and
// the station's own alarms: the link alarm, the command log and what a
// station that closes leaves alone. Time is a clock of the test's own. What
// each kind of device reports is tested with the device.

#include "AlarmStation.h"
#include "FakeTesraServer.h"
#include "alarms/AlarmClock.h"
#include "alarms/AlarmList.h"
#include "alarms/ModuleAlarms.h"
#include "devices/Device.h"
#include "station/Station.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using AlarmConditions::Condition;

namespace {

using TestClock = TestSupport::ManualClock;

const QString Hv = QStringLiteral("HV I1");
const QString Amp = QStringLiteral("AMP I1");

QStringList transitionsOf(const QSignalSpy &spy)
{
    return TestSupport::alarmTransitions(spy);
}

Condition conditionNamed(const QString &name)
{
    Condition condition = Condition::HvFault;
    if (!AlarmConditions::fromName(name, condition))
        qFatal("no condition %s", qPrintable(name));
    return condition;
}

} // namespace

class tst_Alarms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deviationTimerLooksAgainByItself();
    void transitions_data();
    void transitions();
    void logLines_data();
    void logLines();
    void restore_data();
    void restore();
    void operatorIsUserAtHost();
    void watchesTheStation();
    void stationAlarms_data();
    void stationAlarms();
};

void tst_Alarms::initTestCase()
{
    qRegisterMetaType<AlarmList::Transition>();
    qRegisterMetaType<AlarmRecord>();
}

// The module sends nothing more while it sits off its voltage: the alarm
// comes from the module's own timer, on the system clock.
void tst_Alarms::deviationTimerLooksAgainByItself()
{
    AlarmList list;
    list.watch(Hv, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Hv));
    HvDeviationRule::Settings settings;
    settings.delayMs = 50;
    ModuleAlarms alarms(&list, Hv, Condition::HvFault, settings);
    QSignalSpy spy(&list, &AlarmList::transitioned);
    alarms.hvState(QStringLiteral("ON"), QStringLiteral("1000.0"), true, 1500);
    QVERIFY(spy.isEmpty());
    QVERIFY(spy.wait(10000));
    QCOMPARE(transitionsOf(spy), QStringList{"raised hv-deviation 1000.0 V (set 1500 V)"});
}

void tst_Alarms::transitions_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transitions");
    // What is left listed, each as "condition cleared? acked? shelved?".
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("annunciated");

    // Steps: "raise C", "clear C", "ack C", "ack all", "shelve C H" (hours),
    // "unshelve C", "wait H" (hours; shelves whose time is up end),
    // "read-only"; each acknowledgement or shelving that is refused is
    // "refused".
    QTest::newRow("raised, latched")
        << QStringList{"raise hv-fault"} << QStringList{"raised hv-fault"}
        << QStringList{"hv-fault active unacked"} << 1;
    QTest::newRow("cleared stays listed until acknowledged")
        << QStringList{"raise hv-fault", "clear hv-fault"}
        << QStringList{"raised hv-fault", "cleared hv-fault"}
        << QStringList{"hv-fault cleared unacked"} << 1;
    QTest::newRow("cleared, then acknowledged: gone")
        << QStringList{"raise hv-fault", "clear hv-fault", "ack hv-fault"}
        << QStringList{"raised hv-fault", "cleared hv-fault", "acknowledged hv-fault"}
        << QStringList{} << 0;
    QTest::newRow("acknowledged while it holds: listed, not annunciated")
        << QStringList{"raise hv-fault", "ack hv-fault"}
        << QStringList{"raised hv-fault", "acknowledged hv-fault"}
        << QStringList{"hv-fault active acked"} << 0;
    QTest::newRow("acknowledged, then cleared: gone")
        << QStringList{"raise hv-fault", "ack hv-fault", "clear hv-fault"}
        << QStringList{"raised hv-fault", "acknowledged hv-fault", "cleared hv-fault"}
        << QStringList{} << 0;
    QTest::newRow("acknowledged twice")
        << QStringList{"raise hv-fault", "ack hv-fault", "ack hv-fault"}
        << QStringList{"raised hv-fault", "acknowledged hv-fault", "refused"}
        << QStringList{"hv-fault active acked"} << 0;
    QTest::newRow("nothing to acknowledge")
        << QStringList{"ack silent"} << QStringList{"refused"} << QStringList{} << 0;
    QTest::newRow("back before it was acknowledged: the same alarm")
        << QStringList{"raise silent", "clear silent", "raise silent"}
        << QStringList{"raised silent", "cleared silent", "raised silent"}
        << QStringList{"silent active unacked"} << 1;
    QTest::newRow("a holding condition reported again raises nothing")
        << QStringList{"raise silent", "raise silent"} << QStringList{"raised silent"}
        << QStringList{"silent active unacked"} << 1;
    QTest::newRow("acknowledge all")
        << QStringList{"raise hv-fault", "raise silent", "clear silent", "ack all"}
        << QStringList{"raised hv-fault", "raised silent", "cleared silent",
                       "acknowledged hv-fault", "acknowledged silent"}
        << QStringList{"hv-fault active acked"} << 0;
    QTest::newRow("shelved for an hour: listed, not annunciated")
        << QStringList{"raise hv-deviation", "shelve hv-deviation 1", "wait 0.99"}
        << QStringList{"raised hv-deviation", "shelved hv-deviation"}
        << QStringList{"hv-deviation active unacked shelved"} << 0;
    QTest::newRow("an hour later it is back by itself")
        << QStringList{"raise hv-deviation", "shelve hv-deviation 1", "wait 1"}
        << QStringList{"raised hv-deviation", "shelved hv-deviation", "unshelved hv-deviation"}
        << QStringList{"hv-deviation active unacked"} << 1;
    QTest::newRow("eight hours") << QStringList{"raise silent", "shelve silent 8", "wait 7.9",
                                                "clear silent", "raise silent",    "wait 0.1"}
                                 << QStringList{"raised silent", "shelved silent", "cleared silent",
                                                "raised silent", "unshelved silent"}
                                 << QStringList{"silent active unacked"} << 1;
    QTest::newRow("unshelved by hand")
        << QStringList{"raise silent", "shelve silent 8", "unshelve silent"}
        << QStringList{"raised silent", "shelved silent", "unshelved silent"}
        << QStringList{"silent active unacked"} << 1;
    QTest::newRow("a shelved alarm acknowledged and cleared is gone")
        << QStringList{"raise silent", "shelve silent 1", "ack silent", "clear silent", "wait 2"}
        << QStringList{"raised silent", "shelved silent", "acknowledged silent", "cleared silent"}
        << QStringList{} << 0;
    QTest::newRow("read-only can neither acknowledge nor shelve")
        << QStringList{"raise hv-fault", "read-only", "ack hv-fault", "ack all",
                       "shelve hv-fault 8"}
        << QStringList{"raised hv-fault", "refused", "refused", "refused"}
        << QStringList{"hv-fault active unacked"} << 1;
    QTest::newRow("read-only still sees alarms come and go")
        << QStringList{"read-only", "raise hv-fault", "clear hv-fault"}
        << QStringList{"raised hv-fault", "cleared hv-fault"}
        << QStringList{"hv-fault cleared unacked"} << 1;
}

void tst_Alarms::transitions()
{
    QFETCH(QStringList, steps);
    TestClock clock;
    AlarmList list(&clock);
    list.watch(Hv, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Hv));
    QSignalSpy spy(&list, &AlarmList::transitioned);
    QStringList seen;
    int taken = 0;
    auto collect = [&] {
        const QStringList all = transitionsOf(spy);
        for (int i = taken; i < all.size(); ++i)
            seen.append(all.at(i).section(QLatin1Char(' '), 0, 1));
        taken = all.size();
    };
    constexpr double HourMs = 3600.0 * 1000.0;
    for (const QString &step : qAsConst(steps)) {
        const QStringList words = step.split(QLatin1Char(' '));
        bool done = true;
        if (words.at(0) == QLatin1String("raise")) {
            list.report(Hv, conditionNamed(words.at(1)), true);
        } else if (words.at(0) == QLatin1String("clear")) {
            list.report(Hv, conditionNamed(words.at(1)), false);
        } else if (step == QLatin1String("ack all")) {
            done = list.acknowledgeAll() > 0;
        } else if (words.at(0) == QLatin1String("ack")) {
            done = list.acknowledge(Hv, conditionNamed(words.at(1)));
        } else if (words.at(0) == QLatin1String("shelve")) {
            done = list.shelve(Hv, conditionNamed(words.at(1)),
                               qint64(words.at(2).toDouble() * HourMs));
        } else if (words.at(0) == QLatin1String("unshelve")) {
            done = list.unshelve(Hv, conditionNamed(words.at(1)));
        } else if (words.at(0) == QLatin1String("wait")) {
            clock.ms += qint64(words.at(1).toDouble() * HourMs);
            list.expireShelves();
        } else if (step == QLatin1String("read-only")) {
            list.setReadOnly(true);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
        collect();
        if (!done)
            seen.append(QStringLiteral("refused"));
    }
    QTEST(seen, "transitions");
    QStringList listed;
    for (const AlarmRecord &r : list.records()) {
        QString line = r.condition + (r.clearedMs ? QStringLiteral(" cleared") : " active") +
                       (r.ackedBy.isEmpty() ? QStringLiteral(" unacked") : " acked");
        if (list.isShelved(r))
            line += QStringLiteral(" shelved");
        listed.append(line);
    }
    QTEST(listed, "listed");
    QTEST(list.annunciatedCount(), "annunciated");
}

void tst_Alarms::logLines_data()
{
    QTest::addColumn<int>("transition");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("line");

    QTest::newRow("raised") << int(AlarmList::Transition::Raised) << Hv << "hv-fault"
                            << "alarm raised HV I1 hv-fault (major): TRIP";
    QTest::newRow("raised, the station's link")
        << int(AlarmList::Transition::Raised) << QString() << "link-lost"
        << "alarm raised link-lost (major): TRIP";
    QTest::newRow("cleared") << int(AlarmList::Transition::Cleared) << Hv << "hv-fault"
                             << "alarm cleared HV I1 hv-fault";
    QTest::newRow("acknowledged") << int(AlarmList::Transition::Acknowledged) << Amp << "silent"
                                  << "alarm acknowledged AMP I1 silent by ume@beamline";
    QTest::newRow("unshelved") << int(AlarmList::Transition::Unshelved) << Amp << "amp-overload"
                               << "alarm unshelved AMP I1 amp-overload";
}

void tst_Alarms::logLines()
{
    QFETCH(int, transition);
    AlarmRecord record;
    QFETCH(QString, module);
    QFETCH(QString, condition);
    record.module = module;
    record.condition = condition;
    record.severity = QStringLiteral("major");
    record.value = QStringLiteral("TRIP");
    record.ackedBy = QStringLiteral("ume@beamline");
    QTEST(AlarmList::logLine(AlarmList::Transition(transition), record), "line");
}

void tst_Alarms::restore_data()
{
    QTest::addColumn<bool>("wasCleared");
    QTest::addColumn<bool>("wasAcked");
    QTest::addColumn<bool>("watched");
    // What the device said before the records came: "", "holds", "clear".
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");  // "holds", "clear" or "" (nothing)
    QTest::addColumn<QString>("listed"); // as transitions() writes it, or "" for gone
    QTest::addColumn<QStringList>("transitions");

    QTest::newRow("unacknowledged, still unknown") << false << false << true << ""
                                                   << ""
                                                   << "hv-fault active unacked" << QStringList{};
    QTest::newRow("unacknowledged, found holding") << false << false << true << ""
                                                   << "holds"
                                                   << "hv-fault active unacked" << QStringList{};
    QTest::newRow("unacknowledged, no longer holding")
        << false << false << true << ""
        << "clear"
        << "hv-fault cleared unacked" << QStringList{"cleared hv-fault"};
    QTest::newRow("acknowledged and still holding keeps its acknowledgement")
        << false << true << true << ""
        << "holds"
        << "hv-fault active acked" << QStringList{};
    QTest::newRow("acknowledged, no longer holding: done") << false << true << true << ""
                                                           << "clear"
                                                           << "" << QStringList{"cleared hv-fault"};
    QTest::newRow("cleared before the restart, unacknowledged")
        << true << false << true << ""
        << ""
        << "hv-fault cleared unacked" << QStringList{};
    QTest::newRow("the device spoke first: clear")
        << false << false << true << "clear"
        << ""
        << "hv-fault cleared unacked" << QStringList{"cleared hv-fault"};
    QTest::newRow("the device spoke first: holds, the old alarm goes on")
        << false << true << true << "holds"
        << ""
        << "hv-fault active acked" << QStringList{"raised hv-fault"};
    QTest::newRow("a condition no longer watched comes back cleared")
        << false << false << false << ""
        << ""
        << "hv-fault cleared unacked" << QStringList{"cleared hv-fault"};
}

void tst_Alarms::restore()
{
    QFETCH(bool, wasCleared);
    QFETCH(bool, wasAcked);
    QFETCH(bool, watched);
    QFETCH(QString, before);
    QFETCH(QString, after);

    TestClock clock;
    AlarmList list(&clock);
    if (watched)
        list.watch(Hv, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Hv));
    QSignalSpy spy(&list, &AlarmList::transitioned);
    if (!before.isEmpty())
        list.report(Hv, Condition::HvFault, before == QLatin1String("holds"),
                    QStringLiteral("TRIP"));

    AlarmRecord record;
    record.module = Hv;
    record.condition = QStringLiteral("hv-fault");
    record.severity = QStringLiteral("major");
    record.value = QStringLiteral("TRIP");
    record.raisedMs = clock.ms - 60000;
    record.clearedMs = wasCleared ? clock.ms - 30000 : 0;
    record.ackedBy = wasAcked ? QStringLiteral("ume@beamline") : QString();
    record.ackedMs = wasAcked ? clock.ms - 20000 : 0;
    // An hour's shelf that ran out while the program was down.
    AlarmRecord shelved = record;
    shelved.condition = QStringLiteral("silent");
    shelved.clearedMs = 0;
    shelved.ackedBy.clear();
    shelved.shelvedUntilMs = clock.ms - 1;
    clock.ms += 1000;
    list.restore({record, shelved});
    if (!after.isEmpty())
        list.report(Hv, Condition::HvFault, after == QLatin1String("holds"),
                    QStringLiteral("TRIP"));

    QStringList hvFault;
    for (const QString &t : transitionsOf(spy)) {
        if (t.contains(QLatin1String("hv-fault")))
            hvFault.append(t.section(QLatin1Char(' '), 0, 1));
    }
    QTEST(hvFault, "transitions");
    const AlarmRecord *found = list.find(Hv, Condition::HvFault);
    QString listed;
    if (found)
        listed = found->condition +
                 (found->clearedMs ? QStringLiteral(" cleared") : QStringLiteral(" active")) +
                 (found->ackedBy.isEmpty() ? QStringLiteral(" unacked") : QStringLiteral(" acked"));
    QTEST(listed, "listed");
    if (found && wasAcked)
        QCOMPARE(found->ackedBy, QStringLiteral("ume@beamline"));
    if (found)
        QCOMPARE(found->raisedMs, record.raisedMs);
    // The shelf ran out: the alarm is annunciated again, and says so.
    const AlarmRecord *silent = list.find(Hv, Condition::Silent);
    QVERIFY(silent);
    QCOMPARE(silent->shelvedUntilMs, qint64(0));
    QVERIFY(transitionsOf(spy).contains(QStringLiteral("unshelved silent")));
}

void tst_Alarms::operatorIsUserAtHost()
{
    const QString name = AlarmList::localOperator();
    const int at = name.indexOf(QLatin1Char('@'));
    QVERIFY2(at > 0, qPrintable(name));
    QCOMPARE(name.mid(at + 1), QSysInfo::machineHostName());
    TestClock clock;
    AlarmList list(&clock);
    QCOMPARE(list.operatorName(), name);
}

// The station file decides what is watched: each module's "Alarms", a
// section that both module lists name as one module, and the link alarm
// only for a station with modules.
void tst_Alarms::watchesTheStation()
{
    Station station;
    StationHv hv;
    hv.name = Hv;
    hv.alarms = AlarmConditions::Set::of(Condition::HvFault);
    StationAmp amp;
    amp.name = Hv;
    amp.alarms = AlarmConditions::Set::of(Condition::AmpOverload);
    StationAmp quiet;
    quiet.name = Amp;
    station.hvModules.append(hv);
    station.ampModules.append(amp);
    station.ampModules.append(quiet);
    AlarmList list;
    list.watchStation(station);
    QVERIFY(list.isWatched(Hv, Condition::HvFault));
    QVERIFY(list.isWatched(Hv, Condition::AmpOverload));
    QVERIFY(!list.isWatched(Hv, Condition::Silent));
    QVERIFY(!list.isWatched(Amp, Condition::Silent));
    QVERIFY(list.isWatched(QString(), Condition::LinkLost));

    AlarmList bare;
    bare.watchStation(Station());
    QVERIFY(!bare.isWatched(QString(), Condition::LinkLost));
}

void tst_Alarms::stationAlarms_data()
{
    QTest::addColumn<QByteArray>("station");
    // "start" (connect), "ready", "lost" (the link has gone, lost or
    // refused), "drop" (the server cuts the client off), "stall" (the server
    // will not say its verdict), "handshake" (the key line has come),
    // "silence" (the HV module has stopped answering), "release" (the
    // station closes).
    QTest::addColumn<QStringList>("steps");
    // SERVER stands for the server as host:port.
    QTest::addColumn<QStringList>("transitions");
    // The command log's lines of the link's loss and of the alarms.
    QTest::addColumn<QStringList>("logged");

    const QByteArray hv = "HV Module Names=HV I1\n[HV I1]\nid=hv1\ndriver=hvps\nch=2\n";
    QTest::newRow("lost once it was ready")
        << hv << QStringList{"start", "ready", "drop", "lost"}
        << QStringList{"raised link-lost SERVER"}
        << QStringList{"link lost", "alarm raised link-lost (major): SERVER"};
    QTest::newRow("back by itself: cleared")
        << "Reconnect Interval=0.05\n" + hv
        << QStringList{"start", "ready", "drop", "lost", "ready"}
        << QStringList{"raised link-lost SERVER", "cleared link-lost"}
        << QStringList{"link lost", "alarm raised link-lost (major): SERVER",
                       "alarm cleared link-lost"};
    QTest::newRow("refused in the handshake")
        << hv << QStringList{"stall", "start", "handshake", "drop", "lost"}
        << QStringList{"raised link-lost SERVER"}
        << QStringList{"alarm raised link-lost (major): SERVER"};
    QTest::newRow("a station without modules has no link alarm")
        << QByteArray() << QStringList{"start", "ready", "drop", "lost"} << QStringList{}
        << QStringList{"link lost"};
    // The silence dropped as the devices let go and the link that goes down
    // as the program ends say nothing about the station: the silent alarm
    // stays as it was, to be found again after a restart.
    QTest::newRow("a station that closes raises and clears nothing")
        << "Answer Timeout=0.05\n" + hv
        << QStringList{"start", "ready", "silence", "release", "drop", "lost"}
        << QStringList{"raised silent hvps.2"}
        << QStringList{"alarm raised HV I1 silent (minor): hvps.2", "link lost"};
}

void tst_Alarms::stationAlarms()
{
    QFETCH(QByteArray, station);
    QFETCH(QStringList, steps);
    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    const QString log = dir.filePath(QStringLiteral("commands.log"));
    TestSupport::AlarmStation run(server, dir, "Command Log=" + log.toUtf8() + '\n' + station);
    Tesra *client = run.devices().client();
    for (const QString &step : qAsConst(steps)) {
        if (step == QLatin1String("start")) {
            run.devices().connectToServer();
        } else if (step == QLatin1String("ready")) {
            QTRY_VERIFY(run.devices().linkReady());
        } else if (step == QLatin1String("lost")) {
            QTRY_VERIFY(client->linkState() == Tesra::LinkState::Lost ||
                        client->linkState() == Tesra::LinkState::Refused);
        } else if (step == QLatin1String("drop")) {
            server.dropClient();
        } else if (step == QLatin1String("stall")) {
            server.setStall(FakeTesraServer::Stall::BeforeVerdict);
        } else if (step == QLatin1String("handshake")) {
            QVERIFY(server.waitForKeyLine());
        } else if (step == QLatin1String("silence")) {
            QTRY_VERIFY(run.devices().devices().at(0)->answerWatch()->isSilent());
        } else if (step == QLatin1String("release")) {
            run.devices().release();
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
    const QString address = run.devices().server();
    QStringList expected;
    QFETCH(QStringList, transitions);
    for (const QString &t : qAsConst(transitions))
        expected.append(QString(t).replace(QLatin1String("SERVER"), address));
    QCOMPARE(run.transitions(), expected);

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList written;
    for (const QByteArray &line : file.readAll().split('\n')) {
        // Past the time stamp.
        const QString text = QString::fromUtf8(line).section(QLatin1Char(' '), 1);
        if (text.startsWith(QLatin1String("alarm ")) || text == QLatin1String("link lost"))
            written.append(text);
    }
    QStringList expectedLog;
    QFETCH(QStringList, logged);
    for (const QString &line : qAsConst(logged))
        expectedLog.append(QString(line).replace(QLatin1String("SERVER"), address));
    QCOMPARE(written, expectedLog);
}

QTEST_GUILESS_MAIN(tst_Alarms)
#include "tst_alarms.moc"
