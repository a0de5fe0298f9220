// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/Body.h"

#include "amplifier/aCA.h"
#include "client/AnswerWatch.h"
#include "client/Logging.h"
#include "client/Reconnector.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "widgets/FramePacer.h"
#include "widgets/PanelNotice.h"
#include "window/HistoryView.h"
#include "window/LinkStatus.h"
#include "window/ReadOnlyLock.h"
#include "window/SilentDevices.h"
#include "window/SnapshotTool.h"
#include "window/StatusNotes.h"
#include "window/aIC.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

// A drop-down's entries are drawn by the item view's own rules, so that the
// entry under the mouse keeps the highlight colours of the palette. The
// combo box's default, menu-like drawing takes the background from the
// panel's colour sheet and draws the highlighted text in white on it.
void makeDropDownsReadable(QWidget *panel)
{
    for (QComboBox *box : panel->findChildren<QComboBox *>())
        box->setItemDelegate(new QStyledItemDelegate(box));
}

// The keys that HV and amplifier panels share.
template <typename Panel> void configureModule(Panel &panel, const StationModule &module)
{
    panel.id = module.id;
    panel.driver = module.driver;
    panel.ch = module.ch;
    panel.col = module.place.col;
    panel.row = module.place.row;
    panel.colSpan = module.place.colSpan;
    panel.rowSpan = module.place.rowSpan;
}

// The colour of the station file, once the panel has its place: a panel with
// a style sheet of its own re-polishes itself and every widget inside it when
// it is given a parent, so colouring it before its group takes it would do
// all of that work twice.
template <typename Panel> void colourModule(Panel &panel, const StationModule &module)
{
    if (!module.styleSheet.isEmpty())
        panel.setStyleSheet(module.styleSheet);
    makeDropDownsReadable(&panel);
}

} // namespace

Body::Body(const QString &configPath, bool readOnlySwitch) : QMainWindow(nullptr)
{
    setupUi(this);
    // At most one paint a frame, however fast the devices report.
    new FramePacer(this);
    connect(actionQuit, &QAction::triggered, this, &QWidget::close);
    notes = new StatusNotes(statusbar);
    statusbar->addWidget(notes, 1);
    silentView = new SilentDevices(statusbar);
    statusbar->addWidget(silentView, 1);

    station = Station::read(configPath);
    readOnly = readOnlySwitch || station.readOnly;
    reportStation();
    openCommandLog();
    setUpClient();
    // A styled tree that moves to another parent is styled anew, widget by
    // widget; so the central widget goes into its scroll area while it is
    // still empty, and comes back out once the station is known to fit.
    if (screen())
        scrollStation();
    setUpHistory();
    setUpHVModules();
    setUpAMPModules();
    setUpICModules();
    // Out of the scroll area before the panels take their colours, if the
    // station fits (a coloured tree costs more to move); the colours can
    // change the sizes a little, so the choice is checked again with them.
    fitToScreen();
    colourModules();
    // A station without modules has nothing to save or compare, and its
    // menu keeps its one entry.
    snapshots = new SnapshotTool(this);
    if (!hvPanels.isEmpty() || !ampPanels.isEmpty())
        snapshots->addMenuEntries(menuMenu, actionQuit);
    if (readOnly)
        lockControls();
    fitToScreen();
}

Body::~Body()
{
    releasePanels();
    // Placed panels go with their groups; a panel that no chamber names has
    // no parent and is released here, before the client it points to.
    for (aHV *panel : qAsConst(hvPanels)) {
        if (!panel->parent())
            delete panel;
    }
    for (aCA *panel : qAsConst(ampPanels)) {
        if (!panel->parent())
            delete panel;
    }
    // The client's last signals (the link going down as it closes) find no
    // window to write to, and no history to record a loss that is none.
    delete historyView;
    historyView = nullptr;
    disconnect(client, nullptr, this, nullptr);
    disconnect(client, nullptr, snapshots, nullptr);
    delete reconnector;
    delete client;
}

void Body::reportStation()
{
    // Each problem once in the debug log; the status bar says what changes
    // the program's behaviour, and how many keys it ignored.
    for (const StationProblem &problem : qAsConst(station.problems))
        qCDebug(lcConfig).noquote() << problem.text();
    if (station.fileState == Station::FileMissing)
        notes->noteMissingConfig(station.path);
    else if (station.fileState == Station::FileUnreadable)
        notes->noteUnreadableConfig(station.path);
    if (const int unknown = station.count(StationProblem::UnknownKey))
        notes->noteUnknownKeys(unknown);
    QStringList unbuilt;
    for (const StationProblem &problem : qAsConst(station.problems)) {
        if (problem.kind == StationProblem::SpacedModuleName && !unbuilt.contains(problem.section))
            unbuilt << problem.section;
    }
    if (!unbuilt.isEmpty())
        notes->noteModulesNotBuilt(unbuilt);
}

