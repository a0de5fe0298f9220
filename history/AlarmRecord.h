// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One alarm of the station as the archive keeps it until it is both cleared
// and acknowledged, so that a restart finds the alarms the operator has not
// dealt with yet. Times are milliseconds since the epoch, UTC; 0 stands for
// "not yet".
struct AlarmRecord
{
    QString module;    // the module's section name; "" for the station-wide link alarm
    QString condition; // "hv-fault", "hv-deviation", "amp-overload", "silent", "link-lost"
    QString severity;  // "major" or "minor"
    QString value;     // the value that raised it, as text
    qint64 raisedMs = 0;
    qint64 clearedMs = 0; // 0 while the condition holds
    QString ackedBy;      // "USER@HOST", empty while unacknowledged
    qint64 ackedMs = 0;
    qint64 shelvedUntilMs = 0; // 0 when not shelved
};

Q_DECLARE_METATYPE(AlarmRecord)
Q_DECLARE_METATYPE(QVector<AlarmRecord>)
