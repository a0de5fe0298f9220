// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmConditions.h"
#include "alarms/HvDeviationRule.h"
#include "client/CommandLog.h"
#include "client/Tesra.h"
#include "station/Station.h"

#include <QList>
#include <QObject>
#include <QString>

class AlarmList;
class Device;
class Reconnector;

// The running station without any window: the one client, made and aimed
// from the station file, its reconnector and command log, and one device
// per module, the HV modules first, each kind in the file's order.
//
// This is the one list of the station's devices. The window builds a panel
// on each of them, the history records what they report, the silent-device
// note follows their answer watches and the snapshot runs read and set them;
// the command-line runs use it with no window at all. Every device has the
// client and follows its ready link from construction on; nothing is sent
// before connectToServer() and the event loop.
class StationDevices : public QObject
{
    Q_OBJECT

public:
    // readOnly turns read-only mode on whatever the station file says.
    StationDevices(const Station &station, bool readOnly, QObject *parent = nullptr);
    ~StationDevices() override;

    const Station &station() const { return file; }
    bool isReadOnly() const { return readOnly; }
    Tesra *client() const { return tesra; }
    // Brings the link back by itself when "Reconnect Interval" is above 0;
    // null otherwise.
    Reconnector *reconnector() const { return retry; }
    // Whether a configured command log could not be opened (the program runs
    // on without it), and the log itself, which says when writing it fails
    // and works again.
    bool commandLogFailed() const { return logFailed; }
    const CommandLog &commandLog() const { return log; }
    // The station's alarms: every device reports its conditions to it (see
    // Device::reportAlarms), the client's link the station's link alarm;
    // every transition goes to the command log.
    AlarmList *alarms() const { return alarmList; }

    // Every device, HV modules first.
    const QList<Device *> &devices() const { return all; }
    // The devices a chamber names, its HV module first; a unit id that no
    // module has names none.
    QList<Device *> unitsOf(const StationChamber &chamber) const;
    // The module of the station file a device was made from.
    const StationModule &moduleOf(const Device *device) const;

    // Starts the connection; it runs once the event loop does.
    void connectToServer();
    // Makes every device inert (see Device::release), and the alarms deaf
    // to the link that goes down as the program ends.
    void release();

    // The server as host:port, as snapshots name it.
    QString server() const;
    bool linkReady() const;
    // True when the link is down for good: no port or no usable client
    // name, or lost or refused without a reconnector to bring it back.
    bool linkGivenUp() const;

private:
    void openCommandLog();
    void setUpClient();
    void setUpDevices();
    void setUpAlarms();
    void reportAlarms(Device *device, AlarmConditions::ModuleKind kind,
                      const HvDeviationRule::Settings &deviation);
    void reportLink(Tesra::LinkState state);
    void logLinkEvent(Tesra::LinkState state);

    Station file;
    bool readOnly = false;
    CommandLog log;
    bool logFailed = false;
    Tesra::LinkState loggedLink = Tesra::LinkState::Idle;
    Tesra *tesra = nullptr;
    Reconnector *retry = nullptr;
    QList<Device *> all;
    AlarmList *alarmList = nullptr;
};