void Body::openCommandLog()
{
    if (station.commandLog.isEmpty())
        return;
    // The program runs on without its record; the operator is told so.
    if (!commandLog.open(station.commandLog)) {
        qCDebug(lcConfig).noquote() << QStringLiteral("command log [%1] cannot be opened: %2")
                                           .arg(station.commandLog, commandLog.errorString());
        notes->noteCommandLogFailed(station.commandLog);
        return;
    }
    // Nor does it hide a record that stops while it runs.
    const QString path = station.commandLog;
    connect(&commandLog, &CommandLog::writeFailed, notes,
            [this, path](const QString &reason) { notes->noteCommandLogUnwritable(path, reason); });
    connect(&commandLog, &CommandLog::writeRecovered, notes,
            &StatusNotes::clearCommandLogUnwritable);
}

void Body::closeEvent(QCloseEvent *event)
{
    // Hiding the window takes the focus from a field the operator may have
    // edited, and its panel would send the edit as a command on the way out.
    releasePanels();
    if (historyView)
        historyView->finish();
    QMainWindow::closeEvent(event);
}

void Body::releasePanels()
{
    for (aHV *panel : qAsConst(hvPanels))
        panel->releaseClient();
    for (aCA *panel : qAsConst(ampPanels))
        panel->releaseClient();
}

void Body::setUpClient()
{
    clientName = station.clientName;
    client = new Tesra;
    client->setReadOnly(readOnly);
    connect(client, &Tesra::CommandNotSent, notes, &StatusNotes::noteNotSent);
    if (commandLog.isOpen()) {
        client->setCommandLog(&commandLog);
        connect(client, &Tesra::LinkStateChanged, this, &Body::logLinkEvent);
    }
    client->SetKeyFile(station.keyFile, clientName);
    if (!client->exposedKeyFile().isEmpty())
        notes->noteKeyFileOpen(client->exposedKeyFile());
    client->SetNewSVAddress(station.serverAddress);
    client->SetNewSVPort(station.serverPort);
    client->setDeadLinkTimeout(station.deadLinkTimeoutMs);
    if (station.reconnectIntervalMs > 0)
        reconnector = new Reconnector(client, station.reconnectIntervalMs);
    linkView = new LinkStatus(statusbar);
    linkView->follow(client, reconnector);
    statusbar->addPermanentWidget(linkView);
    client->MakeConnection();
}

void Body::setUpHistory()
{
    historyView = new HistoryView(this, station, client, notes);
    historyView->addMenuEntries(menuMenu, actionQuit);
}

void Body::logLinkEvent(Tesra::LinkState state)
{
    // The record keeps the events that matter afterwards; the steps of a
    // connection being made do not.
    QString event;
    switch (state) {
    case Tesra::LinkState::Ready:
        event = QStringLiteral("link connected to %1:%2 as %3")
                    .arg(client->serverAddress())
                    .arg(client->serverPort())
                    .arg(client->name());
        break;
    case Tesra::LinkState::Lost:
        event = loggedLink == Tesra::LinkState::Ready
                    ? QStringLiteral("link lost")
                    : QStringLiteral("link lost: cannot connect to %1:%2")
                          .arg(client->serverAddress())
                          .arg(client->serverPort());
        break;
    case Tesra::LinkState::Refused:
        event = client->refusal() == Tesra::Refusal::NoAnswer
                    ? QStringLiteral("link cut off: no answer from %1:%2 during the handshake")
                    : QStringLiteral("link refused by %1:%2");
        event = event.arg(client->serverAddress()).arg(client->serverPort());
        break;
    case Tesra::LinkState::NoValidPort:
        event = QStringLiteral("link not made: no valid port");
        break;
    case Tesra::LinkState::NoValidName:
        event = QStringLiteral("link not made: the client name is not one word");
        break;
    default:
        break;
    }
    loggedLink = state;
    if (!event.isEmpty())
        commandLog.write(event);
}

void Body::lockControls()
{
    auto *lock = new ReadOnlyLock(this);
    for (aHV *panel : qAsConst(hvPanels))
        lock->lock(panel);
    for (aCA *panel : qAsConst(ampPanels))
        lock->lock(panel);
    setWindowTitle(ReadOnlyLock::windowTitle(windowTitle()));
    notes->noteReadOnly();
}

void Body::setUpHVModules()
{
    for (const StationHv &module : qAsConst(station.hvModules)) {
        auto *panel = new aHV;
        panel->setClient(client);
        panel->ui.ModuleName->setText(module.name);
        configureModule(*panel, module);
        panel->setVoltageList(module.voltages);
        panel->selectVoltage(module.select);
        panel->setVoltageEditable(module.voltageEditable);
        panel->voltageTolerance = module.tolerance;
        watchAnswers(*panel->answerWatch, module);
        connect(panel->notice(), &PanelNotice::posted, notes, &StatusNotes::flash);
        hvPanels.append(panel);
    }
}

