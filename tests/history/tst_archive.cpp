// SPDX-License-Identifier: GPL-3.0-or-later
// The history archive, in an SQLite file and in a PostgreSQL database (the
// test command's throwaway server): what is written comes back for its own
// station only, nothing is lost while the database is away, a full queue
// says what it let go, a database that is not the archive's is refused and
// left alone, rows from a clock that ran ahead stay out, old rows go, and a
// lock left by a crash does not keep the file from being used.

#include "TestDatabase.h"
#include "history/Archive.h"
#include "history/History.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const char ChildVariable[] = "BRENLOW_TEST_ARCHIVE_CHILD";
constexpr int WaitMs = 30000;
constexpr qint64 Day = 86'400'000;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool waitFor(QSignalSpy &spy, int ms = WaitMs)
{
    return !spy.isEmpty() || spy.wait(ms);
}

// Opens an archive on target and waits until it is open (or refused).
std::unique_ptr<Archive> openArchive(const ArchiveTarget &target, qint64 startedAt = now())
{
    auto archive = std::make_unique<Archive>();
    QSignalSpy opened(archive.get(), &Archive::opened);
    QSignalSpy refused(archive.get(), &Archive::refused);
    archive->open(target, startedAt);
    QElapsedTimer clock;
    clock.start();
    while (opened.isEmpty() && refused.isEmpty() && clock.elapsed() < WaitMs)
        opened.wait(100);
    return archive;
}

// What an archive opened on target loads at start.
std::shared_ptr<History> loadAtStart(const ArchiveTarget &target, qint64 startedAt = now())
{
    Archive archive;
    QSignalSpy loaded(&archive, &Archive::startLoaded);
    archive.open(target, startedAt);
    if (!waitFor(loaded))
        return nullptr;
    return loaded.first().first().value<std::shared_ptr<History>>();
}

int count(const History &history, const QString &module, History::Quantity quantity)
{
    const History::Series *series = history.series(module, quantity);
    return series ? int(series->samples().size() + series->buckets().size()) : 0;
}

} // namespace

class tst_Archive : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stationsReadBackTheirOwn_data();
    void stationsReadBackTheirOwn();
    void batchesOfAnySize_data();
    void batchesOfAnySize();
    void outageLosesNothing_data();
    void outageLosesNothing();
    void fullQueueSaysWhatItDropped_data();
    void fullQueueSaysWhatItDropped();
    void refusedAndLeftAlone_data();
    void refusedAndLeftAlone();
    void earlierFileCarriedOver_data();
    void earlierFileCarriedOver();
    void unusableFile_data();
    void unusableFile();
    void futureRowsStayOut_data();
    void futureRowsStayOut();
    void oldRowsGo_data();
    void oldRowsGo();
    void retentionKeepsTheJournalSmall();
    void lockOfACrashedOwner_data();
    void lockOfACrashedOwner();
    void secondProgramIsTurnedAway();
    void databaseUrls_data();
    void databaseUrls();

private:
    // The backend of the current data row, or a skip.
    std::unique_ptr<TestDatabase> makeDatabase();

    std::unique_ptr<QTemporaryDir> dir;
};

static void backends()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

void tst_Archive::init()
{
    dir = std::make_unique<QTemporaryDir>();
}

void tst_Archive::cleanup()
{
    dir.reset();
}

std::unique_ptr<TestDatabase> tst_Archive::makeDatabase()
{
    QFETCH(QString, backend);
    const TestDatabase::Backend kind = TestDatabase::backendNamed(backend);
    QString why;
    if (kind == TestDatabase::Postgres && !TestDatabase::postgresAvailable(why))
        return nullptr;
    return std::make_unique<TestDatabase>(kind, *dir);
}

#define MAKE_DATABASE(db)                                                                          \
    auto db = makeDatabase();                                                                      \
    if (!db) {                                                                                     \
        QString why;                                                                               \
        TestDatabase::postgresAvailable(why);                                                      \
        QSKIP(qPrintable(why));                                                                    \
    }                                                                                              \
    QVERIFY2(db->isValid(), qPrintable(db->errorString()))

void tst_Archive::stationsReadBackTheirOwn_data()
{
    backends();
}

