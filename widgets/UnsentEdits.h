// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class PanelNotice;
class QLineEdit;
class Tesra;

// Keeps an operator's edit that the link cannot carry.
//
// The link guard disables a panel's controls the moment the link stops being
// ready; a line edit that had the focus loses it, Qt ends the edit, and the
// panel's slot for the end of the edit runs. What the operator typed must not
// go out then (a command written into a link that is gone would even stand
// in the command log as sent), nor be lost without a word, nor go out later
// by itself. So the slot asks mayFinish first. While the link is ready the
// answer is yes, and an earlier mark of the field goes. Otherwise the field
// keeps its text and is marked (a style and a tooltip naming the text and
// when it was held back), the debug log and the panel's notice say that it
// was not sent, and the answer is no. The edit has ended with that: only
// the operator's next end of an edit in the field, once the link is back,
// sends it. Typing into a marked field takes the mark away.
class UnsentEdits : public QObject
{
    Q_OBJECT

public:
    UnsentEdits(PanelNotice *notice, QObject *parent);

    // The client whose link decides; until it is set nothing is held back.
    void follow(Tesra *client);
    // Whether the edit of field that has just ended may go out as command
    // (named as the status bar and the debug log name it).
    bool mayFinish(QLineEdit *field, const QString &command);
    bool isMarked(const QLineEdit *field) const;
    // The tooltip of a field whose text was held back at when.
    static QString markText(const QString &text, const QDateTime &when);

    // The style of a marked field.
    static const QString MarkStyle;

private:
    struct Mark
    {
        QPointer<QLineEdit> field;
        // What the field had before it was marked.
        QString style;
        QString toolTip;
        QMetaObject::Connection edited;
    };

    void mark(QLineEdit *field);
    void clear(QLineEdit *field);

    PanelNotice *notice;
    QPointer<Tesra> client;
    QVector<Mark> marks;
};
