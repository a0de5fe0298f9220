// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SnapshotTool.h"

#include "client/Logging.h"
#include "client/Tesra.h"
#include "devices/Colours.h"
#include "devices/SnapshotRun.h"
#include "devices/StationDevices.h"
#include "widgets/DevicePanel.h"
#include "widgets/PanelMarker.h"
#include "window/Body.h"
#include "window/SnapshotTable.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const QString MarkerStyle = QStringLiteral("%1 color: %2; border: 1px solid %3;")
                                .arg(Colours::background(Colours::Colour::DifferenceBadge),
                                     Colours::css(Colours::Colour::BadgeText),
                                     Colours::css(Colours::Colour::DifferenceBadgeFrame));

QString fileFilter()
{
    return SnapshotTool::tr("Snapshots (*.json)") + QStringLiteral(";;") +
           SnapshotTool::tr("All files (*)");
}

} // namespace

SnapshotTool::SnapshotTool(Body *mainWindow)
    : QObject(mainWindow), window(mainWindow),
      runner(new SnapshotRun(*mainWindow->stationDevices(), this))
{
    refreshTimer.setInterval(RefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &SnapshotTool::refresh);
    connect(window->tesra(), &Tesra::LinkStateChanged, this, &SnapshotTool::updateActions);
    connect(runner, &SnapshotRun::runningChanged, this, &SnapshotTool::updateActions);
    connect(runner, &SnapshotRun::restoreFinished, this, &SnapshotTool::restored);
}

SnapshotTool::~SnapshotTool() = default;

void SnapshotTool::addMenuEntries(QMenu *menu, QAction *before)
{
    saveEntry = new QAction(tr("Save Snapshot…"), this);
    compareEntry = new QAction(tr("Compare with Snapshot…"), this);
    restoreEntry = new QAction(tr("Restore Amplifiers from Snapshot…"), this);
    saveEntry->setObjectName(QStringLiteral("actionSaveSnapshot"));
    compareEntry->setObjectName(QStringLiteral("actionCompareSnapshot"));
    restoreEntry->setObjectName(QStringLiteral("actionRestoreSnapshot"));
    connect(saveEntry, &QAction::triggered, this, &SnapshotTool::chooseAndSave);
    connect(compareEntry, &QAction::triggered, this, &SnapshotTool::chooseAndCompare);
    connect(restoreEntry, &QAction::triggered, this, &SnapshotTool::chooseAndRestore);
    menu->insertAction(before, saveEntry);
    menu->insertAction(before, compareEntry);
    menu->insertAction(before, restoreEntry);
    menu->insertSeparator(before);
    updateActions();
}

bool SnapshotTool::isRunning() const
{
    return runner->isRunning();
}

void SnapshotTool::updateActions()
{
    // A restore sends commands: not while they cannot go out, nor in
    // read-only mode, nor while one runs.
    if (restoreEntry)
        restoreEntry->setEnabled(!window->isReadOnly() && linkReady() && !isRunning());
}

bool SnapshotTool::linkReady() const
{
    return window->stationDevices()->linkReady();
}

void SnapshotTool::note(const QString &message)
{
    window->statusBar()->showMessage(message, StatusMessageMs);
}

void SnapshotTool::restored(bool ok, bool readBack, int remaining)
{
    QString message = readBack ? tr("Amplifiers restored from %1.").arg(restoring)
                               : tr("Restore from %1 incomplete: %2 setting(s) did not read back.")
                                     .arg(restoring)
                                     .arg(remaining);
    const QString leftOut = leftOutText();
    if (!leftOut.isEmpty())
        message += QLatin1Char(' ') + leftOut;
    note(message);
    refresh();
    emit restoreFinished(ok);
}

QString SnapshotTool::leftOutText() const
{
    QStringList parts;
    if (!runner->skippedModules().isEmpty())
        parts << notRestoredText(runner->skippedModules());
    if (!runner->refusedValues().isEmpty())
        parts << tr("%1 value(s) of the file not used (see the debug log).")
                     .arg(runner->refusedValues().size());
    return parts.join(QLatin1Char(' '));
}

