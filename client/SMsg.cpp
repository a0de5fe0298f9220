// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/SMsg.h"

#include "client/MessageNames.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

// Sets target to part. The client parses every line into one record, and
// most of its parts are gone before the next line comes; a part whose buffer
// nothing else shares is overwritten in place instead of allocated anew.
void assignPart(QString &target, QStringView part)
{
    if (target.isDetached() && target.capacity() >= part.size()) {
        target.resize(int(part.size()));
        std::copy(part.begin(), part.end(), target.begin());
    } else {
        target = part.toString();
    }
}

// Empties target, keeping its buffer for the next line when nothing else
// shares it.
void emptyPart(QString &target)
{
    if (target.isDetached())
        target.resize(0);
    else
        target.clear();
}

// Splits a name at its last dot into node and sub parts.
void splitName(const QString &name, QString &node, QString &sub)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        assignPart(node, name);
        emptyPart(sub);
    } else {
        assignPart(node, QStringView(name).left(dot));
        assignPart(sub, QStringView(name).mid(dot + 1));
    }
}

const QRegularExpression &whiteSpaceRun()
{
    static const QRegularExpression re(QStringLiteral("\\s+"));
    return re;
}

// Only the six ASCII white-space characters of the protocol count; other
// Unicode spaces are part of the text.
bool isBlank(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\v' || u == '\f';
}

// True when text is already in normal form: no blank at either end, and
// inside only single spaces. Nearly every line a server sends is, and then
// normalising it need not build a copy.
bool isNormal(const QString &text)
{
    if (text.isEmpty())
        return true;
    if (isBlank(text.front()) || isBlank(text.back()))
        return false;
    bool afterSpace = false;
    for (const QChar c : text) {
        if (c.unicode() == ' ') {
            if (afterSpace)
                return false;
            afterSpace = true;
        } else {
            if (isBlank(c))
                return false;
            afterSpace = false;
        }
    }
    return true;
}

// Splits the parameters of a normalised line into words, reusing the list
// and its strings where nothing else shares them. In plain ASCII the only
// white space left is the single space between words, so a split at spaces
// gives what the white-space pattern gives, without running it; any other
// text keeps the pattern, which also knows the Unicode spaces.
void splitParams(const QString &params, QStringList &words)
{
    for (const QChar c : params) {
        if (c.unicode() >= 0x80) {
            words = params.split(whiteSpaceRun());
            return;
        }
    }
    if (!words.isDetached())
        words = QStringList();
    const int count = int(params.count(QLatin1Char(' '))) + 1;
    while (words.size() > count)
        words.removeLast();
    while (words.size() < count)
        words.append(QString());
    int start = 0;
    for (QString &word : words) {
        int end = params.indexOf(QLatin1Char(' '), start);
        if (end < 0)
            end = params.size();
        assignPart(word, QStringView(params).mid(start, end - start));
        start = end + 1;
    }
}

} // namespace

QString SMsg::normalise(const QString &text)
{
    if (isNormal(text))
        return text;
    QString out;
    out.reserve(text.size());
    bool pendingBlank = false;
    for (const QChar c : text) {
        if (isBlank(c)) {
            pendingBlank = !out.isEmpty();
            continue;
        }
        if (pendingBlank)
            out.append(QLatin1Char(' '));
        pendingBlank = false;
        out.append(c);
    }
    return out;
}

QString SMsg::joinName(const QString &node, const QString &sub)
{
    return sub.isEmpty() ? node : node + QLatin1Char('.') + sub;
}

QString SMsg::oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return text;
}

bool SMsg::isWord(const QString &name)
{
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control;
    });
}

QString SMsg::compose(const QString &head, const QString &message, const QString &params)
{
    QString text = oneLine(head) + QLatin1Char(' ') + oneLine(message);
    if (!params.isEmpty())
        text += QLatin1Char(' ') + oneLine(params);
    return text + QLatin1Char('\n');
}

int SMsg::Parse(const QString &text)
{
    // Every field is set anew; those that may stay empty are emptied first.
    for (QString *part : {&fromSub, &to, &toNode, &toSub, &message, &params})
        emptyPart(*part);
    kind = Request;
    msgId = MessageNames::EndId;
    line = normalise(text);
    const QStringView view(line);

    const int gt = line.indexOf(QLatin1Char('>'));
    if (gt < 0) {
        from.clear();
        fromNode.clear();
        paramList.clear();
        kind = Malformed;
        params = line;
        return kind;
    }
    assignPart(from, view.left(gt));
    splitName(from, fromNode, fromSub);

    const int blank = line.indexOf(QLatin1Char(' '), gt);
    if (blank < 0) {
        kind = Malformed;
        paramList.clear();
        assignPart(params, view.mid(gt + 1));
        return kind;
    }
    assignPart(to, view.mid(gt + 1, blank - gt - 1));
    splitName(to, toNode, toSub);

    const int wordStart = blank + 1;
    kind = view.mid(wordStart).startsWith(QLatin1Char('_')) ? Event : Request;

    const int nextBlank = line.indexOf(QLatin1Char(' '), wordStart);
    if (nextBlank < 0) {
        assignPart(message, view.mid(wordStart));
        paramList.clear();
        LookUpId();
        return kind;
    }
    assignPart(message, view.mid(wordStart, nextBlank - wordStart));
    LookUpId();
    assignPart(params, view.mid(nextBlank + 1));
    if (params.isEmpty())
        paramList.clear();
    else
        splitParams(params, paramList);
    return kind;
}

void SMsg::LookUpId()
{
    msgId = MessageNames::lookUp(message);
}

bool SMsg::IsOk() const
{
    return params.startsWith(QLatin1String("Ok:")) || params.startsWith(QLatin1String("OK"));
}