// Two stations write into one database; each reads back its own samples,
// events and alarms only, at start and as a span for the trends.
void tst_Archive::stationsReadBackTheirOwn()
{
    MAKE_DATABASE(db);
    const qint64 t = now() - 60'000;
    for (const QString station : {"north", "south"}) {
        auto archive = openArchive(db->target(station));
        QCOMPARE(archive->state(), Archive::State::Open);
        const QString module = station == "north" ? "HV N" : QString::fromUtf8("増幅器,\"1\"");
        archive->addSample(t, module, "hvps.1", History::Quantity::Voltage, "1500.5");
        archive->addSample(t + 250, module, "hvps.1", History::Quantity::Status, "ON");
        archive->addEvent({t + 300, module, "hvps.1", History::EventKind::Status, "ON"});
        archive->addEvent({t + 600, QString(), QString(), History::EventKind::LinkLost, station});
        AlarmRecord alarm;
        alarm.module = module;
        alarm.condition = "hv-fault";
        alarm.severity = "major";
        alarm.value = "TRIP";
        alarm.raisedMs = t;
        archive->storeAlarm(alarm);
        alarm.condition = "hv-deviation";
        archive->storeAlarm(alarm);
        alarm.ackedBy = "op@console";
        alarm.ackedMs = t + 5;
        archive->storeAlarm(alarm);
        archive->removeAlarm(module, "hv-fault");
        archive->close();
    }
    QCOMPARE(db->value("SELECT count(*) FROM samples").toInt(), 4);
    QCOMPARE(db->value("SELECT count(DISTINCT station) FROM events").toInt(), 2);

    Archive archive;
    QSignalSpy loaded(&archive, &Archive::startLoaded);
    QSignalSpy alarms(&archive, &Archive::alarmsLoaded);
    archive.open(db->target("north"), now());
    QVERIFY(waitFor(loaded));
    QVERIFY(waitFor(alarms));
    const auto history = loaded.first().first().value<std::shared_ptr<History>>();
    QCOMPARE(history->modules(), QVector<QString>{"HV N"});
    const History::Series *volts = history->series("HV N", History::Quantity::Voltage);
    QVERIFY(volts);
    QCOMPARE(volts->samples().front().t, t);
    QCOMPARE(volts->samples().front().text.toString(), QString("1500.5"));
    QCOMPARE(history->node("HV N"), QString("hvps.1"));
    QCOMPARE(int(history->events().size()), 2);
    QCOMPARE(history->events().back().text, QString("north"));
    QCOMPARE(history->events().back().t, t + 600);
    const auto kept = alarms.first().first().value<QVector<AlarmRecord>>();
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept.first().condition, QString("hv-deviation"));
    QCOMPARE(kept.first().ackedBy, QString("op@console"));
    QCOMPARE(kept.first().ackedMs, t + 5);
    QCOMPARE(kept.first().clearedMs, qint64(0));

    archive.close();
    // A span for the trends, of the other station.
    Archive south;
    QSignalSpy span(&south, &Archive::spanLoaded);
    south.open(db->target("south"), now());
    south.loadSpan(t - 1000, t + 1000);
    QVERIFY(waitFor(span));
    const auto read = span.first().at(2).value<std::shared_ptr<History>>();
    QCOMPARE(read->modules(), QVector<QString>{QString::fromUtf8("増幅器,\"1\"")});
    QCOMPARE(count(*read, QString::fromUtf8("増幅器,\"1\""), History::Quantity::Status), 1);
}

void tst_Archive::batchesOfAnySize_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QList<int>>("sizes");
    for (const char *backend : {"sqlite", "postgresql"}) {
        QTest::addRow("%s, one row", backend) << backend << QList<int>{1};
        QTest::addRow("%s, one row more than a statement, twice", backend)
            << backend << QList<int>{129, 129};
        QTest::addRow("%s, rows of every smaller statement", backend) << backend << QList<int>{255};
        QTest::addRow("%s, many, then few", backend) << backend << QList<int>{1000, 3, 64};
    }
}