QString SnapshotTool::notRestoredText(const QVector<SnapshotRefusal> &modules)
{
    QStringList sections;
    for (const SnapshotRefusal &module : modules)
        sections << Snapshot::printable(module.section);
    return tr("Not restored, not the device the snapshot was taken of: %1.")
        .arg(sections.join(QStringLiteral(", ")));
}

// ---- the window ---------------------------------------------------------

void SnapshotTool::chooseAndSave()
{
    const QString name = QFileDialog::getSaveFileName(
        window, tr("Save Snapshot"),
        QStringLiteral("snapshot-%1.json")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))),
        fileFilter());
    if (!name.isEmpty())
        saveTo(name);
}

void SnapshotTool::chooseAndCompare()
{
    const QString name =
        QFileDialog::getOpenFileName(window, tr("Compare with Snapshot"), QString(), fileFilter());
    if (!name.isEmpty())
        showComparison(name);
}

void SnapshotTool::chooseAndRestore()
{
    const QString name = QFileDialog::getOpenFileName(
        window, tr("Restore Amplifiers from Snapshot"), QString(), fileFilter());
    if (!name.isEmpty())
        restoreFrom(name);
}

bool SnapshotTool::saveTo(const QString &fileName)
{
    const Snapshot live = runner->gather();
    QString error;
    if (!live.save(fileName, error)) {
        note(tr("Cannot write the snapshot %1: %2").arg(fileName, error));
        return false;
    }
    if (const int nulls = live.nullCount())
        note(tr("Snapshot saved to %1; %2 value(s) not reported (null).").arg(fileName).arg(nulls));
    else
        note(tr("Snapshot saved to %1.").arg(fileName));
    return true;
}

bool SnapshotTool::showComparison(const QString &fileName)
{
    Snapshot loaded;
    QString error;
    if (!Snapshot::load(fileName, loaded, error)) {
        note(tr("Cannot read the snapshot %1: %2").arg(fileName, error));
        return false;
    }
    for (const SnapshotRefusal &value : qAsConst(loaded.refused))
        qCDebug(lcWindow).noquote()
            << QStringLiteral("snapshot [%1]: not used: %2").arg(fileName, value.line());
    compared = loaded;
    comparing = true;
    ensureDock();
    tableDock->setWindowTitle(tr("Snapshot Comparison: %1").arg(QFileInfo(fileName).fileName()));
    tableDock->show();
    refresh();
    refreshTimer.start();
    fitWindow();
    const int count = differences->rowCount();
    QString message =
        count == 0 ? tr("The station matches the snapshot %1.").arg(fileName)
                   : tr("Settings that differ from the snapshot %1: %2").arg(fileName).arg(count);
    if (!loaded.refused.isEmpty())
        message +=
            QLatin1Char(' ') +
            tr("%1 value(s) of the file not used (see the debug log).").arg(loaded.refused.size());
    note(message);
    return true;
}

