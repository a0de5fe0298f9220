// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SnapshotTable.h"

#include <QHeaderView>
#include <QScrollBar>

SnapshotTable::SnapshotTable(QWidget *parent) : QTableWidget(0, ColumnCount, parent)
{
    setHorizontalHeaderLabels({tr("Module"), tr("Setting"), tr("Snapshot"), tr("Live")});
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

QString SnapshotTable::valueText(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool() ? tr("on") : tr("off");
    if (value.isString())
        return value.toString();
    return tr("not reported");
}

QString SnapshotTable::settingText(const SnapshotDifference &difference)
{
    if (difference.setting < 0)
        return difference.key == QLatin1String("node") ? tr("Node") : tr("Module");
    return tr(Snapshot::settings(difference.scope).at(difference.setting).label);
}

QSize SnapshotTable::minimumSizeHint() const
{
    const int rows = qBound(FewestRowsShown, rowCount(), MostRowsShown);
    const int height = horizontalHeader()->sizeHint().height() +
                       rows * verticalHeader()->defaultSectionSize() + 2 * frameWidth() +
                       horizontalScrollBar()->sizeHint().height();
    return {QTableWidget::minimumSizeHint().width(), height};
}

QSize SnapshotTable::sizeHint() const
{
    return {QTableWidget::sizeHint().width(), minimumSizeHint().height()};
}

void SnapshotTable::showDifferences(const QVector<SnapshotDifference> &differences)
{
    // Refilled in place: the rows that stay keep their place on screen.
    const int before = rowCount();
    setRowCount(differences.size());
    if (rowCount() != before)
        updateGeometry();
    for (int row = 0; row < differences.size(); ++row) {
        const SnapshotDifference &difference = differences.at(row);
        setCell(row, ModuleColumn, difference.section);
        setCell(row, SettingColumn, settingText(difference), difference.key);
        setCell(row, SnapshotColumn, valueText(difference.saved));
        // A module of the snapshot that the station does not have.
        const bool missing = difference.setting < 0 && difference.key != QLatin1String("node");
        setCell(row, LiveColumn, missing ? tr("not in the station") : valueText(difference.live));
    }
}

void SnapshotTable::setCell(int row, Column column, const QString &text, const QString &toolTip)
{
    QTableWidgetItem *cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, column, cell);
    }
    if (cell->text() != text)
        cell->setText(text);
    if (cell->toolTip() != toolTip)
        cell->setToolTip(toolTip);
}
