// SPDX-License-Identifier: GPL-3.0-or-later
// A device node that stops answering while the server itself is fine,
// against the fake server: the node is named in the status bar and on its
// panel's badge, the nodes that answer are not, a late answer clears the
// note, nothing is named while the link is down, and no widget of the
// panels changes for it.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "app/StartUp.h"
#include "client/AnswerWatch.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "widgets/LinkGuard.h"
#include "widgets/PanelMarker.h"
#include "widgets/SilenceBadge.h"
#include "window/Body.h"
#include "window/HistoryView.h"
#include "window/SilentDevices.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

const QString Clock = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");

// What the panels' forms define for each of their named widgets: text,
// style sheet, enabled and checked state, size and place. The badge is not
// one of them.
QMap<QString, QString> formState(const QWidget &panel)
{
    QMap<QString, QString> state;
    for (const QWidget *w : panel.findChildren<QWidget *>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
            qobject_cast<const PanelMarker *>(w))
            continue;
        QString text;
        if (auto *label = qobject_cast<const QLabel *>(w))
            text = label->text();
        else if (auto *edit = qobject_cast<const QLineEdit *>(w))
            text = edit->text();
        else if (auto *button = qobject_cast<const QAbstractButton *>(w))
            text = button->text() + QLatin1Char('|') + QString::number(button->isChecked());
        else if (auto *box = qobject_cast<const QComboBox *>(w))
            text = box->currentText();
        QRect place = w->geometry();
        state.insert(name, QStringLiteral("%1|%2|%3|%4,%5,%6,%7")
                               .arg(text, w->styleSheet())
                               .arg(w->isEnabled())
                               .arg(place.x())
                               .arg(place.y())
                               .arg(place.width())
                               .arg(place.height()));
    }
    return state;
}

} // namespace

class tst_SilentDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void silentNodeNamed_data();
    void silentNodeNamed();
    void nothingNamedWhileTheLinkIsDown();
    void offWithZero();

private:
    QString writeConfig(const QByteArray &answerTimeout);
    void settle(Body &body);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_SilentDevice::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
    // The amplifier's node answers everything; the HV module's never does.
    server->answerNode(QStringLiteral("ca.1"));
}

void tst_SilentDevice::cleanup()
{
    server.reset();
    dir.reset();
}

QString tst_SilentDevice::writeConfig(const QByteArray &answerTimeout)
{
    return writeStation(*dir, QString::number(server->port()),
                        "Answer Timeout=" + answerTimeout +
                            "\nHV Module Names=HV1\nAMP Module Names=AMP1\nIC Module Names=I0\n"
                            "[HV1]\nid=hv1\ndriver=hvps\nch=1\nDefault Voltage=1000, 0\n"
                            "[AMP1]\nid=amp1\ndriver=ca\nch=1\n"
                            "[I0]\nHV Unit id=hv1\nAMP Unit id=amp1\n");
}

void tst_SilentDevice::settle(Body &body)
{
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Ready, 10000);
    QVERIFY(server->waitForMessageLines(13, 10000));
    // The amplifier's answers are in, and what they changed is shown.
    QVERIFY(deliver(*server, *body.tesra(), {}));
}

void tst_SilentDevice::silentNodeNamed_data()
{
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("badge");
    QTest::newRow("English") << false << "^hvps\\.1 not answering since {clock}$"
                             << "!";
    QTest::newRow("Japanese") << true << QString::fromUtf8("^hvps\\.1 が {clock} から応答しません$")
                              << QStringLiteral("!");
}

