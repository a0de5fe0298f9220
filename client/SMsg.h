// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "client/MessageNames.h"

#include <QMetaType>
#include <QString>
#include <QStringList>

// One parsed message line of the Tesra protocol.
//
// The receiver normalises every incoming line and parses it into this plain
// value record: sender and receiver with their node and sub parts, the message
// word, the parameters as text and as a word list, the kind of message and its
// dispatch id. The client hands a full copy to every reply or event signal, so
// a listener may keep it.
class SMsg
{
public:
    enum Kind { Request = 0, Event = 1, Malformed = 2 };

    QString from;
    QString fromNode;
    QString fromSub;
    QString to;
    QString toNode;
    QString toSub;
    QString message;
    QString params;
    QStringList paramList;
    qint32 kind = Request;
    qint32 msgId = MessageNames::EndId;
    QString line;

    // Fills every field from one received line and returns the kind.
    int Parse(const QString &text);
    // Sets msgId from message through the message-name table.
    void LookUpId();
    // True when params begins with "Ok:" or "OK".
    bool IsOk() const;

    // Leading and trailing white space removed, inner runs reduced to one blank.
    static QString normalise(const QString &text);
    // The name of a node with an optional sub part: node, or node "." sub;
    // the inverse of the split at the last dot that Parse makes.
    static QString joinName(const QString &node, const QString &sub);
    // One outgoing line: head, a blank, the message word and, when there are
    // any, a blank and the parameters, then the line feed. A line break inside
    // a piece becomes a blank, so that nothing the caller passes can end the
    // line early.
    static QString compose(const QString &head, const QString &message, const QString &params);
    // text with every carriage return and line feed replaced by a blank.
    static QString oneLine(QString text);
    // True when name can stand as one word of a line: it holds no white
    // space (of any kind) and no control character. A node or sender name
    // that does not would split the line it heads into other words, or cut
    // it short at its reader.
    static bool isWord(const QString &name);
};

Q_DECLARE_METATYPE(SMsg)
