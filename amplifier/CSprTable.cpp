#include "amplifier/CSprTable.h"

#include "client/Values.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>
#include <utility>

namespace {

// How much of the file's end append looks at to learn its line ends.
constexpr qint64 TailLength = 4096;

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
    QByteArray tail;
    if (before > 0 && file.seek(qMax<qint64>(0, before - TailLength)))
        tail = file.read(TailLength);

    const bool crlf = tail.contains("\r\n");
    const QByteArray lineEnd = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    QByteArray bytes;
    if (!tail.isEmpty() && !tail.endsWith('\n'))
        bytes += lineEnd;
    QString body = text;
    if (crlf)
        body.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    bytes += body.toLocal8Bit();

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
