// The station's INI configuration read from arbitrary bytes with the reading
// rules the main window uses: every top-level key, and for each module and
// chamber named in the lists every key of its group.
//
// Checked: nothing crashes, every number read is finite, list items carry no
// surrounding blanks, and a flag or text read twice reads the same.

#include "FuzzSupport.h"
#include "app/Config.h"
#include "client/Values.h"

#include <QSettings>
#include <cmath>

namespace {

using FuzzSupport::check;

QString key(const QString &group, const char *name)
{
    return group + QLatin1Char('/') + QLatin1String(name);
}

QStringList list(const QSettings &settings, const QString &name)
{
    const QStringList items = Config::readList(settings, name);
    for (const QString &item : items)
        check(item == item.trimmed(), "list item with surrounding blanks");
    return items;
}

void readModule(const QSettings &settings, const QString &name, int index)
{
    for (const char *text : {"id", "driver", "ch", "TC Table", "Range Table",
                             "Current Surpression Table", "Default Select"})
        Config::readText(settings, key(name, text));
    Config::modulePlacement(list(settings, key(name, "Position in Window")), index);
    Config::colourStyleSheet(list(settings, key(name, "Color")));
    for (const QString &voltage : list(settings, key(name, "Default Voltage")))
        check(std::isfinite(Values::toNumber(voltage)), "voltage not finite");
    for (const char *flag : {"Voltage Editable", "Poll Errors"}) {
        const bool once = Config::readFlag(settings, key(name, flag), true);
        check(once == Config::readFlag(settings, key(name, flag), true), "flag reads differ");
    }
    const double tolerance = Config::tolerance(
        Config::readText(settings, key(name, "Voltage Tolerance"), QStringLiteral("0")));
    check(std::isfinite(tolerance) && tolerance >= 0, "tolerance not a finite size");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzSupport::scratchPath(QStringLiteral("station.ini"));
    check(FuzzSupport::writeFile(path, QByteArray(reinterpret_cast<const char *>(data), int(size))),
          "cannot write the scratch file");
    const QSettings settings(path, QSettings::IniFormat);

    for (const char *name : {"Tesra IP", "Tesra Port", "Name on Tesra", "Key File"}) {
        const QString once = Config::readText(settings, QLatin1String(name));
        check(once == Config::readText(settings, QLatin1String(name)), "text reads differ");
    }

    QStringList tableNames;
    for (const char *tables : {"TCTables", "RangeTables"}) {
        for (const QString &name : list(settings, QLatin1String(tables))) {
            tableNames.append(name);
            for (const QString &entry : list(settings, key(name, "Table")))
                check(std::isfinite(Values::toNumber(entry)), "table entry not finite");
        }
    }
    for (const char *modules : {"HV Module Names", "AMP Module Names"}) {
        const QStringList names = list(settings, QLatin1String(modules));
        for (int i = 0; i < names.size(); ++i) {
            readModule(settings, names.at(i), i);
            const int found = Config::findTable(
                tableNames, Config::readText(settings, key(names.at(i), "TC Table")));
            check(found >= -1 && found < tableNames.size(), "table index out of range");
        }
    }
    const QStringList chambers = list(settings, QStringLiteral("IC Module Names"));
    for (int i = 0; i < chambers.size(); ++i) {
        Config::readText(settings, key(chambers.at(i), "HV Unit id"));
        Config::readText(settings, key(chambers.at(i), "AMP Unit id"));
        Config::namePlacement(list(settings, key(chambers.at(i), "Position of Name")));
        Config::chamberPlacement(list(settings, key(chambers.at(i), "Position in Window")), i);
    }
    return 0;
}
