// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/Body.h"

#include "amplifier/aCA.h"
#include "client/Logging.h"
#include "client/Tesra.h"
#include "devices/AmplifierDevice.h"
#include "devices/HvDevice.h"
#include "devices/StationDevices.h"
#include "hv/aHV.h"
#include "widgets/AlarmBadge.h"
#include "widgets/AlarmFrame.h"
#include "widgets/FramePacer.h"
#include "widgets/PanelNotice.h"
#include "window/AlarmAnnunciator.h"
#include "window/AlarmDock.h"
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

template <typename Panel> QList<Panel *> panelsOfKind(const QList<DevicePanel *> &panels)
{
    QList<Panel *> found;
    for (DevicePanel *panel : panels) {
        if (auto *kind = dynamic_cast<Panel *>(panel))
            found.append(kind);
    }
    return found;
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

    devices = new StationDevices(Station::read(configPath), readOnlySwitch, this);
    reportStation(stationFile());
    setUpLink();
    // A styled tree that moves to another parent is styled anew, widget by
    // widget; so the central widget goes into its scroll area while it is
    // still empty, and comes back out once the station is known to fit.
    if (screen())
        scrollStation();
    setUpHistory();
    setUpPanels();
    setUpICModules();
    // Out of the scroll area before the panels take their colours, if the
    // station fits (a coloured tree costs more to move); the colours can
    // change the sizes a little, so the choice is checked again with them.
    fitToScreen();
    colourModules();
    // A station without modules has nothing to save or compare, and its
    // menu keeps its one entry.
    snapshots = new SnapshotTool(this);
    if (!devicePanels.isEmpty())
        snapshots->addMenuEntries(menuMenu, actionQuit);
    setUpAlarms();
    if (isReadOnly())
        lockControls();
    fitToScreen();
}

Body::~Body()
{
    releasePanels();
    // The panels go before the devices they show: placed panels with their
    // groups, and a panel that no chamber names, which has no parent, on its
    // own.
    for (DevicePanel *panel : qAsConst(devicePanels)) {
        if (!panel->widget()->parent())
            delete panel->widget();
    }
    devicePanels.clear();
    qDeleteAll(icGroups);
    icGroups.clear();
    // The client's last signals (the link going down as it closes) find no
    // window to write to, and no history to record a loss that is none.
    delete historyView;
    historyView = nullptr;
    // The dock shows the devices' alarm list and, as it hides, would ask this
    // window to fit a station it no longer has: it goes before the devices,
    // with nothing of it left to call back here.
    if (alarmView) {
        disconnect(alarmView, nullptr, this, nullptr);
        delete alarmView;
        alarmView = nullptr;
    }
    disconnect(tesra(), nullptr, this, nullptr);
    disconnect(tesra(), nullptr, snapshots, nullptr);
    delete snapshots;
    snapshots = nullptr;
    delete devices;
    devices = nullptr;
}

Tesra *Body::tesra() const
{
    return devices->client();
}

Reconnector *Body::autoReconnect() const
{
    return devices->reconnector();
}

bool Body::isReadOnly() const
{
    return devices->isReadOnly();
}

const Station &Body::stationFile() const
{
    return devices->station();
}

AlarmList *Body::alarms() const
{
    return devices->alarms();
}

DevicePanel *Body::panelOf(const Device *device) const
{
    for (DevicePanel *panel : devicePanels) {
        if (panel->device() == device)
            return panel;
    }
    return nullptr;
}

QList<aHV *> Body::hvModules() const
{
    return panelsOfKind<aHV>(devicePanels);
}

QList<aCA *> Body::ampModules() const
{
    return panelsOfKind<aCA>(devicePanels);
}

void Body::reportStation(const Station &station)
{
    // The debug log has each problem (see StationDevices); the status bar
    // says what changes the program's behaviour, and how many keys it
    // ignored.
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
    for (DevicePanel *panel : qAsConst(devicePanels))
        panel->releaseClient();
    devices->release();
}

