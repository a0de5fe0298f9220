// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/TimelineModel.h"

#include <QCoreApplication>
#include <QDateTime>

namespace {

// What each kind of event says; %1 is the event's text.
struct KindText
{
    History::EventKind kind;
    const char *text;
};
const KindText KindTexts[] = {
    {History::EventKind::Status, QT_TRANSLATE_NOOP("TimelineModel", "Status %1")},
    {History::EventKind::OverloadSet, QT_TRANSLATE_NOOP("TimelineModel", "Overload set")},
    {History::EventKind::OverloadCleared, QT_TRANSLATE_NOOP("TimelineModel", "Overload cleared")},
    {History::EventKind::Range, QT_TRANSLATE_NOOP("TimelineModel", "Range %1")},
    {History::EventKind::LinkReady, QT_TRANSLATE_NOOP("TimelineModel", "Link ready: %1")},
    {History::EventKind::LinkLost, QT_TRANSLATE_NOOP("TimelineModel", "Link lost: %1")},
    {History::EventKind::LinkRefused, QT_TRANSLATE_NOOP("TimelineModel", "Link refused: %1")},
    {History::EventKind::Silent, QT_TRANSLATE_NOOP("TimelineModel", "Silent device: %1")},
    {History::EventKind::SamplesDropped,
     QT_TRANSLATE_NOOP("TimelineModel", "Not archived (queue full): %1")},
    {History::EventKind::AlarmRaised, QT_TRANSLATE_NOOP("TimelineModel", "Alarm raised: %1")},
    {History::EventKind::AlarmCleared, QT_TRANSLATE_NOOP("TimelineModel", "Alarm cleared: %1")},
    {History::EventKind::AlarmAcknowledged,
     QT_TRANSLATE_NOOP("TimelineModel", "Alarm acknowledged: %1")},
    {History::EventKind::AlarmShelved, QT_TRANSLATE_NOOP("TimelineModel", "Alarm shelved: %1")},
    {History::EventKind::AlarmUnshelved, QT_TRANSLATE_NOOP("TimelineModel", "Alarm unshelved: %1")},
};

} // namespace

TimelineModel::TimelineModel(const History &kept, QObject *parent)
    : QAbstractTableModel(parent), history(kept)
{
    refresh();
}

int TimelineModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

int TimelineModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const History::Event &TimelineModel::eventAt(int row) const
{
    return history.events().at(history.events().size() - 1 - size_t(row));
}

QString TimelineModel::describe(const History::Event &event)
{
    for (const KindText &row : KindTexts) {
        if (row.kind != event.kind)
            continue;
        const QString text = QCoreApplication::translate("TimelineModel", row.text);
        return text.contains(QLatin1String("%1")) ? text.arg(event.text) : text;
    }
    return event.text;
}

QVariant TimelineModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows)
        return QVariant();
    const History::Event &event = eventAt(index.row());
    switch (index.column()) {
    case TimeColumn:
        return QDateTime::fromMSecsSinceEpoch(event.t).toString(
            QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case ModuleColumn:
        return event.module.isEmpty() ? tr("(link)") : event.module;
    case EventColumn:
        return describe(event);
    default:
        return QVariant();
    }
}

QVariant TimelineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case ModuleColumn:
        return tr("Module");
    case EventColumn:
        return tr("Event");
    default:
        return QVariant();
    }
}

void TimelineModel::refresh()
{
    if (seen == history.revision() && rows == int(history.events().size()))
        return;
    seen = history.revision();
    // The rows are counted from the newest end, so any change moves them
    // all; the view keeps its scroll position by the row number.
    beginResetModel();
    rows = int(history.events().size());
    endResetModel();
}
