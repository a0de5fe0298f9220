// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/Tesra.h"
#include "devices/Device.h"
#include "history/History.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

class Archive;
struct AlarmRecord;

// Writes what the client routes into the history, and into the archive when
// there is one.
//
// For each device of the station it keeps the readings of the messages that
// the device's kind names (Device::recordedMessages: an HV module's voltage
// and status, an amplifier's range and overload alert), a device node that
// stops answering, and the link's ready, lost and refused. The messages come
// through the client's delivery table under the same address as the
// device's own, so a line costs one more table look-up and an append, and
// nothing waits on the clock or a file: the archive writes what it is handed
// once a second. A change of status or range, an overload set or cleared, a
// silent node and every link event also make a row of the timeline. Others
// record theirs through recordEvent, the alarms through recordAlarm.
class Recorder : public QObject
{
    Q_OBJECT

public:
    Recorder(History &history, QObject *parent = nullptr);
    ~Recorder() override;

    // Takes the station's devices and follows client from now on.
    void follow(Tesra *client, const QList<Device *> &devices);
    // Also hands every sample and event to archive (not owned); null for none.
    void setArchive(Archive *archive);

    void recordSample(const QString &module, History::Quantity quantity, const QString &text);
    void recordSample(History::Series &series, const QString &module, const QString &node,
                      History::Quantity quantity, const QString &text);
    void recordEvent(const QString &module, const QString &node, History::EventKind kind,
                     const QString &text);
    // A transition of an alarm ("raised", "acknowledged", ...) as an event
    // of the alarm's module: the condition, and for an acknowledgement who
    // gave it ("hv-fault by ume@beamline"). False for a transition that is
    // no kind of event.
    bool recordAlarm(const QString &transition, const AlarmRecord &record);

    History &history() const { return kept; }

private:
    class Tap;
    static History::Quantity quantityOf(Device::Reading reading);
    void linkStateChanged(Tesra::LinkState state);

    History &kept;
    QPointer<Archive> store;
    QPointer<Tesra> client;
    std::vector<Tap *> taps;
    // The last link event recorded, so that each failed attempt of a
    // reconnect does not add a row of its own.
    int lastLink = -1;
};
