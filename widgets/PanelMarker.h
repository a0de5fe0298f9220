// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QPointer>
#include <QString>

// A small badge laid over a corner of a panel, to say something about the
// panel as a whole (a device that has stopped answering, settings that differ
// from a snapshot) without touching any of the panel's own widgets.
//
// The badge is a child of the panel but not part of its layout: it floats
// above the panel's widgets, follows the panel's size, and leaves the size,
// place, text, colours and state of every other widget exactly as they are.
// It is a few characters wide, and its tooltip holds the whole note. Each kind of note takes a
// corner of its own, so that two notes on one panel never cover each other. A marker without a text
// is hidden.
class PanelMarker : public QLabel
{
    Q_OBJECT

public:
    PanelMarker(QWidget *panel, Qt::Corner corner, const QString &styleSheet);

    // Shows the badge with its short text, and the full note as its
    // tooltip; an empty text hides it.
    void setNote(const QString &text, const QString &toolTip);
    void clearNote();
    bool isShown() const { return !text().isEmpty(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QPointer<QWidget> panel;
    Qt::Corner corner;
};
