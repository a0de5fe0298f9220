// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LatestText.h"

#include <QEvent>
#include <QLineEdit>

LatestText::LatestText(QLineEdit *shown, QObject *parent, int displayIntervalMs)
    : QObject(parent), field(shown), intervalMs(displayIntervalMs)
{
    holdEnd.setSingleShot(true);
    holdEnd.setTimerType(Qt::PreciseTimer);
    connect(&holdEnd, &QTimer::timeout, this, &LatestText::showAgain);
    if (field)
        field->installEventFilter(this);
}

void LatestText::setText(const QString &text)
{
    newest = text;
    if (waiting)
        return;
    waiting = true;
    QMetaObject::invokeMethod(this, &LatestText::apply, Qt::QueuedConnection);
}

QString LatestText::text() const
{
    if (waiting || unseen || !field)
        return newest;
    return field->text();
}

bool LatestText::outOfView() const
{
    // Shown, yet clipped away entirely by what holds it. A field that is not
    // shown at all (a window not yet open) keeps taking its text.
    return field->isVisible() && field->visibleRegion().isEmpty();
}

void LatestText::apply()
{
    waiting = false;
    if (!field)
        return;
    if (outOfView()) {
        unseen = true;
        return;
    }
    show();
}

void LatestText::show()
{
    unseen = false;
    if (intervalMs > 0 && !holdEnd.isActive()) {
        if (lastShown.isValid() && lastShown.elapsed() < intervalMs) {
            // Shown less than an interval ago: the field takes the text now
            // and is repainted once the interval is over.
            field->setUpdatesEnabled(false);
            holdEnd.start(int(intervalMs - lastShown.elapsed()));
        } else {
            lastShown.start();
        }
    }
    field->setText(newest);
}

void LatestText::showAgain()
{
    lastShown.start();
    if (field)
        field->setUpdatesEnabled(true); // repaints the field
}

bool LatestText::eventFilter(QObject *watched, QEvent *event)
{
    // Come into view: the paint that shows the field shows the newest value.
    if (unseen && watched == field && event->type() == QEvent::Paint) {
        unseen = false;
        field->setText(newest);
    }
    return QObject::eventFilter(watched, event);
}
