// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

FramePacer::FramePacer(QWidget *paced, int frame) : QObject(paced), window(paced), frameMs(frame)
{
    frameEnd.setSingleShot(true);
    frameEnd.setTimerType(Qt::PreciseTimer);
    connect(&frameEnd, &QTimer::timeout, this, &FramePacer::paintNow);
    window->installEventFilter(this);
}

bool FramePacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window || event->type() != QEvent::UpdateRequest || painting)
        return QObject::eventFilter(watched, event);
    const qint64 since = lastPaint.isValid() ? lastPaint.elapsed() : frameMs;
    if (since >= frameMs) {
        lastPaint.start();
        return false;
    }
    // The window's repaint manager sends no further request until this one
    // has been served, so one timer per frame is all it takes; whatever is
    // changed meanwhile is painted with it.
    ++held;
    if (!frameEnd.isActive())
        frameEnd.start(int(frameMs - since));
    return true;
}

void FramePacer::paintNow()
{
    painting = true;
    lastPaint.start();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &request);
    painting = false;
}
