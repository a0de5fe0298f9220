// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/AlarmTable.h"

#include "alarms/AlarmList.h"
#include "widgets/AlarmStyle.h"

#include <QCoreApplication>
#include <QDateTime>

AlarmTable::AlarmTable(AlarmList *alarmList, QObject *parent)
    : QAbstractTableModel(parent), list(alarmList)
{
    // The list is small and changes a row or two at a time; a reset keeps
    // the table exactly as the list is.
    if (list)
        connect(list, &AlarmList::listChanged, this, [this] {
            beginResetModel();
            endResetModel();
        });
}

int AlarmTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !list ? 0 : int(list->records().size());
}

int AlarmTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const AlarmRecord *AlarmTable::record(int row) const
{
    if (!list || row < 0 || row >= list->records().size())
        return nullptr;
    return &list->records().at(row);
}

QString AlarmTable::conditionText(const QString &condition)
{
    AlarmConditions::Condition c = AlarmConditions::Condition::HvFault;
    if (!AlarmConditions::fromName(condition, c))
        return condition;
    switch (c) {
    case AlarmConditions::Condition::HvFault:
        return tr("HV fault");
    case AlarmConditions::Condition::HvDeviation:
        return tr("HV off its set voltage");
    case AlarmConditions::Condition::AmpOverload:
        return tr("Amplifier overload");
    case AlarmConditions::Condition::Silent:
        return tr("Not answering");
    case AlarmConditions::Condition::LinkLost:
        return tr("Link lost");
    }
    return condition;
}

QString AlarmTable::severityText(const QString &severity)
{
    AlarmConditions::Severity s = AlarmConditions::Severity::Minor;
    if (!AlarmConditions::severityFromName(severity, s))
        return severity;
    return s == AlarmConditions::Severity::Major ? tr("Major") : tr("Minor");
}

QString AlarmTable::timeText(qint64 ms)
{
    if (ms == 0)
        return QString();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("MM-dd HH:mm:ss"));
}

QString AlarmTable::text(const AlarmRecord &r, int column) const
{
    switch (column) {
    case Severity:
        return severityText(r.severity);
    case Module:
        return r.module.isEmpty() ? tr("Station") : r.module;
    case Condition:
        return conditionText(r.condition);
    case Value:
        return r.value;
    case Raised:
        return timeText(r.raisedMs);
    case Cleared:
        return timeText(r.clearedMs);
    case AckedBy:
        return r.ackedBy;
    case AckedAt:
        return timeText(r.ackedMs);
    case ShelvedUntil:
        return list && list->isShelved(r) ? timeText(r.shelvedUntilMs) : QString();
    default:
        break;
    }
    return QString();
}

QVariant AlarmTable::data(const QModelIndex &index, int role) const
{
    const AlarmRecord *r = record(index.row());
    if (!r || index.column() < 0 || index.column() >= ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return text(*r, index.column());
    case Qt::ToolTipRole:
        if (list && list->isShelved(*r))
            return tr("Shelved until %1").arg(timeText(r->shelvedUntilMs));
        return text(*r, index.column());
    case Qt::ForegroundRole:
        if (list && list->isShelved(*r))
            return AlarmStyle::shelvedColour();
        break;
    case Qt::DecorationRole: {
        AlarmConditions::Severity s = AlarmConditions::Severity::Minor;
        if (index.column() == Severity && list && list->isAnnunciated(*r) &&
            AlarmConditions::severityFromName(r->severity, s))
            return AlarmStyle::colour(s);
        break;
    }
    default:
        break;
    }
    return QVariant();
}

QVariant AlarmTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Severity:
        return tr("Severity");
    case Module:
        return tr("Module");
    case Condition:
        return tr("Condition");
    case Value:
        return tr("Value");
    case Raised:
        return tr("Raised");
    case Cleared:
        return tr("Cleared");
    case AckedBy:
        return tr("Acknowledged by");
    case AckedAt:
        return tr("Acknowledged");
    case ShelvedUntil:
        return tr("Shelved until");
    default:
        break;
    }
    return QVariant();
}