// Whatever the size of a batch, and whether or not a batch of the same size
// went before, each sample arrives once, with its own time and value.
void tst_Archive::batchesOfAnySize()
{
    MAKE_DATABASE(db);
    QFETCH(QList<int>, sizes);
    auto archive = openArchive(db->target("station"));
    QCOMPARE(archive->state(), Archive::State::Open);
    const qint64 t = now() - 60'000;
    int total = 0;
    for (const int size : qAsConst(sizes)) {
        for (int i = 0; i < size; ++i, ++total)
            archive->addSample(t + total, QStringLiteral("HV %1").arg(total % 3), "hvps",
                               History::Quantity::Voltage, QString::number(total));
        archive->flush();
        QTRY_COMPARE_WITH_TIMEOUT(archive->pendingCount(), 0, WaitMs);
    }
    archive->close();
    QCOMPARE(db->value("SELECT count(*) FROM samples").toInt(), total);
    QCOMPARE(db->value("SELECT count(DISTINCT value) FROM samples").toInt(), total);
    QCOMPARE(db->value(QStringLiteral("SELECT count(*) FROM samples WHERE abs(t * 1000 - %1 - "
                                      "CAST(value AS double precision)) > 0.5")
                           .arg(t))
                 .toInt(),
             0);
}

void tst_Archive::outageLosesNothing_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("outageMs");
    // A server stopped for ten seconds; a file that a backup holds locked.
    QTest::newRow("postgresql stopped") << "postgresql" << 10000;
    QTest::newRow("sqlite locked") << "sqlite" << 3000;
}

// Samples go on arriving while the database is away; every one of them is
// in the database once it is back, and the archive said when it went and
// when it came back.
void tst_Archive::outageLosesNothing()
{
    QFETCH(int, outageMs);
    MAKE_DATABASE(db);
    ArchiveTarget target = db->target("station");
    target.busyTimeoutMs = 200;
    auto archive = openArchive(target);
    QCOMPARE(archive->state(), Archive::State::Open);
    QSignalSpy down(archive.get(), &Archive::unreachable);
    QSignalSpy back(archive.get(), &Archive::reachable);

    int sent = 0;
    QTimer source;
    source.setInterval(20);
    connect(&source, &QTimer::timeout, this, [&] {
        archive->addSample(now(), "HV1", "hvps.1", History::Quantity::Voltage,
                           QString::number(sent++));
    });
    source.start();
    QTRY_VERIFY_WITH_TIMEOUT(sent > 20, WaitMs);

    QString why;
    QVERIFY2(db->interrupt(why), qPrintable(why));
    QVERIFY(waitFor(down));
    QCOMPARE(archive->state(), Archive::State::Unreachable);
    // The outage lasts while the samples keep coming.
    QTimer outage;
    outage.setSingleShot(true);
    QSignalSpy over(&outage, &QTimer::timeout);
    outage.start(outageMs);
    QVERIFY(over.wait(outageMs + WaitMs));
    QVERIFY(archive->pendingCount() > 0);
    QVERIFY2(db->resume(why), qPrintable(why));
    QVERIFY(waitFor(back));
    source.stop();
    QCOMPARE(down.count(), 1);
    archive->close();

    QCOMPARE(db->value("SELECT count(*) FROM samples").toInt(), sent);
    QCOMPARE(db->value("SELECT max(CAST(value AS INTEGER)) FROM samples").toInt(), sent - 1);
    QCOMPARE(db->value("SELECT count(DISTINCT value) FROM samples").toInt(), sent);
}

void tst_Archive::fullQueueSaysWhatItDropped_data()
{
    backends();
}

