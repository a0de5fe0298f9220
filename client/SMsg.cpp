// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/SMsg.h"

#include "client/MessageNames.h"

#include <QRegularExpression>

namespace {

// Splits a name at its last dot into node and sub parts.
void splitName(const QString &name, QString &node, QString &sub)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        node = name;
        sub.clear();
    } else {
        node = name.left(dot);
        sub = name.mid(dot + 1);
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

// The parameters of a normalised line as words. In plain ASCII the only
// white space left is the single space between words, so a split at spaces
// gives what the white-space pattern gives, without running it; any other
// text keeps the pattern, which also knows the Unicode spaces.
QStringList splitParams(const QString &params)
{
    for (const QChar c : params) {
        if (c.unicode() >= 0x80)
            return params.split(whiteSpaceRun());
    }
    return params.split(QLatin1Char(' '));
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

QString SMsg::compose(const QString &head, const QString &message, const QString &params)
{
    QString text = oneLine(head) + QLatin1Char(' ') + oneLine(message);
    if (!params.isEmpty())
        text += QLatin1Char(' ') + oneLine(params);
    return text + QLatin1Char('\n');
}

int SMsg::Parse(const QString &text)
{
    *this = SMsg();
    line = normalise(text);

    const int gt = line.indexOf(QLatin1Char('>'));
    if (gt < 0) {
        kind = Malformed;
        params = line;
        return kind;
    }
    from = line.left(gt);
    splitName(from, fromNode, fromSub);

    const int blank = line.indexOf(QLatin1Char(' '), gt);
    if (blank < 0) {
        kind = Malformed;
        params = line.mid(gt + 1);
        return kind;
    }
    to = line.mid(gt + 1, blank - gt - 1);
    splitName(to, toNode, toSub);

    const int wordStart = blank + 1;
    kind = QStringView(line).mid(wordStart).startsWith(QLatin1Char('_')) ? Event : Request;

    const int nextBlank = line.indexOf(QLatin1Char(' '), wordStart);
    if (nextBlank < 0) {
        message = line.mid(wordStart);
        LookUpId();
        return kind;
    }
    message = line.mid(wordStart, nextBlank - wordStart);
    LookUpId();
    params = line.mid(nextBlank + 1);
    if (!params.isEmpty())
        paramList = splitParams(params);
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
