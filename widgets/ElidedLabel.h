// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QString>

// A one-line label that never asks for more room than a few characters.
//
// A plain label's minimum width is the width of its whole text, and in a
// status bar that minimum becomes the window's: a long message (a refused
// link with its address and retry countdown, a note with a file path) would
// widen the window, and a shorter one let it shrink again, moving every
// control under the operator's pointer. This label takes whatever width its
// layout gives it and, when the text is wider, shows as much as fits ending
// in an ellipsis; text() still answers the whole text, and the tooltip shows
// it (the label's own tooltip when one is set, else the whole text). The
// size it would like (sizeHint) is still the whole text, so with room to
// spare nothing is cut.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;

    // The text as it is drawn at the label's present width.
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
