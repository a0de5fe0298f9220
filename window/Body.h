// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/CommandLog.h"
#include "client/Tesra.h"
#include "station/Station.h"
#include "ui_Body.h"

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class AnswerWatch;
class HistoryView;
class LinkStatus;
class QScrollArea;
class Reconnector;
class SilentDevices;
class SnapshotTool;
class StatusNotes;
class Tesra;
class aCA;
class aHV;
class aIC;

// The program's only top-level window.
//
// Its constructor does all of the set-up before the event loop runs: the
// form, the station read from its INI file, the one message-server client
// (which starts connecting at once), and then the assembly of device panels
// and ion chamber groups from the station. Afterwards the window only shrinks
// to fit when an amplifier panel changes size.
class Body : public QMainWindow, private Ui_Body
{
    Q_OBJECT

public:
    // readOnly turns read-only mode on whatever the station file says.
    explicit Body(const QString &configPath, bool readOnly = false);
    ~Body() override;

    Tesra *tesra() const { return client; }
    Reconnector *autoReconnect() const { return reconnector; }
    LinkStatus *linkStatus() const { return linkView; }
    const QList<aHV *> &hvModules() const { return hvPanels; }
    const QList<aCA *> &ampModules() const { return ampPanels; }
    const QList<aIC *> &icModules() const { return icGroups; }
    bool isReadOnly() const { return readOnly; }
    const StatusNotes *statusNotes() const { return notes; }
    const SilentDevices *silentDevices() const { return silentView; }
    // The scroll area that holds the central widget when the station is
    // larger than its screen; null when it fits.
    QScrollArea *stationScroller() const { return scroller; }
    HistoryView *history() const { return historyView; }
    const Station &stationFile() const { return station; }
    SnapshotTool *snapshotTool() const { return snapshots; }

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void newSize();

private:
    void reportStation();
    void openCommandLog();
    void setUpClient();
    void setUpHistory();
    void lockControls();
    void logLinkEvent(Tesra::LinkState state);
    // Makes every panel inert (see aHV::releaseClient): from the moment the
    // window starts closing no panel slot runs and no command is written,
    // whatever the focus does while the widgets go.
    void releasePanels();
    // The module assembly, in this order: every panel exists before the
    // first group looks one up, and the panels' colours come last, once
    // every panel has its place.
    void setUpHVModules();
    void watchAnswers(AnswerWatch &watch, const StationModule &module);
    void setUpAMPModules();
    void setUpICModules();
    void colourModules();
    // A station larger than the screen's free area scrolls in a window that
    // fits on it; one that fits keeps the form's layout untouched.
    void fitToScreen();
    void scrollStation();
    QSize neededSize() const;

    Tesra *client = nullptr;
    // Brings the link back by itself when "Reconnect Interval" is above 0;
    // null otherwise.
    Reconnector *reconnector = nullptr;
    LinkStatus *linkView = nullptr;
    QString clientName;
    // The station as read from the configuration file, once, at construction.
    Station station;
    bool readOnly = false;
    CommandLog commandLog;
    Tesra::LinkState loggedLink = Tesra::LinkState::Idle;
    StatusNotes *notes = nullptr;
    // Names the device nodes that have stopped answering.
    SilentDevices *silentView = nullptr;
    QScrollArea *scroller = nullptr;
    // The recorded history, its archive, the trends window and its menu
    // entries.
    HistoryView *historyView = nullptr;
    SnapshotTool *snapshots = nullptr;
    QList<aCA *> ampPanels;
    QList<aHV *> hvPanels;
    QList<aIC *> icGroups;
};
