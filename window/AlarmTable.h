// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmConditions.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>

class AlarmList;
struct AlarmRecord;

// The alarm list as a table for the alarm dock: it only reads the list.
//
// One row per listed alarm, oldest raised first: severity, module, condition,
// the value that raised it, raised at, cleared at, acknowledged by and at,
// and until when it is shelved. A shelved alarm's row is greyed; an
// unacknowledged one's severity cell carries the severity's colour.
class AlarmTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Severity,
        Module,
        Condition,
        Value,
        Raised,
        Cleared,
        AckedBy,
        AckedAt,
        ShelvedUntil,
        ColumnCount
    };

    explicit AlarmTable(AlarmList *list, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The alarm of a row, or null.
    const AlarmRecord *record(int row) const;

    // The names shown for a condition and a severity.
    static QString conditionText(const QString &condition);
    static QString severityText(const QString &severity);
    // A time of the list as the table shows it; empty for 0.
    static QString timeText(qint64 ms);

private:
    QString text(const AlarmRecord &record, int column) const;

    QPointer<AlarmList> list;
};
