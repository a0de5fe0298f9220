// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class AlarmList;
class PanelMarker;
class QWidget;

// Shows on a panel that its module has an alarm to attend to.
//
// It follows the station's alarm list and lays a marker over the panel
// (where every marker goes, see PanelMarker) while the module has an alarm
// that is neither acknowledged nor shelved, in the colour of the highest
// severity among them, with the conditions in its tooltip. Nothing of the
// panel itself changes.
class AlarmBadge : public QObject
{
    Q_OBJECT

public:
    // module: the panel's section name in the station file.
    AlarmBadge(QWidget *panel, AlarmList *list, const QString &module);

    PanelMarker *marker() const { return badge; }

private:
    void refresh();

    PanelMarker *badge;
    QPointer<AlarmList> list;
    QString section;
};
