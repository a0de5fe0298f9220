// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the alarms, fed only by the alarm list: the dock's
// table and buttons, read-only, the dock opening by itself, the status
// bar's count with its blinking and beeping, the panels' alarm marker, the
// chamber group's frame, the window's menu entry and command-log lines in
// both languages, and a fault on the wire as the whole window shows it.

#include "AlarmStation.h"
#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "alarms/AlarmClock.h"
#include "alarms/AlarmList.h"
#include "app/StartUp.h"
#include "history/Archive.h"
#include "hv/aHV.h"
#include "widgets/AlarmBadge.h"
#include "widgets/AlarmFrame.h"
#include "widgets/AlarmStyle.h"
#include "widgets/PanelMarker.h"
#include "window/AlarmAnnunciator.h"
#include "window/AlarmDock.h"
#include "window/AlarmTable.h"
#include "window/Body.h"
#include "window/HistoryView.h"
#include "window/aIC.h"

#include <QAction>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

using AlarmConditions::Condition;

namespace {

// Noon of a fixed day, so that the table's times read the same every run.
class TestClock : public TestSupport::ManualClock
{
public:
    TestClock() { ms = QDateTime(QDate(2026, 12, 9), QTime(12, 0)).toMSecsSinceEpoch(); }
};

const QString Hv = QStringLiteral("HV I1");
const QString Amp = QStringLiteral("AMP I1");

Condition named(const QString &name)
{
    Condition condition = Condition::HvFault;
    AlarmConditions::fromName(name, condition);
    return condition;
}

// A window with the dock over a list with the two modules.
struct Fixture
{
    TestClock clock;
    AlarmList list{&clock};
    QMainWindow window;
    AlarmDock *dock;

    Fixture()
    {
        list.watch(Hv, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Hv));
        list.watch(Amp, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Amplifier));
        list.watch(QString(), AlarmConditions::Set::of(Condition::LinkLost));
        window.setCentralWidget(new QWidget);
        dock = new AlarmDock(&window, &list);
    }
    QPushButton *button(const char *name) const
    {
        return dock->findChild<QPushButton *>(QLatin1String(name));
    }
    QString cell(int row, int column) const
    {
        return dock->table()->index(row, column).data().toString();
    }
    void selectRow(int row) const { dock->view()->selectRow(row); }
};

} // namespace

class tst_AlarmDock : public QObject
{
    Q_OBJECT

private slots:
    void table_data();
    void table();
    void buttons_data();
    void buttons();
    void selectionStaysWithItsAlarm();
    void opensItselfForMajorAlarms_data();
    void opensItselfForMajorAlarms();
    void annunciation_data();
    void annunciation();
    void panelMarker();
    void chamberFrame();
    void faultOnTheWire();
    void survivesARestart();
    void windowMenuAndCommandLog_data();
    void windowMenuAndCommandLog();
    void readOnlyWindow();
};

void tst_AlarmDock::table_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<bool>("greyed");
    QTest::addColumn<bool>("coloured");

    // Steps on HV I1's fault: "raise", "clear", "ack", "shelve"; "+M" moves
    // the clock M minutes.
    QTest::newRow("raised") << QStringList{"raise"}
                            << QStringList{"Major", "HV I1", "HV fault", "TRIP", "12-09 12:00:00",
                                           "",      "",      "",         ""}
                            << false << true;
    QTest::newRow("cleared, latched")
        << QStringList{"raise", "+2", "clear"}
        << QStringList{"Major",          "HV I1", "HV fault", "TRIP", "12-09 12:00:00",
                       "12-09 12:02:00", "",      "",         ""}
        << false << true;
    QTest::newRow("acknowledged while it holds")
        << QStringList{"raise", "+1", "ack"}
        << QStringList{"Major", "HV I1",        "HV fault",       "TRIP", "12-09 12:00:00",
                       "",      "ume@beamline", "12-09 12:01:00", ""}
        << false << false;
    QTest::newRow("shelved: greyed, with its expiry")
        << QStringList{"raise", "shelve"}
        << QStringList{"Major", "HV I1", "HV fault", "TRIP",          "12-09 12:00:00",
                       "",      "",      "",         "12-09 13:00:00"}
        << true << false;
}

