// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/Station.h"

#include "client/SMsg.h"
#include "client/Values.h"
#include "station/CSprTable.h"
#include "station/IniKeys.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <utility>

namespace {

// Reads keys through the configuration rules from the file's keys, read
// once, and notes every key it was asked for, so that the keys of the file
// that no reading wanted can be told apart without a second list of known
// keys to keep in step.
class KeyReader
{
public:
    explicit KeyReader(const QSettings &settings)
        : keys(settings), malformed(settings.status() == QSettings::FormatError)
    {
    }

    QString text(const QString &key, const QString &defaultValue = QString())
    {
        return Config::readText(keys.find(key), defaultValue);
    }
    QStringList list(const QString &key) { return Config::readList(keys.find(key)); }
    // The list, or null when the file does not hold the key.
    const QStringList *optionalList(const QString &key)
    {
        const QVariant *value = keys.find(key);
        if (!value)
            return nullptr;
        optional = Config::readList(value);
        return &optional;
    }
    bool flag(const QString &key, bool defaultValue)
    {
        return Config::readFlag(keys.find(key), defaultValue);
    }

    // The key of a module's section, built in one buffer that every key
    // reuses: a station asks for a dozen keys of each of its modules, one
    // module after the other. The section's filed form is worked out once
    // per module, so the keys come out filed already (no suffix holds a
    // slash).
    const QString &key(const QString &section, const char *suffix)
    {
        if (section != lastSection || lastSection.isNull()) {
            lastSection = section;
            filedSection = IniKeys::normalised(section);
        }
        scratch.resize(0);
        if (!filedSection.isEmpty())
            scratch.append(filedSection).append(QLatin1Char('/'));
        scratch.append(QLatin1String(suffix));
        return scratch;
    }

