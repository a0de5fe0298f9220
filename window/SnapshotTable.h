// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/Snapshot.h"

#include <QTableWidget>
#include <QVector>

// The differences between a snapshot and the live station as a table: the
// module's section name, the setting, the snapshot's value and the live
// value, one row per difference. The snapshot tool fills it anew whenever
// the live values may have changed; the table itself only shows.
class SnapshotTable : public QTableWidget
{
    Q_OBJECT

public:
    enum Column { ModuleColumn, SettingColumn, SnapshotColumn, LiveColumn, ColumnCount };

    explicit SnapshotTable(QWidget *parent = nullptr);

    void showDifferences(const QVector<SnapshotDifference> &differences);

    // Tall enough for its rows, from a few up to a screenful; the window,
    // which shrinks to fit its content, would squeeze it to one row.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

    // A value as the table shows it: on or off, the text, "not reported".
    static QString valueText(const QJsonValue &value);
    // A difference's setting by its label.
    static QString settingText(const SnapshotDifference &difference);

private:
    static constexpr int FewestRowsShown = 3;
    static constexpr int MostRowsShown = 12;

    void setCell(int row, Column column, const QString &text, const QString &toolTip = QString());
};
