// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Paints a window at most once per display frame. A field asks for a repaint
// each time its value changes; while device events stream in that is many
// times within one frame, and painting this window's styled fields costs far
// more than reading the line that changed them. The pacer holds back a paint
// request that comes less than one frame after the window was last painted
// and lets it through when that frame is over, so the window always shows
// the latest values, at most one frame after they arrived. Nothing but the
// moment of painting changes: texts, styles and states are set as before.
class FramePacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultFrameMs = 16;

    explicit FramePacer(QWidget *window, int frameMs = DefaultFrameMs);

    // How many paint requests have been held back so far.
    int heldRequests() const { return held; }
    // Whether a held request waits for the end of its frame.
    bool holding() const { return frameEnd.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintNow();

    QWidget *window;
    int frameMs;
    int held = 0;
    QElapsedTimer lastPaint;
    QTimer frameEnd;
    bool painting = false;
};
