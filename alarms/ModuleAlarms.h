// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/HvDeviationRule.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class AlarmClock;
class AlarmList;

// The alarm conditions of one module, worked out from what its device
// reports and handed to the station's alarm list.
//
// An HV module's status word other than ON, OFF, L2H and H2L is a fault at
// once; its read voltage away from the applied set voltage is a deviation
// after the alarm delay (HvDeviationRule), looked at again by a timer when
// no new value comes in the meantime. An amplifier's overload alert is an
// alarm at once; so is a node that has stopped answering. Which of them
// count is the list's business (the module's "Alarms" key): a condition the
// list does not watch is reported and ignored there.
class ModuleAlarms : public QObject
{
    Q_OBJECT

public:
    // clock null: the system clock. list and clock are not owned.
    ModuleAlarms(AlarmList *list, const QString &module,
                 const HvDeviationRule::Settings &deviation = HvDeviationRule::Settings(),
                 const AlarmClock *clock = nullptr, QObject *parent = nullptr);

    QString module() const { return section; }

    // An HV module's status word, read voltage (as received) and the set
    // voltage applied to it (applied false once it has been ramped down or
    // before anything was applied).
    void hvStatus(const QString &status);
    void hvVoltage(const QString &reading);
    void hvSetVoltage(bool applied, double setV);

    // An amplifier's overload alert, with what to show as its value.
    void overload(bool on, const QString &value);

    // The node has stopped answering (on) or answers again.
    void silent(bool on, const QString &node);

    // A status word that is a fault: not empty and none of the four
    // statuses of a working module.
    static bool isFault(const QString &status);

    // When the deviation timer is due; 0 when it does not run. For tests
    // that move their clock and then call recheck().
    qint64 deviationDueMs() const { return deviation.dueMs(); }
    void recheck();

private:
    void evaluateDeviation();

    QPointer<AlarmList> list;
    QString section;
    const AlarmClock *clock;
    HvDeviationRule deviation;
    QTimer deviationTimer;
    QString status;
    QString reading;
    bool applied = false;
    double setV = 0.0;
};
