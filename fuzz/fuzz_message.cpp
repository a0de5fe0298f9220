// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing and composing message lines.
//
// Any text parses without harm and its fields are consistent with the line.
// A line composed from pieces never holds a line break, and when the pieces
// are names, a word and parameters of the line format, it parses back to the
// same fields.

#include "FuzzSupport.h"
#include "client/MessageNames.h"
#include "client/SMsg.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

bool isBlank(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\v' || u == '\f';
}

// A name or word of the line format: no white space, and no ">" where that
// would end the sender early.
QString token(const std::string &bytes, bool allowGt)
{
    QString text = QString::fromUtf8(bytes.data(), int(bytes.size()));
    QString out;
    for (const QChar c : qAsConst(text)) {
        if (isBlank(c) || c.isNull() || (!allowGt && c == QLatin1Char('>')))
            continue;
        out.append(c);
    }
    return out;
}

// A name split at its last dot: node and sub joined by that dot give it back,
// and the sub holds no dot; without a dot the node is the whole name.
bool splitsAtLastDot(const QString &name, const QString &node, const QString &sub)
{
    if (!name.contains(QLatin1Char('.')))
        return node == name && sub.isEmpty();
    return node + QLatin1Char('.') + sub == name && !sub.contains(QLatin1Char('.'));
}

void checkParsed(const SMsg &msg, const QString &text)
{
    using FuzzSupport::check;
    check(msg.line == SMsg::normalise(text), "line is not the normalised text");
    check(msg.kind == SMsg::Request || msg.kind == SMsg::Event || msg.kind == SMsg::Malformed,
          "unknown kind");
    if (msg.kind == SMsg::Malformed)
        return;
    check(splitsAtLastDot(msg.from, msg.fromNode, msg.fromSub),
          "from is not split at its last dot");
    check(splitsAtLastDot(msg.to, msg.toNode, msg.toSub), "to is not split at its last dot");
    check(msg.msgId == MessageNames::lookUp(msg.message), "id is not the word's");
    check(msg.paramList.isEmpty() == msg.params.isEmpty(), "parameter list and text disagree");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using FuzzSupport::check;
    {
        const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
        SMsg msg;
        msg.Parse(text);
        checkParsed(msg, text);
    }

    FuzzedDataProvider input(data, size);
    const QString from = token(input.ConsumeRandomLengthString(64), false);
    const QString to = token(input.ConsumeRandomLengthString(64), true);
    const QString word = token(input.ConsumeRandomLengthString(64), true);
    const std::string rawParams = input.ConsumeRemainingBytesAsString();
    const QString params = QString::fromUtf8(rawParams.data(), int(rawParams.size()));

    const QString line = SMsg::compose(from + QLatin1Char('>') + to, word, params);
    check(line.endsWith(QLatin1Char('\n')), "composed line without its line feed");
    check(line.count(QLatin1Char('\n')) == 1 && !line.contains(QLatin1Char('\r')),
          "composed line holds a line break");
    check(line.toLatin1().count('\n') == 1, "written bytes hold a line break");

    if (word.isEmpty())
        return 0;
    SMsg back;
    back.Parse(line);
    checkParsed(back, line);
    check(back.from == from, "from changed");
    check(back.to == to, "to changed");
    check(back.message == word, "message word changed");
    check(back.params == SMsg::normalise(SMsg::oneLine(params)), "parameters changed");
    check(back.kind == (word.startsWith(QLatin1Char('_')) ? SMsg::Event : SMsg::Request),
          "kind is not the word's");
    return 0;
}
