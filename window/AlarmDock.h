// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmConditions.h"
#include "ui_AlarmDock.h"

#include <QDockWidget>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QVector>

class AlarmAnnunciator;
class AlarmList;
class AlarmTable;
class QAction;
class QMainWindow;
class QMenu;
class QTableView;

// The alarm list of the window: a dock at the bottom, with the table of
// every listed alarm and the operator's buttons, and the status bar's count.
//
// "Acknowledge" and the shelving buttons act on the selected rows,
// "Acknowledge All" on every alarm; a read-only window shows everything and
// keeps them all disabled. The dock opens from the menu, from a click on the
// status bar's count, and by itself when a major alarm is raised that is not
// shelved. It only shows the list and hands the operator's choices to it.
class AlarmDock : public QDockWidget
{
    Q_OBJECT

public:
    AlarmDock(QMainWindow *window, AlarmList *list);

    // The menu's entry that shows and hides the dock, before the entry before.
    void addMenuEntries(QMenu *menu, QAction *before);

    AlarmAnnunciator *annunciator() const { return count; }
    AlarmTable *table() const { return model; }
    QTableView *view() const { return form.AlarmView; }

private:
    using Key = QPair<QString, AlarmConditions::Condition>;

    QVector<Key> selectedKeys() const;
    void select(const QVector<Key> &keys);
    void acknowledgeSelected();
    void shelveSelected(qint64 forMs);
    void unshelveSelected();
    void refreshButtons();
    void opened(const QString &severity);

    Ui::AlarmDock form;
    QPointer<AlarmList> list;
    AlarmTable *model;
    AlarmAnnunciator *count;
    // The selection across a refresh of the table.
    QVector<Key> keptSelection;
    bool resetting = false;
};