void tst_AlarmDock::table()
{
    QFETCH(QStringList, steps);
    Fixture f;
    f.list.setOperatorName(QStringLiteral("ume@beamline"));
    for (const QString &step : qAsConst(steps)) {
        if (step == QLatin1String("raise"))
            f.list.report(Hv, Condition::HvFault, true, QStringLiteral("TRIP"));
        else if (step == QLatin1String("clear"))
            f.list.report(Hv, Condition::HvFault, false);
        else if (step == QLatin1String("ack"))
            QVERIFY(f.list.acknowledge(Hv, Condition::HvFault));
        else if (step == QLatin1String("shelve"))
            QVERIFY(f.list.shelve(Hv, Condition::HvFault, AlarmList::ShortShelfMs));
        else
            f.clock.ms += step.mid(1).toLongLong() * 60000;
    }
    QCOMPARE(f.dock->table()->rowCount(), 1);
    QStringList row;
    for (int column = 0; column < AlarmTable::ColumnCount; ++column)
        row.append(f.cell(0, column));
    QTEST(row, "row");
    QFETCH(bool, greyed);
    QCOMPARE(f.dock->table()->index(0, AlarmTable::Module).data(Qt::ForegroundRole).isValid(),
             greyed);
    QFETCH(bool, coloured);
    QCOMPARE(f.dock->table()->index(0, AlarmTable::Severity).data(Qt::DecorationRole).isValid(),
             coloured);
}

void tst_AlarmDock::buttons_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("button");
    // What the two alarms (HV I1 hv-fault selected, AMP I1 amp-overload not)
    // are afterwards: acked or not, shelved or not.
    QTest::addColumn<QString>("selectedAfter");
    QTest::addColumn<QString>("otherAfter");

    QTest::newRow("Acknowledge") << false << "AckB"
                                 << "acked"
                                 << "unacked";
    QTest::newRow("Acknowledge All") << false << "AckAllB"
                                     << "acked"
                                     << "acked";
    QTest::newRow("Shelve 1 h") << false << "Shelve1hB"
                                << "unacked shelved 1"
                                << "unacked";
    QTest::newRow("Shelve 8 h") << false << "Shelve8hB"
                                << "unacked shelved 8"
                                << "unacked";
    QTest::newRow("read-only: Acknowledge") << true << "AckB"
                                            << "unacked"
                                            << "unacked";
    QTest::newRow("read-only: Acknowledge All") << true << "AckAllB"
                                                << "unacked"
                                                << "unacked";
    QTest::newRow("read-only: Shelve") << true << "Shelve8hB"
                                       << "unacked"
                                       << "unacked";
}

void tst_AlarmDock::buttons()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, button);
    Fixture f;
    f.list.setReadOnly(readOnly);
    f.list.report(Hv, Condition::HvFault, true, QStringLiteral("TRIP"));
    f.list.report(Amp, Condition::AmpOverload, true, QStringLiteral("1"));
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.selectRow(0);
    QPushButton *b = f.button(button.toLatin1().constData());
    QVERIFY(b);
    // Read-only shows everything and lets nothing be done.
    QCOMPARE(b->isEnabled(), !readOnly);
    QCOMPARE(f.dock->table()->rowCount(), 2);
    QTest::mouseClick(b, Qt::LeftButton);

    auto state = [&f](const QString &module, Condition condition) {
        const AlarmRecord *r = f.list.find(module, condition);
        if (!r)
            return QStringLiteral("gone");
        QString s = r->ackedBy.isEmpty() ? QStringLiteral("unacked") : QStringLiteral("acked");
        if (f.list.isShelved(*r))
            s += QStringLiteral(" shelved %1")
                     .arg((r->shelvedUntilMs - f.clock.ms) / AlarmList::HourMs);
        return s;
    };
    QTEST(state(Hv, Condition::HvFault), "selectedAfter");
    QTEST(state(Amp, Condition::AmpOverload), "otherAfter");
    QCOMPARE(f.button("UnshelveB")->isEnabled(),
             !readOnly && button.startsWith(QLatin1String("Shelve")));
}

void tst_AlarmDock::selectionStaysWithItsAlarm()
{
    Fixture f;
    f.list.report(Hv, Condition::HvFault, true, QStringLiteral("TRIP"));
    f.list.report(Amp, Condition::AmpOverload, true, QStringLiteral("1"));
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.selectRow(1);
    // The first row goes; the selected alarm is the first row now.
    f.list.report(Hv, Condition::HvFault, false);
    QVERIFY(f.list.acknowledge(Hv, Condition::HvFault));
    QCOMPARE(f.dock->table()->rowCount(), 1);
    QTest::mouseClick(f.button("AckB"), Qt::LeftButton);
    QVERIFY(!f.list.find(Amp, Condition::AmpOverload)->ackedBy.isEmpty());
}