void Body::setUpLink()
{
    const QString logPath = stationFile().commandLog;
    if (devices->commandLogFailed()) {
        notes->noteCommandLogFailed(logPath);
    } else if (!logPath.isEmpty()) {
        // Nor does the program hide a record that stops while it runs.
        connect(&devices->commandLog(), &CommandLog::writeFailed, notes,
                [this, logPath](const QString &reason) {
                    notes->noteCommandLogUnwritable(logPath, reason);
                });
        connect(&devices->commandLog(), &CommandLog::writeRecovered, notes,
                &StatusNotes::clearCommandLogUnwritable);
    }
    connect(tesra(), &Tesra::CommandNotSent, notes, &StatusNotes::noteNotSent);
    if (!tesra()->exposedKeyFile().isEmpty())
        notes->noteKeyFileOpen(tesra()->exposedKeyFile());
    linkView = new LinkStatus(statusbar);
    linkView->follow(tesra(), autoReconnect());
    statusbar->addPermanentWidget(linkView);
    silentView->follow(devices->devices());
    devices->connectToServer();
}

void Body::setUpHistory()
{
    historyView = new HistoryView(this, stationFile(), tesra(), devices->devices(), notes);
    historyView->recordAlarms(devices->alarms());
    historyView->addMenuEntries(menuMenu, actionQuit);
}

void Body::setUpAlarms()
{
    // Out of sight (no dock, an empty count) until an alarm is raised; the
    // menu's entry opens the list at any time.
    alarmView = new AlarmDock(this, devices->alarms());
    // Like the snapshots', the entry comes with the station's modules.
    if (!devicePanels.isEmpty())
        alarmView->addMenuEntries(menuMenu, actionQuit);
    alarmView->annunciator()->setSound(stationFile().alarmSound);
    // Closed, the dock leaves the window as small as the station lets it be.
    connect(alarmView, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible)
            newSize();
    });
}

void Body::lockControls()
{
    auto *lock = new ReadOnlyLock(this);
    for (DevicePanel *panel : qAsConst(devicePanels))
        lock->lock(panel->widget());
    setWindowTitle(ReadOnlyLock::windowTitle(windowTitle()));
    notes->noteReadOnly();
}

void Body::setUpPanels()
{
    for (Device *device : devices->devices()) {
        DevicePanel *panel = nullptr;
        if (auto *hv = qobject_cast<HvDevice *>(device)) {
            panel = new aHV(hv);
        } else if (auto *amp = qobject_cast<AmplifierDevice *>(device)) {
            auto *ampPanel = new aCA(amp);
            connect(ampPanel, &aCA::resized, this, &Body::newSize);
            panel = ampPanel;
        }
        if (!panel)
            continue;
        panel->setPlacement(devices->moduleOf(device).place);
        // What the panel and its device have to tell the operator, and the
        // module's alarms.
        connect(panel->notice(), &PanelNotice::posted, notes, &StatusNotes::flash);
        new AlarmBadge(panel->widget(), devices->alarms(), device->section());
        devicePanels.append(panel);
    }
}

void Body::setUpICModules()
{
    for (const StationChamber &chamber : stationFile().chambers) {
        auto *group = new aIC;
        group->name = chamber.name;
        group->nameColumn = chamber.namePlace.col;
        group->nameRow = chamber.namePlace.row;
        // A chamber naming a module that does not exist is still shown, with
        // its name and whichever panel was found.
        QList<DevicePanel *> units;
        QStringList sections;
        for (const Device *unit : devices->unitsOf(chamber)) {
            if (DevicePanel *panel = panelOf(unit))
                units.append(panel);
            sections.append(unit->section());
        }
        group->place(units);
        // The frame shows the alarms of the chamber's modules.
        new AlarmFrame(group, devices->alarms(), sections);
        Base->addWidget(group, chamber.place.row, chamber.place.col);
        icGroups.append(group);
    }
}

void Body::colourModules()
{
    // The colour of the station file, once the panel has its place: a panel
    // with a style sheet of its own re-polishes itself and every widget
    // inside it when it is given a parent, so colouring it before its group
    // takes it would do all of that work twice.
    for (DevicePanel *panel : qAsConst(devicePanels)) {
        const QString &styleSheet = devices->moduleOf(panel->device()).styleSheet;
        if (!styleSheet.isEmpty())
            panel->widget()->setStyleSheet(styleSheet);
        makeDropDownsReadable(panel->widget());
    }
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