// Past its bound the queue lets the oldest samples go; the archive records
// how many and over which span, and keeps the newest.
void tst_Archive::fullQueueSaysWhatItDropped()
{
    MAKE_DATABASE(db);
    ArchiveTarget target = db->target("station");
    target.queueSamples = 50;
    target.busyTimeoutMs = 100;
    auto archive = openArchive(target);
    QCOMPARE(archive->state(), Archive::State::Open);
    QSignalSpy down(archive.get(), &Archive::unreachable);
    QSignalSpy dropped(archive.get(), &Archive::samplesDropped);
    QString why;
    QVERIFY2(db->interrupt(why), qPrintable(why));
    archive->addSample(now(), "HV1", "hvps.1", History::Quantity::Voltage, "first");
    archive->flush();
    QVERIFY(waitFor(down));

    // After "first", in time as in the queue.
    const qint64 t0 = now() + 1000;
    for (int i = 0; i < 80; ++i)
        archive->addSample(t0 + i, "HV1", "hvps.1", History::Quantity::Voltage, QString::number(i));
    QCOMPARE(archive->pendingSamples(), 50);
    // A write (or reconnection) tried after the flood, so that none was
    // under way with older rows when the database comes back.
    QSignalSpy failed(archive.get(), &Archive::attemptFailed);
    QVERIFY(failed.wait(WaitMs));
    QVERIFY2(db->resume(why), qPrintable(why));
    QVERIFY(waitFor(dropped));
    // "first" and the thirty oldest of the flood.
    QCOMPARE(dropped.first().at(0).toLongLong(), qint64(31));
    QCOMPARE(dropped.first().at(2).toLongLong(), t0 + 29);
    archive->close();
    QCOMPARE(db->value("SELECT count(*) FROM samples").toInt(), 50);
    QCOMPARE(db->value("SELECT min(CAST(value AS INTEGER)) FROM samples").toInt(), 30);
    const QString text =
        db->value("SELECT text FROM events WHERE kind = 'samples-dropped'").toString();
    QVERIFY2(text.startsWith("31 samples from "), qPrintable(text));
    QVERIFY2(
        text.endsWith(QDateTime::fromMSecsSinceEpoch(t0 + 29, Qt::UTC).toString(Qt::ISODateWithMs)),
        qPrintable(text));
}

void tst_Archive::refusedAndLeftAlone_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("setUp");
    QTest::addColumn<QString>("reason");
    QTest::newRow("postgresql, another program's tables")
        << "postgresql" << QStringList{"CREATE TABLE samples(t double precision, x text)"}
        << "tables Brenlow did not make (samples)";
    QTest::newRow("postgresql, newer layout")
        << "postgresql"
        << QStringList{"CREATE TABLE brenlow_schema(version integer)",
                       "INSERT INTO brenlow_schema VALUES (3)"}
        << "made by a newer Brenlow";
    QTest::newRow("sqlite, another program's tables")
        << "sqlite" << QStringList{"CREATE TABLE measurements(t REAL)"}
        << "tables Brenlow did not make (measurements)";
    QTest::newRow("sqlite, newer layout")
        << "sqlite"
        << QStringList{"CREATE TABLE brenlow_schema(version INTEGER)",
                       "INSERT INTO brenlow_schema VALUES (7)"}
        << "made by a newer Brenlow";
    // The earlier version's table names and layout number, but not its
    // columns: not that file, so not carried over.
    QTest::newRow("sqlite, the earlier layout's names, other columns")
        << "sqlite"
        << QStringList{"CREATE TABLE samples(t REAL, module TEXT, node TEXT, quantity TEXT, "
                       "reading REAL)",
                       "CREATE TABLE events(t REAL, module TEXT, node TEXT, kind TEXT, text TEXT)",
                       "PRAGMA user_version = 1"}
        << "tables Brenlow did not make (events, samples)";
    QTest::newRow("sqlite, the earlier layout beside a table of another program")
        << "sqlite"
        << QStringList{"CREATE TABLE samples(t REAL, module TEXT, node TEXT, quantity TEXT, "
                       "value TEXT)",
                       "CREATE TABLE events(t REAL, module TEXT, node TEXT, kind TEXT, text TEXT)",
                       "CREATE TABLE notes(t REAL)", "PRAGMA user_version = 1"}
        << "tables Brenlow did not make (events, notes, samples)";
}

// A database that holds what Brenlow did not make, or a layout it does not
// write, is refused with a reason, and nothing in it changes.
void tst_Archive::refusedAndLeftAlone()
{
    QFETCH(QStringList, setUp);
    QFETCH(QString, reason);
    MAKE_DATABASE(db);
    for (const QString &statement : setUp)
        QVERIFY2(db->exec(statement), qPrintable(statement));
    const QString tables = db->backend() == TestDatabase::Postgres
                               ? "SELECT string_agg(table_name, ',' ORDER BY table_name) FROM "
                                 "information_schema.tables WHERE table_schema = 'public'"
                               : "SELECT group_concat(name) FROM sqlite_master";
    const QString before = db->value(tables).toString();
    auto archive = openArchive(db->target("station"));
    QCOMPARE(archive->state(), Archive::State::Refused);
    QVERIFY2(archive->errorString().contains(reason), qPrintable(archive->errorString()));
    QVERIFY(!archive->isActive());
    archive->addSample(now(), "HV1", "hvps", History::Quantity::Voltage, "1");
    QCOMPARE(archive->pendingCount(), 0);
    archive->close();
    QCOMPARE(db->value(tables).toString(), before);
}