void tst_AlarmDock::opensItselfForMajorAlarms_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<bool>("shelvedBefore");
    QTest::addColumn<bool>("opens");

    QTest::newRow("a fault") << Hv << "hv-fault" << false << true;
    QTest::newRow("an overload") << Amp << "amp-overload" << false << true;
    QTest::newRow("the link") << QString() << "link-lost" << false << true;
    QTest::newRow("a deviation is minor") << Hv << "hv-deviation" << false << false;
    QTest::newRow("a silent node is minor") << Amp << "silent" << false << false;
    QTest::newRow("a shelved fault raised again") << Hv << "hv-fault" << true << false;
}

void tst_AlarmDock::opensItselfForMajorAlarms()
{
    QFETCH(QString, module);
    QFETCH(QString, condition);
    QFETCH(bool, shelvedBefore);
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QVERIFY(!f.dock->isVisible());
    if (shelvedBefore) {
        f.list.report(module, named(condition), true);
        QVERIFY(f.list.shelve(module, named(condition), AlarmList::LongShelfMs));
        f.list.report(module, named(condition), false);
        f.dock->hide();
    }
    f.list.report(module, named(condition), true);
    QTEST(f.dock->isVisible(), "opens");
}

void tst_AlarmDock::annunciation_data()
{
    QTest::addColumn<QStringList>("raised");
    QTest::addColumn<QString>("then"); // "", "ack", "shelve", "ack all"
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blinking");

    QTest::newRow("none") << QStringList{} << ""
                          << "" << false;
    QTest::newRow("a minor one, steady") << QStringList{"hv-deviation"} << ""
                                         << "1 unacknowledged alarm(s)" << false;
    QTest::newRow("a major one blinks") << QStringList{"hv-deviation", "hv-fault"} << ""
                                        << "2 unacknowledged alarm(s)" << true;
    QTest::newRow("acknowledged: the minor one is left")
        << QStringList{"hv-deviation", "hv-fault"} << "ack"
        << "1 unacknowledged alarm(s)" << false;
    QTest::newRow("shelved: the minor one is left")
        << QStringList{"hv-deviation", "hv-fault"} << "shelve"
        << "1 unacknowledged alarm(s)" << false;
    QTest::newRow("all acknowledged: nothing")
        << QStringList{"hv-deviation", "hv-fault"} << "ack all"
        << "" << false;
}

void tst_AlarmDock::annunciation()
{
    QFETCH(QStringList, raised);
    QFETCH(QString, then);
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    AlarmAnnunciator *count = f.dock->annunciator();
    QSignalSpy beeps(count, &AlarmAnnunciator::beeped);
    count->setSound(true);
    for (const QString &condition : qAsConst(raised))
        f.list.report(Hv, named(condition), true);
    if (then == QLatin1String("ack"))
        f.list.acknowledge(Hv, Condition::HvFault);
    else if (then == QLatin1String("shelve"))
        f.list.shelve(Hv, Condition::HvFault, AlarmList::ShortShelfMs);
    else if (then == QLatin1String("ack all"))
        f.list.acknowledgeAll();
    QTEST(count->text(), "text");
    QCOMPARE(count->isVisible(), !count->text().isEmpty());
    if (!count->text().isEmpty()) {
        // Short of room it shows the count alone, which it always has room
        // for.
        count->resize(count->minimumSizeHint());
        QCOMPARE(count->shownText(), count->text().section(QLatin1Char(' '), 0, 0));
        count->resize(count->sizeHint());
        QCOMPARE(count->shownText(), count->text());
    }
    QTEST(count->isBlinking(), "blinking");
    // A beep as soon as there is something to hear, then every 10 s until
    // nothing is left unacknowledged.
    QCOMPARE(beeps.count(), raised.isEmpty() ? 0 : 1);
    QCOMPARE(count->isSounding(), !count->text().isEmpty());
    if (count->isBlinking()) {
        const QString lit = count->styleSheet();
        QTRY_VERIFY(count->styleSheet() != lit);
    }
}

