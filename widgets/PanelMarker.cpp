// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PanelMarker.h"

#include <QEvent>

PanelMarker::PanelMarker(QWidget *panelWidget, Qt::Corner markerCorner, const QString &styleSheet)
    : QLabel(panelWidget), panel(panelWidget), corner(markerCorner)
{
    setStyleSheet(styleSheet);
    setFocusPolicy(Qt::NoFocus);
    setMargin(1);
    hide();
    if (panel)
        panel->installEventFilter(this);
}

void PanelMarker::setNote(const QString &noteText, const QString &noteToolTip)
{
    if (noteText.isEmpty()) {
        clearNote();
        return;
    }
    setText(noteText);
    setToolTip(noteToolTip);
    adjustSize();
    place();
    raise();
    show();
}

void PanelMarker::clearNote()
{
    clear();
    setToolTip(QString());
    hide();
}

bool PanelMarker::eventFilter(QObject *watched, QEvent *event)
{
    // Keep to the corner as the panel is laid out anew, and above any
    // widget the panel adds later.
    if (watched == panel && (event->type() == QEvent::Resize || event->type() == QEvent::Show) &&
        isShown()) {
        place();
        raise();
    }
    return QLabel::eventFilter(watched, event);
}

void PanelMarker::place()
{
    if (!panel)
        return;
    const QSize room = panel->size();
    const QSize own = sizeHint().boundedTo(room);
    resize(own);
    const bool right = corner == Qt::TopRightCorner || corner == Qt::BottomRightCorner;
    const bool bottom = corner == Qt::BottomLeftCorner || corner == Qt::BottomRightCorner;
    move(right ? room.width() - own.width() : 0, bottom ? room.height() - own.height() : 0);
}
