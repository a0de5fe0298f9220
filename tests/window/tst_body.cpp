// SPDX-License-Identifier: GPL-3.0-or-later
// The main window built from a station configuration on loopback: its
// title, menu and Quit, in both languages.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "app/StartUp.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "window/Body.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

using namespace TestSupport;

class tst_Body : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void titleAndMenu_data();
    void titleAndMenu();
    void quitEndsTheEventLoopWithZero();
    void clientTakesTheServerKeys();
    void goneWithFocusedEdit_data();
    void goneWithFocusedEdit();

private:
    QString writeConfig(const QByteArray &extra = QByteArray());

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_Body::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_Body::cleanup()
{
    server.reset();
    dir.reset();
}

QString tst_Body::writeConfig(const QByteArray &extra)
{
    return TestSupport::writeStation(*dir, QString::number(server->port()), extra);
}

void tst_Body::titleAndMenu_data()
{
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("quit");
    QTest::newRow("English") << false << "Brenlow"
                             << "Menu"
                             << "Quit";
    QTest::newRow("Japanese") << true << QString::fromUtf8("ブレンロー")
                              << QString::fromUtf8("メニュー") << QString::fromUtf8("終了");
}

void tst_Body::titleAndMenu()
{
    QFETCH(bool, japanese);
    QFETCH(QString, title);
    QFETCH(QString, menu);
    QFETCH(QString, quit);
    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    Body body(writeConfig());
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(body.windowTitle(), title);
    const QList<QAction *> menus = body.menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus.at(0)->text(), menu);
    QVERIFY(menus.at(0)->menu());
    const QList<QAction *> entries = menus.at(0)->menu()->actions();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0)->text(), quit);
    QCOMPARE(entries.at(0)->objectName(), QStringLiteral("actionQuit"));
    QVERIFY(body.statusBar());
    QCOMPARE(body.centralWidget()->styleSheet(),
             QStringLiteral("background-color: rgb(245, 255, 245);"));
}

void tst_Body::quitEndsTheEventLoopWithZero()
{
    Body body(writeConfig());
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    QAction *quit = body.findChild<QAction *>(QStringLiteral("actionQuit"));
    QVERIFY(quit);
    QTimer::singleShot(0, quit, &QAction::trigger);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!body.isVisible());
}

void tst_Body::clientTakesTheServerKeys()
{
    Body body(writeConfig("Name on Tesra=Station7\n"));
    QVERIFY(body.tesra());
    QCOMPARE(body.tesra()->name(), QStringLiteral("Station7"));
    QCOMPARE(body.tesra()->serverAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(int(body.tesra()->serverPort()), int(server->port()));
    QVERIFY(server->waitForKeyLine());
    QVERIFY(server->keyLine().startsWith(QStringLiteral("Station7 ")));
}

// The window closed, or destroyed, while an edited field of a panel has the
// focus. Hiding the window takes the focus from the field, and its panel
// would send the edit on the way out, through a client that may already be
// gone; from the moment the window starts closing nothing is written.
void tst_Body::goneWithFocusedEdit_data()
{
    QTest::addColumn<bool>("hvField");
    QTest::addColumn<bool>("destroy");
    QTest::newRow("HV ramp rate, window closed") << true << false;
    QTest::newRow("suppression value, window closed") << false << false;
    QTest::newRow("HV ramp rate, window destroyed") << true << true;
    QTest::newRow("suppression value, window destroyed") << false << true;
}

void tst_Body::goneWithFocusedEdit()
{
    QFETCH(bool, hvField);
    QFETCH(bool, destroy);
    auto body = std::make_unique<Body>(writeConfig("HV Module Names=hv1\n"
                                                   "AMP Module Names=amp1\n"
                                                   "IC Module Names=ic1\n"
                                                   "[hv1]\nid=hv1\ndriver=hvps\nch=2\n"
                                                   "[amp1]\nid=amp1\ndriver=dev1\n"
                                                   "[ic1]\nHV Unit id=hv1\nAMP Unit id=amp1\n"));
    body->show();
    QVERIFY(QTest::qWaitForWindowExposed(body.get()));
    body->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(body.get()));
    Tesra *client = body->tesra();
    QSignalSpy ready(client, &Tesra::ConnectionIsReady);
    QVERIFY(ready.wait(10000) || ready.count() > 0);

    // The start lines are through once a probe behind them has arrived.
    const QString probe = QStringLiteral("Brenlow.probe>System ping");
    auto probeArrives = [&] {
        client->SendMsg(QStringLiteral("probe"), QStringLiteral("System"), QStringLiteral("ping"),
                        QString());
        return QTest::qWaitFor([&] { return server->messageLines().contains(probe); }, 10000);
    };
    QVERIFY(probeArrives());
    server->clearLines();

    QVERIFY(body->hvModules().size() == 1 && body->ampModules().size() == 1);
    aHV *hv = body->hvModules().first();
    aCA *amp = body->ampModules().first();
    QLineEdit *field = hvField ? hv->ui.RampRate : amp->ui.NewCSprEdit;
    QAbstractButton *details = hvField ? static_cast<QAbstractButton *>(hv->ui.ShowDetailsB)
                                       : static_cast<QAbstractButton *>(amp->ui.ShowDetailsB);
    if (!field->isVisible())
        QTest::mouseClick(details, Qt::LeftButton);
    QVERIFY(field->isVisible());
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("5e-10"));
    QVERIFY(field->hasFocus());

    if (destroy) {
        body.reset();
        // Whatever was written before the socket went has reached the server
        // once it sees the connection end.
        QTRY_VERIFY_WITH_TIMEOUT(!server->hasClient(), 10000);
        QCOMPARE(server->messageLines(), QStringList());
    } else {
        QVERIFY(body->close());
        QVERIFY(!field->hasFocus());
        QVERIFY(probeArrives());
        QCOMPARE(server->messageLines(), QStringList{probe});
    }
}

QTEST_MAIN(tst_Body)
#include "tst_body.moc"
