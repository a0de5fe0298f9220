// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/Snapshot.h"
#include "widgets/PanelMarker.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

class Body;
class DevicePanel;
class QAction;
class QDockWidget;
class QMenu;
class SnapshotRun;
class SnapshotTable;

// The window's snapshot menu: saves the station's settings as a snapshot,
// shows how they differ from one, and puts a snapshot's amplifier settings
// back, through the same logic the command line runs (SnapshotRun).
//
// The comparison table lives in a dock of the window and follows the live
// values; the panels that differ carry a marker where a panel's markers go
// (PanelMarker), clear of the module's name. A restore shows the
// differences and asks once before SnapshotRun puts them back; the status
// bar says how it went, and which modules and values of the file it left
// out.
class SnapshotTool : public QObject
{
    Q_OBJECT

public:
    // How often the comparison table follows the live values.
    static constexpr int RefreshMs = 250;
    static constexpr int StatusMessageMs = 15000;
    // A size below any window's minimum: resizing to it shrinks the window
    // to fit.
    static constexpr int FitSize = 10;

    explicit SnapshotTool(Body *window);
    ~SnapshotTool() override;

    // Puts the three menu entries into menu, before the entry before.
    void addMenuEntries(QMenu *menu, QAction *before);
    QAction *saveAction() const { return saveEntry; }
    QAction *compareAction() const { return compareEntry; }
    QAction *restoreAction() const { return restoreEntry; }

    // The snapshot logic on the station's devices.
    SnapshotRun *run() const { return runner; }

    // The menu's work, once a file is chosen.
    bool saveTo(const QString &file);
    bool showComparison(const QString &file);
    // Shows the differences and asks for confirmation before it starts.
    bool restoreFrom(const QString &file);

    bool isRunning() const;
    SnapshotTable *table() const { return differences; }
    QDockWidget *dock() const { return tableDock; }
    // The marker of a panel, or null before it was ever marked.
    PanelMarker *markerOf(const QWidget *panel) const { return markers.value(panel); }

signals:
    void restoreFinished(bool ok);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool linkReady() const;
    void chooseAndSave();
    void chooseAndCompare();
    void chooseAndRestore();
    void updateActions();
    void note(const QString &message);
    void restored(bool ok, bool readBack, int remaining);
    // The reasons the file's values and modules are not all used, for the
    // window's note; empty when they are.
    QString leftOutText() const;
    // Names the modules a restore leaves alone.
    static QString notRestoredText(const QVector<SnapshotRefusal> &modules);

    void ensureDock();
    void refresh();
    void fitWindow();
    void stopComparing();
    void markPanels(const QVector<SnapshotDifference> &all);

    Body *window;
    SnapshotRun *runner;
    QAction *saveEntry = nullptr;
    QAction *compareEntry = nullptr;
    QAction *restoreEntry = nullptr;
    // The file of the restore under way.
    QString restoring;

    // The comparison on screen.
    bool comparing = false;
    Snapshot compared;
    QTimer refreshTimer;
    QDockWidget *tableDock = nullptr;
    SnapshotTable *differences = nullptr;
    QHash<const QWidget *, QPointer<PanelMarker>> markers;
};
