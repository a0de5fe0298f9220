// SPDX-License-Identifier: GPL-3.0-or-later
// A server that takes the connection and then hangs in the handshake, as the
// window shows it: the status bar says the handshake was cut off, in both
// languages, with the retry counting down, and the command log records it.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "app/StartUp.h"
#include "client/Tesra.h"
#include "window/Body.h"
#include "window/LinkStatus.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

using namespace TestSupport;

Q_DECLARE_METATYPE(FakeTesraServer::Stall)

class tst_HandshakeCut : public QObject
{
    Q_OBJECT

private slots:
    void statusBarAndLog_data();
    void statusBarAndLog();
};

void tst_HandshakeCut::statusBarAndLog_data()
{
    QTest::addColumn<FakeTesraServer::Stall>("stall");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("pattern"); // with {port}

    const QString english =
        QStringLiteral("^Cut off: no answer from the server during the handshake "
                       "\\(127\\.0\\.0\\.1:{port}\\), retrying in (29|30) s, attempt 1$");
    QTest::newRow("no challenge") << FakeTesraServer::Stall::BeforeChallenge << false << english;
    QTest::newRow("no verdict") << FakeTesraServer::Stall::BeforeVerdict << false << english;
    QTest::newRow("no verdict, Japanese")
        << FakeTesraServer::Stall::BeforeVerdict << true
        << QString::fromUtf8("^打ち切り: 認証中にサーバーから応答がありません"
                             "（127\\.0\\.0\\.1:{port}）、(29|30) 秒後に再接続（1 回目）$");
}

void tst_HandshakeCut::statusBarAndLog()
{
    QFETCH(FakeTesraServer::Stall, stall);
    QFETCH(bool, japanese);
    QFETCH(QString, pattern);

    QTemporaryDir dir;
    FakeTesraServer server;
    QVERIFY(server.listen());
    server.setStall(stall);
    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    const QString logPath = dir.filePath(QStringLiteral("commands.log"));
    Body body(writeStation(
        dir, QString::number(server.port()),
        "Dead Link Timeout=0.5\nReconnect Interval=30\nCommand Log=" + logPath.toUtf8() + "\n"));
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Refused, 10000);
    QCOMPARE(body.tesra()->refusal(), Tesra::Refusal::NoAnswer);

    const QRegularExpression expected(
        QString(pattern).replace(QStringLiteral("{port}"), QString::number(server.port())));
    const QString text = body.linkStatus()->text();
    QVERIFY2(expected.match(text).hasMatch(), qPrintable(text));
    QCOMPARE(body.linkStatus()->markColour(), QStringLiteral("red"));

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QByteArray record = log.readAll();
    QVERIFY2(record.endsWith(QStringLiteral(" link cut off: no answer from 127.0.0.1:%1 during "
                                            "the handshake\n")
                                 .arg(server.port())
                                 .toUtf8()),
             record.constData());
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(tst_HandshakeCut)
#include "tst_handshakecut.moc"