void tst_Archive::earlierFileCarriedOver_data()
{
    QTest::addColumn<QString>("station");
    QTest::addColumn<int>("rows");
    // The earlier version started on the file again afterwards, writing a
    // row as it did.
    QTest::addColumn<bool>("earlierAgain");
    QTest::newRow("rows of a day") << "station" << 3 << false;
    QTest::newRow("a name with a quote") << "O'Neil's bench" << 3 << false;
    QTest::newRow("no rows yet") << "station" << 0 << false;
    QTest::newRow("the earlier version back for a while") << "station" << 3 << true;
}

// The single-station file an earlier Brenlow wrote is taken into the
// present layout at open: its rows become the station's and come back at
// start, new rows go beside them, and the next open finds the layout made.
void tst_Archive::earlierFileCarriedOver()
{
    QFETCH(QString, station);
    QFETCH(int, rows);
    QFETCH(bool, earlierAgain);
    const QString path = dir->filePath("history.db");
    // What the earlier version did at open.
    const QStringList earlierOpen{
        "PRAGMA user_version = 1",
        "CREATE TABLE IF NOT EXISTS samples(t REAL, module TEXT, node TEXT, quantity TEXT, "
        "value TEXT)",
        "CREATE TABLE IF NOT EXISTS events(t REAL, module TEXT, node TEXT, kind TEXT, text TEXT)",
        "CREATE INDEX IF NOT EXISTS samples_module_quantity_t ON samples(module, quantity, t)"};
    const double t = double(now() - 3'600'000) / 1000;
    {
        TestDatabase earlier(TestDatabase::Sqlite, *dir);
        QVERIFY2(earlier.isValid(), qPrintable(earlier.errorString()));
        for (const QString &statement : earlierOpen)
            QVERIFY2(earlier.exec(statement), qPrintable(statement));
        for (int i = 0; i < rows; ++i)
            QVERIFY(
                earlier.exec(QStringLiteral("INSERT INTO samples(t, module, node, quantity, value) "
                                            "VALUES (%1, 'HV1', 'hvps.1', 'voltage', '%2')")
                                 .arg(t + i, 0, 'f', 3)
                                 .arg(1000 + i)));
        if (rows > 0)
            QVERIFY(earlier.exec(
                QStringLiteral("INSERT INTO events VALUES (%1, 'HV1', 'hvps.1', 'status', 'ON')")
                    .arg(t, 0, 'f', 3)));
        QCOMPARE(earlier.target(station).file, path);
    }
    const auto loaded = loadAtStart(ArchiveTarget::sqlite(path, station));
    QVERIFY(loaded);
    QCOMPARE(count(*loaded, "HV1", History::Quantity::Voltage), rows);
    QCOMPARE(int(loaded->events().size()), rows > 0 ? 1 : 0);
    {
        auto archive = openArchive(ArchiveTarget::sqlite(path, station));
        QCOMPARE(archive->state(), Archive::State::Open);
        archive->addSample(now(), "HV1", "hvps.1", History::Quantity::Voltage, "new");
        archive->close();
    }
    int added = 1;
    if (earlierAgain) {
        TestDatabase earlier(TestDatabase::Sqlite, *dir);
        for (const QString &statement : earlierOpen)
            QVERIFY2(earlier.exec(statement), qPrintable(statement));
        // Its INSERT, which names the columns it knows.
        QVERIFY(earlier.exec("INSERT INTO samples(t, module, node, quantity, value) VALUES "
                             "(strftime('%s', 'now'), 'HV1', 'hvps.1', 'voltage', 'earlier')"));
        auto archive = openArchive(ArchiveTarget::sqlite(path, station));
        QCOMPARE(archive->state(), Archive::State::Open);
        archive->close();
        ++added;
    }
    TestDatabase after(TestDatabase::Sqlite, *dir);
    QCOMPARE(after.value("SELECT max(version) FROM brenlow_schema").toInt(), 2);
    QCOMPARE(after.value("SELECT count(*) FROM samples").toInt(), rows + added);
    const QString quoted = QString(station).replace("'", "''");
    QCOMPARE(
        after.value(QStringLiteral("SELECT count(*) FROM samples WHERE station = '%1'").arg(quoted))
            .toInt(),
        rows + added);
    QCOMPARE(
        after.value(QStringLiteral("SELECT count(*) FROM events WHERE station = '%1'").arg(quoted))
            .toInt(),
        after.value("SELECT count(*) FROM events").toInt());
    if (earlierAgain)
        return;
    QCOMPARE(after.value("PRAGMA user_version").toInt(), 2);
    // The earlier index, which nothing reads now, is gone; the layout's own
    // are there.
    QCOMPARE(after
                 .value("SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE "
                        "type = 'index' AND tbl_name = 'samples' ORDER BY name)")
                 .toString(),
             QString("samples_station_t,samples_t"));
}

