// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QEvent;
class QLineEdit;

// The one place where Brenlow bridges what differs between Qt 5.15 and Qt 6,
// so that the rest of the code is written once for both.
namespace QtCompat {

// Reports the end of an edit in a line edit the way Qt 5.15's
// QLineEdit::editingFinished does, which the panels' commands follow:
// - Return or Enter reports, whether or not the text changed;
// - losing the focus reports when the text changed since the focus was last
//   lost with a report, and a Return in between does not count.
// Qt 6 counts a Return there too, so an operator who presses Return and then
// leaves the field would get one command fewer than under Qt 5. Only
// acceptable text is reported (none of the panels' fields has a validator).
//
// A line edit has at most one EditEnd, a child of it; editEnd() makes it.
class EditEnd : public QObject
{
    Q_OBJECT

public:
    explicit EditEnd(QLineEdit *edit);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void finished();

private:
    QLineEdit *edit;
    bool changed; // since the last report at a loss of focus
};

EditEnd *editEnd(QLineEdit *edit);

} // namespace QtCompat
