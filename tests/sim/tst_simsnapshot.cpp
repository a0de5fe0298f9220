// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot switches of the real executable against the station
// simulator: a snapshot saved, settings changed by hand at an amplifier,
// --compare-snapshot naming them and --restore-snapshot putting them back
// with the panel's own lines while the HV module hears nothing but the
// panel's start lines; the exit statuses of the runs that fail; and the
// runs for scripts with no usable display at all.

#include "SimProcess.h"
#include "TestSupport.h"
#include "client/Tesra.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QStringList Keys = {"ume", "sakura", "kiku"};

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class tst_SimSnapshot : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void saveCompareRestore();
    void failingRuns_data();
    void failingRuns();
    void withoutDisplay_data();
    void withoutDisplay();

private:
    QString writeStation(quint16 port, const QByteArray &extra = {});
    Run brenlow(const QStringList &args,
                const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // Has the hand client's marker pass through the simulator and returns
    // where its log line stands: the log holds everything relayed before.
    int mark();
    // The requests the simulator relayed from sender between two marks,
    // without their time stamps.
    QStringList requests(int from, int to, const QString &sender);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Tesra> hand;
    int marks = 0;
    QString station;
};

void tst_SimSnapshot::init()
{
    dir = std::make_unique<QTemporaryDir>();
    sim = std::make_unique<SimProcess>();
    QVERIFY(sim->start({"-c", writeStation(1)}, dir->path()));
    station = writeStation(sim->port());
    hand = TestSupport::makeClient(sim->port(), *dir, "Hand", Keys);
    QVERIFY(TestSupport::connectClient(*hand, 10000));
}

void tst_SimSnapshot::cleanup()
{
    hand.reset();
    sim.reset();
    dir.reset();
}

QString tst_SimSnapshot::writeStation(quint16 port, const QByteArray &extra)
{
    const QString key = TestSupport::writeKeyFile(*dir, Keys, "station");
    QStringList ranges;
    for (int e = 3; e <= 11; ++e)
        ranges << QStringLiteral("1e-%1").arg(e);
    const QByteArray text =
        QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nKey File=%2\nCommand Log=%3\n"
                       "TCTables=TC\nRangeTables=R\nHV Module Names=HV I0\n"
                       "AMP Module Names=AMP I0\nIC Module Names=I0\n"
                       "[TC]\nTable=0.0001, 0.0003, 0.001, 0.003, 0.01, 0.03, 0.1, 0.3, 1, 2, "
                       "3, 10\n[R]\nTable=%4\n"
                       "[HV I0]\nid=hv0\ndriver=hvps\nch=1\nDefault Voltage=500, 1000\n"
                       "[AMP I0]\nid=amp0\ndriver=ca5350\nch=i0\nTC Table=TC\nRange Table=R\n"
                       "[I0]\nHV Unit id=hv0\nAMP Unit id=amp0\n")
            .arg(port)
            .arg(key, dir->filePath("commands.log"), ranges.join(", "))
            .toUtf8() +
        extra;
    return TestSupport::writeFile(dir->filePath("station.ini"), text);
}

Run tst_SimSnapshot::brenlow(const QStringList &args, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir->path());
    process.start(QStringLiteral(BRENLOW_BIN), QStringList{"-e", "-c", station} + args);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

int tst_SimSnapshot::mark()
{
    // A query that changes nothing, to a node the simulator has.
    const QString marker = QString::number(++marks);
    hand->SendMsg("mark", "hvps.1", "IsBusy", marker);
    const QString line = "request Hand.mark>hvps.1 IsBusy " + marker;
    if (!QTest::qWaitFor([&] { return sim->log().contains(line); }, 10000))
        return -1;
    return sim->log().indexOf(line);
}

QStringList tst_SimSnapshot::requests(int from, int to, const QString &sender)
{
    QStringList out;
    const QRegularExpression request(
        QStringLiteral("request %1>(\\S+ .*)$").arg(QRegularExpression::escape(sender)));
    for (const QString &line : sim->log().mid(from, to - from).split('\n')) {
        const QRegularExpressionMatch match = request.match(line);
        if (match.hasMatch())
            out << match.captured(1);
    }
    return out;
}