void tst_Archive::unusableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder that does not exist") << "missing/history.db" << QByteArray() << "";
    QTest::newRow("not a database") << "history.db" << QByteArray(4096, 'x') << "not an SQLite";
    QTest::newRow("a folder") << "folder" << QByteArray() << "folder";
    // A page in the middle of a real archive overwritten.
    QTest::newRow("damaged") << "history.db" << QByteArray("damage") << "damaged";
}

// A file that cannot be the archive is refused with the reason, and its
// bytes are left as they were.
void tst_Archive::unusableFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = dir->filePath(name);
    if (name == "folder")
        QVERIFY(QDir(dir->path()).mkdir(name));
    if (content == "damage") {
        {
            auto archive = openArchive(ArchiveTarget::sqlite(path, "station"));
            for (int i = 0; i < 5000; ++i)
                archive->addSample(now(), "HV1", "hvps", History::Quantity::Voltage,
                                   QString::number(i));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 16 * 4096);
        file.seek(8 * 4096);
        file.write(QByteArray(4096, char(0x5a)));
        file.close();
    } else if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QFile file(path);
    const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    auto archive = openArchive(ArchiveTarget::sqlite(path, "station"));
    QCOMPARE(archive->state(), Archive::State::Refused);
    QVERIFY2(archive->errorString().contains(reason), qPrintable(archive->errorString()));
    archive->close();
    if (file.open(QIODevice::ReadOnly))
        QCOMPARE(file.readAll(), before);
}

void tst_Archive::futureRowsStayOut_data()
{
    backends();
}