void tst_AlarmDock::panelMarker()
{
    TestClock clock;
    AlarmList list(&clock);
    list.watch(Hv, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Hv));
    list.watch(Amp, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Amplifier));
    QWidget hvPanel;
    hvPanel.resize(300, 100);
    hvPanel.show();
    AlarmBadge badge(&hvPanel, &list, Hv);
    QVERIFY(!badge.marker()->isVisible());
    // Another module's alarm is not this panel's.
    list.report(Amp, Condition::AmpOverload, true);
    QVERIFY(!badge.marker()->isVisible());
    list.report(Hv, Condition::HvDeviation, true);
    QVERIFY(badge.marker()->isVisible());
    const QString minor = badge.marker()->styleSheet();
    list.report(Hv, Condition::HvFault, true);
    QVERIFY(badge.marker()->styleSheet() != minor);
    QCOMPARE(badge.marker()->toolTip(), QStringLiteral("Alarm: hv-deviation, hv-fault"));
    list.acknowledgeAll();
    QVERIFY(!badge.marker()->isVisible());
}

// The group's edge takes the colour of its worst alarm, and covers none of
// its panels.
void tst_AlarmDock::chamberFrame()
{
    TestClock clock;
    AlarmList list(&clock);
    list.watch(Hv, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Hv));
    list.watch(Amp, AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Amplifier));
    list.watch(QStringLiteral("HV I2"),
               AlarmConditions::Set::allOf(AlarmConditions::ModuleKind::Hv));
    QFrame group;
    group.setFrameShape(QFrame::StyledPanel);
    auto *layout = new QGridLayout(&group);
    const int margin = 2;
    layout->setContentsMargins(margin, margin, margin, margin);
    auto *hvPanel = new QLabel(QStringLiteral("HV I1"));
    auto *ampPanel = new QLabel(QStringLiteral("AMP I1"));
    layout->addWidget(hvPanel, 0, 0);
    layout->addWidget(ampPanel, 1, 0);
    AlarmFrame frame(&group, &list, {Hv, Amp});
    group.resize(200, 120);
    group.show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    const QRect hvAt = hvPanel->geometry();
    QVERIFY(!frame.isVisible());

    // Another chamber's module is not this group's.
    list.report(QStringLiteral("HV I2"), Condition::HvFault, true);
    QVERIFY(!frame.isVisible());
    list.report(Amp, Condition::Silent, true);
    QVERIFY(frame.isVisible());
    QCOMPARE(frame.colour(), AlarmStyle::colour(AlarmConditions::Severity::Minor));
    list.report(Hv, Condition::HvFault, true);
    QCOMPARE(frame.colour(), AlarmStyle::colour(AlarmConditions::Severity::Major));
    // The band lies outside every panel, which keeps its place.
    for (const QWidget *panel : {static_cast<QWidget *>(hvPanel), static_cast<QWidget *>(ampPanel)})
        QVERIFY(!frame.mask().intersects(panel->geometry()));
    QVERIFY(frame.mask().contains(QPoint(0, 0)));
    QCOMPARE(hvPanel->geometry(), hvAt);
    // Bigger, it follows.
    group.resize(260, 160);
    QTRY_COMPARE(frame.geometry(), group.rect());
    QVERIFY(!frame.mask().intersects(ampPanel->geometry()));

    QVERIFY(list.shelve(Hv, Condition::HvFault, AlarmList::ShortShelfMs));
    QCOMPARE(frame.colour(), AlarmStyle::colour(AlarmConditions::Severity::Minor));
    list.acknowledgeAll();
    QVERIFY(!frame.isVisible());
}

