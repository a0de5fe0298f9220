// SPDX-License-Identifier: GPL-3.0-or-later
// The current-suppression table: loading and merging arbitrary file bytes,
// the selector's item text, the entry line and appending it to the file.
//
// Checked: the loaded table holds each range once, largest first, with finite
// numbers; item texts and entry lines are one line each; appending keeps
// every byte that was in the file, and a reload is the earlier table with the
// new line merged in, whatever bytes (NUL, undecodable, any line ends) the
// file held.

#include "FuzzSupport.h"
#include "station/CSprTable.h"

#include <QBuffer>
#include <QDateTime>
#include <cmath>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// A number-like word: the bytes mapped onto the characters of decimal numbers.
QString numberWord(const std::string &bytes)
{
    static const char alphabet[] = "0123456789.eE+-";
    QString out;
    for (const char c : bytes)
        out.append(QLatin1Char(alphabet[static_cast<unsigned char>(c) % (sizeof(alphabet) - 1)]));
    return out;
}

void checkTable(const CSprTable &table)
{
    using FuzzSupport::check;
    for (int i = 0; i < table.size(); ++i) {
        check(std::isfinite(table.at(i).range) && std::isfinite(table.at(i).value),
              "a number that is not finite");
        check(table.indexOfRange(table.at(i).range) == i, "a range held twice");
        if (i > 0)
            check(table.at(i - 1).range > table.at(i).range, "not largest range first");
        const QString item = CSprTable::itemText(table.at(i));
        check(!item.contains(QLatin1Char('\n')) && !item.contains(QLatin1Char('\r')),
              "item text with a line break");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using FuzzSupport::check;
    FuzzedDataProvider input(data, size);
    const QString rangeText = numberWord(input.ConsumeRandomLengthString(24));
    const QString valueText = numberWord(input.ConsumeRandomLengthString(24));
    const qint64 seconds = input.ConsumeIntegralInRange<qint64>(0, 4102444800LL);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray before(rest.data(), int(rest.size()));

    CSprTable table;
    {
        QBuffer buffer;
        buffer.setData(before);
        buffer.open(QIODevice::ReadOnly);
        table.read(buffer);
    }
    checkTable(table);

    const QString line =
        CSprTable::entryLine(rangeText, valueText, QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC));
    check(line.endsWith(QLatin1Char('\n')) && line.count(QLatin1Char('\n')) == 1,
          "entry line is not one line");

    // The file in memory: the same reading and appending as on disk (the
    // file-name calls only open the file), without a file system per input.
    QByteArray after = before;
    QBuffer file(&after);
    file.open(QIODevice::ReadWrite);
    check(CSprTable::append(file, line) == CSprTable::AppendResult::Appended, "append failed");
    check(after.startsWith(before), "append lost or changed earlier bytes");
    check(after.size() > before.size(), "append wrote nothing");

    // Whatever bytes the file held, the reload is the earlier table with the
    // new line merged in: no earlier line lost or changed, the new one found.
    CSprTable reloaded;
    file.seek(0);
    reloaded.read(file);
    checkTable(reloaded);
    CSprTable expected = table;
    expected.mergeLine(line);
    expected.sortByRange();
    check(reloaded.size() == expected.size(), "a line was lost or gained");
    for (int i = 0; i < expected.size(); ++i) {
        check(reloaded.at(i).range == expected.at(i).range &&
                  reloaded.at(i).value == expected.at(i).value,
              "an entry changed");
    }
    return 0;
}
