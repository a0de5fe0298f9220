// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmConditions.h"
#include "alarms/HvDeviationRule.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <array>
#include <optional>

class AlarmList;

// The alarm conditions of one module, worked out from what its device
// reports and handed to the station's alarm list.
//
// The device's alert is its kind's condition at once: an HV module's fault
// (a status word that turns the Start button red; no word at all is no
// fault), an amplifier's overload alert. An HV module away from the set voltage applied to it is a
// deviation after the alarm delay (HvDeviationRule), looked at again by a
// timer when no new value comes in the meantime. A node that has stopped
// answering is silent. Only a change of a condition (or its first report)
// reaches the list, so a device may report its state as often as it likes.
// Which conditions count is the list's business (the module's "Alarms"
// key): a condition the list does not watch is reported and ignored there.
// Time is the list's clock.
class ModuleAlarms : public QObject
{
    Q_OBJECT

public:
    // list is not owned; alert is the condition the device's alert stands for.
    ModuleAlarms(AlarmList *list, const QString &module, AlarmConditions::Condition alert,
                 const HvDeviationRule::Settings &deviation = HvDeviationRule::Settings(),
                 QObject *parent = nullptr);

    QString module() const { return section; }

    // The device's alert, with its text (a status word, "OVER !!!").
    void alert(bool on, const QString &text);
    // An HV module's status word, its read voltage (as received) and the
    // set voltage applied to it (applied false once it has been ramped down
    // or before anything was applied).
    void hvState(const QString &status, const QString &reading, bool applied, double setV);
    // The node has stopped answering (on) or answers again.
    void silent(bool on, const QString &node);

    // Reports nothing more: the device is being released, and whatever it
    // says on its way out is no news about the module.
    void stop();

    // When the deviation timer is due; 0 when it does not run. For tests
    // that move their clock and then call recheck().
    qint64 deviationDueMs() const { return deviation.dueMs(); }
    void recheck();

private:
    void evaluateDeviation();
    // Hands a condition's state to the list when it differs from the last
    // one handed.
    void report(AlarmConditions::Condition condition, bool holds, const QString &value);
    qint64 now() const;

    QPointer<AlarmList> list;
    QString section;
    AlarmConditions::Condition alertCondition;
    HvDeviationRule deviation;
    QTimer deviationTimer;
    QString status;
    QString reading;
    bool applied = false;
    double setV = 0.0;
    bool stopped = false;
    std::array<std::optional<bool>, AlarmConditions::ConditionCount> handed;
};
