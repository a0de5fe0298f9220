// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AlarmBadge.h"

#include "alarms/AlarmList.h"
#include "widgets/AlarmStyle.h"
#include "widgets/PanelMarker.h"

#include <QStringList>

AlarmBadge::AlarmBadge(QWidget *panel, AlarmList *alarmList, const QString &module)
    : QObject(panel), badge(new PanelMarker(panel, PanelMarker::Kind::Alarm, QString())),
      list(alarmList), section(module)
{
    badge->setObjectName(QStringLiteral("AlarmMarker"));
    if (list)
        connect(list, &AlarmList::listChanged, this, &AlarmBadge::refresh);
    refresh();
}

void AlarmBadge::refresh()
{
    AlarmConditions::Severity severity = AlarmConditions::Severity::Minor;
    if (!list || !list->annunciatedSeverityOf(section, severity)) {
        badge->clearNote();
        return;
    }
    QStringList conditions;
    for (const AlarmRecord &record : list->records()) {
        if (record.module == section && list->isAnnunciated(record))
            conditions.append(record.condition);
    }
    badge->setStyleSheet(AlarmStyle::badgeStyle(severity));
    badge->setNote(tr("Alarm"), tr("Alarm: %1").arg(conditions.join(QStringLiteral(", "))));
}