// The demo's fault as a test: an HV module trips, the window raises the
// alarm everywhere it shows one, latches it after the status comes back, and
// lets it go once acknowledged; the timeline keeps every step.
void tst_AlarmDock::faultOnTheWire()
{
    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    const QString ini = TestSupport::writeStation(
        dir, QString::number(server.port()),
        "Answer Timeout=0\nHV Module Names=HV I1\nAMP Module Names=AMP I1\n"
        "IC Module Names=I1\n[HV I1]\nid=hv1\ndriver=hvps\nch=2\n"
        "[AMP I1]\nid=amp1\ndriver=ca\nch=1\n[I1]\nHV Unit id=hv1\nAMP Unit id=amp1\n");
    Body body(ini);
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    QTRY_COMPARE(body.tesra()->linkState(), Tesra::LinkState::Ready);
    AlarmDock *dock = body.alarmDock();
    QWidget *hvPanel = body.hvModules().value(0);
    QVERIFY(hvPanel);
    auto *marker = hvPanel->findChild<PanelMarker *>(QStringLiteral("AlarmMarker"));
    auto *frame = body.findChild<AlarmFrame *>(QStringLiteral("AlarmFrame"));
    QVERIFY(marker);
    QVERIFY(frame);
    QVERIFY(!dock->isVisible());
    QVERIFY(!marker->isVisible());
    QVERIFY(!frame->isVisible());

    QVERIFY(TestSupport::deliver(server, *body.tesra(),
                                 {QStringLiteral("hvps.2>Brenlow.hv1 _ChangedStat TRIP")}));
    QVERIFY(dock->isVisible());
    QVERIFY(dock->annunciator()->isVisible());
    QVERIFY(marker->isVisible());
    QVERIFY(!marker->geometry().intersects(PanelMarker::nameArea(hvPanel)));
    QVERIFY(frame->isVisible());
    QCOMPARE(dock->table()->rowCount(), 1);

    // Back to work: latched until someone acknowledges it.
    QVERIFY(TestSupport::deliver(server, *body.tesra(),
                                 {QStringLiteral("hvps.2>Brenlow.hv1 _ChangedStat OFF")}));
    QCOMPARE(dock->table()->rowCount(), 1);
    QVERIFY(!dock->table()->index(0, AlarmTable::Cleared).data().toString().isEmpty());
    QVERIFY(marker->isVisible());
    QTest::mouseClick(dock->findChild<QPushButton *>(QStringLiteral("AckAllB")), Qt::LeftButton);
    QCOMPARE(dock->table()->rowCount(), 0);
    QVERIFY(!marker->isVisible());
    QVERIFY(!frame->isVisible());
    QVERIFY(!dock->annunciator()->isVisible());

    QStringList timeline;
    for (const History::Event &event : body.history()->history().events()) {
        if (History::kindName(event.kind).startsWith(QLatin1String("alarm-")))
            timeline << History::kindName(event.kind) + QLatin1Char(' ') + event.module;
    }
    QCOMPARE(timeline, (QStringList{"alarm-raised HV I1", "alarm-cleared HV I1",
                                    "alarm-acknowledged HV I1"}));
}

// With a history file, what the operator has not dealt with is there after
// a restart: an alarm unacknowledged, one shelved with its expiry; not one
// both cleared and acknowledged. What no longer holds comes back cleared and
// unacknowledged.
void tst_AlarmDock::survivesARestart()
{
    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    const QString ini = TestSupport::writeStation(
        dir, QString::number(server.port()),
        "Answer Timeout=0\nHistory File=" + dir.filePath(QStringLiteral("history.db")).toUtf8() +
            "\nHV Module Names=HV I1, HV I2\nAMP Module Names=AMP I1\n"
            "[HV I1]\nid=hv1\ndriver=hvps\nch=1\n[HV I2]\nid=hv2\ndriver=hvps\nch=2\n"
            "[AMP I1]\nid=amp1\ndriver=ca\nch=1\n");
    auto state = [](const AlarmList &list) {
        QStringList rows;
        for (const AlarmRecord &r : list.records())
            rows << QStringLiteral("%1 %2 %3 %4%5")
                        .arg(r.module, r.condition,
                             r.clearedMs ? QStringLiteral("cleared") : QStringLiteral("holds"),
                             r.ackedBy.isEmpty() ? QStringLiteral("unacked")
                                                 : QStringLiteral("acked"),
                             list.isShelved(r) ? QStringLiteral(" shelved") : QString());
        return rows;
    };
    qint64 shelvedUntil = 0;
    qint64 raisedAt = 0;
    {
        Body body(ini);
        QTRY_COMPARE(body.tesra()->linkState(), Tesra::LinkState::Ready);
        QVERIFY(body.history()->archive());
        QVERIFY(TestSupport::deliver(
            server, *body.tesra(),
            {"hvps.1>Brenlow.hv1 _ChangedStat TRIP", "hvps.2>Brenlow.hv2 _ChangedStat TRIP",
             "ca.1>Brenlow.amp1 @GetSRQ 1", "ca.1>Brenlow.amp1 @GetSRQ 0"}));
        AlarmList *list = body.alarms();
        QVERIFY(list->shelve(QStringLiteral("HV I2"), Condition::HvFault, AlarmList::LongShelfMs));
        QVERIFY(list->acknowledge(QStringLiteral("AMP I1"), Condition::AmpOverload));
        QCOMPARE(state(*list), (QStringList{"HV I1 hv-fault holds unacked",
                                            "HV I2 hv-fault holds unacked shelved"}));
        shelvedUntil = list->records().at(1).shelvedUntilMs;
        raisedAt = list->records().at(0).raisedMs;
        QVERIFY(body.close());
    }

    Body body(ini);
    AlarmList *list = body.alarms();
    QTRY_COMPARE(list->records().size(), 2);
    QCOMPARE(state(*list),
             (QStringList{"HV I1 hv-fault holds unacked", "HV I2 hv-fault holds unacked shelved"}));
    QCOMPARE(list->records().at(0).raisedMs, raisedAt);
    QCOMPARE(list->records().at(1).shelvedUntilMs, shelvedUntil);
    QCOMPARE(body.alarmDock()->table()->rowCount(), 2);
    QCOMPARE(list->annunciatedCount(), 1);
    // HV I1 is back at work: cleared, still to be acknowledged.
    QTRY_COMPARE(body.tesra()->linkState(), Tesra::LinkState::Ready);
    QVERIFY(TestSupport::deliver(server, *body.tesra(), {"hvps.1>Brenlow.hv1 _ChangedStat ON"}));
    QCOMPARE(state(*list), (QStringList{"HV I1 hv-fault cleared unacked",
                                        "HV I2 hv-fault holds unacked shelved"}));
    QCOMPARE(list->annunciatedCount(), 1);
}