bool SnapshotTool::restoreFrom(const QString &fileName)
{
    if (window->isReadOnly() || !linkReady() || isRunning())
        return false;
    Snapshot loaded;
    QString error;
    if (!Snapshot::load(fileName, loaded, error)) {
        note(tr("Cannot read the snapshot %1: %2").arg(fileName, error));
        return false;
    }
    const Snapshot live = runner->gather();
    const QVector<SnapshotDifference> found = Snapshot::compare(loaded, live);
    if (found.isEmpty()) {
        note(tr("Nothing to restore: the station matches the snapshot %1.").arg(fileName));
        return false;
    }

    // The one question the program asks: the operator sees what will change.
    QDialog confirm(window);
    confirm.setWindowTitle(tr("Restore Amplifiers"));
    auto *layout = new QVBoxLayout(&confirm);
    QStringList lines{tr("Restore the amplifier settings from the snapshot %1?").arg(fileName),
                      tr("HV set voltages are only filled in; the module's Start applies them.")};
    if (!loaded.server.isEmpty() && loaded.server != live.server)
        lines << tr("The snapshot was taken through the server %1; the station now uses %2.")
                     .arg(Snapshot::printable(loaded.server), live.server);
    const QVector<SnapshotRefusal> elsewhere = Snapshot::elsewhere(loaded, live);
    if (!elsewhere.isEmpty())
        lines << notRestoredText(elsewhere);
    auto *question = new QLabel(lines.join(QLatin1Char('\n')), &confirm);
    question->setWordWrap(true);
    layout->addWidget(question);
    auto *table = new SnapshotTable(&confirm);
    table->showDifferences(found);
    layout->addWidget(table);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &confirm);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Restore"));
    connect(buttons, &QDialogButtonBox::accepted, &confirm, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &confirm, &QDialog::reject);
    layout->addWidget(buttons);
    if (confirm.exec() != QDialog::Accepted)
        return false;
    // The link may have gone while the question was open.
    if (!linkReady() || isRunning())
        return false;

    restoring = fileName;
    showComparison(fileName);
    note(tr("Restoring the amplifiers from %1…").arg(fileName));
    return runner->startRestore(loaded, fileName);
}

void SnapshotTool::ensureDock()
{
    if (tableDock)
        return;
    tableDock = new QDockWidget(window);
    tableDock->setObjectName(QStringLiteral("snapshotDock"));
    tableDock->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    differences = new SnapshotTable(tableDock);
    tableDock->setWidget(differences);
    tableDock->installEventFilter(this);
    window->addDockWidget(Qt::BottomDockWidgetArea, tableDock);
}

bool SnapshotTool::eventFilter(QObject *watched, QEvent *event)
{
    // Closing the table ends the comparison and takes the markers away.
    if (watched == tableDock && event->type() == QEvent::Close)
        stopComparing();
    return QObject::eventFilter(watched, event);
}

void SnapshotTool::stopComparing()
{
    comparing = false;
    refreshTimer.stop();
    markPanels({});
}

void SnapshotTool::refresh()
{
    if (!comparing)
        return;
    const QVector<SnapshotDifference> found = Snapshot::compare(compared, runner->gather());
    const int rows = differences->rowCount();
    differences->showDifferences(found);
    if (differences->rowCount() != rows)
        fitWindow();
    markPanels(found);
}

void SnapshotTool::fitWindow()
{
    // The window keeps the smallest size that fits its content, the table
    // included, as it does when a panel shows or hides its details: once
    // the pending layouts have run, it shrinks to its new minimum.
    QTimer::singleShot(0, window, [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (QLayout *layout = window->layout()) {
            layout->invalidate();
            layout->activate();
        }
        window->resize(FitSize, FitSize);
    });
}

void SnapshotTool::markPanels(const QVector<SnapshotDifference> &all)
{
    for (DevicePanel *panel : window->panels()) {
        const Device *device = panel->device();
        QStringList settings;
        for (const SnapshotDifference &difference : all) {
            if (difference.scope == device->scope() && difference.section == device->section())
                settings << SnapshotTable::settingText(difference);
        }
        PanelMarker *marker = markers.value(panel->widget());
        if (settings.isEmpty()) {
            if (marker)
                marker->clearNote();
            continue;
        }
        if (!marker) {
            marker = new PanelMarker(panel->widget(), PanelMarker::Kind::Snapshot, MarkerStyle);
            marker->setObjectName(QStringLiteral("snapshotMarker"));
            markers.insert(panel->widget(), marker);
        }
        const QString text = tr("Differs");
        const QString toolTip =
            tr("Differs from the snapshot: %1").arg(settings.join(QStringLiteral(", ")));
        if (marker->text() != text || marker->toolTip() != toolTip)
            marker->setNote(text, toolTip);
    }
}
