// The main window built from a station configuration on loopback: its
// title, menu and Quit, in both languages.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "app/StartUp.h"
#include "client/Tesra.h"
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
    const QString key = writeKeyFile(*dir, {"a", "b", "c"}, QStringLiteral("station"));
    return writeFile(dir->filePath(QStringLiteral("station.ini")),
                     QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nKey File=%2\n")
                             .arg(server->port())
                             .arg(key)
                             .toUtf8() +
                         extra);
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

QTEST_MAIN(tst_Body)
#include "tst_body.moc"
