// SPDX-License-Identifier: GPL-3.0-or-later
// The history file: what is written comes back after a restart, old samples
// are deleted, a file that cannot be written is refused with a reason, and a
// second program on the same file neither corrupts it nor loses rows.

#include "history/Archive.h"
#include "history/History.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char ChildVariable[] = "BRENLOW_TEST_ARCHIVE_CHILD";

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Another connection to the file, as a script with an SQLite client would
// make; removed with the object.
class OtherConnection
{
public:
    explicit OtherConnection(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        db.open();
    }
    ~OtherConnection()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QVariant value(const QString &statement)
    {
        QSqlQuery q(QSqlDatabase::database(name, false));
        if (!q.exec(statement) || !q.next())
            return QVariant();
        return q.value(0);
    }
    bool exec(const QString &statement)
    {
        QSqlQuery q(QSqlDatabase::database(name, false));
        return q.exec(statement);
    }

private:
    QString name = QStringLiteral("tst-other");
};

} // namespace

class tst_Archive : public QObject
{
    Q_OBJECT

private slots:
    void readBackAfterRestart();
    void writesWithinASecond();
    void retentionDeletesOldRows();
    void unwritableFile_data();
    void unwritableFile();
    void secondProgramIsTurnedAway();
    void busyDatabaseKeepsRows();
};

void tst_Archive::readBackAfterRestart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    const qint64 t = now() - 60'000;
    {
        Archive archive;
        QVERIFY2(archive.open(path), qPrintable(archive.errorString()));
        archive.addSample(t, "HV1", "hvps.1", History::Quantity::Voltage, "1500.5");
        archive.addSample(t + 250, "HV1", "hvps.1", History::Quantity::Status, "ON");
        archive.addSample(t + 500, QString::fromUtf8("増幅器,1"), "dev1",
                          History::Quantity::Overload, "1");
        archive.addEvent(
            {t + 500, QString::fromUtf8("増幅器,1"), "dev1", History::EventKind::OverloadSet, "1"});
        archive.addEvent(
            {t + 600, QString(), QString(), History::EventKind::LinkLost, "127.0.0.1:1"});
        // Closing writes what waits.
    }
    Archive archive;
    QVERIFY(archive.open(path));
    History history;
    QVERIFY(archive.load(history, now()));
    const History::Series *v = history.series("HV1", History::Quantity::Voltage);
    QVERIFY(v);
    QCOMPARE(int(v->samples().size()), 1);
    QCOMPARE(v->samples().front().t, t);
    QCOMPARE(v->samples().front().text.toString(), QString("1500.5"));
    QCOMPARE(v->samples().front().number, 1500.5);
    QCOMPARE(history.node("HV1"), QString("hvps.1"));
    QVERIFY(history.series(QString::fromUtf8("増幅器,1"), History::Quantity::Overload));
    QCOMPARE(int(history.events().size()), 2);
    QCOMPARE(history.events().front().kind, History::EventKind::OverloadSet);
    QCOMPARE(history.events().back().kind, History::EventKind::LinkLost);
    QCOMPARE(history.events().back().t, t + 600);

    // Samples older than the span asked for stay on disk only.
    History recent;
    QVERIFY(archive.load(recent, now(), 30'000));
    QVERIFY(!recent.series("HV1", History::Quantity::Voltage));
}

void tst_Archive::writesWithinASecond()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    Archive archive;
    QVERIFY(archive.open(path));
    for (int i = 0; i < 50; ++i)
        archive.addSample(now(), "HV1", "hvps", History::Quantity::Voltage, QString::number(i));
    // Waiting, not yet written: one transaction takes them together.
    QCOMPARE(archive.pendingCount(), 50);
    QTRY_COMPARE_WITH_TIMEOUT(archive.pendingCount(), 0, 10000);
    OtherConnection other(path);
    QCOMPARE(other.value("SELECT count(*) FROM samples").toInt(), 50);
    QCOMPARE(other.value("SELECT value FROM samples ORDER BY rowid DESC LIMIT 1").toString(),
             QString("49"));
}

