// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/CSprTable.h"

#include "client/Logging.h"
#include "client/Values.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <utility>

namespace {

// How much of the file's end append looks at to learn its line ends.
constexpr qint64 TailLength = 4096;

enum class Utf16 { None, Little, Big };

// A file is UTF-16 when it begins with a UTF-16 byte-order mark and holds a
// whole number of code units; anything else is text in the local 8-bit
// encoding. Reading and appending decide by this one rule, so an appended
// line is always read back in the encoding it was written in.
Utf16 encodingOf(const QByteArray &mark, qint64 size)
{
    if (size % 2 != 0)
        return Utf16::None;
    if (mark.startsWith("\xff\xfe"))
        return Utf16::Little;
    if (mark.startsWith("\xfe\xff"))
        return Utf16::Big;
    return Utf16::None;
}

QString decode(const QByteArray &bytes, Utf16 utf16)
{
    if (utf16 == Utf16::None)
        return QString::fromLocal8Bit(bytes.constData(), int(bytes.size()));
    QString text;
    text.reserve(int(bytes.size() / 2));
    for (int i = 0; i + 1 < bytes.size(); i += 2) {
        const auto low = uchar(bytes.at(utf16 == Utf16::Little ? i : i + 1));
        const auto high = uchar(bytes.at(utf16 == Utf16::Little ? i + 1 : i));
        text.append(QChar(ushort(low | (high << 8))));
    }
    return text;
}

QByteArray encode(const QString &text, Utf16 utf16)
{
    if (utf16 == Utf16::None)
        return text.toLocal8Bit();
    QByteArray bytes;
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xff);
        const char high = char(c.unicode() >> 8);
        bytes.append(utf16 == Utf16::Little ? low : high);
        bytes.append(utf16 == Utf16::Little ? high : low);
    }
    return bytes;
}

// A line of the local 8-bit encoding as text, or a null string when it is
// not text: a NUL byte (a file cut short by a crash is often padded with
// them) or bytes the local encoding cannot take back unchanged.
QString lineText(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return QString();
    QString text = QString::fromLocal8Bit(bytes.constData(), int(bytes.size()));
    if (text.toLocal8Bit() != bytes)
        return QString();
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

// A UTF-16 line as text, or a null string when it holds a NUL or a
// surrogate without its partner.
QString lineText(const QString &units)
{
    for (int i = 0; i < units.size(); ++i) {
        const QChar c = units.at(i);
        if (c.isNull())
            return QString();
        if (c.isHighSurrogate() && i + 1 < units.size() && units.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return QString();
    }
    return units.isNull() ? QLatin1String("") : units;
}

ushort codeOf(char c)
{
    return uchar(c);
}

ushort codeOf(QChar c)
{
    return c.unicode();
}

template <typename Char> bool isLineEnd(Char c)
{
    return codeOf(c) == '\n' || codeOf(c) == '\r';
}

// Calls take(line) for every line of text, ending at "\n", "\r\n" or a lone
// "\r", so that no kind of line end joins two lines into one.
template <typename Text, typename Take> void forEachLine(const Text &text, int from, Take take)
{
    int begin = from;
    for (int i = from; i < text.size(); ++i) {
        if (!isLineEnd(text.at(i)))
            continue;
        take(text.mid(begin, i - begin));
        if (codeOf(text.at(i)) == '\r' && i + 1 < text.size() && codeOf(text.at(i + 1)) == '\n')
            ++i;
        begin = i + 1;
    }
    if (begin < text.size())
        take(text.mid(begin));
}

bool openTable(QFile &file)
{
    // Only a plain file is a table: a device or pipe given by mistake could
    // be read without end.
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile())
        return false;
    return file.open(QIODevice::ReadOnly);
}

} // namespace

void CSprTable::mergeLine(const QString &line)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.first().startsWith(QLatin1Char('#')))
        return;
    CSprEntry entry;
    entry.range = Values::toNumber(words.at(0));
    entry.value = words.size() > 1 ? Values::toNumber(words.at(1)) : 0.0;
    const int known = indexOfRange(entry.range);
    if (known >= 0)
        entries[known].value = entry.value;
    else
        entries.append(entry);
}

void CSprTable::sortByRange()
{
    // A plain exchange sort: tables hold a few dozen entries, and it needs
    // nothing of the comparison beyond "greater than".
    for (int i = 0; i + 1 < entries.size(); ++i) {
        for (int j = i + 1; j < entries.size(); ++j) {
            if (entries.at(j).range > entries.at(i).range)
                std::swap(entries[i], entries[j]);
        }
    }
}

bool CSprTable::load(const QString &fileName)
{
    entries.clear();
    QFile file(fileName);
    if (!openTable(file))
        return false;
    read(file, fileName);
    return true;
}

bool CSprTable::canLoad(const QString &fileName)
{
    QFile file(fileName);
    return openTable(file);
}

