// SPDX-License-Identifier: GPL-3.0-or-later
// The station's INI configuration read from arbitrary bytes by the one reader
// that the window and the simulator use, then checked as the configuration
// check does.
//
// Checked: nothing crashes or hangs, every number read is finite, list items
// carry no surrounding blanks, a chamber's module index points at a module
// with its id, and every problem found has a text.

#include "FuzzSupport.h"
#include "client/Values.h"
#include "station/Station.h"

#include <QFile>
#include <QSettings>
#include <cmath>

namespace {

using FuzzSupport::check;

void checkItems(const QStringList &items)
{
    for (const QString &item : items)
        check(item == item.trimmed(), "list item with surrounding blanks");
}

void checkNumbers(const QStringList &items)
{
    checkItems(items);
    for (const QString &item : items)
        check(std::isfinite(Values::toNumber(item)), "number not finite");
}

// The one scratch file every input goes through, named once.
const QString &stationPath()
{
    static const QString path = FuzzSupport::scratchPath(QStringLiteral("station.ini"));
    return path;
}

// QSettings keeps the keys of a file it has read, by path, for the next
// QSettings on that path, and reads the file again only when its size or its
// modification time (to the millisecond) has changed: a mutation of the same
// size written within the same millisecond would be answered from the last
// input's keys without being parsed at all. Reading the removed file once
// more empties that entry, and QSettings keeps no entry for an empty file;
// so every input is parsed afresh, and none leaves memory behind for the next
// one to free, which libFuzzer would take for a possible leak and run the
// input a second time to look.
void forgetStation()
{
    check(QFile::remove(stationPath()), "cannot remove the scratch file");
    const QSettings settings(stationPath(), QSettings::IniFormat);
    check(settings.allKeys().isEmpty(), "QSettings kept the keys of a removed file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(FuzzSupport::writeFile(
              stationPath(),
              QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size))),
          "cannot write the scratch file");
    const Station station = Station::read(stationPath());

    checkItems(station.tcTableNames);
    checkItems(station.rangeTableNames);
    for (const QStringList &table : station.tcTables)
        checkNumbers(table);
    for (const QStringList &table : station.rangeTables)
        checkNumbers(table);
    for (const StationHv &hv : station.hvModules) {
        checkNumbers(hv.voltages);
        check(std::isfinite(hv.tolerance) && hv.tolerance >= 0, "tolerance not a finite size");
    }
    for (const StationAmp &amp : station.ampModules) {
        checkNumbers(amp.tcTable);
        checkNumbers(amp.rangeTable);
    }
    for (const StationChamber &chamber : station.chambers) {
        check(chamber.hvIndex < 0 || (chamber.hvIndex < station.hvModules.size() &&
                                      station.hvModules.at(chamber.hvIndex).id == chamber.hvId),
              "chamber points at the wrong HV module");
        check(chamber.ampIndex < 0 || (chamber.ampIndex < station.ampModules.size() &&
                                       station.ampModules.at(chamber.ampIndex).id == chamber.ampId),
              "chamber points at the wrong amplifier");
    }
    for (const StationProblem &problem : station.check())
        check(!problem.text().isEmpty(), "a problem without a text");
    forgetStation();
    return 0;
}
