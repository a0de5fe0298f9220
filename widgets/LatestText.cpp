// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LatestText.h"

#include "widgets/DisplayClock.h"

#include <QEvent>
#include <QFont>
#include <QLineEdit>

LatestText::LatestText(QLineEdit *shown, QObject *parent, int displayIntervalMs)
    : QObject(parent), field(shown),
      clock(displayIntervalMs > 0 ? DisplayClock::shared(displayIntervalMs) : nullptr)
{
    if (field) {
        field->installEventFilter(this);
        // A value is digits, a sign and a point: text that needs no shaping,
        // yet every new value would be shaped anew for its layout, which
        // costs most of taking it. Only the shaping strategy is set, so the
        // field still takes its family and size from its parents and style
        // sheets.
        QFont unshaped;
        unshaped.setStyleStrategy(QFont::PreferNoShaping);
        field->setFont(unshaped);
    }
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
    // shown at all (a window not yet open) keeps taking its text. The field's
    // rectangle is clipped by each parent's on the way up; unlike the visible
    // region this costs no region arithmetic, which every value would pay.
    if (!field->isVisible())
        return false;
    QRect shown = field->rect();
    for (const QWidget *w = field; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        shown.translate(w->pos());
        shown &= w->parentWidget()->rect();
        if (shown.isEmpty())
            return true;
    }
    return false;
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
    if (clock && !held && !clock->mayShow(this, [this] { release(); })) {
        // Within an interval: the field takes the text now and is repainted
        // when the interval is over.
        held = true;
        field->setUpdatesEnabled(false);
    }
    field->setText(newest);
}

void LatestText::release()
{
    held = false;
    if (field)
        field->setUpdatesEnabled(true); // repaints the field
}

bool LatestText::eventFilter(QObject *watched, QEvent *event)
{
    // Come into view: the paint that shows the field shows the newest value.
    // The event's type is asked first: the filter also sees the events of a
    // field that is being destroyed, which is no longer a line edit, and
    // comparing it with the guarded pointer would cast it to one.
    if (event->type() == QEvent::Paint && unseen && watched == field) {
        unseen = false;
        field->setText(newest);
    }
    return QObject::eventFilter(watched, event);
}