// A clock that ran ahead left rows in the future: they are not loaded at
// start, nor as part of a span, where they would hold the trends at their
// time.
void tst_Archive::futureRowsStayOut()
{
    MAKE_DATABASE(db);
    const qint64 start = now();
    {
        auto archive = openArchive(db->target("station"));
        archive->addSample(start - 60'000, "HV1", "hvps", History::Quantity::Voltage, "past");
        archive->addSample(start + Day / 2, "HV1", "hvps", History::Quantity::Voltage, "ahead");
        archive->addEvent({start + Day / 2, "HV1", "hvps", History::EventKind::Status, "ahead"});
        archive->close();
    }
    const auto loaded = loadAtStart(db->target("station"), start);
    QVERIFY(loaded);
    const History::Series *volts = loaded->series("HV1", History::Quantity::Voltage);
    QVERIFY(volts);
    QCOMPARE(int(volts->samples().size()), 1);
    QCOMPARE(volts->samples().front().text.toString(), QString("past"));
    QVERIFY(loaded->events().empty());
    QVERIFY(loaded->newest() < start);

    Archive archive;
    QSignalSpy span(&archive, &Archive::spanLoaded);
    archive.open(db->target("station"), now());
    archive.loadSpan(start - Day / 2, start + Day / 2 + 1);
    QVERIFY(waitFor(span));
    const auto read = span.first().at(2).value<std::shared_ptr<History>>();
    QCOMPARE(count(*read, "HV1", History::Quantity::Voltage), 1);
    QVERIFY(read->events().empty());
}

void tst_Archive::oldRowsGo_data()
{
    backends();
}

// What is older than the days kept goes at open; a station that keeps
// fewer days takes the shorter time only when no other keeps longer.
void tst_Archive::oldRowsGo()
{
    MAKE_DATABASE(db);
    ArchiveTarget target = db->target("station");
    target.keepDays = 30;
    {
        auto archive = openArchive(target);
        archive->addSample(now() - 32 * Day, "HV1", "hvps", History::Quantity::Voltage, "old");
        archive->addSample(now() - 20 * Day, "HV1", "hvps", History::Quantity::Voltage, "kept");
        archive->addSample(now() - 1000, "HV1", "hvps", History::Quantity::Voltage, "new");
        archive->addEvent({now() - 40 * Day, "HV1", "hvps", History::EventKind::Status, "old"});
        archive->close();
    }
    QCOMPARE(db->value("SELECT count(*) FROM samples").toInt(), 3);
    {
        auto archive = openArchive(target);
        QSignalSpy retained(archive.get(), &Archive::retained);
        archive->retainNow();
        QVERIFY(waitFor(retained));
    }
    QCOMPARE(db->value("SELECT count(*) FROM samples").toInt(), 2);
    QCOMPARE(db->value("SELECT count(*) FROM events").toInt(), 0);

    // Fewer days: the first pass, at open, goes to a week back.
    target.keepDays = 7;
    Archive archive;
    QSignalSpy retained(&archive, &Archive::retained);
    archive.open(target, now());
    QVERIFY(waitFor(retained));
    QCOMPARE(db->value("SELECT count(*) FROM samples").toInt(), 1);
    QCOMPARE(db->value("SELECT value FROM samples").toString(), QString("new"));
}

// A retention pass deletes a slice at a time; each slice's pages must be
// copied back into the file before the next, or the write-ahead log grows by
// every page the whole pass touched, and that copy is then made in one go
// after the pass, at the cost of the steady writing. The older half of an
// archive whose days are interleaved touches every page, so a log that keeps
// growing ends near the size of the file.
void tst_Archive::retentionKeepsTheJournalSmall()
{
    const TestDatabase db(TestDatabase::Sqlite, *dir);
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    const ArchiveTarget target = db.target("station");
    openArchive(target)->close();
    // Ten slices of rows older than the days kept, between as many recent.
    const int rows = 400000;
    const double old = double(now() - 40 * Day) / 1000;
    const double recent = double(now() - Day) / 1000;
    QVERIFY(db.exec(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i "
                       "< %1) INSERT INTO samples (t, module, node, quantity, value, station) "
                       "SELECT CASE i % 2 WHEN 0 THEN %2 ELSE %3 END + i / 1000.0, 'HV1', "
                       "'hvps', 'voltage', '1000.0', 'station' FROM n")
            .arg(rows - 1)
            .arg(old, 0, 'f', 3)
            .arg(recent, 0, 'f', 3)));
    QVERIFY(db.exec("PRAGMA wal_checkpoint(TRUNCATE)"));
    const qint64 fileSize = QFileInfo(target.file).size();

    Archive archive;
    QSignalSpy retained(&archive, &Archive::retained);
    archive.open(target, now());
    QVERIFY(waitFor(retained));
    QCOMPARE(db.value("SELECT count(*) FROM samples").toInt(), rows / 2);
    // The log's file keeps the size it once had until the archive closes.
    const qint64 logSize = QFileInfo(target.file + "-wal").size();
    QVERIFY2(logSize < fileSize / 3,
             qPrintable(QStringLiteral("log %1 bytes, file %2").arg(logSize).arg(fileSize)));
}

void tst_Archive::lockOfACrashedOwner_data()
{
    QTest::addColumn<bool>("pidAlive");
    // The process id in the lock file belongs to no process now, or (after
    // a restart) to another process, as here this test's own.
    QTest::newRow("owner gone") << false;
    QTest::newRow("process id reused") << true;
}

