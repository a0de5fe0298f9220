// SPDX-License-Identifier: GPL-3.0-or-later
// The client's one send path in read-only mode and with a command log, on
// the fake server: which lines reach the wire, which reach the log, and the
// log's own format.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/CommandLog.h"
#include "client/Tesra.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <memory>

using namespace TestSupport;

class tst_CommandLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sendPath_data();
    void sendPath();
    void lineFormat();
    void unwritablePath();
    void writeFaults_data();
    void writeFaults();
    void onRecordOnlyWhenSent_data();
    void onRecordOnlyWhenSent();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_CommandLog::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_CommandLog::cleanup()
{
    server.reset();
    dir.reset();
}

void tst_CommandLog::sendPath_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("params");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("onWire");
    QTest::addColumn<bool>("logged");

    const QString dev = QStringLiteral("hvps.1");
    const QString system = QStringLiteral("System");
    // Read-only: queries and subscriptions pass, everything else stops.
    QTest::newRow("read-only query Get") << dev << "GetV"
                                         << "" << true << true << false;
    QTest::newRow("read-only query Is") << dev << "IsBusy"
                                        << "" << true << true << false;
    QTest::newRow("read-only subscription") << system << "flgon" << dev << true << true << false;
    QTest::newRow("read-only unsubscription") << system << "flgoff" << dev << true << true << false;
    QTest::newRow("read-only command") << dev << "SetV"
                                       << "1500" << true << false << false;
    QTest::newRow("read-only word in the message") << dev << "SetRange 1e-6"
                                                   << "" << true << false << false;
    QTest::newRow("read-only flgon to a device") << dev << "flgon"
                                                 << "" << true << false << false;
    QTest::newRow("read-only lower-case get") << dev << "getV"
                                              << "" << true << false << false;
    QTest::newRow("read-only other System word") << system << "Shutdown"
                                                 << "" << true << false << false;
    // Monitoring off: everything is sent, only commands are logged.
    QTest::newRow("command") << dev << "SetV"
                             << "1500" << false << true << true;
    QTest::newRow("query") << dev << "GetV"
                           << "" << false << true << false;
    QTest::newRow("subscription") << system << "flgon" << dev << false << true << false;
    QTest::newRow("System command") << system << "Shutdown"
                                    << "" << false << true << true;
}

void tst_CommandLog::sendPath()
{
    QFETCH(QString, to);
    QFETCH(QString, message);
    QFETCH(QString, params);
    QFETCH(bool, readOnly);
    QFETCH(bool, onWire);
    QFETCH(bool, logged);

    const QString path = dir->filePath(QStringLiteral("commands.log"));
    CommandLog log;
    QVERIFY(log.open(path));
    std::unique_ptr<Tesra> client = makeClient(*server, *dir);
    client->setReadOnly(readOnly);
    client->setCommandLog(&log);
    QVERIFY(connectClient(*client, 15000));

    QString line = QStringLiteral("Brenlow.hv1>") + to + QLatin1Char(' ') + message;
    if (!params.isEmpty())
        line += QLatin1Char(' ') + params;
    if (!onWire)
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Tesra: read-only, not sending " + line));
    QCOMPARE(client->SendMsg(QStringLiteral("hv1"), to, message, params), onWire);
    // A query that is always let through marks the end of what was sent.
    client->SendMsg(QStringLiteral("probe"), QStringLiteral("Marker"), QStringLiteral("GetEnd"),
                    QString());
    QVERIFY(server->waitForMessageLines(onWire ? 2 : 1, 15000));
    const QStringList lines = server->messageLines();
    QCOMPARE(lines.contains(line), onWire);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    QCOMPARE(text.contains(QLatin1Char(' ') + line + QLatin1Char('\n')), logged);
    QCOMPARE(text.count(QLatin1Char('\n')), logged ? 1 : 0);
    // The key word of the login never reaches the log.
    QVERIFY(!text.contains(client->keyWords().value(0, QStringLiteral("?"))));
}

void tst_CommandLog::lineFormat()
{
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::OffsetFromUTC, 9 * 3600);
    const QString line = CommandLog::line(when, QStringLiteral("Brenlow.hv1>hvps.1 SetV 10"));
    // Local time: the same instant, with the local offset.
    const QDateTime local = when.toLocalTime();
    const QString expected = local.toOffsetFromUtc(local.offsetFromUtc())
                                 .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    QVERIFY2(line.startsWith(expected), qPrintable(line));
    QVERIFY(line.endsWith(QStringLiteral(" Brenlow.hv1>hvps.1 SetV 10")));
    const QDateTime back =
        QDateTime::fromString(line.section(QLatin1Char(' '), 0, 0), Qt::ISODateWithMs);
    QCOMPARE(back.toMSecsSinceEpoch(), when.toMSecsSinceEpoch());
}

void tst_CommandLog::unwritablePath()
{
    CommandLog log;
    QVERIFY(!log.open(dir->filePath(QStringLiteral("missing/dir/commands.log"))));
    QVERIFY(!log.isOpen());
    log.write(QStringLiteral("goes nowhere")); // harmless
    // A directory is not a log either.
    QVERIFY(!log.open(dir->path()));
}

