// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/AlarmDock.h"

#include "alarms/AlarmList.h"
#include "window/AlarmAnnunciator.h"
#include "window/AlarmTable.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <algorithm>

namespace {

// Rows the table shows without scrolling: enough for the alarms of a bad
// minute, few enough to leave the station in view.
constexpr int VisibleRows = 4;

// The key of a row's alarm; false for a row without one.
bool keyOf(const AlarmRecord *record, QPair<QString, AlarmConditions::Condition> &key)
{
    if (!record || !AlarmConditions::fromName(record->condition, key.second))
        return false;
    key.first = record->module;
    return true;
}

} // namespace

AlarmDock::AlarmDock(QMainWindow *window, AlarmList *alarmList)
    : QDockWidget(window), list(alarmList), model(new AlarmTable(alarmList, this)),
      count(new AlarmAnnunciator(alarmList, window->statusBar()))
{
    setObjectName(QStringLiteral("AlarmDock"));
    setWindowTitle(tr("Alarms"));
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    auto *panel = new QWidget(this);
    form.setupUi(panel);
    setWidget(panel);
    form.AlarmView->setModel(model);
    form.AlarmView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    form.AlarmView->horizontalHeader()->setStretchLastSection(true);
    form.AlarmView->setMinimumHeight(form.AlarmView->horizontalHeader()->sizeHint().height() +
                                     VisibleRows *
                                         form.AlarmView->verticalHeader()->defaultSectionSize() +
                                     2 * form.AlarmView->frameWidth());
    window->addDockWidget(Qt::BottomDockWidgetArea, this);
    // Out of sight until there is something to see or the operator asks.
    hide();
    window->statusBar()->addPermanentWidget(count);

    connect(form.AckB, &QPushButton::clicked, this, &AlarmDock::acknowledgeSelected);
    connect(form.AckAllB, &QPushButton::clicked, this, [this] {
        if (list)
            list->acknowledgeAll();
    });
    connect(form.Shelve1hB, &QPushButton::clicked, this,
            [this] { shelveSelected(AlarmList::ShortShelfMs); });
    connect(form.Shelve8hB, &QPushButton::clicked, this,
            [this] { shelveSelected(AlarmList::LongShelfMs); });
    connect(form.UnshelveB, &QPushButton::clicked, this, &AlarmDock::unshelveSelected);
    connect(form.AlarmView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AlarmDock::refreshButtons);
    // The table is built anew on every change: the operator's selection
    // stays with its alarms. It is kept as it is made, since by the time
    // the table is told of a change the list has changed already.
    connect(form.AlarmView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!resetting)
            keptSelection = selectedKeys();
    });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { resetting = true; });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        resetting = false;
        select(keptSelection);
        refreshButtons();
    });
    connect(count, &AlarmAnnunciator::clicked, this, [this] {
        show();
        raise();
    });
    if (list)
        connect(list, &AlarmList::transitioned, this,
                [this](AlarmList::Transition transition, const AlarmRecord &record) {
                    if (transition == AlarmList::Transition::Raised && list &&
                        !list->isShelved(record))
                        opened(record.severity);
                });
    refreshButtons();
}

void AlarmDock::addMenuEntries(QMenu *menu, QAction *before)
{
    QAction *entry = toggleViewAction();
    entry->setText(tr("Alarms"));
    entry->setObjectName(QStringLiteral("actionAlarms"));
    menu->insertAction(before, entry);
}

void AlarmDock::opened(const QString &severity)
{
    AlarmConditions::Severity s = AlarmConditions::Severity::Minor;
    if (AlarmConditions::severityFromName(severity, s) && s == AlarmConditions::Severity::Major) {
        show();
        raise();
    }
}

QVector<AlarmDock::Key> AlarmDock::selectedKeys() const
{
    QVector<Key> keys;
    for (const QModelIndex &index : form.AlarmView->selectionModel()->selectedRows()) {
        Key key;
        if (keyOf(model->record(index.row()), key))
            keys.append(key);
    }
    return keys;
}

void AlarmDock::select(const QVector<Key> &keys)
{
    QItemSelection selection;
    for (int row = 0; row < model->rowCount(); ++row) {
        Key key;
        if (keyOf(model->record(row), key) && keys.contains(key))
            selection.select(model->index(row, 0), model->index(row, AlarmTable::ColumnCount - 1));
    }
    form.AlarmView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void AlarmDock::acknowledgeSelected()
{
    if (!list)
        return;
    for (const Key &key : selectedKeys())
        list->acknowledge(key.first, key.second);
}

void AlarmDock::shelveSelected(qint64 forMs)
{
    if (!list)
        return;
    for (const Key &key : selectedKeys())
        list->shelve(key.first, key.second, forMs);
}

void AlarmDock::unshelveSelected()
{
    if (!list)
        return;
    for (const Key &key : selectedKeys())
        list->unshelve(key.first, key.second);
}

void AlarmDock::refreshButtons()
{
    const bool mayAct = list && !list->isReadOnly();
    bool unacked = false;
    bool shelved = false;
    for (const QModelIndex &index : form.AlarmView->selectionModel()->selectedRows()) {
        if (const AlarmRecord *r = model->record(index.row())) {
            unacked = unacked || r->ackedBy.isEmpty();
            shelved = shelved || list->isShelved(*r);
        }
    }
    const bool anyUnacked =
        list && std::any_of(list->records().cbegin(), list->records().cend(),
                            [](const AlarmRecord &r) { return r.ackedBy.isEmpty(); });
    const bool selected = form.AlarmView->selectionModel()->hasSelection();
    form.AckB->setEnabled(mayAct && unacked);
    form.AckAllB->setEnabled(mayAct && anyUnacked);
    form.Shelve1hB->setEnabled(mayAct && selected);
    form.Shelve8hB->setEnabled(mayAct && selected);
    form.UnshelveB->setEnabled(mayAct && shelved);
}