void tst_Archive::lockOfACrashedOwner()
{
    QFETCH(bool, pidAlive);
    const QString path = dir->filePath("history.db");
    QFile lock(path + ".lock");
    QVERIFY(lock.open(QIODevice::WriteOnly));
    const qint64 pid = pidAlive ? QCoreApplication::applicationPid() : 999'999'999;
    lock.write(QByteArray::number(pid) + ' ' + QSysInfo::machineHostName().toUtf8() + " brenlow\n");
    lock.close();
    auto archive = openArchive(ArchiveTarget::sqlite(path, "station"));
    QCOMPARE(archive->state(), Archive::State::Open);
}

// Another process, this test program run again, opens the file a first
// archive holds: it is turned away, and the first one writes on.
void tst_Archive::secondProgramIsTurnedAway()
{
    const QString path = dir->filePath("history.db");
    auto first = openArchive(ArchiveTarget::sqlite(path, "station"));
    QCOMPARE(first->state(), Archive::State::Open);
    first->addSample(now(), "HV1", "hvps", History::Quantity::Voltage, "1");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildVariable, path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(WaitMs));
    const QString said = QString::fromUtf8(child.readAllStandardOutput());
    QCOMPARE(child.exitCode(), 1);
    QVERIFY2(said.contains("in use by another program (process "), qPrintable(said));

    first->close();
    TestDatabase db(TestDatabase::Sqlite, *dir);
    QCOMPARE(db.value("PRAGMA integrity_check").toString(), QString("ok"));
    QCOMPARE(db.value("SELECT count(*) FROM samples").toInt(), 1);
    // Once the first has gone, the file can be taken.
    QCOMPARE(openArchive(ArchiveTarget::sqlite(path, "station"))->state(), Archive::State::Open);
}

void tst_Archive::databaseUrls_data()
{
    QTest::addColumn<QString>("url");
    // host, port, user, database; or the start of the reason it is refused.
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("full") << "postgresql://brenlow@127.0.0.1:5433/history"
                          << QStringList{"127.0.0.1", "5433", "brenlow", "history"};
    QTest::newRow("default port") << "postgresql://op@db/h" << QStringList{"db", "5432", "op", "h"};
    QTest::newRow("socket directory") << "postgresql://op@%2Fvar%2Frun%2Fpostgresql:5432/h"
                                      << QStringList{"/var/run/postgresql", "5432", "op", "h"};
    QTest::newRow("password") << "postgresql://op:secret@db:5432/h"
                              << QStringList{"holds a password"};
    QTest::newRow("no user") << "postgresql://db:5432/h" << QStringList{"not of the form"};
    QTest::newRow("no database") << "postgresql://op@db:5432/" << QStringList{"not of the form"};
    QTest::newRow("no host") << "postgresql://op@:5432/h" << QStringList{"names no host"};
    QTest::newRow("port out of range") << "postgresql://op@db:70000/h" << QStringList{"port 70000"};
    QTest::newRow("options") << "postgresql://op@db/h?sslmode=disable"
                             << QStringList{"not of the form"};
}

// The password of a shared database never stands in a station file: a URL
// that holds one is refused, not used.
void tst_Archive::databaseUrls()
{
    QFETCH(QString, url);
    QFETCH(QStringList, parts);
    QString why;
    const ArchiveTarget target = ArchiveTarget::postgres(url, "station", &why);
    if (parts.size() == 1) {
        QCOMPARE(target.kind, ArchiveTarget::NoArchive);
        QVERIFY2(why.startsWith(parts.first()), qPrintable(why));
        return;
    }
    QCOMPARE(target.kind, ArchiveTarget::Postgres);
    QCOMPARE((QStringList{target.host, QString::number(target.port), target.user, target.database}),
             parts);
    QVERIFY(!target.describe().contains("secret"));
}

// Run as the second program of secondProgramIsTurnedAway: tries the file
// and says what happened.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray childPath = qgetenv(ChildVariable);
    if (!childPath.isEmpty()) {
        auto archive = openArchive(ArchiveTarget::sqlite(QString::fromLocal8Bit(childPath), "b"));
        const bool opened = archive->state() == Archive::State::Open;
        QTextStream(stdout) << (opened ? QString("opened") : archive->errorString()) << '\n';
        return opened ? 0 : 1;
    }
    tst_Archive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_archive.moc"