void tst_SimSnapshot::saveCompareRestore()
{
    // A suppression value other than 0: the panel's field never sends 0.
    hand->SendMsg("op", "ca5350.i0", "SetCurrentSurpressionValue 5e-10", QString());
    QTRY_VERIFY_WITH_TIMEOUT(sim->log().contains("ca5350.i0>Hand.op @SetCurrentSurpressionValue"),
                             10000);

    const QString file = dir->filePath("snapshot.json");
    Run run = brenlow({"--save-snapshot", file});
    QCOMPARE(run.status, 0);
    QVERIFY(QFile::exists(file));
    run = brenlow({"--compare-snapshot", file});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString());

    // Three settings changed by hand at the amplifier.
    hand->SendMsg("op", "ca5350.i0", "SetRange 1e-5", QString());
    hand->SendMsg("op", "ca5350.i0", "SetFilter 1", QString());
    hand->SendMsg("op", "ca5350.i0", "SetCurrentSurpressionValue 2e-10", QString());
    QTRY_VERIFY_WITH_TIMEOUT(
        sim->log().contains("ca5350.i0>Hand.op @SetCurrentSurpressionValue Ok: 2e-10"), 10000);
    run = brenlow({"--compare-snapshot", file});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts),
             (QStringList{"AMP I0\trange\t1e-08\t1e-05", "AMP I0\tsuppressionValue\t5e-10\t2e-10",
                          "AMP I0\tfilter\tfalse\ttrue"}));

    const int before = mark();
    run = brenlow({"--restore-snapshot", file});
    QCOMPARE(run.status, 0);
    const int after = mark();
    QVERIFY(before >= 0 && after > before);
    QVERIFY2(run.err.isEmpty() || !run.err.contains("brenlow:"), qPrintable(run.err));
    // Each setting with the panel's own follow-up, in the table's order.
    const QStringList amp = requests(before, after, "Brenlow.amp0");
    const QStringList restored = {"ca5350.i0 SetRange 1e-8",
                                  "ca5350.i0 SetCurrentSurpressionValue 5e-10",
                                  "ca5350.i0 SetFilter 0"};
    const QStringList follow = {"ca5350.i0 GetStatus", "ca5350.i0 GetCurrentSurpressionValue",
                                "ca5350.i0 GetStatus"};
    int last = -1;
    for (int i = 0; i < restored.size(); ++i) {
        const int at = amp.indexOf(restored.at(i), last + 1);
        QVERIFY2(at > last, qPrintable(restored.at(i) + " in\n" + amp.join('\n')));
        QCOMPARE(amp.value(at + 1), follow.at(i));
        last = at;
    }
    // The HV module gets the panel's start queries and nothing else (the
    // simulator logs the subscription apart).
    const QStringList startLines = {"hvps.1 GetMaxV", "hvps.1 GetVLimit", "hvps.1 GetV",
                                    "hvps.1 GetRamp", "hvps.1 GetStat1",  "hvps.1 IsControllable"};
    QCOMPARE(requests(before, after, "Brenlow.hv0"), startLines);
    // The commands are on record.
    QFile log(dir->filePath("commands.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString record = QString::fromUtf8(log.readAll());
    for (const QString &line : restored)
        QVERIFY2(record.contains("Brenlow.amp0>" + line), qPrintable(record));

    run = brenlow({"--compare-snapshot", file});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString());
}

void tst_SimSnapshot::failingRuns_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QByteArray good = "{\"format\": \"brenlow-snapshot/1\", \"amplifiers\": {\"AMP I0\": "
                            "{\"filter\": true}}}";
    QTest::newRow("save to a path that cannot be")
        << QStringList{"--save-snapshot", "plain.txt/s.json"} << QByteArray() << 1
        << "cannot write the snapshot";
    QTest::newRow("compare with a broken file") << QStringList{"--compare-snapshot", "s.json"}
                                                << QByteArray("{\"format\": ") << 2 << "not JSON";
    QTest::newRow("compare with a foreign file")
        << QStringList{"--compare-snapshot", "s.json"} << QByteArray("{\"format\": \"x/1\"}") << 2
        << "format \"x/1\" is not \"brenlow-snapshot/1\"";
    QTest::newRow("restore from a foreign file")
        << QStringList{"--restore-snapshot", "s.json"} << QByteArray("{\"version\": 1}") << 2
        << "no \"format\" key";
    QTest::newRow("restore in read-only mode")
        << QStringList{"--read-only", "--restore-snapshot", "s.json"} << good << 1 << "read-only";
    QTest::newRow("two runs at once")
        << QStringList{"--save-snapshot", "a.json", "--compare-snapshot", "s.json"} << good << 1
        << "give only one of";
}

