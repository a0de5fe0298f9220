// SPDX-License-Identifier: GPL-3.0-or-later
// The trends window against the fake server: it opens from the menu with a
// chart per HV module that draws what the modules sent, the timeline lists
// the events, the export writes the span, and the archive named by the
// station brings the history back after a restart.

#include "FakeTesraServer.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "client/Tesra.h"
#include "devices/HVRules.h"
#include "history/Archive.h"
#include "history/History.h"
#include "window/Body.h"
#include "window/HistoryView.h"
#include "window/StatusNotes.h"
#include "window/TimelineModel.h"
#include "window/TrendChart.h"
#include "window/TrendsWindow.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>

using namespace TestSupport;

namespace {

const QByteArray Modules = "HV Module Names=HV1, HV2\n"
                           "AMP Module Names=AMP1\n"
                           "IC Module Names=I1, I2\n"
                           "[HV1]\nid=hv1\ndriver=hvps\nch=1\n"
                           "[HV2]\nid=hv2\ndriver=hvps\nch=2\n"
                           "[AMP1]\nid=amp1\ndriver=dev1\n"
                           "[I1]\nHV Unit id=hv1\nAMP Unit id=amp1\n"
                           "[I2]\nHV Unit id=hv2\nAMP Unit id=amp1\n";

const QStringList Ramp{
    "hvps.1>Brenlow.hv1 @GetStat1 L2H",     "hvps.1>Brenlow.hv1 _ChangedValue 100",
    "hvps.1>Brenlow.hv1 _ChangedValue 200", "hvps.1>Brenlow.hv1 _ChangedStat ON",
    "hvps.2>Brenlow.hv2 @GetV 50",          "dev1>Brenlow _SRQChanged 1"};

} // namespace

class tst_Trends : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithASeriesPerModule();
    void exportWritesTheSpan();
    void archiveSurvivesARestart();
    void statusBandStopsAtOutages_data();
    void statusBandStopsAtOutages();
    void unusableArchiveIsNoted();
    void unreachableNoteComesAndGoes();
    void olderSpansFromTheArchive_data();
    void olderSpansFromTheArchive();

private:
    std::unique_ptr<Body> startBody(const QByteArray &extra = QByteArray());

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_Trends::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_Trends::cleanup()
{
    server.reset();
    dir.reset();
}

std::unique_ptr<Body> tst_Trends::startBody(const QByteArray &extra)
{
    auto body = std::make_unique<Body>(
        writeStation(*dir, QString::number(server->port()), extra + Modules));
    QSignalSpy ready(body->tesra(), &Tesra::ConnectionIsReady);
    if (!ready.wait(10000) && ready.isEmpty())
        return nullptr;
    return body;
}

