// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/AlarmAnnunciator.h"

#include "alarms/AlarmList.h"
#include "widgets/AlarmStyle.h"

#include <QApplication>
#include <QMouseEvent>

AlarmAnnunciator::AlarmAnnunciator(AlarmList *alarmList, QWidget *parent)
    : ElidedLabel(parent), list(alarmList)
{
    setObjectName(QStringLiteral("AlarmAnnunciator"));
    setMargin(1);
    blink.setInterval(BlinkMs);
    connect(&blink, &QTimer::timeout, this, &AlarmAnnunciator::toggle);
    sound.setInterval(SoundMs);
    connect(&sound, &QTimer::timeout, this, &AlarmAnnunciator::beep);
    if (list)
        connect(list, &AlarmList::listChanged, this, &AlarmAnnunciator::refresh);
    refresh();
}

void AlarmAnnunciator::setSound(bool on)
{
    soundOn = on;
    refresh();
}

void AlarmAnnunciator::refresh()
{
    const int count = list ? list->annunciatedCount() : 0;
    AlarmConditions::Severity severity = AlarmConditions::Severity::Minor;
    if (count == 0 || !list->annunciatedSeverity(severity)) {
        blink.stop();
        sound.stop();
        clear();
        setToolTip(QString());
        setStyleSheet(QString());
        hide();
        return;
    }
    setText(tr("%1 unacknowledged alarm(s)").arg(count));
    setToolTip(text() + QLatin1Char('\n') + tr("Click to show the alarm list"));
    litStyle = AlarmStyle::badgeStyle(severity);
    dimStyle = AlarmStyle::dimStyle(severity);
    const bool major = severity == AlarmConditions::Severity::Major;
    if (major && !blink.isActive()) {
        lit = true;
        blink.start();
    } else if (!major) {
        blink.stop();
        lit = true;
    }
    setStyleSheet(lit ? litStyle : dimStyle);
    show();
    if (soundOn && !sound.isActive()) {
        beep();
        sound.start();
    }
}

void AlarmAnnunciator::toggle()
{
    lit = !lit;
    setStyleSheet(lit ? litStyle : dimStyle);
}

void AlarmAnnunciator::beep()
{
    QApplication::beep();
    emit beeped();
}

void AlarmAnnunciator::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    ElidedLabel::mousePressEvent(event);
}
