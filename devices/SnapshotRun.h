// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/Device.h"
#include "station/Snapshot.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

class QTextStream;
class StationDevices;

// Saves the station's settings as a snapshot, compares them with one and
// puts a snapshot's settings back, on the station's devices alone: the
// command line runs it without any window, and the window's snapshot menu
// runs its restores through it.
//
// A snapshot is gathered from what the devices hold: their answers on the
// present link and the HV modules' own set voltages. A restore puts one
// setting back at a time, through the device's own control, so that the
// wire shows exactly the lines of an operator's change, and waits for that
// change's answers before the next, so that no late answer of one change
// undoes the one after it; then it asks for the values until they read back
// as the snapshot's. Settings that are only filled in (an HV module's set
// voltage) are filled in at the start, and nothing is sent for them. A
// restore touches only the modules whose node is the one the snapshot was
// taken of (see Snapshot::elsewhere), and never uses a value the file could
// not vouch for (Snapshot::refused); both are named. The command line's runs
// wait for the link and the answers first and end with an exit status
// through commandFinished.
class SnapshotRun : public QObject
{
    Q_OBJECT

public:
    enum class Command { Save, Compare, Restore };

    // How long a run waits for the link and every device's answers, and how
    // long a restore may take until its settings read back.
    static constexpr int AnswerWaitMs = 15000;
    static constexpr int ReadBackMs = 10000;
    // How often a run looks at the devices besides their answers, and how
    // often a restore asks again for values that do not read back yet.
    static constexpr int TickMs = 100;
    static constexpr int RequeryMs = 500;
    // The exit status of a comparison or restore that fails before it
    // compares anything (no snapshot, no key file, no link): never 1,
    // which says that there are differences.
    static constexpr int CannotRunStatus = 2;

    explicit SnapshotRun(StationDevices &station, QObject *parent = nullptr);
    ~SnapshotRun() override;

    // The live station as a snapshot, now.
    Snapshot gather() const;
    // Whether the link is ready and every device has had the answers to its
    // value queries on it.
    bool allAnswered() const;

    // A command-line run: writes difference lines to out and messages to
    // err (both must outlive the run) and ends with commandFinished.
    void runCommand(Command command, const QString &file, QTextStream &out, QTextStream &err);
    // The window's restore of a snapshot read from file, once confirmed:
    // ends with restoreFinished. False when it cannot start (read-only, no
    // link, a run under way).
    bool startRestore(const Snapshot &snapshot, const QString &file);

    bool isRunning() const { return phase != Phase::Idle; }
    // The modules of the snapshot that the present (or last) restore leaves
    // alone, and the values of its file that are not used.
    const QVector<SnapshotRefusal> &skippedModules() const { return skipped; }
    const QVector<SnapshotRefusal> &refusedValues() const { return saved.refused; }
    // The differences that a restore of snapshot is after: the settings put
    // back by sending.
    QVector<SnapshotDifference> sentDifferences(const Snapshot &snapshot) const;

signals:
    void commandFinished(int status);
    // readBack: every setting put back read back; ok: and nothing of the
    // file was left out. remaining: how many settings did not read back.
    void restoreFinished(bool ok, bool readBack, int remaining);
    void runningChanged(bool running);

private:
    enum class Phase { Idle, Answers, Steps, ReadBack };
    struct Step
    {
        Device *device;
        int setting;
    };

    void start(Command command);
    void poke();
    void advance();
    void answersIn();
    void beginSteps();
    void stepRestore();
    void checkReadBack();
    void finishRestore(bool readBack);
    void finish(int status);
    void setPhase(Phase next);
    QJsonValue savedValue(const Device *device, int setting) const;
    // Whether a restore puts the snapshot's settings back onto the module
    // of scope with this section name (see skipped).
    bool restores(SnapshotDifference::Scope scope, const QString &section) const;
    // Whether any of the device's settings is put back by sending.
    static bool restoresBySending(const Device *device);

    StationDevices &station;
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
};
