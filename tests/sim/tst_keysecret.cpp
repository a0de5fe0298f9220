// SPDX-License-Identifier: GPL-3.0-or-later
// The key words are the station's password: they leave Brenlow in the key
// line of the handshake and nowhere else. Against the station simulator, the
// window and each command-line run do their work with every debug category
// on; then neither their debug log, standard output and error, nor any file
// they wrote (the command log, the history archive, snapshots, the CSV
// export) may hold a key word. The key file itself may be read by everyone
// here, which is named by its path in the debug log and the status bar, and
// changes nothing else.

#include "SimProcess.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "client/Tesra.h"
#include "devices/SnapshotRun.h"
#include "window/Body.h"
#include "window/HistoryView.h"
#include "window/SnapshotTool.h"
#include "window/StatusNotes.h"

#include <QDir>
#include <QDirIterator>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

// Words that nothing else in a run could write by chance.
const QStringList Keys = {"QuinceKw7x", "PlumKw7x", "PeachKw7x"};

// Every line of the in-process debug log, while a run captures it.
QStringList *captured = nullptr;
QtMessageHandler previousHandler = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (captured)
        captured->append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

enum class Run { Window, CheckConfig, SaveSnapshot, CompareSnapshot, RestoreSnapshot };

} // namespace

Q_DECLARE_METATYPE(Run)

class tst_KeySecret : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keyWordsStayInTheKeyLine_data();
    void keyWordsStayInTheKeyLine();

private:
    // The window as the program builds it: an operator's command, an
    // export, a snapshot, then closed. Returns its debug log.
    QString runWindow();
    // The program run with args; returns its standard output and error.
    QString runProgram(const QStringList &args, int expectedStatus);
    // Every file in the run's directory but the key file, as bytes.
    QByteArray filesWritten() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SimProcess> sim;
    QString keyPath;
    QString station;
};

void tst_KeySecret::init()
{
    dir = std::make_unique<QTemporaryDir>();
    // The simulator reads the same station file for its devices and keys.
    const QString key = TestSupport::writeKeyFile(*dir, Keys, QStringLiteral("station"));
    keyPath = key + QStringLiteral(".key");
    QVERIFY(QFile::setPermissions(keyPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                               QFile::ReadOther));
    const auto write = [&](quint16 port) {
        return TestSupport::writeFile(
            dir->filePath(QStringLiteral("station.ini")),
            QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nKey File=%2\nCommand Log=%3\n"
                           "History File=%4\nTCTables=TC\nRangeTables=R\nHV Module Names=HV I0\n"
                           "AMP Module Names=AMP I0\nIC Module Names=I0\n"
                           "[TC]\nTable=0.0001, 0.0003, 0.001, 0.003, 0.01, 0.03, 0.1, 0.3, 1, 2, "
                           "3, 10\n[R]\nTable=1e-5, 1e-6, 1e-7, 1e-8\n"
                           "[HV I0]\nid=hv0\ndriver=hvps\nch=1\nDefault Voltage=500, 1000\n"
                           "[AMP I0]\nid=amp0\ndriver=ca5350\nch=i0\nTC Table=TC\nRange Table=R\n"
                           "[I0]\nHV Unit id=hv0\nAMP Unit id=amp0\n")
                .arg(port)
                .arg(key, dir->filePath(QStringLiteral("commands.log")),
                     dir->filePath(QStringLiteral("history.db")))
                .toUtf8());
    };
    sim = std::make_unique<SimProcess>();
    QVERIFY(sim->start({QStringLiteral("-c"), write(1)}, dir->path()));
    station = write(sim->port());
    // A snapshot that differs from the simulator's amplifier in its range.
    TestSupport::writeFile(dir->filePath(QStringLiteral("monday.json")),
                           "{\"format\": \"brenlow-snapshot/1\", \"amplifiers\": {\"AMP I0\": "
                           "{\"node\": \"ca5350.i0\", \"range\": \"1e-05\"}}}");
}

void tst_KeySecret::cleanup()
{
    sim.reset();
    dir.reset();
}

