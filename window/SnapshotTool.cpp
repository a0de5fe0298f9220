// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SnapshotTool.h"

#include "amplifier/aCA.h"
#include "client/Logging.h"
#include "client/SMsg.h"
#include "client/Tesra.h"
#include "devices/Colours.h"
#include "hv/aHV.h"
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
#include <QTextStream>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString MarkerStyle = QStringLiteral("%1 color: %2; border: 1px solid %3;")
                                .arg(Colours::background(Colours::Colour::DifferenceBadge),
                                     Colours::css(Colours::Colour::BadgeText),
                                     Colours::css(Colours::Colour::DifferenceBadgeFrame));

// The answers that may change what a snapshot of the station holds.
const Tesra::MsgSignal Answers[] = {&Tesra::AnsGetStatus,
                                    &Tesra::AnsGetRange,
                                    &Tesra::AnsGetCurrentSurpressionValue,
                                    &Tesra::AnsGetVoltageBiasRange,
                                    &Tesra::EvRangeChanged,
                                    &Tesra::AnsGetMaxV,
                                    &Tesra::AnsGetVLimit,
                                    &Tesra::AnsGetV,
                                    &Tesra::AnsGetRamp,
                                    &Tesra::AnsGetStat1,
                                    &Tesra::EvChangedStat,
                                    &Tesra::EvChangedValue,
                                    &Tesra::EvChangedRampRate};

template <typename Panel, typename Setting, typename Module>
QVector<SnapshotModule> gatherModules(const QList<Panel *> &panels, const QVector<Module> &modules,
                                      int settingCount)
{
    QVector<SnapshotModule> out;
    for (int i = 0; i < panels.size() && i < modules.size(); ++i) {
        SnapshotModule module;
        module.section = modules.at(i).name;
        module.node = SMsg::joinName(modules.at(i).driver, modules.at(i).ch);
        for (int k = 0; k < settingCount; ++k)
            module.values.append(panels.at(i)->reported(Setting(k)));
        out.append(module);
    }
    return out;
}

QString fileFilter()
{
    return SnapshotTool::tr("Snapshots (*.json)") + QStringLiteral(";;") +
           SnapshotTool::tr("All files (*)");
}

} // namespace

