// SPDX-License-Identifier: GPL-3.0-or-later
// The window's size belongs to its station: whatever the status bar says (the
// link connected, lost and counting down to the next attempt, refused, or a
// long note), the window keeps the size its panels give it, in both
// languages, and the status bar's texts are cut to the room they have. A
// station that fits its screen keeps the form's layout and size; a larger
// one scrolls in a window that fits, with every panel reachable, and panels
// out of view take their newest values when they come into view.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "app/StartUp.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "widgets/ElidedLabel.h"
#include "window/AlarmDock.h"
#include "window/Body.h"
#include "window/StatusNotes.h"
#include "window/aIC.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

const QByteArray OneChamber = "HV Module Names=HV1\nAMP Module Names=AMP1\nIC Module Names=I0\n"
                              "[HV1]\nid=hv1\ndriver=hvps\nch=1\nDefault Voltage=1000, 0\n"
                              "[AMP1]\nid=amp1\ndriver=ca\nch=1\n"
                              "[I0]\nHV Unit id=hv1\nAMP Unit id=amp1\n";

// Lets every pending layout run, so that a size the status bar would force
// on the window has been applied.
void settleLayouts()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// A station of n chambers side by side in one row.
QByteArray chambersInARow(int n)
{
    QByteArray hv, amp, ic, sections;
    for (int k = 0; k < n; ++k) {
        const QByteArray num = QByteArray::number(k);
        const QByteArray sep = k ? ", " : "";
        hv += sep + "HV" + num;
        amp += sep + "AMP" + num;
        ic += sep + "I" + num;
        sections += "[HV" + num + "]\nid=hv" + num + "\ndriver=hvps\nch=" + num +
                    "\nPosition in Window=1, 0\n[AMP" + num + "]\nid=amp" + num +
                    "\ndriver=ca\nch=" + num + "\nPosition in Window=0, 1, 2, 1\n[I" + num +
                    "]\nHV Unit id=hv" + num + "\nAMP Unit id=amp" + num +
                    "\nPosition in Window=" + num + ", 0\n";
    }
    return "HV Module Names=" + hv + "\nAMP Module Names=" + amp + "\nIC Module Names=" + ic +
           "\n" + sections;
}

} // namespace

class tst_WindowSize : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sizeKeptWhateverTheStatusBarSays_data();
    void sizeKeptWhateverTheStatusBarSays();
    void fittingStationKeepsTheForm();
    void largeStationScrolls();
    void panelOutOfViewShowsTheNewestWhenInView();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_WindowSize::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_WindowSize::cleanup()
{
    server.reset();
    dir.reset();
}

void tst_WindowSize::sizeKeptWhateverTheStatusBarSays_data()
{
    QTest::addColumn<bool>("japanese");
    QTest::newRow("English") << false;
    QTest::newRow("Japanese") << true;
}

void tst_WindowSize::sizeKeptWhateverTheStatusBarSays()
{
    QFETCH(bool, japanese);
    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    const QString port = QString::number(server->port());

    Body body(writeStation(*dir, port, "Reconnect Interval=30\n" + OneChamber));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Ready, 10000);
    auto *state = body.findChild<ElidedLabel *>(QStringLiteral("LinkState"));
    QVERIFY(state);
    settleLayouts();
    const QSize bare = body.size();
    const QSize bareMinimum = body.minimumSize();
    // A lost link is an alarm whose list opens by itself and takes its room;
    // from then on nothing the status bar says may change the size, the
    // count of alarms included.
    body.alarmDock()->show();
    settleLayouts();
    const QSize connected = body.size();
    const QSize minimum = body.minimumSize();
    const QString connectedText = state->text();

    // Lost, with the countdown to the next attempt.
    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Lost, 10000);
    QTRY_VERIFY(state->text().contains(japanese ? QString::fromUtf8("秒後に再接続")
                                                : QStringLiteral("retrying in")));
    settleLayouts();
    QCOMPARE(body.size(), connected);
    QCOMPARE(body.minimumSize(), minimum);
    QCOMPARE(state->toolTip(), state->text());

    // Refused during the handshake, which is the longest of the texts.
    server->setAutoHandshake(false);
    const auto challenge = connect(server.get(), &FakeTesraServer::clientConnected, server.get(),
                                   [this] { server->send("7\n"); });
    const auto refusal = connect(server.get(), &FakeTesraServer::keyLineReceived, server.get(),
                                 &FakeTesraServer::dropClient);
    QTest::mouseClick(body.findChild<QPushButton *>(QStringLiteral("ReconnectB")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Refused, 10000);
    settleLayouts();
    QVERIFY(state->text().size() > connectedText.size());
    QVERIFY2(state->isElided(), qPrintable(state->text()));
    QVERIFY(state->shownText().endsWith(QChar(0x2026)));
    QCOMPARE(body.size(), connected);
    QCOMPARE(body.minimumSize(), minimum);
    disconnect(challenge);
    disconnect(refusal);
    server->setAutoHandshake(true);

    // The same station with a note far longer than the window is wide: a
    // command log that cannot be opened, named by a long path.
    const QString longPath = dir->path() + QStringLiteral("/no such folder/") +
                             QString(200, QLatin1Char('x')) + QStringLiteral("/commands.log");
    Body noted(writeStation(
        *dir, port, "Reconnect Interval=30\nCommand Log=" + longPath.toUtf8() + "\n" + OneChamber));
    noted.show();
    QVERIFY(QTest::qWaitForWindowExposed(&noted));
    QTRY_COMPARE_WITH_TIMEOUT(noted.tesra()->linkState(), Tesra::LinkState::Ready, 10000);
    settleLayouts();
    const StatusNotes *notes = noted.statusNotes();
    QCOMPARE(notes->notes().size(), 1);
    QVERIFY(notes->text().contains(QDir::toNativeSeparators(longPath)));
    QVERIFY(notes->isElided());
    QCOMPARE(notes->toolTip(), notes->text());
    QCOMPARE(noted.size(), bare);
    QCOMPARE(noted.minimumSize(), bareMinimum);

    QCoreApplication::removeTranslator(&translator);
}

