// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/Station.h"
#include "ui_Body.h"

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class AlarmDock;
class AlarmList;
class Device;
class DevicePanel;
class HistoryView;
class LinkStatus;
class QScrollArea;
class Reconnector;
class SilentDevices;
class SnapshotTool;
class StationDevices;
class StatusNotes;
class Tesra;
class aCA;
class aHV;
class aIC;

// The program's only top-level window.
//
// Its constructor does all of the set-up before the event loop runs: the
// form, the station read from its INI file with its devices and the one
// message-server client (which starts connecting at once; see
// StationDevices), and then the assembly of a panel on each device and of
// the ion chamber groups from the station. Afterwards the window only
// shrinks to fit when an amplifier panel changes size.
class Body : public QMainWindow, private Ui_Body
{
    Q_OBJECT

public:
    // readOnly turns read-only mode on whatever the station file says.
    explicit Body(const QString &configPath, bool readOnly = false);
    ~Body() override;

    Tesra *tesra() const;
    Reconnector *autoReconnect() const;
    LinkStatus *linkStatus() const { return linkView; }
    // The station's devices and their client.
    StationDevices *stationDevices() const { return devices; }
    // The panels, one per device, in the device list's order.
    const QList<DevicePanel *> &panels() const { return devicePanels; }
    DevicePanel *panelOf(const Device *device) const;
    // The panels of each kind, in the station file's order.
    QList<aHV *> hvModules() const;
    QList<aCA *> ampModules() const;
    const QList<aIC *> &icModules() const { return icGroups; }
    bool isReadOnly() const;
    const StatusNotes *statusNotes() const { return notes; }
    const SilentDevices *silentDevices() const { return silentView; }
    // The scroll area that holds the central widget when the station is
    // larger than its screen; null when it fits.
    QScrollArea *stationScroller() const { return scroller; }
    HistoryView *history() const { return historyView; }
    const Station &stationFile() const;
    SnapshotTool *snapshotTool() const { return snapshots; }
    AlarmList *alarms() const;
    AlarmDock *alarmDock() const { return alarmView; }

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void newSize();

private:
    void reportStation(const Station &station);
    void setUpLink();
    void setUpHistory();
    void setUpAlarms();
    void lockControls();
    // Makes every panel and its device inert (see aHV::releaseClient): from
    // the moment the window starts closing no panel slot runs and no command
    // is written, whatever the focus does while the widgets go.
    void releasePanels();
    // The module assembly, in this order: a panel on every device before
    // the first group looks one up, and the panels' colours last, once every
    // panel has its place.
    void setUpPanels();
    void setUpICModules();
    void colourModules();
    // A station larger than the screen's free area scrolls in a window that
    // fits on it; one that fits keeps the form's layout untouched.
    void fitToScreen();
    void scrollStation();
    QSize neededSize() const;

    // The station as read from the configuration file, once, at
    // construction, with its devices and client.
    StationDevices *devices = nullptr;
    LinkStatus *linkView = nullptr;
    StatusNotes *notes = nullptr;
    // Names the device nodes that have stopped answering.
    SilentDevices *silentView = nullptr;
    QScrollArea *scroller = nullptr;
    // The recorded history, its archive, the trends window and its menu
    // entries.
    HistoryView *historyView = nullptr;
    SnapshotTool *snapshots = nullptr;
    // The window's dock and status-bar count of the station's alarms.
    AlarmDock *alarmView = nullptr;
    QList<DevicePanel *> devicePanels;
    QList<aIC *> icGroups;
};
