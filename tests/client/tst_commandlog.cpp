// SPDX-License-Identifier: GPL-3.0-or-later
// The client's one send path in read-only mode and with a command log, on
// the fake server: which lines reach the wire, which reach the log, and the
// log's own format.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "client/CommandLog.h"
#include "client/Tesra.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
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

QTEST_GUILESS_MAIN(tst_CommandLog)
#include "tst_commandlog.moc"