void tst_Trends::opensWithASeriesPerModule()
{
    auto body = startBody();
    QVERIFY(body);
    QVERIFY(deliver(*server, *body->tesra(), Ramp));

    // The entries open the menu, set apart from what follows; Quit ends it.
    const QList<QAction *> entries = body->menuBar()->actions().at(0)->menu()->actions();
    QVERIFY(entries.size() >= 4);
    QCOMPARE(entries.at(0)->objectName(), QStringLiteral("actionTrends"));
    QCOMPARE(entries.at(1)->objectName(), QStringLiteral("actionExportHistory"));
    QVERIFY(entries.at(2)->isSeparator());
    QCOMPARE(entries.last()->objectName(), QStringLiteral("actionQuit"));

    entries.at(0)->trigger();
    TrendsWindow *trends = body->history()->trends();
    QVERIFY(QTest::qWaitForWindowExposed(trends));
    QCOMPARE(trends->charts().size(), 2);
    QCOMPARE(trends->charts().at(0)->module(), QStringLiteral("HV1"));
    QCOMPARE(trends->charts().at(1)->module(), QStringLiteral("HV2"));
    QVERIFY(trends->isFollowing());
    trends->redraw();
    QCOMPARE(trends->charts().at(0)->voltagePointCount(), 2);
    QCOMPARE(trends->charts().at(1)->voltagePointCount(), 1);
    QCOMPARE(trends->charts().at(0)->voltageSeries()->at(1).y(), 200.0);

    // Newer values reach the chart by the window's own timer.
    QVERIFY(deliver(*server, *body->tesra(), {"hvps.2>Brenlow.hv2 _ChangedValue 75"}));
    QTRY_COMPARE(trends->charts().at(1)->voltagePointCount(), 2);

    // Scrolled back a day, nothing is shown; Live follows again.
    trends->showUntil(trends->shownTo() - History::KeepMs / 2);
    QVERIFY(!trends->isFollowing());
    QCOMPARE(trends->charts().at(0)->voltagePointCount(), 0);
    trends->followLive();
    QVERIFY(trends->isFollowing());
    QCOMPARE(trends->charts().at(0)->voltagePointCount(), 2);

    // The timeline, newest first: the link, the statuses, the overload and
    // the alarm it raised.
    trends->showTimeline();
    TimelineModel *timeline = trends->timeline();
    timeline->refresh();
    QStringList events;
    for (int row = 0; row < timeline->rowCount(); ++row)
        events << timeline->index(row, TimelineModel::ModuleColumn).data().toString() + ": " +
                      timeline->index(row, TimelineModel::EventColumn).data().toString();
    QCOMPARE(events,
             (QStringList{"AMP1: Alarm raised: amp-overload", "AMP1: Overload set",
                          "HV1: Status ON", "HV1: Status L2H",
                          QString("(link): Link ready: 127.0.0.1:%1").arg(server->port())}));
}