void tst_SilentDevice::silentNodeNamed()
{
    QFETCH(bool, japanese);
    QFETCH(QString, note);
    QFETCH(QString, badge);

    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    // Long enough for the amplifier's answers to be in before the HV
    // module's silence can be noticed.
    Body body(writeConfig("3"));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    aHV *hv = body.hvModules().at(0);
    aCA *amp = body.ampModules().at(0);
    QSignalSpy silent(hv->device()->answerWatch(), &AnswerWatch::deviceSilent);
    settle(body);
    const auto hvBefore = formState(*hv);
    const auto ampBefore = formState(*amp);
    QVERIFY(silent.isEmpty());

    const SilentDevices *view = body.silentDevices();
    QVERIFY(silent.wait(15000));
    const QRegularExpression expected(QString(note).replace(QStringLiteral("{clock}"), Clock));
    QVERIFY2(expected.match(view->text()).hasMatch(), qPrintable(view->text()));
    QVERIFY(view->isVisible());
    QCOMPARE(view->nodes(), QStringList{QStringLiteral("hvps.1")});
    PanelMarker *marker = hv->silenceBadge()->marker();
    QVERIFY(marker->isVisible());
    QCOMPARE(marker->text(), badge);
    QCOMPARE(marker->toolTip(), view->text());
    // Over the panel and outside its layout, just left of the marker of the
    // alarm that the silence raises (the more urgent placed first); neither
    // over the module's name nor over its Start button.
    auto *alarm = hv->findChild<PanelMarker *>(QStringLiteral("AlarmMarker"));
    QVERIFY(alarm && alarm->isVisible());
    QVERIFY(marker->geometry().right() < alarm->geometry().left());
    QCOMPARE(marker->geometry().top(), alarm->geometry().top());
    const auto *start = hv->findChild<const QWidget *>(QStringLiteral("Start"));
    QVERIFY(start);
    const QRect startArea(start->mapTo(hv, QPoint(0, 0)), start->size());
    for (const PanelMarker *shown : {marker, alarm}) {
        QVERIFY(!shown->geometry().intersects(PanelMarker::nameArea(hv)));
        QVERIFY(!shown->geometry().intersects(startArea));
    }
    QVERIFY(!amp->silenceBadge()->marker()->isVisible());
    QVERIFY(!amp->device()->answerWatch()->isSilent());
    // The history's timeline has it too, once.
    QStringList silentRows;
    for (const History::Event &event : body.history()->recorder()->history().events()) {
        if (event.kind == History::EventKind::Silent)
            silentRows << event.node;
    }
    QCOMPARE(silentRows, QStringList{QStringLiteral("hvps.1")});

    // A warning only: the panels look and work exactly as before.
    QCOMPARE(formState(*hv), hvBefore);
    QCOMPARE(formState(*amp), ampBefore);
    QVERIFY(!hv->linkGuard()->isHolding());

    // The module speaks again.
    QSignalSpy answering(hv->device()->answerWatch(), &AnswerWatch::deviceAnswering);
    server->sendLine(QStringLiteral("hvps.1>Brenlow.hv1 @GetV 12"));
    QVERIFY(answering.wait(10000));
    QCOMPARE(view->text(), QString());
    QCOMPARE(view->toolTip(), QString());
    QVERIFY(!marker->isVisible());
    QCoreApplication::removeTranslator(&translator);
}

void tst_SilentDevice::nothingNamedWhileTheLinkIsDown()
{
    Body body(writeConfig("0.3"));
    aHV *hv = body.hvModules().at(0);
    QSignalSpy silent(hv->device()->answerWatch(), &AnswerWatch::deviceSilent);
    settle(body);
    QVERIFY(silent.wait(10000));
    QVERIFY(!body.silentDevices()->text().isEmpty());

    server->dropClient();
    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Lost, 10000);
    QCOMPARE(body.silentDevices()->text(), QString());
    QVERIFY(!hv->silenceBadge()->marker()->isVisibleTo(hv));
    // Nothing can answer over a link that is down: nothing is named.
    QVERIFY(!silent.wait(1500));
    QCOMPARE(body.silentDevices()->text(), QString());

    // Back up: the start lines again, and the module is named anew.
    body.tesra()->ReConnect();
    QVERIFY(silent.wait(10000));
    QCOMPARE(body.silentDevices()->nodes(), QStringList{QStringLiteral("hvps.1")});
}

void tst_SilentDevice::offWithZero()
{
    Body body(writeConfig("0"));
    aHV *hv = body.hvModules().at(0);
    QCOMPARE(hv->device()->answerWatch()->timeout(), 0);
    QSignalSpy silent(hv->device()->answerWatch(), &AnswerWatch::deviceSilent);
    settle(body);
    QVERIFY(!silent.wait(1500));
    QCOMPARE(body.silentDevices()->text(), QString());
}

QTEST_MAIN(tst_SilentDevice)
#include "tst_silentdevice.moc"