void CSprTable::read(QIODevice &device, const QString &name)
{
    entries.clear();
    // The bytes themselves decide where lines end: a text stream would read
    // a NUL or an undecodable byte sequence into the next line, and text mode
    // drops a lone carriage return, so the appended line could vanish into
    // the one before it.
    device.setTextModeEnabled(false);
    const QByteArray bytes = device.readAll();
    int number = 0;
    const auto merge = [&](const QString &text) {
        ++number;
        if (text.isNull()) {
            qCDebug(lcAmplifier).noquote()
                << QStringLiteral("CSpr Table file [%1]: line %2 is not text, skipped")
                       .arg(name)
                       .arg(number);
            return;
        }
        mergeLine(text);
    };
    const Utf16 utf16 = encodingOf(bytes.left(2), bytes.size());
    if (utf16 == Utf16::None) {
        // A UTF-8 byte-order mark says nothing about the lines.
        const int from = bytes.startsWith("\xef\xbb\xbf") ? 3 : 0;
        forEachLine(bytes, from, [&](const QByteArray &line) { merge(lineText(line)); });
    } else {
        forEachLine(decode(bytes, utf16), 1, [&](const QString &line) { merge(lineText(line)); });
    }
    sortByRange();
}

int CSprTable::indexOfRange(double range) const
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).range == range)
            return i;
    }
    return -1;
}

QString CSprTable::itemText(const CSprEntry &entry)
{
    return QStringLiteral("%1 : %2").arg(entry.range, 5, 'e', 0).arg(valueText(entry.value));
}

QString CSprTable::valueText(double value)
{
    return QString::number(value, 'g', 6);
}

QString CSprTable::entryLine(const QString &rangeText, const QString &valueText,
                             const QDateTime &when)
{
    return rangeText + QLatin1Char(' ') + valueText + QStringLiteral(" : ") +
           when.toString(QStringLiteral("yy/MM/dd hh:mm:ss")) + QLatin1Char('\n');
}

CSprTable::AppendResult CSprTable::append(const QString &fileName, const QString &text,
                                          QString *reason)
{
    // One open for both the look at the file's end and the write, in append
    // mode: whatever someone else added since the table was loaded stays, and
    // the new line goes after it. Unbuffered, so a full disk shows at write().
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        if (reason)
            *reason = file.errorString();
        return AppendResult::CannotOpen;
    }
    return append(file, text, reason);
}

CSprTable::AppendResult CSprTable::append(QIODevice &file, const QString &text, QString *reason)
{
    const qint64 before = file.size();
    const QByteArray mark = before >= 2 && file.seek(0) ? file.read(2) : QByteArray();
    const Utf16 utf16 = encodingOf(mark, before);
    qint64 tailStart = qMax<qint64>(0, before - TailLength);
    if (utf16 != Utf16::None)
        tailStart += tailStart % 2; // a whole code unit
    QByteArray tailBytes;
    if (before > 0 && file.seek(tailStart))
        tailBytes = file.read(TailLength);
    const QString tail = decode(tailBytes, utf16);

    const bool crlf = tail.contains(QStringLiteral("\r\n"));
    const QString lineEnd = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString body;
    // Judged on the last byte, not on decoded text: a NUL or a broken byte
    // sequence at the end must not pass for a line end.
    const bool ended = utf16 == Utf16::None ? tailBytes.isEmpty() || isLineEnd(tailBytes.back())
                                            : tail.isEmpty() || isLineEnd(tail.back());
    if (before > 0 && !ended)
        body += lineEnd;
    body += text;
    if (crlf) {
        static const QRegularExpression lineFeed(QStringLiteral("\r?\n"));
        body.replace(lineFeed, QStringLiteral("\r\n"));
    }
    QByteArray bytes = encode(body, utf16);
    // A file with a UTF-16 mark but an odd size is 8-bit text, and must stay
    // odd so that the added line does not turn all of it into UTF-16: a blank
    // before the line end, which reading trims, makes the added count even.
    if (utf16 == Utf16::None && mark.size() == 2 && encodingOf(mark, 0) != Utf16::None &&
        bytes.size() % 2 != 0) {
        int at = bytes.size();
        while (at > 0 && (bytes.at(at - 1) == '\n' || bytes.at(at - 1) == '\r'))
            --at;
        bytes.insert(at, ' ');
    }

    if (!file.seek(before) || file.write(bytes) != bytes.size()) {
        if (reason)
            *reason = file.errorString();
        // Take back a half-written line; what was there before is kept.
        if (file.size() > before) {
            if (auto *onDisk = qobject_cast<QFileDevice *>(&file))
                onDisk->resize(before);
            else if (auto *inMemory = qobject_cast<QBuffer *>(&file))
                inMemory->buffer().truncate(int(before));
        }
        return AppendResult::CannotWrite;
    }
    return AppendResult::Appended;
}
