// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

// The beat that the value fields of the window repaint to.
//
// A field that shows a stream of values is repainted at most once per
// display interval. Were each field to keep its own interval, a station whose
// modules report at the same rate would still repaint the window once for
// every value, at moments spread evenly over the interval, and each repaint
// of the window costs far more than the field it is for. The fields of one
// interval therefore share one clock: the first change after a quiet
// interval is shown at once and opens an interval; what changes within it
// waits for its end, when every waiting field is repainted in one pass.
// Nothing waits longer than one interval. The clock stops when an interval
// ends with nothing waiting, so an idle station costs no timer.
class DisplayClock : public QObject
{
    Q_OBJECT

public:
    using Release = std::function<void()>;

    // The application's clock for the interval; made on first use, it goes
    // with the application object.
    static DisplayClock *shared(int intervalMs);

    explicit DisplayClock(int intervalMs, QObject *parent = nullptr);

    // True when a change may be shown now; it then opens an interval. False
    // within one: release runs at its end, unless owner is gone by then. An
    // owner that waits asks no more until its release has run.
    bool mayShow(QObject *owner, Release release);

    int intervalMs() const { return interval; }
    bool running() const { return beat.isActive(); }

    // Shows every field that waits on any of the application's clocks at
    // once: a picture of the window must not leave out the fields whose
    // repaint waits for the end of an interval.
    static void releaseAllNow();

private:
    static QHash<int, QPointer<DisplayClock>> &clocks();
    void intervalOver();
    void releaseWaiting();

    struct Waiting
    {
        QPointer<QObject> owner;
        Release release;
    };

    int interval;
    QTimer beat;
    std::vector<Waiting> waiting;
};
