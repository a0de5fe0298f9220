#include "amplifier/CSprTable.h"

#include "client/Values.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>
#include <utility>

namespace {

// How much of the file's end append looks at to learn its line ends.
constexpr qint64 TailLength = 4096;

enum class Utf16 { None, Little, Big };

QString decode(const QByteArray &bytes, Utf16 utf16)
{
    if (utf16 == Utf16::None)
        return QString::fromLocal8Bit(bytes);
    QString text;
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
    // Only a plain file is a table: a device or pipe given by mistake could
    // be read without end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    read(file);
    return true;
}

void CSprTable::read(QIODevice &device)
{
    entries.clear();
    QTextStream in(&device);
    while (!in.atEnd())
        mergeLine(in.readLine());
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
    const qint64 before = file.size();
    // A file that begins with a UTF-16 byte-order mark is read back as
    // UTF-16 (the reader detects the mark), so the new line is written so
    // too; any other file takes the local 8-bit encoding.
    const QByteArray mark = before >= 2 && file.seek(0) ? file.read(2) : QByteArray();
    const Utf16 utf16 = mark == "\xff\xfe"   ? Utf16::Little
                        : mark == "\xfe\xff" ? Utf16::Big
                                             : Utf16::None;
    QString tail;
    qint64 tailStart = qMax<qint64>(0, before - TailLength);
    if (utf16 != Utf16::None)
        tailStart += tailStart % 2; // a whole code unit
    if (before > 0 && file.seek(tailStart))
        tail = decode(file.read(TailLength), utf16);

    const bool crlf = tail.contains(QStringLiteral("\r\n"));
    const QString lineEnd = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString body;
    if (!tail.isEmpty() && !tail.endsWith(QLatin1Char('\n')))
        body += lineEnd;
    body += text;
    if (crlf)
        body.replace(QRegularExpression(QStringLiteral("\r?\n")), QStringLiteral("\r\n"));
    const QByteArray bytes = encode(body, utf16);

    if (file.write(bytes) != bytes.size()) {
        if (reason)
            *reason = file.errorString();
        // Take back a half-written line; what was there before is kept.
        if (file.size() > before)
            file.resize(before);
        return AppendResult::CannotWrite;
    }
    return AppendResult::Appended;
}