void tst_AlarmDock::windowMenuAndCommandLog_data()
{
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("ackAll");
    QTest::newRow("English") << false << "Alarms"
                             << "Acknowledge All";
    QTest::newRow("Japanese") << true << QString::fromUtf8("警報一覧")
                              << QString::fromUtf8("すべて確認");
}

void tst_AlarmDock::windowMenuAndCommandLog()
{
    QFETCH(bool, japanese);
    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    const QString log = dir.filePath(QStringLiteral("commands.log"));
    const QString ini = TestSupport::writeStation(
        dir, QString::number(server.port()),
        "Command Log=" + log.toUtf8() +
            "\nHV Module Names=HV I1\n[HV I1]\nid=hv1\ndriver=hvps\nch=1\n");
    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    Body body(ini);
    QCoreApplication::removeTranslator(&translator);
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));

    // Nothing shows until an alarm is raised; the menu opens the list.
    auto *dock = body.findChild<AlarmDock *>(QStringLiteral("AlarmDock"));
    QVERIFY(dock);
    QCOMPARE(body.alarmDock(), dock);
    QVERIFY(!dock->isVisible());
    QVERIFY(!dock->annunciator()->isVisible());
    auto *entry = body.findChild<QAction *>(QStringLiteral("actionAlarms"));
    QVERIFY(entry);
    QTEST(entry->text(), "entry");
    QTEST(dock->findChild<QPushButton *>(QStringLiteral("AckAllB"))->text(), "ackAll");
    entry->trigger();
    QVERIFY(dock->isVisible());
    entry->trigger();
    QVERIFY(!dock->isVisible());

    body.alarms()->report(QStringLiteral("HV I1"), Condition::HvFault, true,
                          QStringLiteral("TRIP"));
    QVERIFY(dock->isVisible());
    QVERIFY(dock->annunciator()->isVisible());
    body.alarms()->report(QStringLiteral("HV I1"), Condition::HvFault, false);
    QTest::mouseClick(dock->findChild<QPushButton *>(QStringLiteral("AckAllB")), Qt::LeftButton);
    QCOMPARE(dock->table()->rowCount(), 0);
    QVERIFY(!dock->annunciator()->isVisible());

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList alarmLines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line).section(QLatin1Char(' '), 1);
        if (text.startsWith(QLatin1String("alarm ")))
            alarmLines.append(text);
    }
    QCOMPARE(
        alarmLines,
        (QStringList{"alarm raised HV I1 hv-fault (major): TRIP", "alarm cleared HV I1 hv-fault",
                     "alarm acknowledged HV I1 hv-fault by " + AlarmList::localOperator()}));
}

void tst_AlarmDock::readOnlyWindow()
{
    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    const QString ini =
        TestSupport::writeStation(dir, QString::number(server.port()),
                                  "HV Module Names=HV I1\n[HV I1]\nid=hv1\ndriver=hvps\nch=1\n");
    Body body(ini, true);
    body.alarms()->report(QStringLiteral("HV I1"), Condition::HvFault, true);
    AlarmDock *dock = body.alarmDock();
    dock->view()->selectRow(0);
    for (const char *name : {"AckB", "AckAllB", "Shelve1hB", "Shelve8hB", "UnshelveB"})
        QVERIFY2(!dock->findChild<QPushButton *>(QLatin1String(name))->isEnabled(), name);
    QVERIFY(!body.alarms()->acknowledgeAll());
    QCOMPARE(dock->table()->rowCount(), 1);
}

QTEST_MAIN(tst_AlarmDock)
#include "tst_alarmdock.moc"