    bool formatError() const { return malformed; }
    QStringList unaskedKeys() const { return keys.unasked(); }

private:
    IniKeys keys;
    bool malformed;
    QString lastSection;
    QString filedSection;
    QString scratch;
    QStringList optional;
};

StationProblem problem(StationProblem::Kind kind, const QString &section = QString(),
                       const QString &k = QString(), const QString &value = QString());

void readModule(KeyReader &reader, StationModule &module, const QString &name, int index,
                AlarmConditions::ModuleKind kind, QVector<StationProblem> &problems)
{
    module.name = name;
    module.id = reader.text(reader.key(name, "id"));
    module.driver = reader.text(reader.key(name, "driver"));
    module.ch = reader.text(reader.key(name, "ch"));
    module.place =
        Config::modulePlacement(reader.list(reader.key(name, "Position in Window")), index);
    module.styleSheet = Config::colourStyleSheet(reader.list(reader.key(name, "Color")));
    QStringList rejected;
    module.alarms =
        AlarmConditions::readList(reader.optionalList(reader.key(name, "Alarms")), kind, rejected);
    for (const QString &word : qAsConst(rejected))
        problems.append(
            problem(StationProblem::UnknownAlarmCondition, name, QStringLiteral("Alarms"), word));
}

// The alarm keys of the top level; a value that will not do keeps the
// default and is named.
void readAlarmSettings(KeyReader &reader, Station &station)
{
    auto bad = [&station](const char *key, const QString &value) {
        station.problems.append(
            problem(StationProblem::BadAlarmSetting, {}, QLatin1String(key), value));
    };
    const QString tolerance = reader.text(QStringLiteral("HV Tolerance"));
    if (!tolerance.isNull() &&
        !Config::hvTolerance(tolerance, station.deviation.tolerance, station.deviation.percent))
        bad("HV Tolerance", tolerance);
    const QString delay = reader.text(QStringLiteral("Alarm Delay"));
    if (!delay.isNull() && !Config::alarmDelayMs(delay, station.deviation.delayMs))
        bad("Alarm Delay", delay);
    const QString sound = reader.text(QStringLiteral("Alarm Sound"));
    if (!sound.isNull() && !Config::strictFlag(sound, station.alarmSound))
        bad("Alarm Sound", sound);
}

void readTableList(KeyReader &reader, const QString &listKey, QStringList &names,
                   QList<QStringList> &tables)
{
    names = reader.list(listKey);
    for (const QString &name : qAsConst(names))
        tables.append(reader.list(reader.key(name, "Table")));
}

// The entries of the table named name, and whether a list holds that name.
bool lookUpTable(const QStringList &names, const QList<QStringList> &tables, const QString &name,
                 QStringList &entries)
{
    const int index = Config::findTable(names, name);
    if (index < 0)
        return false;
    entries = tables.at(index);
    return true;
}

template <typename Module> int findModule(const QVector<Module> &modules, const QString &id)
{
    for (int i = 0; i < modules.size(); ++i) {
        if (modules.at(i).id == id)
            return i;
    }
    return -1;
}

StationProblem problem(StationProblem::Kind kind, const QString &section, const QString &k,
                       const QString &value)
{
    StationProblem p;
    p.kind = kind;
    p.section = section;
    p.key = k;
    p.value = value;
    return p;
}

// Records a problem for each of the module's names that cannot stand as one
// word of a line; true when every one can.
bool namesAreWords(const StationModule &module, QVector<StationProblem> &problems)
{
    bool words = true;
    const std::pair<const char *, const QString *> names[] = {
        {"id", &module.id}, {"driver", &module.driver}, {"ch", &module.ch}};
    for (const auto &name : names) {
        if (SMsg::isWord(*name.second))
            continue;
        words = false;
        problems.append(problem(StationProblem::SpacedModuleName, module.name,
                                QLatin1String(name.first), *name.second));
    }
    return words;
}

// value with its white space other than the blank, and its control
// characters, written out as escapes: a tab, a line break or a terminal's
// escape sequence in a station file must show as what it is, not act.
QString visible(const QString &value)
{
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char(' ') || (!c.isSpace() && c.category() != QChar::Other_Control))
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace

QString StationProblem::text() const
{
    switch (kind) {
    case MissingFile:
        return QStringLiteral("configuration file [%1] does not exist; built-in defaults are in "
                              "use")
            .arg(value);
    case UnreadableFile:
        return QStringLiteral("configuration file [%1] cannot be read; built-in defaults are in "
                              "use")
            .arg(value);
    case UnknownKey:
        if (section.isEmpty())
            return QStringLiteral("unknown key [%1] at the top level").arg(key);
        return QStringLiteral("unknown key [%1] in section [%2]").arg(key, section);
    case MissingHv:
        return QStringLiteral("ion chamber [%1]: no HV module with id [%2]").arg(section, value);
    case MissingAmp:
        return QStringLiteral("ion chamber [%1]: no amplifier with id [%2]").arg(section, value);
    case MissingTable:
        return QStringLiteral("amplifier [%1]: no %2 named [%3]; its selector stays empty")
            .arg(section, key, value);
    case UnreadableSuppressionTable:
        return QStringLiteral("amplifier [%1]: the current suppression table [%2] cannot be read")
            .arg(section, value);
    case MissingKeyFile:
        return QStringLiteral("key file: neither [%1.key] nor [:%2.key] can be opened")
            .arg(value, section);
    case BadPort:
        return QStringLiteral("Tesra Port [%1] is not a port number from 1 to 65535").arg(value);
    case SpacedModuleName:
        return QStringLiteral("module [%1]: %2 [%3] holds white space or a control character, "
                              "which would reshape its lines; the module is not built")
            .arg(section, key, visible(value));
    case SpacedClientName:
        return QStringLiteral("Name on Tesra [%1] holds white space or a control character, "
                              "which would reshape every line; no connection is made")
            .arg(visible(value));
    case BadAlarmSetting:
        return QStringLiteral("%1 [%2] cannot be used; the default is in use").arg(key, value);
    case UnknownAlarmCondition:
        return QStringLiteral("module [%1]: Alarms names [%2], which is no alarm condition of "
                              "this module; it is left out")
            .arg(section, value);
    }
    return QString();
}

Station Station::read(const QString &path)
{
    Station station;
    station.path = path;

    const QFileInfo info(path);
    if (!info.exists())
        station.fileState = FileMissing;
    else if (!info.isFile() || !info.isReadable())
        station.fileState = FileUnreadable;

    const QSettings settings(path, QSettings::IniFormat);
    KeyReader reader(settings);
    if (station.fileState == FileReadable && reader.formatError())
        station.fileState = FileUnreadable;
    if (station.fileState == FileMissing)
        station.problems.append(problem(StationProblem::MissingFile, {}, {}, path));
    else if (station.fileState == FileUnreadable)
        station.problems.append(problem(StationProblem::UnreadableFile, {}, {}, path));

    station.serverAddress =
        reader.text(QStringLiteral("Tesra IP"), QString::fromLatin1(Config::DefaultServerAddress));
    station.serverPort =
        reader.text(QStringLiteral("Tesra Port"), QString::fromLatin1(Config::DefaultServerPort));
    station.clientName = reader.text(QStringLiteral("Name on Tesra"),
                                     QString::fromLatin1(Config::DefaultClientName));
    station.keyFile =
        reader.text(QStringLiteral("Key File"), QString::fromLatin1(Config::DefaultKeyFile));
    if (!SMsg::isWord(station.clientName))
        station.problems.append(problem(StationProblem::SpacedClientName, {},
                                        QStringLiteral("Name on Tesra"), station.clientName));
    station.reconnectIntervalMs = Config::reconnectIntervalMs(
        reader.text(QStringLiteral("Reconnect Interval"), QStringLiteral("0")));
    station.deadLinkTimeoutMs = Config::timeoutMs(reader.text(QStringLiteral("Dead Link Timeout")),
                                                  LinkDeadlines::DefaultMs);
    station.answerTimeoutMs =
        Config::timeoutMs(reader.text(QStringLiteral("Answer Timeout")), AnswerWatch::DefaultMs);

    station.readOnly = reader.flag(QStringLiteral("Read Only"), false);
    station.commandLog = reader.text(QStringLiteral("Command Log"));
    station.historyFile = reader.text(QStringLiteral("History File"));
    station.historyDatabase = reader.text(QStringLiteral("History Database"));
    station.historyDays = Config::historyDays(reader.text(QStringLiteral("History Days")));
    station.historyQueue = Config::historyQueue(reader.text(QStringLiteral("History Queue")));
    station.stationName = reader.text(QStringLiteral("Station Name")).trimmed();
    if (station.stationName.isEmpty())
        station.stationName = QFileInfo(path).completeBaseName();
    readAlarmSettings(reader, station);

    readTableList(reader, QStringLiteral("TCTables"), station.tcTableNames, station.tcTables);
    readTableList(reader, QStringLiteral("RangeTables"), station.rangeTableNames,
                  station.rangeTables);

    const QStringList hvNames = reader.list(QStringLiteral("HV Module Names"));
    for (int i = 0; i < hvNames.size(); ++i) {
        const QString &name = hvNames.at(i);
        StationHv hv;
        readModule(reader, hv, name, i, AlarmConditions::ModuleKind::Hv, station.problems);
        const bool sound = namesAreWords(hv, station.problems);
        hv.voltages = reader.list(reader.key(name, "Default Voltage"));
        hv.select = reader.text(reader.key(name, "Default Select"));
        hv.voltageEditable = reader.flag(reader.key(name, "Voltage Editable"), true);
        hv.tolerance = Config::tolerance(
            reader.text(reader.key(name, "Voltage Tolerance"), QStringLiteral("0")));
        // Left out once all of its keys are read, so that none of them
        // counts as unknown; it keeps its place in the list for the default
        // placement of the modules after it.
        if (sound)
            station.hvModules.append(hv);
    }

    const QStringList ampNames = reader.list(QStringLiteral("AMP Module Names"));
    for (int i = 0; i < ampNames.size(); ++i) {
        const QString &name = ampNames.at(i);
        StationAmp amp;
        readModule(reader, amp, name, i, AlarmConditions::ModuleKind::Amplifier, station.problems);
        const bool sound = namesAreWords(amp, station.problems);
        amp.tcTableName = reader.text(reader.key(name, "TC Table"));
        amp.rangeTableName = reader.text(reader.key(name, "Range Table"));
        amp.tcTableFound =
            lookUpTable(station.tcTableNames, station.tcTables, amp.tcTableName, amp.tcTable);
        amp.rangeTableFound = lookUpTable(station.rangeTableNames, station.rangeTables,
                                          amp.rangeTableName, amp.rangeTable);
        // An absent table key is the quiet default; a name no list holds is not.
        if (!amp.tcTableFound && !amp.tcTableName.isEmpty())
            station.problems.append(problem(StationProblem::MissingTable, name,
                                            QStringLiteral("TC Table"), amp.tcTableName));
        if (!amp.rangeTableFound && !amp.rangeTableName.isEmpty())
            station.problems.append(problem(StationProblem::MissingTable, name,
                                            QStringLiteral("Range Table"), amp.rangeTableName));
        amp.csprFile = reader.text(reader.key(name, "Current Surpression Table"));
        amp.pollErrors = reader.flag(reader.key(name, "Poll Errors"), false);
        if (sound)
            station.ampModules.append(amp);
    }

    const QStringList chamberNames = reader.list(QStringLiteral("IC Module Names"));
    for (int i = 0; i < chamberNames.size(); ++i) {
        const QString &name = chamberNames.at(i);
        StationChamber chamber;
        chamber.name = name;
        chamber.hvId = reader.text(reader.key(name, "HV Unit id"));
        chamber.ampId = reader.text(reader.key(name, "AMP Unit id"));
        chamber.namePlace =
            Config::namePlacement(reader.list(reader.key(name, "Position of Name")));
        chamber.place =
            Config::chamberPlacement(reader.list(reader.key(name, "Position in Window")), i);
        chamber.hvIndex = findModule(station.hvModules, chamber.hvId);
        chamber.ampIndex = findModule(station.ampModules, chamber.ampId);
        if (chamber.hvIndex < 0)
            station.problems.append(problem(StationProblem::MissingHv, name, {}, chamber.hvId));
        if (chamber.ampIndex < 0)
            station.problems.append(problem(StationProblem::MissingAmp, name, {}, chamber.ampId));
        station.chambers.append(chamber);
    }

    for (const QString &k : reader.unaskedKeys()) {
        const int slash = k.lastIndexOf(QLatin1Char('/'));
        station.problems.append(problem(StationProblem::UnknownKey,
                                        slash < 0 ? QString() : k.left(slash), k.mid(slash + 1)));
    }
    return station;
}

QVector<StationProblem> Station::check() const
{
    QVector<StationProblem> found = problems;

    // The client's two places for its key file: on disk, then in the
    // program's resources under the client's name.
    const bool keyOnDisk = !keyFile.isEmpty() && QFile::exists(keyFile + QStringLiteral(".key"));
    if (!keyOnDisk && !QFile::exists(QLatin1Char(':') + clientName + QStringLiteral(".key")))
        found.append(problem(StationProblem::MissingKeyFile, clientName, {}, keyFile));

    for (const StationAmp &amp : ampModules) {
        // An empty file name is the setting for "no table".
        if (amp.csprFile.isEmpty())
            continue;
        if (!CSprTable::canLoad(amp.csprFile))
            found.append(problem(StationProblem::UnreadableSuppressionTable, amp.name,
                                 QStringLiteral("Current Surpression Table"), amp.csprFile));
    }

    if (Values::toPort(serverPort) == 0)
        found.append(
            problem(StationProblem::BadPort, {}, QStringLiteral("Tesra Port"), serverPort));
    return found;
}

int Station::count(StationProblem::Kind kind) const
{
    int n = 0;
    for (const StationProblem &p : problems) {
        if (p.kind == kind)
            n++;
    }
    return n;
}