SnapshotTool::SnapshotTool(Body *mainWindow)
    : QObject(mainWindow), window(mainWindow), client(mainWindow->tesra())
{
    pokeTimer.setSingleShot(true);
    pokeTimer.setInterval(0);
    connect(&pokeTimer, &QTimer::timeout, this, &SnapshotTool::advance);
    tick.setInterval(TickMs);
    connect(&tick, &QTimer::timeout, this, &SnapshotTool::advance);
    refreshTimer.setInterval(RefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &SnapshotTool::refresh);
    for (const Tesra::MsgSignal answer : Answers)
        connect(client, answer, this, &SnapshotTool::poke);
    connect(client, &Tesra::LinkStateChanged, this, &SnapshotTool::poke);
    connect(client, &Tesra::LinkStateChanged, this, &SnapshotTool::updateActions);
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

void SnapshotTool::updateActions()
{
    // A restore sends commands: not while they cannot go out, nor in
    // read-only mode, nor while one runs.
    if (restoreEntry)
        restoreEntry->setEnabled(!window->isReadOnly() && linkReady() && !isRunning());
}

bool SnapshotTool::linkReady() const
{
    return client->linkState() == Tesra::LinkState::Ready;
}

bool SnapshotTool::linkGivenUp() const
{
    switch (client->linkState()) {
    case Tesra::LinkState::NoValidPort:
    case Tesra::LinkState::NoValidName:
        return true;
    case Tesra::LinkState::Lost:
    case Tesra::LinkState::Refused:
        return window->autoReconnect() == nullptr;
    default:
        return false;
    }
}

Snapshot SnapshotTool::gather() const
{
    const Station &station = window->stationFile();
    Snapshot snapshot;
    const QDateTime now = QDateTime::currentDateTime();
    snapshot.taken = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
    snapshot.station = QFileInfo(station.path).absoluteFilePath();
    snapshot.server =
        QStringLiteral("%1:%2").arg(client->serverAddress()).arg(client->serverPort());
    snapshot.amplifiers = gatherModules<aCA, AmpSetting>(window->ampModules(), station.ampModules,
                                                         Snapshot::ampSettings().size());
    snapshot.hv = gatherModules<aHV, HvSetting>(window->hvModules(), station.hvModules,
                                                Snapshot::hvSettings().size());
    return snapshot;
}

bool SnapshotTool::allAnswered() const
{
    if (!linkReady())
        return false;
    for (const aCA *panel : window->ampModules()) {
        if (!panel->hasAnswered())
            return false;
    }
    for (const aHV *panel : window->hvModules()) {
        if (!panel->hasAnswered())
            return false;
    }
    return true;
}

void SnapshotTool::note(const QString &message)
{
    window->statusBar()->showMessage(message, StatusMessageMs);
}

// ---- command line -------------------------------------------------------

void SnapshotTool::runCommand(Command command, const QString &fileName, QTextStream &output,
                              QTextStream &errors)
{
    out = &output;
    err = &errors;
    file = fileName;
    fromCommandLine = true;
    if (command != Command::Save) {
        QString error;
        if (!Snapshot::load(file, saved, error)) {
            *err << QStringLiteral("brenlow: cannot read the snapshot [%1]: %2").arg(file, error)
                 << '\n';
            finish(CannotRunStatus);
            return;
        }
        for (const SnapshotRefusal &value : qAsConst(saved.refused))
            *err << QStringLiteral("brenlow: not used: %1").arg(value.line()) << '\n';
    }
    if (command == Command::Restore && window->isReadOnly()) {
        *err << QStringLiteral("brenlow: read-only mode: the snapshot [%1] is not restored")
                    .arg(file)
             << '\n';
        finish(1);
        return;
    }
    start(command);
}

void SnapshotTool::start(Command command)
{
    job = command;
    phase = Phase::Answers;
    phaseClock.start();
    steps.clear();
    nextStep = 0;
    refused.clear();
    tick.start();
    updateActions();
    poke();
}

void SnapshotTool::poke()
{
    // The answer is taken up once the client has delivered it everywhere,
    // outside the client's signal.
    if (isRunning() && !pokeTimer.isActive())
        pokeTimer.start();
}

void SnapshotTool::advance()
{
    switch (phase) {
    case Phase::Idle:
        return;
    case Phase::Answers:
        if (allAnswered() || phaseClock.elapsed() >= AnswerWaitMs || linkGivenUp())
            answersIn();
        return;
    case Phase::Steps:
        stepRestore();
        return;
    case Phase::ReadBack:
        checkReadBack();
        return;
    }
}

void SnapshotTool::answersIn()
{
    if (!linkReady()) {
        const QString server =
            QStringLiteral("%1:%2").arg(client->serverAddress()).arg(client->serverPort());
        // Nothing was compared, so a script must not read it as differences.
        if (fromCommandLine) {
            *err << QStringLiteral("brenlow: no link to the server %1").arg(server) << '\n';
            finish(job == Command::Save ? 1 : CannotRunStatus);
        } else if (job == Command::Restore) {
            finishRestore(false);
        } else {
            finish(1);
        }
        return;
    }
    if (job == Command::Restore) {
        beginSteps();
        return;
    }
    const Snapshot live = gather();
    if (job == Command::Compare) {
        const QVector<SnapshotDifference> found = Snapshot::compare(saved, live);
        for (const SnapshotDifference &difference : found)
            *out << difference.line() << '\n';
        finish(found.isEmpty() ? 0 : 1);
        return;
    }
    QString error;
    if (!live.save(file, error)) {
        *err << QStringLiteral("brenlow: cannot write the snapshot [%1]: %2").arg(file, error)
             << '\n';
        finish(1);
        return;
    }
    qCDebug(lcWindow).noquote() << "snapshot written to" << file;
    if (const int nulls = live.nullCount()) {
        *err << QStringLiteral("brenlow: snapshot [%1] written; %2 value(s) were not reported "
                               "and are null")
                    .arg(file)
                    .arg(nulls)
             << '\n';
        finish(2);
        return;
    }
    finish(0);
}

void SnapshotTool::finish(int status)
{
    phase = Phase::Idle;
    tick.stop();
    updateActions();
    if (out)
        out->flush();
    if (err)
        err->flush();
    // Never inside the caller: the command line connects this to the end of
    // the event loop, which may not be running yet.
    QTimer::singleShot(0, this, [this, status] { emit commandFinished(status); });
}

// ---- restore ------------------------------------------------------------

bool SnapshotTool::restores(SnapshotDifference::Scope scope, const QString &section) const
{
    return std::none_of(skipped.begin(), skipped.end(), [&](const SnapshotRefusal &module) {
        return module.scope == scope && module.section == section;
    });
}

QJsonValue SnapshotTool::savedValue(const Step &step) const
{
    const QString section = window->stationFile().ampModules.at(step.amp).name;
    for (const SnapshotModule &module : saved.amplifiers) {
        if (module.section == section)
            return module.value(step.setting);
    }
    return QJsonValue();
}

QVector<SnapshotDifference> SnapshotTool::ampDifferences() const
{
    QVector<SnapshotDifference> found;
    for (const SnapshotDifference &difference : Snapshot::compare(saved, gather())) {
        if (difference.scope == SnapshotDifference::Amplifier && difference.setting >= 0 &&
            restores(difference.scope, difference.section))
            found.append(difference);
    }
    return found;
}

void SnapshotTool::beginSteps()
{
    const Snapshot live = gather();
    const QVector<SnapshotDifference> found = Snapshot::compare(saved, live);
    skipped = Snapshot::elsewhere(saved, live);
    if (fromCommandLine) {
        for (const SnapshotDifference &difference : found)
            *out << difference.line() << '\n';
        out->flush();
        // A station may move to another server; its devices are known by
        // their nodes, so the server alone decides nothing.
        if (!saved.server.isEmpty() && saved.server != live.server)
            *err << QStringLiteral("brenlow: warning: the snapshot was taken through the server "
                                   "%1, the station now uses %2")
                        .arg(Snapshot::printable(saved.server), live.server)
                 << '\n';
        for (const SnapshotRefusal &module : qAsConst(skipped))
            *err << QStringLiteral("brenlow: not restored: %1").arg(module.line()) << '\n';
    }
    // The HV modules get nothing: their set voltage waits in the panel for
    // the operator's Start.
    const Station &station = window->stationFile();
    const QList<aHV *> &hvPanels = window->hvModules();
    for (const SnapshotDifference &difference : found) {
        if (difference.scope != SnapshotDifference::Hv ||
            difference.setting != int(HvSetting::SetV) ||
            !restores(difference.scope, difference.section))
            continue;
        for (int i = 0; i < hvPanels.size() && i < station.hvModules.size(); ++i) {
            if (station.hvModules.at(i).name == difference.section)
                hvPanels.at(i)->fillSetV(difference.saved.toString());
        }
    }
    const QList<aCA *> &ampPanels = window->ampModules();
    for (int i = 0; i < ampPanels.size() && i < station.ampModules.size(); ++i) {
        if (!restores(SnapshotDifference::Amplifier, station.ampModules.at(i).name))
            continue;
        for (int k = 0; k < Snapshot::ampSettings().size(); ++k) {
            const Step step{i, AmpSetting(k)};
            if (!savedValue(step).isNull())
                steps.append(step);
        }
    }
    phase = Phase::Steps;
    phaseClock.restart();
    stepRestore();
}

void SnapshotTool::stepRestore()
{
    const QList<aCA *> &ampPanels = window->ampModules();
    while (nextStep < steps.size()) {
        if (phaseClock.elapsed() >= ReadBackMs || !linkReady()) {
            finishRestore(false);
            return;
        }
        const Step &step = steps.at(nextStep);
        aCA *panel = ampPanels.at(step.amp);
        // The answers to the last change come first: a late status answer
        // would otherwise undo this change in the panel's widgets.
        if (panel->awaitsAnswers())
            return;
        ++nextStep;
        const SnapshotSetting &setting = Snapshot::ampSettings().at(int(step.setting));
        const QJsonValue value = savedValue(step);
        if (Snapshot::sameValue(setting, value, panel->reported(step.setting)))
            continue;
        if (!panel->operate(step.setting, value)) {
            refused << QStringLiteral("%1\t%2\t%3")
                           .arg(window->stationFile().ampModules.at(step.amp).name,
                                QLatin1String(setting.key), Snapshot::valueText(value));
            continue;
        }
        return;
    }
    phase = Phase::ReadBack;
    lastQuery.start();
    checkReadBack();
}

void SnapshotTool::checkReadBack()
{
    const QList<aCA *> &ampPanels = window->ampModules();
    const bool expired = phaseClock.elapsed() >= ReadBackMs;
    for (const aCA *panel : ampPanels) {
        if (panel->awaitsAnswers()) {
            if (expired)
                finishRestore(false);
            return;
        }
    }
    const QVector<SnapshotDifference> remaining = ampDifferences();
    if (remaining.isEmpty()) {
        finishRestore(true);
        return;
    }
    if (expired || !linkReady()) {
        finishRestore(false);
        return;
    }
    if (lastQuery.elapsed() < RequeryMs)
        return;
    lastQuery.restart();
    const Station &station = window->stationFile();
    for (int i = 0; i < ampPanels.size() && i < station.ampModules.size(); ++i) {
        for (const SnapshotDifference &difference : remaining) {
            if (difference.section == station.ampModules.at(i).name) {
                ampPanels.at(i)->askValues();
                break;
            }
        }
    }
}

void SnapshotTool::finishRestore(bool readBack)
{
    const QVector<SnapshotDifference> remaining = ampDifferences();
    // What the file holds and was not put back counts against the restore
    // as much as what did not read back.
    const bool ok = readBack && skipped.isEmpty() && saved.refused.isEmpty();
    if (fromCommandLine) {
        for (const QString &line : qAsConst(refused))
            *err << QStringLiteral("brenlow: cannot be set through the panel: %1").arg(line)
                 << '\n';
        if (!readBack) {
            for (const SnapshotDifference &difference : remaining)
                *err << QStringLiteral("brenlow: did not read back: %1").arg(difference.line())
                     << '\n';
        }
        finish(ok ? 0 : 1);
    } else {
        phase = Phase::Idle;
        tick.stop();
        updateActions();
        QString message = readBack ? tr("Amplifiers restored from %1.").arg(file)
                                   : tr("Restore from %1 incomplete: %2 setting(s) did not read "
                                        "back.")
                                         .arg(file)
                                         .arg(remaining.size());
        const QString leftOut = leftOutText();
        if (!leftOut.isEmpty())
            message += QLatin1Char(' ') + leftOut;
        note(message);
        refresh();
    }
    emit restoreFinished(ok);
}

QString SnapshotTool::leftOutText() const
{
    QStringList parts;
    if (!skipped.isEmpty())
        parts << notRestoredText(skipped);
    if (!saved.refused.isEmpty())
        parts << tr("%1 value(s) of the file not used (see the debug log).")
                     .arg(saved.refused.size());
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
    const Snapshot live = gather();
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
    const Snapshot live = gather();
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

    saved = loaded;
    file = fileName;
    fromCommandLine = false;
    out = nullptr;
    err = nullptr;
    showComparison(fileName);
    note(tr("Restoring the amplifiers from %1…").arg(fileName));
    start(Command::Restore);
    return true;
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
    const QVector<SnapshotDifference> found = Snapshot::compare(compared, gather());
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
    const Station &station = window->stationFile();
    auto mark = [&](QWidget *panel, const QString &section, SnapshotDifference::Scope scope) {
        QStringList settings;
        for (const SnapshotDifference &difference : all) {
            if (difference.scope == scope && difference.section == section)
                settings << SnapshotTable::settingText(difference);
        }
        PanelMarker *marker = markers.value(panel);
        if (settings.isEmpty()) {
            if (marker)
                marker->clearNote();
            return;
        }
        if (!marker) {
            marker = new PanelMarker(panel, Qt::TopLeftCorner, MarkerStyle);
            marker->setObjectName(QStringLiteral("snapshotMarker"));
            markers.insert(panel, marker);
        }
        const QString text = tr("Differs");
        const QString toolTip =
            tr("Differs from the snapshot: %1").arg(settings.join(QStringLiteral(", ")));
        if (marker->text() != text || marker->toolTip() != toolTip)
            marker->setNote(text, toolTip);
    };
    const QList<aCA *> &ampPanels = window->ampModules();
    for (int i = 0; i < ampPanels.size() && i < station.ampModules.size(); ++i)
        mark(ampPanels.at(i), station.ampModules.at(i).name, SnapshotDifference::Amplifier);
    const QList<aHV *> &hvPanels = window->hvModules();
    for (int i = 0; i < hvPanels.size() && i < station.hvModules.size(); ++i)
        mark(hvPanels.at(i), station.hvModules.at(i).name, SnapshotDifference::Hv);
}