void tst_WindowSize::fittingStationKeepsTheForm()
{
    Body body(writeStation(*dir, QString::number(server->port()), chambersInARow(1)));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    QVERIFY(!body.stationScroller());
    QVERIFY(!body.findChild<QScrollArea *>());
    QWidget *central = body.centralWidget();
    QCOMPARE(central->objectName(), QStringLiteral("centralwidget"));
    QCOMPARE(central->parentWidget(), &body);
    QCOMPARE(body.icModules().at(0)->parentWidget(), central);
    // The smallest size that fits the station, as the amplifier panels'
    // resizing leaves it.
    QTRY_COMPARE(body.size(), body.minimumSizeHint());
}

void tst_WindowSize::largeStationScrolls()
{
    constexpr int Chambers = 8;
    Body body(writeStation(*dir, QString::number(server->port()), chambersInARow(Chambers)));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    const QSize room = body.screen()->availableGeometry().size();
    QScrollArea *scroller = body.stationScroller();
    QVERIFY(scroller);
    QVERIFY(scroller->widget()->sizeHint().width() > room.width());
    QVERIFY(body.width() <= room.width());
    QVERIFY(body.height() <= room.height());
    QCOMPARE(body.centralWidget(), scroller);

    // The form's widgets are where a search by name finds them.
    QWidget *central = body.findChild<QWidget *>(QStringLiteral("centralwidget"));
    QVERIFY(central);
    QCOMPARE(scroller->widget(), central);
    QCOMPARE(body.icModules().size(), Chambers);
    for (aIC *group : body.icModules())
        QCOMPARE(group->parentWidget(), central);

    // Every panel can be brought into view and takes a click.
    for (aHV *panel : body.hvModules()) {
        QVERIFY(body.isAncestorOf(panel));
        scroller->ensureWidgetVisible(panel->ui.ShowDetailsB);
        QVERIFY2(!panel->ui.ShowDetailsB->visibleRegion().isEmpty(),
                 qPrintable(panel->ui.ModuleName->text()));
        QTest::mouseClick(panel->ui.ShowDetailsB, Qt::LeftButton);
        QVERIFY(panel->ui.ShowDetailsB->isChecked());
        QVERIFY(panel->ui.HideBox->isVisible());
    }
}

void tst_WindowSize::panelOutOfViewShowsTheNewestWhenInView()
{
    constexpr int Chambers = 8;
    Body body(writeStation(*dir, QString::number(server->port()), chambersInARow(Chambers)));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Ready, 10000);
    QScrollArea *scroller = body.stationScroller();
    QVERIFY(scroller);
    aHV *first = body.hvModules().first();
    aHV *last = body.hvModules().last();
    scroller->ensureWidgetVisible(first->ui.NowV);
    QTRY_VERIFY(last->ui.NowV->visibleRegion().isEmpty());

    QVERIFY(
        deliver(*server, *body.tesra(),
                {QStringLiteral("hvps.0>Brenlow.hv0 _ChangedValue 11.5"),
                 QStringLiteral("hvps.%1>Brenlow.hv%1 _ChangedValue 1234.5").arg(Chambers - 1)}));
    QCOMPARE(first->ui.NowV->text(), QStringLiteral("11.5"));
    // Out of view: not laid out for a value no one can see.
    QVERIFY(last->ui.NowV->text() != QStringLiteral("1234.5"));

    scroller->ensureWidgetVisible(last->ui.NowV);
    QTRY_COMPARE(last->ui.NowV->text(), QStringLiteral("1234.5"));
}

QTEST_MAIN(tst_WindowSize)
#include "tst_windowsize.moc"
