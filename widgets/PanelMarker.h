// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/Colours.h"

#include <QLabel>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>

// A small badge laid over a panel, to say something about the panel as a
// whole (an alarm, a device that has stopped answering, settings that differ
// from a snapshot) without touching any of the panel's own widgets.
//
// The badge is a child of the panel but not part of its layout: it floats
// above the panel's widgets, follows the panel's size, and leaves the size,
// place, text, colours and state of every other widget exactly as they are.
// It is a few characters wide, and its tooltip holds the whole note. A
// marker without a text is hidden.
//
// Every marker of a panel follows one placement rule (arrange()): the shown
// markers take, in the order of their kinds (the most urgent first), each
// the place just left of the one before, or else the highest place nearest
// the panel's right edge, that leaves clear the
// panel's name (its child widget ModuleName), so that an operator can always
// read which module a marker is about, every control (a button, a field, a
// list), so that none is hidden or loses its clicks under a marker when it
// is needed most (the Start button of a module in alarm), every value the
// panel shows (the labels its LinkGuard greys), and the markers placed
// before it. Captions may be covered. Where the panel has no such place,
// they stand side by side in its top right corner, still off the name: a
// marker that would reach into the name starts a new row below, and when
// even a row's first one would, the row moves below the name.
class PanelMarker : public QLabel
{
    Q_OBJECT

public:
    // In the order they are placed, the most urgent first (nearest the
    // top right).
    enum class Kind { Alarm, Silence, Snapshot };

    PanelMarker(QWidget *panel, Kind kind, const QString &styleSheet);

    Kind kind() const { return markerKind; }

    // The style sheet of a badge: its fill, its text and a thin rounded
    // frame, each a row of the colour table.
    static QString badgeStyle(Colours::Colour fill, Colours::Colour text, Colours::Colour frame);

    // Shows the badge with its short text, and the full note as its
    // tooltip; an empty text hides it.
    void setNote(const QString &text, const QString &toolTip);
    void clearNote();
    bool isShown() const { return !text().isEmpty(); }

    // Places every shown marker of panel by the rule above.
    static void arrange(QWidget *panel);
    // The part of panel that its name's text takes, in the panel's
    // coordinates; empty when the panel has no name widget.
    static QRect nameArea(const QWidget *panel);
    // The parts of panel that markers leave clear when they can: the name,
    // and each visible control and value, in the panel's coordinates.
    static QVector<QRect> keptClear(const QWidget *panel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> panel;
    Kind markerKind;
};
