// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/History.h"

#include <QAbstractTableModel>

// The event timeline as a table: one row per event of the history, the
// newest first, with its local time, its module (the link's own events say
// so) and what happened in words. It reads the history when refresh() finds
// it changed; nothing is copied.
class TimelineModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn, ModuleColumn, EventColumn, ColumnCount };

    explicit TimelineModel(const History &history, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // What an event's row says in its event column.
    static QString describe(const History::Event &event);
    // Takes up what the history gained since the last call.
    void refresh();

private:
    const History::Event &eventAt(int row) const;

    const History &history;
    quint64 seen = 0;
    int rows = 0;
};