void tst_SimSnapshot::failingRuns()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, content);
    QFETCH(int, status);
    QFETCH(QString, message);
    TestSupport::writeFile(dir->filePath("plain.txt"), "text\n");
    if (!content.isEmpty())
        TestSupport::writeFile(dir->filePath("s.json"), content);
    const int before = mark();
    const Run run = brenlow(args);
    const int after = mark();
    QVERIFY(before >= 0 && after > before);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(!QFile::exists(dir->filePath("plain.txt/s.json")));
    // The snapshot's filter setting was never sent; in read-only mode
    // nothing but queries went out at all.
    for (const QString &sender : {QStringLiteral("Brenlow.amp0"), QStringLiteral("Brenlow.hv0")}) {
        for (const QString &line : requests(before, after, sender)) {
            QVERIFY2(!line.endsWith(QLatin1String("SetFilter 1")), qPrintable(line));
            if (args.contains(QLatin1String("--read-only")))
                QVERIFY2(Tesra::isQuery(line.section(' ', 1, 1)), qPrintable(line));
        }
    }
}

// No display and a platform plugin that does not exist: a windowed program
// could not even start (Qt aborts), but the runs for scripts, the check and
// the answers need no window. Each row runs its steps in order, every one
// ending with the documented status; none opens the station's history.
void tst_SimSnapshot::withoutDisplay_data()
{
    QTest::addColumn<QList<QStringList>>("steps");
    QTest::addColumn<QList<int>>("statuses");
    const QStringList save{"--save-snapshot", "s.json"};
    QTest::newRow("save") << QList<QStringList>{save} << QList<int>{0};
    QTest::newRow("save, then compare")
        << QList<QStringList>{save, {"--compare-snapshot", "s.json"}} << QList<int>{0, 0};
    QTest::newRow("save, then restore")
        << QList<QStringList>{save, {"--restore-snapshot", "s.json"}} << QList<int>{0, 0};
    QTest::newRow("compare with no file")
        << QList<QStringList>{{"--compare-snapshot", "none.json"}} << QList<int>{2};
    QTest::newRow("check the configuration")
        << QList<QStringList>{{"--check-config"}} << QList<int>{0};
    QTest::newRow("help and version")
        << QList<QStringList>{{"--help"}, {"--version"}} << QList<int>{0, 0};
}

void tst_SimSnapshot::withoutDisplay()
{
    QFETCH(QList<QStringList>, steps);
    QFETCH(QList<int>, statuses);
    // The history's key at the top of the file, where the station's keys are.
    const QString history = dir->filePath("history.db");
    QFile file(station);
    QVERIFY(file.open(QIODevice::ReadOnly));
    TestSupport::writeFile(station, "History File=" + history.toUtf8() + "\n" + file.readAll());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "bogus");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    for (int i = 0; i < steps.size(); ++i) {
        const Run run = brenlow(steps.at(i), environment);
        QVERIFY2(run.status == statuses.at(i),
                 qPrintable(steps.at(i).join(' ') + " ended with " + QString::number(run.status) +
                            "\n" + run.out + run.err));
        QVERIFY2(!run.err.contains("platform plugin"), qPrintable(run.err));
    }
    QVERIFY(!QFile::exists(history));
    // Not even its lock: a run for a script beside a running window must
    // not take the archive from it.
    QVERIFY(!QFile::exists(history + ".lock"));
}

QTEST_GUILESS_MAIN(tst_SimSnapshot)
#include "tst_simsnapshot.moc"
