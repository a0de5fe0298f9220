#include "amplifier/CSprTable.h"

#include "client/Values.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <utility>

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
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    while (!in.atEnd())
        mergeLine(in.readLine());
    file.close();
    sortByRange();
    return true;
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

bool CSprTable::append(const QString &fileName, const QString &text)
{
    bool needsBreak = false;
    {
        QFile existing(fileName);
        if (existing.size() > 0 && existing.open(QIODevice::ReadOnly)) {
            existing.seek(existing.size() - 1);
            needsBreak = existing.read(1) != "\n";
        }
    }
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    QTextStream out(&file);
    if (needsBreak)
        out << '\n';
    out << text;
    out.flush();
    file.close();
    return true;
}