void tst_Archive::retentionDeletesOldRows()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    const qint64 day = 86'400'000;
    {
        Archive archive;
        QVERIFY(archive.open(path, 30));
        archive.addSample(now() - 31 * day, "HV1", "hvps", History::Quantity::Voltage, "old");
        archive.addSample(now() - 29 * day, "HV1", "hvps", History::Quantity::Voltage, "kept");
        archive.addEvent({now() - 40 * day, "HV1", "hvps", History::EventKind::Status, "old"});
        QVERIFY(archive.flush());
        OtherConnection other(path);
        QCOMPARE(other.value("SELECT count(*) FROM samples").toInt(), 2);
        QVERIFY(archive.deleteOlderThanKept(now()));
        QCOMPARE(other.value("SELECT count(*) FROM samples").toInt(), 1);
        QCOMPARE(other.value("SELECT value FROM samples").toString(), QString("kept"));
        QCOMPARE(other.value("SELECT count(*) FROM events").toInt(), 0);
    }
    // Fewer days kept: opening deletes at once.
    Archive archive;
    QVERIFY(archive.open(path, 7));
    OtherConnection other(path);
    QCOMPARE(other.value("SELECT count(*) FROM samples").toInt(), 0);
}

void tst_Archive::unwritableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("folder that does not exist") << "missing/history.db" << QByteArray();
    QTest::newRow("not a database") << "history.db" << QByteArray(4096, 'x');
    QTest::newRow("a folder") << "folder" << QByteArray();
}

void tst_Archive::unwritableFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    if (name == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(name));
    Archive archive;
    QVERIFY(!archive.open(path));
    QVERIFY(!archive.isOpen());
    QVERIFY(!archive.errorString().isEmpty());
    // Handing it rows is harmless.
    archive.addSample(now(), "HV1", "hvps", History::Quantity::Voltage, "1");
    QCOMPARE(archive.pendingCount(), 0);
    QVERIFY(archive.flush());
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }
}

void tst_Archive::secondProgramIsTurnedAway()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    Archive first;
    QVERIFY(first.open(path));
    first.addSample(now(), "HV1", "hvps", History::Quantity::Voltage, "1");

    // Another process, this test program run again, opens the same file.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildVariable, path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    const QString said = QString::fromUtf8(child.readAllStandardOutput());
    QCOMPARE(child.exitCode(), 1);
    QVERIFY2(said.contains("in use by another program"), qPrintable(said));

    // The first one writes on, and the file is whole.
    QVERIFY(first.flush());
    first.close();
    OtherConnection other(path);
    QCOMPARE(other.value("PRAGMA integrity_check").toString(), QString("ok"));
    QCOMPARE(other.value("SELECT count(*) FROM samples").toInt(), 1);
    // Once the first has gone, the file can be taken.
    Archive next;
    QVERIFY(next.open(path));
}

void tst_Archive::busyDatabaseKeepsRows()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    Archive archive;
    QVERIFY(archive.open(path, 30, 50));
    QSignalSpy failed(&archive, &Archive::writeFailed);
    OtherConnection other(path);
    QVERIFY(other.exec("BEGIN IMMEDIATE"));
    archive.addSample(now(), "HV1", "hvps", History::Quantity::Voltage, "1");
    QVERIFY(!archive.flush());
    archive.addSample(now(), "HV1", "hvps", History::Quantity::Voltage, "2");
    QVERIFY(!archive.flush());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(archive.pendingCount(), 2);
    QVERIFY(other.exec("COMMIT"));
    QVERIFY(archive.flush());
    QCOMPARE(archive.pendingCount(), 0);
    QCOMPARE(other.value("SELECT count(*) FROM samples").toInt(), 2);
    QCOMPARE(other.value("PRAGMA integrity_check").toString(), QString("ok"));
}

// Run as the second program of secondProgramIsTurnedAway: tries the file
// and says what happened.
int main(int argc, char **argv)
{
    const QByteArray childPath = qgetenv(ChildVariable);
    if (!childPath.isEmpty()) {
        QCoreApplication app(argc, argv);
        Archive archive;
        const bool opened = archive.open(QString::fromLocal8Bit(childPath));
        QTextStream(stdout) << (opened ? QString("opened") : archive.errorString()) << '\n';
        return opened ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    tst_Archive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_archive.moc"
