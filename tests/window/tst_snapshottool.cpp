// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot menu on the whole window against the fake server, whose
// devices are the simulator's amplifier and HV models: the window's table
// and markers follow the live values, a restore asks once and puts the
// amplifier back, read-only mode refuses it, and the menu's entries. The
// snapshot logic itself is tested on the devices alone (tst_snapshotrun).

#include "FakeTesraServer.h"
#include "SimStation.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "app/StartUp.h"
#include "client/Tesra.h"
#include "devices/AmplifierDevice.h"
#include "devices/SnapshotRun.h"
#include "hv/aHV.h"
#include "sim/AmplifierModel.h"
#include "station/Snapshot.h"
#include "window/Body.h"
#include "window/SnapshotTable.h"
#include "window/SnapshotTool.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

} // namespace

class tst_SnapshotTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readOnlyRefusesRestore();
    void windowTableFollowsLiveValues();
    void menuEntries_data();
    void menuEntries();

private:
    std::unique_ptr<Body> startWindow(bool readOnly = false);
    // Saves a snapshot of the station from the window's menu, once every
    // device has answered.
    void save(Body &body, const QString &file);
    aCA *amp(Body &body) { return body.ampModules().at(0); }
    aHV *hv(Body &body) { return body.hvModules().at(0); }

    // The devices answer every request through the fake server.
    std::unique_ptr<SimStation> sim;
};

void tst_SnapshotTool::init()
{
    sim = std::make_unique<SimStation>();
    QVERIFY(sim->isValid());
}

void tst_SnapshotTool::cleanup()
{
    sim.reset();
}

std::unique_ptr<Body> tst_SnapshotTool::startWindow(bool readOnly)
{
    auto body = std::make_unique<Body>(sim->writeStation(), readOnly);
    return body;
}

void tst_SnapshotTool::save(Body &body, const QString &file)
{
    QTRY_VERIFY(body.snapshotTool()->run()->allAnswered());
    QVERIFY(body.snapshotTool()->saveTo(file));
}

void tst_SnapshotTool::readOnlyRefusesRestore()
{
    auto body = startWindow(true);
    const QString file = sim->dir().filePath("snapshot.json");
    save(*body, file);
    sim->changeAmplifier({"SetFilter 1"});
    amp(*body)->device()->askValues();
    QTRY_VERIFY(!amp(*body)->device()->awaitsAnswers());
    takeSentLines(sim->server(), *body->tesra());

    QVERIFY(!body->snapshotTool()->restoreAction()->isEnabled());
    QVERIFY(!body->snapshotTool()->restoreFrom(file));
    QCOMPARE(takeSentLines(sim->server(), *body->tesra()), QStringList());
}

void tst_SnapshotTool::windowTableFollowsLiveValues()
{
    auto body = startWindow();
    body->show();
    const QString file = sim->dir().filePath("snapshot.json");
    save(*body, file);
    SnapshotTool *tool = body->snapshotTool();
    QVERIFY(tool->showComparison(file));
    QCOMPARE(tool->table()->rowCount(), 0);

    sim->changeAmplifier({"SetFilter 1"});
    amp(*body)->device()->askValues();
    QTRY_COMPARE(tool->table()->rowCount(), 1);
    QCOMPARE(tool->table()->item(0, SnapshotTable::ModuleColumn)->text(), QStringLiteral("A"));
    QCOMPARE(tool->table()->item(0, SnapshotTable::SettingColumn)->text(),
             QStringLiteral("Filter"));
    QCOMPARE(tool->table()->item(0, SnapshotTable::SnapshotColumn)->text(), QStringLiteral("off"));
    QCOMPARE(tool->table()->item(0, SnapshotTable::LiveColumn)->text(), QStringLiteral("on"));
    // The differing panel carries the marker, clear of its name; the other
    // none.
    QTRY_VERIFY(tool->markerOf(amp(*body)) && tool->markerOf(amp(*body))->isShown());
    QVERIFY(!tool->markerOf(amp(*body))->geometry().intersects(PanelMarker::nameArea(amp(*body))));
    QVERIFY(!PanelMarker::nameArea(amp(*body)).isEmpty());
    QVERIFY(!tool->markerOf(hv(*body)) || !tool->markerOf(hv(*body))->isShown());

    // The restore asks once, then puts the filter back; the table empties.
    QSignalSpy restored(tool, &SnapshotTool::restoreFinished);
    QTimer::singleShot(0, this, [] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    QVERIFY(tool->restoreFrom(file));
    QVERIFY(restored.wait(20000));
    QCOMPARE(restored.at(0).at(0).toBool(), true);
    QTRY_COMPARE(tool->table()->rowCount(), 0);
    QTRY_VERIFY(!tool->markerOf(amp(*body))->isShown());

    // Closing the table ends the comparison and its markers.
    sim->changeAmplifier({"SetZeroCheck 1"});
    amp(*body)->device()->askValues();
    QTRY_VERIFY(tool->markerOf(amp(*body))->isShown());
    tool->dock()->close();
    QVERIFY(!tool->markerOf(amp(*body))->isShown());
}

void tst_SnapshotTool::menuEntries_data()
{
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("English") << false
                             << QStringList{"Save Snapshot…", "Compare with Snapshot…",
                                            "Restore Amplifiers from Snapshot…"};
    QTest::newRow("Japanese") << true
                              << QStringList{"スナップショットを保存…", "スナップショットと比較…",
                                             "スナップショットからアンプを復元…"};
}

void tst_SnapshotTool::menuEntries()
{
    QFETCH(bool, japanese);
    QFETCH(QStringList, texts);
    QTranslator translator;
    StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese);
    auto body = startWindow();
    QCoreApplication::removeTranslator(&translator);
    const QList<QAction *> entries = body->menuBar()->actions().at(0)->menu()->actions();
    QStringList shown;
    for (QAction *entry : entries) {
        if (!entry->isSeparator())
            shown << entry->text();
    }
    QCOMPARE(shown.mid(shown.indexOf(texts.at(0)), 3), texts);
    QCOMPARE(entries.last()->objectName(), QStringLiteral("actionQuit"));
    // A restore needs the link.
    QAction *restore = body->snapshotTool()->restoreAction();
    QVERIFY(!restore->isEnabled());
    QTRY_VERIFY(restore->isEnabled());
    sim->server().dropClient();
    QTRY_VERIFY(!restore->isEnabled());
    QVERIFY(body->snapshotTool()->saveAction()->isEnabled());
}

QTEST_MAIN(tst_SnapshotTool)
#include "tst_snapshottool.moc"
