// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/AlarmFrame.h"

#include "alarms/AlarmList.h"
#include "widgets/AlarmStyle.h"

#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QRegion>

AlarmFrame::AlarmFrame(QWidget *groupWidget, AlarmList *alarmList, const QStringList &modules)
    : QWidget(groupWidget), group(groupWidget), list(alarmList), sections(modules)
{
    setObjectName(QStringLiteral("AlarmFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    if (group)
        group->installEventFilter(this);
    if (list)
        connect(list, &AlarmList::listChanged, this, &AlarmFrame::refresh);
    refresh();
}

QRect AlarmFrame::band() const
{
    if (!group)
        return QRect();
    // Inside the band: what the layout lays out, or the frame's contents.
    return group->layout() ? group->layout()->contentsRect() : group->contentsRect();
}

void AlarmFrame::refresh()
{
    AlarmConditions::Severity highest = AlarmConditions::Severity::Minor;
    bool any = false;
    if (list) {
        for (const QString &module : qAsConst(sections)) {
            AlarmConditions::Severity severity = AlarmConditions::Severity::Minor;
            if (!list->annunciatedSeverityOf(module, severity))
                continue;
            if (!any || severity > highest)
                highest = severity;
            any = true;
        }
    }
    if (!any) {
        shown = QColor();
        hide();
        return;
    }
    const QColor now = AlarmStyle::colour(highest);
    const bool changed = now != shown;
    shown = now;
    follow();
    raise();
    show();
    if (changed)
        update();
}

void AlarmFrame::follow()
{
    if (!group)
        return;
    setGeometry(group->rect());
    // Only the band belongs to the frame: the panels inside repaint without
    // it.
    setMask(QRegion(rect()) - QRegion(band()));
}

void AlarmFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), shown);
}

bool AlarmFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == group && shown.isValid() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
        follow();
        raise();
    }
    return QWidget::eventFilter(watched, event);
}
