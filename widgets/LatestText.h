// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class DisplayClock;
class QLineEdit;

// Shows the newest of a stream of values in a display field.
//
// A module that ramps reports its value many times a second, and the client
// reads every line waiting on the link in one go before the window gets to
// paint. Of the values set within such a batch only the last can ever be
// seen, yet each setText lays the text out anew, which costs most of what
// handling the line costs. The field therefore takes the newest text once
// the batch is over (a queued call, run before the next paint), and text()
// answers the newest value whether the field shows it yet or not, so every
// rule that reads the value sees what the device said last.
//
// Two more savings, both invisible to the operator:
// - With a display interval, the field is repainted at most once per
//   interval: a person cannot read a number that changes faster, and each
//   paint of a styled field costs far more than the value. The field's text
//   still follows every batch; only its repaint waits, and the newest value
//   is on screen at most one interval after it arrived. The fields of one
//   interval keep it on one clock (DisplayClock), so that their repaints
//   fall together.
// - A field that is shown but lies outside what its window shows (a panel
//   scrolled out of view) is not given its text at all; it takes the newest
//   one when it is painted again, which is when it comes into view.
class LatestText : public QObject
{
    Q_OBJECT

public:
    LatestText(QLineEdit *field, QObject *parent, int displayIntervalMs = 0);

    void setText(const QString &text);
    QString text() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply();
    void show();
    void release();
    bool outOfView() const;

    QPointer<QLineEdit> field;
    QString newest;
    bool waiting = false; // a batch's newest value waits for the batch's end
    bool unseen = false;  // the newest value waits for the field to come into view
    bool held = false;    // the field's repaint waits for the end of an interval
    QPointer<DisplayClock> clock;
};
