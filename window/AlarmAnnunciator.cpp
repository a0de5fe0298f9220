// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/AlarmAnnunciator.h"

#include "alarms/AlarmList.h"
#include "widgets/AlarmStyle.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

AlarmAnnunciator::AlarmAnnunciator(AlarmList *alarmList, QWidget *parent)
    : QLabel(parent), list(alarmList)
{
    setObjectName(QStringLiteral("AlarmAnnunciator"));
    setTextFormat(Qt::PlainText);
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
    countText = QString::number(count);
    setText(tr("%1 unacknowledged alarm(s)").arg(count));
    updateGeometry();
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

QSize AlarmAnnunciator::minimumSizeHint() const
{
    QSize hint = QLabel::minimumSizeHint();
    const QMargins around = contentsMargins();
    hint.setWidth(fontMetrics().horizontalAdvance(countText) + around.left() + around.right() +
                  2 * margin());
    return hint;
}

QString AlarmAnnunciator::shownText() const
{
    return fontMetrics().horizontalAdvance(text()) <= contentsRect().width() - 2 * margin()
               ? text()
               : countText;
}

void AlarmAnnunciator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), Qt::AlignCenter, palette(), isEnabled(),
                          shownText(), foregroundRole());
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
    QLabel::mousePressEvent(event);
}
