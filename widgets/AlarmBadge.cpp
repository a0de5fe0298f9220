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
    QStringList conditions;
    bool major = false;
    if (list) {
        for (const AlarmRecord &record : list->records()) {
            if (record.module != section || !list->isAnnunciated(record))
                continue;
            conditions.append(record.condition);
            AlarmConditions::Severity severity = AlarmConditions::Severity::Minor;
            major = major || (AlarmConditions::severityFromName(record.severity, severity) &&
                              severity == AlarmConditions::Severity::Major);
        }
    }
    if (conditions.isEmpty()) {
        badge->clearNote();
        return;
    }
    badge->setStyleSheet(AlarmStyle::badgeStyle(major ? AlarmConditions::Severity::Major
                                                      : AlarmConditions::Severity::Minor));
    badge->setNote(tr("Alarm"), tr("Alarm: %1").arg(conditions.join(QStringLiteral(", "))));
}