// A module's node that stops answering is named in the status bar and goes
// into the history's timeline.
void Body::watchAnswers(AnswerWatch &watch, const StationModule &module)
{
    watch.setTimeout(station.answerTimeoutMs);
    silentView->watch(&watch);
    const QString section = module.name;
    Recorder *recorder = historyView->recorder();
    connect(&watch, &AnswerWatch::deviceSilent, recorder,
            [recorder, section](const QString &node, const QDateTime &since) {
                recorder->recordEvent(section, node, History::EventKind::Silent,
                                      since.toString(Qt::ISODateWithMs));
            });
}

void Body::setUpAMPModules()
{
    for (const StationAmp &module : qAsConst(station.ampModules)) {
        auto *panel = new aCA;
        panel->setClient(client);
        panel->setModuleName(module.name);
        configureModule(*panel, module);
        panel->setTCTable(module.tcTable);
        panel->setRangeTable(module.rangeTable);
        panel->setCSprTableFile(module.csprFile);
        panel->setPollErrors(module.pollErrors);
        watchAnswers(*panel->answerWatch, module);
        connect(panel->notice(), &PanelNotice::posted, notes, &StatusNotes::flash);
        connect(panel, &aCA::resized, this, &Body::newSize);
        ampPanels.append(panel);
    }
}

void Body::setUpICModules()
{
    for (const StationChamber &chamber : qAsConst(station.chambers)) {
        auto *group = new aIC;
        group->name = chamber.name;
        group->nameColumn = chamber.namePlace.col;
        group->nameRow = chamber.namePlace.row;
        // A chamber naming a module that does not exist is still shown, with
        // its name and whichever panel was found.
        group->placeUnits(chamber.hvIndex < 0 ? nullptr : hvPanels.at(chamber.hvIndex),
                          chamber.ampIndex < 0 ? nullptr : ampPanels.at(chamber.ampIndex));
        Base->addWidget(group, chamber.place.row, chamber.place.col);
        icGroups.append(group);
    }
}

void Body::colourModules()
{
    for (int i = 0; i < hvPanels.size(); ++i)
        colourModule(*hvPanels.at(i), station.hvModules.at(i));
    for (int i = 0; i < ampPanels.size(); ++i)
        colourModule(*ampPanels.at(i), station.ampModules.at(i));
}

void Body::scrollStation()
{
    // The central widget moves into the scroll area as it is, with its
    // object name, style and every group inside it: whatever finds the
    // panels by name below the window finds them there.
    scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("StationScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(takeCentralWidget());
    setCentralWidget(scroller);
}

QSize Body::neededSize() const
{
    if (!scroller)
        return size().expandedTo(minimumSizeHint());
    // What the window's layout would ask for with the central widget as its
    // own: the central widget with the menu bar above and the status bar
    // below.
    const QSize central = centralwidget->minimumSizeHint();
    return {qMax(central.width(),
                 qMax(menubar->minimumSizeHint().width(), statusbar->minimumSizeHint().width())),
            central.height() + menubar->sizeHint().height() + statusbar->sizeHint().height()};
}

void Body::fitToScreen()
{
    const QScreen *where = screen();
    if (!where || !layout())
        return;
    const QSize room = where->availableGeometry().size();
    auto fits = [&] {
        const QSize needed = neededSize();
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    bool fitting = fits();
    if (fitting && scroller) {
        // Back as the form has it (deleting the scroll area, not its
        // widget), and checked once more with the window's own layout.
        scroller->takeWidget();
        setCentralWidget(centralwidget);
        scroller = nullptr;
        fitting = fits();
    }
    if (!fitting && !scroller)
        scrollStation();
    if (!scroller)
        return;
    // As large as the station needs, with room for the scroll bars, and no
    // larger than the screen.
    const QSize content = centralwidget->sizeHint().expandedTo(centralwidget->minimumSizeHint());
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize bars(qMax(menubar->minimumSizeHint().width(), statusbar->minimumSizeHint().width()),
                     menubar->sizeHint().height() + statusbar->sizeHint().height());
    resize(QSize(qMax(content.width() + bar, bars.width()), content.height() + bars.height() + bar)
               .boundedTo(room));
}

void Body::newSize()
{
    // The panel has shrunk, but the window's own minimum size is brought up
    // to date only when its layout runs again, a few layout passes later;
    // shrinking before that would be held at the stale minimum. So the
    // shrink waits for the current event to finish and refreshes the
    // window's layout first.
    QTimer::singleShot(0, this, [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (layout()) {
            layout()->invalidate();
            layout()->activate();
        }
        // A scrolling station keeps its window: the scroll area takes the
        // panel's new size.
        if (!scroller)
            resize(10, 10);
    });
}