QString tst_KeySecret::runWindow()
{
    QStringList log;
    captured = &log;
    previousHandler = qInstallMessageHandler(capture);
    QLoggingCategory::setFilterRules(QStringLiteral("brenlow.*=true"));
    {
        Body body(station);
        body.show();
        const QString note = QStringLiteral("Key file %1 can be read or written by others than its "
                                            "owner: make it private")
                                 .arg(QDir::toNativeSeparators(keyPath));
        [&] {
            QVERIFY2(body.statusNotes()->notes().contains(note),
                     qPrintable(body.statusNotes()->notes().join('\n')));
            QTRY_VERIFY_WITH_TIMEOUT(body.snapshotTool()->run()->allAnswered(), 15000);
            // An operator's command, for the command log and the history.
            aCA *amp = body.ampModules().at(0);
            amp->ui.RangeSCB->setCurrentIndex((amp->ui.RangeSCB->currentIndex() + 1) %
                                              amp->ui.RangeSCB->count());
            QTRY_VERIFY_WITH_TIMEOUT(sim->log().contains(QStringLiteral("Brenlow.amp0>ca5350.i0 "
                                                                        "SetRange")),
                                     10000);
            QVERIFY(body.history()->exportTo(dir->filePath(QStringLiteral("history.csv"))));
            QVERIFY(body.snapshotTool()->saveTo(dir->filePath(QStringLiteral("window.json"))));
        }();
        body.close();
    }
    qInstallMessageHandler(previousHandler);
    QLoggingCategory::setFilterRules(QString());
    captured = nullptr;
    return log.join(QLatin1Char('\n'));
}

QString tst_KeySecret::runProgram(const QStringList &args, int expectedStatus)
{
    QProcess process;
    process.setWorkingDirectory(dir->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("brenlow.*=true"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(BRENLOW_BIN), QStringList{"-e", "-c", station} + args);
    if (!process.waitForFinished(60000))
        return QStringLiteral("(did not end)");
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != expectedStatus)
        return QStringLiteral("(ended with %1)\n").arg(process.exitCode()) + out + err;
    return out + err;
}

QByteArray tst_KeySecret::filesWritten() const
{
    QByteArray all;
    QDirIterator it(dir->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path == keyPath)
            continue;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

void tst_KeySecret::keyWordsStayInTheKeyLine_data()
{
    QTest::addColumn<Run>("run");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("files"); // written by the run
    QTest::newRow("window") << Run::Window << QStringList() << 0
                            << QStringList{"commands.log", "history.db", "history.csv",
                                           "window.json"};
    QTest::newRow("--check-config")
        << Run::CheckConfig << QStringList{"--check-config"} << 0 << QStringList();
    // The runs for scripts open no history.
    QTest::newRow("--save-snapshot")
        << Run::SaveSnapshot << QStringList{"--save-snapshot", "saved.json"} << 0
        << QStringList{"saved.json"};
    QTest::newRow("--compare-snapshot")
        << Run::CompareSnapshot << QStringList{"--compare-snapshot", "monday.json"} << 1
        << QStringList();
    QTest::newRow("--restore-snapshot")
        << Run::RestoreSnapshot << QStringList{"--restore-snapshot", "monday.json"} << 0
        << QStringList{"commands.log"};
}

void tst_KeySecret::keyWordsStayInTheKeyLine()
{
    QFETCH(Run, run);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QStringList, files);

    const QString said = run == Run::Window ? runWindow() : runProgram(args, status);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(!said.startsWith(QLatin1Char('(')), qPrintable(said));
    for (const QString &name : files)
        QVERIFY2(QFile::exists(dir->filePath(name)), qPrintable(name));
    // The debug log says which file, never what is in it.
    if (run != Run::CheckConfig)
        QVERIFY2(said.contains(QStringLiteral("key file [%1] may be read or written by others "
                                              "than its owner")
                                   .arg(keyPath)),
                 qPrintable(said));
    const QByteArray written = filesWritten().toLower();
    for (const QString &word : Keys) {
        QVERIFY2(!said.contains(word, Qt::CaseInsensitive), qPrintable(word + " in\n" + said));
        QVERIFY2(!written.contains(word.toLower().toUtf8()), qPrintable(word));
    }
    // The right key word went out in the key line: the words were there to
    // leak.
    if (run != Run::CheckConfig)
        QTRY_VERIFY_WITH_TIMEOUT(sim->log().contains(QStringLiteral("login Brenlow")), 10000);
}

QTEST_MAIN(tst_KeySecret)
#include "tst_keysecret.moc"