void tst_Trends::exportWritesTheSpan()
{
    auto body = startBody();
    QVERIFY(body);
    QVERIFY(deliver(*server, *body->tesra(), Ramp));
    const QString path = dir->filePath("export.csv");
    QVERIFY(body->history()->exportTo(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    // The header, six samples, and the empty text after the last line end.
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines.at(0), QByteArray("time,module,node,quantity,value\r"));
    QCOMPARE(lines.at(7), QByteArray());
    QStringList rows;
    for (int i = 1; i < 7; ++i) {
        QVERIFY(lines.at(i).endsWith('\r'));
        // The time, then the rest.
        QVERIFY(QDateTime::fromString(QString(lines.at(i).left(24)), Qt::ISODateWithMs).isValid());
        rows << QString::fromUtf8(lines.at(i).mid(25).chopped(1));
    }
    rows.sort();
    QCOMPARE(rows, (QStringList{"AMP1,dev1,overload,1", "HV1,hvps.1,status,L2H",
                                "HV1,hvps.1,status,ON", "HV1,hvps.1,voltage,100",
                                "HV1,hvps.1,voltage,200", "HV2,hvps.2,voltage,50"}));
    QVERIFY(!body->history()->exportTo(dir->filePath("missing/export.csv")));
}

void tst_Trends::archiveSurvivesARestart()
{
    const QByteArray archive = "History File=" + dir->filePath("history.db").toUtf8() + "\n";
    {
        auto body = startBody(archive);
        QVERIFY(body);
        QVERIFY(body->history()->archive());
        QVERIFY(deliver(*server, *body->tesra(), Ramp));
        QVERIFY(body->close());
    }
    auto body = startBody(archive);
    QVERIFY(body);
    const History &history = body->history()->history();
    const History::Series *volts = history.series("HV1", History::Quantity::Voltage);
    QVERIFY(volts);
    // The archive's worker reads the last day while the window runs.
    QTRY_COMPARE(int(volts->samples().size()), 2);
    QCOMPARE(volts->samples().back().text.toString(), QString("200"));
    // The first run's events came back, and the second run's link is added.
    int statuses = 0;
    for (const History::Event &e : history.events())
        statuses += e.kind == History::EventKind::Status ? 1 : 0;
    QCOMPARE(statuses, 2);
    QVERIFY(body->statusNotes()->notes().isEmpty());

    // The first run's link counts as lost from its last record, so its last
    // status does not seem to hold through the time Brenlow was not running.
    QVector<History::EventKind> link;
    qint64 lostAt = 0;
    for (const History::Event &e : history.events()) {
        if (!e.module.isEmpty())
            continue;
        link << e.kind;
        if (e.kind == History::EventKind::LinkLost)
            lostAt = e.t;
    }
    QCOMPARE(link, (QVector<History::EventKind>{History::EventKind::LinkReady,
                                                History::EventKind::LinkLost,
                                                History::EventKind::LinkReady}));
    // Its last record: the overload, or the alarm the overload raised.
    qint64 lastRecord = history.series("AMP1", History::Quantity::Overload)->newest();
    for (const History::Event &e : history.events()) {
        if (e.kind == History::EventKind::AlarmRaised && e.t <= lostAt)
            lastRecord = std::max(lastRecord, e.t);
    }
    QCOMPARE(lostAt, lastRecord);
}

// The band of each status colour against outages of the link: a status
// holds until the next, or until the link goes down; after an outage the
// band waits for the module to report its status again.
void tst_Trends::statusBandStopsAtOutages_data()
{
    QTest::addColumn<QVector<int>>("lines");
    QTest::addColumn<QVector<int>>("green");
    // Rows of "t kind" pairs: kind 0 a status ON, 1 a voltage, 2 link lost,
    // 3 link refused, 4 link ready; the green periods expected, from and to.
    QTest::newRow("no outage") << QVector<int>{0, 0, 0, 1} << QVector<int>{0, 100};
    QTest::newRow("outage, status again")
        << QVector<int>{0, 0, 0, 1, 30, 2, 50, 4, 60, 1, 60, 0} << QVector<int>{0, 30, 60, 100};
    QTest::newRow("outage, only a voltage after it")
        << QVector<int>{0, 0, 0, 1, 30, 2, 50, 4, 60, 1} << QVector<int>{0, 30};
    QTest::newRow("refused, status again")
        << QVector<int>{0, 0, 0, 1, 20, 3, 40, 4, 70, 0} << QVector<int>{0, 20, 70, 100};
    QTest::newRow("outage still open") << QVector<int>{0, 0, 0, 1, 80, 2} << QVector<int>{0, 80};
}

void tst_Trends::statusBandStopsAtOutages()
{
    QFETCH(QVector<int>, lines);
    QFETCH(QVector<int>, green);
    const qint64 t0 = 1'800'000'000'000;
    const qint64 second = 1000;
    History history;
    for (int i = 0; i + 1 < lines.size(); i += 2) {
        const qint64 t = t0 + lines.at(i) * second;
        History::Event link;
        link.t = t;
        switch (lines.at(i + 1)) {
        case 0:
            history.add("HV1", History::Quantity::Status, t, "ON");
            continue;
        case 1:
            history.add("HV1", History::Quantity::Voltage, t, "1500");
            continue;
        case 2:
            link.kind = History::EventKind::LinkLost;
            break;
        case 3:
            link.kind = History::EventKind::LinkRefused;
            break;
        default:
            link.kind = History::EventKind::LinkReady;
            break;
        }
        history.addEvent(link);
    }
    TrendChart chart("HV1", QString(), 0);
    chart.draw(history, t0, t0 + 100 * second);
    QVector<int> drawn;
    for (const TrendChart::Interval &i : chart.statusPeriods(int(HVRules::StatusColour::Green)))
        drawn << int((i.from - t0) / second) << int((i.to - t0) / second);
    QCOMPARE(drawn, green);
}

void tst_Trends::unusableArchiveIsNoted()
{
    const QString folder = dir->filePath("a folder");
    QVERIFY(QDir().mkpath(folder));
    auto body = startBody("History File=" + folder.toUtf8() + "\n");
    QVERIFY(body);
    QTRY_VERIFY(!body->history()->archive());
    QCOMPARE(body->statusNotes()->notes().size(), 1);
    QVERIFY(body->statusNotes()->notes().at(0).startsWith("History file"));
    // It records all the same.
    QVERIFY(deliver(*server, *body->tesra(), Ramp));
    QVERIFY(body->history()->history().series("HV1", History::Quantity::Voltage));
}

// A backup holds the file locked for a while: one note stands in the status
// bar while it lasts, and goes when the archive is written again; nothing
// recorded meanwhile is missing from the file.
void tst_Trends::unreachableNoteComesAndGoes()
{
    TestDatabase db(TestDatabase::Sqlite, *dir);
    auto body = startBody(db.stationKey());
    QVERIFY(body);
    Archive *archive = body->history()->archive();
    QVERIFY(archive);
    QTRY_COMPARE_WITH_TIMEOUT(archive->state(), Archive::State::Open, 10000);
    QVERIFY(db.holdLock());
    QVERIFY(deliver(*server, *body->tesra(), Ramp));
    const auto noted = [&] {
        return body->statusNotes()->notes().filter("history database unreachable since").size();
    };
    QTRY_COMPARE_WITH_TIMEOUT(noted(), 1, 20000);
    // More rows while it lasts make no second note.
    QVERIFY(deliver(*server, *body->tesra(), Ramp));
    QSignalSpy written(archive, &Archive::written);
    QVERIFY(!written.wait(1500));
    QCOMPARE(body->statusNotes()->notes().size(), 1);
    QVERIFY(db.release());
    QTRY_COMPARE_WITH_TIMEOUT(noted(), 0, 20000);
    QVERIFY(body->statusNotes()->notes().isEmpty());
    QVERIFY(body->close());
    body.reset();
    QCOMPARE(db.value("SELECT count(*) FROM samples").toInt(), 2 * Ramp.size());
}

void tst_Trends::olderSpansFromTheArchive_data()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

// Scrolled back past the day in memory, the charts show what the archive
// holds for this station, read without holding up the window; another
// station's rows in the same database stay out.
void tst_Trends::olderSpansFromTheArchive()
{
    QFETCH(QString, backend);
    QString why;
    const auto kind = TestDatabase::backendNamed(backend);
    if (kind == TestDatabase::Postgres && !TestDatabase::postgresAvailable(why))
        QSKIP(qPrintable(why));
    TestDatabase db(kind, *dir);
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    const qint64 then = QDateTime::currentMSecsSinceEpoch() - 3 * History::KeepMs;
    for (const QString station : {"station", "elsewhere"}) {
        Archive archive;
        QSignalSpy opened(&archive, &Archive::opened);
        archive.open(db.target(station), QDateTime::currentMSecsSinceEpoch());
        QVERIFY(opened.wait(10000));
        const int values = station == "station" ? 3 : 7;
        for (int i = 0; i < values; ++i)
            archive.addSample(then + i * 1000, "HV1", "hvps.1", History::Quantity::Voltage,
                              QString::number(100 * i));
        archive.close();
    }
    auto body = startBody(db.stationKey());
    QVERIFY(body);
    TrendsWindow *trends = body->history()->trends();
    trends->show();
    QVERIFY(QTest::qWaitForWindowExposed(trends));
    trends->showUntil(then + TrendsWindow::spanMs(TrendsWindow::TenMinutes) / 2);
    QVERIFY(trends->isReadingArchive());
    QTRY_VERIFY_WITH_TIMEOUT(trends->drewFromArchive(), 20000);
    QCOMPARE(trends->charts().at(0)->voltagePointCount(), 3);
    QCOMPARE(trends->charts().at(0)->voltageSeries()->at(2).y(), 200.0);
    // The export takes the span shown, from the archive.
    const QString csv = dir->filePath("older.csv");
    QVERIFY(body->history()->exportTo(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("HV1,hvps.1,voltage,"), 3);
    // Back to the live end: the memory's history again.
    trends->followLive();
    QVERIFY(!trends->drewFromArchive());
}

QTEST_MAIN(tst_Trends)
#include "tst_trends.moc"
