// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/Snapshot.h"
#include "widgets/PanelMarker.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

class Body;
class QAction;
class QDockWidget;
class QMenu;
class QTextStream;
class SnapshotTable;
class Tesra;
class aCA;
class aHV;

// Saves the station's settings as a snapshot, compares them with a snapshot
// and puts a snapshot's amplifier settings back, for the window's menu and
// for the command line.
//
// A snapshot is gathered from what the panels hold: the answers of their
// devices on the present link and the HV panels' own set voltages. The
// comparison table lives in a dock of the window and follows the live
// values; the panels that differ carry a marker in their top-left corner.
// A restore changes one amplifier setting at a time through the panel's own
// widget, so that the wire shows exactly the lines of an operator's change,
// and waits for that change's answers before the next, so that no late
// answer of one change undoes the one after it; then it asks for the values
// until they read back as the snapshot's. HV modules are never sent
// anything: a restore only fills in their set voltage. A restore touches
// only the modules whose node is the one the snapshot was taken of (see
// Snapshot::elsewhere), and never uses a value the file could not vouch for
// (Snapshot::refused); both are named. The command line's runs wait for the
// link and the answers first and end with an exit status through
// commandFinished.
class SnapshotTool : public QObject
{
    Q_OBJECT

public:
    enum class Command { Save, Compare, Restore };

    // How long a run waits for the link and every panel's answers, and how
    // long a restore may take until its settings read back.
    static constexpr int AnswerWaitMs = 15000;
    static constexpr int ReadBackMs = 10000;
    // How often a run looks at the panels besides their answers, and how
    // often a restore asks again for values that do not read back yet.
    static constexpr int TickMs = 100;
    static constexpr int RequeryMs = 500;
    // How often the comparison table follows the live values.
    static constexpr int RefreshMs = 250;
    static constexpr int StatusMessageMs = 15000;
    // A size below any window's minimum: resizing to it shrinks the window
    // to fit.
    static constexpr int FitSize = 10;
    // The exit status of a comparison or restore that fails before it
    // compares anything (no snapshot, no key file, no link): never 1,
    // which says that there are differences.
    static constexpr int CannotRunStatus = 2;

    explicit SnapshotTool(Body *window);
    ~SnapshotTool() override;

    // Puts the three menu entries into menu, before the entry before.
    void addMenuEntries(QMenu *menu, QAction *before);
    QAction *saveAction() const { return saveEntry; }
    QAction *compareAction() const { return compareEntry; }
    QAction *restoreAction() const { return restoreEntry; }

    // The live station as a snapshot, now.
    Snapshot gather() const;
    // Whether the link is ready and every panel has had the answers to its
    // value queries on it.
    bool allAnswered() const;

    // A command-line run: writes difference lines to out and messages to
    // err (both must outlive the run) and ends with commandFinished.
    void runCommand(Command command, const QString &file, QTextStream &out, QTextStream &err);

    // The menu's work, once a file is chosen.
    bool saveTo(const QString &file);
    bool showComparison(const QString &file);
    // Shows the differences and asks for confirmation before it starts.
    bool restoreFrom(const QString &file);

    bool isRunning() const { return phase != Phase::Idle; }
    SnapshotTable *table() const { return differences; }
    QDockWidget *dock() const { return tableDock; }
    // The marker of a panel, or null before it was ever marked.
    PanelMarker *markerOf(const QWidget *panel) const { return markers.value(panel); }

signals:
    void commandFinished(int status);
    void restoreFinished(bool ok);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Phase { Idle, Answers, Steps, ReadBack };
    struct Step
    {
        int amp;
        AmpSetting setting;
    };

    bool linkReady() const;
    // True when the link is down for good: no port or no usable client
    // name, or lost without a reconnector to bring it back.
    bool linkGivenUp() const;
    void chooseAndSave();
    void chooseAndCompare();
    void chooseAndRestore();
    void updateActions();
    void note(const QString &message);

    void start(Command command);
    void poke();
    void advance();
    void answersIn();
    void beginSteps();
    void stepRestore();
    void checkReadBack();
    void finishRestore(bool ok);
    void finish(int status);
    // The amplifier differences that a restore is after.
    QVector<SnapshotDifference> ampDifferences() const;
    QJsonValue savedValue(const Step &step) const;
    // Whether a restore puts the snapshot's settings back onto the module
    // of scope with this section name (see skipped).
    bool restores(SnapshotDifference::Scope scope, const QString &section) const;
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
    Tesra *client;
    QAction *saveEntry = nullptr;
    QAction *compareEntry = nullptr;
    QAction *restoreEntry = nullptr;

    // The present run.
    Phase phase = Phase::Idle;
    Command job = Command::Save;
    bool fromCommandLine = false;
    QString file;
    Snapshot saved;
    QTextStream *out = nullptr;
    QTextStream *err = nullptr;
    QTimer pokeTimer;
    QTimer tick;
    QElapsedTimer phaseClock;
    QElapsedTimer lastQuery;
    QVector<Step> steps;
    int nextStep = 0;
    QStringList refused;
    // The modules of the snapshot that the present restore leaves alone.
    QVector<SnapshotRefusal> skipped;

    // The comparison on screen.
    bool comparing = false;
    Snapshot compared;
    QTimer refreshTimer;
    QDockWidget *tableDock = nullptr;
    SnapshotTable *differences = nullptr;
    QHash<const QWidget *, QPointer<PanelMarker>> markers;
};