// What happens to the record when the file under it fails: every line that
// is not on the disk is said to be so (write returns false), the first of
// an episode is named once in the debug log and by writeFailed, and the
// first line written again ends it. A removed file is made anew, so that
// the record goes on where it is looked for. Steps: "write" must succeed,
// "write!" must fail; "rm" removes the file, "rmdir" its directory,
// "mkdir" makes the directory again.
void tst_CommandLog::writeFaults_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("recoveries");
    QTest::addColumn<QStringList>("debug");
    const QString failed = "command log [{path}] cannot be written: %1; commands are not "
                           "recorded until it can";
    QTest::newRow("full disk, named once")
        << "/dev/full" << QStringList{"write!", "write!", "write!"} << QStringList() << 1 << 0
        << QStringList{failed.arg(qt_error_string(ENOSPC))};
    QTest::newRow("a device with nothing to sync")
        << "/dev/null" << QStringList{"write", "write"} << QStringList() << 0 << 0 << QStringList();
    QTest::newRow("file removed, made anew")
        << "log/commands.log" << QStringList{"write", "rm", "write", "write"}
        << QStringList{"entry 2", "entry 3"} << 0 << 0
        << QStringList{"command log [{path}] was removed; making it anew at that path"};
    QTest::newRow("directory removed, then back")
        << "log/commands.log" << QStringList{"write", "rmdir", "write!", "write!", "mkdir", "write"}
        << QStringList{"entry 5"} << 1 << 1
        << QStringList{"command log [{path}] was removed; making it anew at that path",
                       failed.arg("the file was removed and cannot be made again (" +
                                  qt_error_string(ENOENT) + ")"),
                       "command log [{path}] is written again"};
}

void tst_CommandLog::writeFaults()
{
    QFETCH(QString, path);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, kept);
    QFETCH(int, failures);
    QFETCH(int, recoveries);
    QFETCH(QStringList, debug);
    const bool ownFile = !path.startsWith('/');
    if (ownFile)
        path = dir->filePath(path);
    if (ownFile)
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    CommandLog log;
    QVERIFY(log.open(path));
    QSignalSpy failed(&log, &CommandLog::writeFailed);
    QSignalSpy recovered(&log, &CommandLog::writeRecovered);
    DebugLog debugLog;
    for (int i = 0; i < steps.size(); ++i) {
        const QString &step = steps.at(i);
        const QString entry = QStringLiteral("entry %1").arg(i);
        if (step == "write")
            QVERIFY2(log.write(entry), qPrintable(entry));
        else if (step == "write!")
            QVERIFY2(!log.write(entry), qPrintable(entry));
        else if (step == "rm")
            QVERIFY(QFile::remove(path));
        else if (step == "rmdir")
            QVERIFY(QDir(QFileInfo(path).absolutePath()).removeRecursively());
        else if (step == "mkdir")
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    }
    QCOMPARE(failed.count(), failures);
    QCOMPARE(recovered.count(), recoveries);
    QCOMPARE(log.isFailing(), failures > recoveries);
    QStringList expected;
    for (const QString &line : qAsConst(debug))
        expected << QString(line).replace("{path}", path);
    QCOMPARE(DebugLog::lines(), expected);
    if (!ownFile)
        return;
    // The file at the path holds what was written since it was made.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList entries;
    for (const QString &line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
        entries << line.section(' ', 1);
    QCOMPARE(entries, kept);
}

// A command is on record only when it went out whole on a ready link; one
// handed to the client without a link, or after the server closed it, is
// named by CommandNotSent instead, and the send operations still answer as
// they always have (true while a socket exists).
void tst_CommandLog::onRecordOnlyWhenSent_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("logged");
    QTest::addColumn<bool>("named");
    QTest::newRow("ready") << "ready"
                           << "SetV" << true << true << false;
    QTest::newRow("no connection made") << "none"
                                        << "SetV" << false << false << true;
    QTest::newRow("server closed the link") << "closed"
                                            << "SetRamp" << true << false << true;
    QTest::newRow("query after the link closed") << "closed"
                                                 << "GetV" << true << false << false;
}

void tst_CommandLog::onRecordOnlyWhenSent()
{
    QFETCH(QString, link);
    QFETCH(QString, message);
    QFETCH(bool, result);
    QFETCH(bool, logged);
    QFETCH(bool, named);
    const QString path = dir->filePath(QStringLiteral("commands.log"));
    CommandLog log;
    QVERIFY(log.open(path));
    std::unique_ptr<Tesra> client = makeClient(*server, *dir);
    client->setCommandLog(&log);
    QSignalSpy notSent(client.get(), &Tesra::CommandNotSent);
    if (link != "none")
        QVERIFY(connectClient(*client, 15000));
    if (link == "closed") {
        QSignalSpy disconnected(client.get(), &Tesra::Disconnected);
        server->dropClient();
        QVERIFY(disconnected.wait(15000));
    }
    const QString line = QStringLiteral("Brenlow.hv1>hvps.1 ") + message + QStringLiteral(" 57");
    QCOMPARE(client->SendMsg("hv1", "hvps.1", message, "57"), result);
    if (link == "ready")
        QVERIFY(server->waitForMessageLines(1, 15000));
    QCOMPARE(server->messageLines().contains(line), link == "ready");
    QCOMPARE(notSent.count(), named ? 1 : 0);
    if (named)
        QCOMPARE(notSent.at(0).at(0).toString(), line);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    QCOMPARE(text.contains(line), logged);
}

QTEST_GUILESS_MAIN(tst_CommandLog)
#include "tst_commandlog.moc"
