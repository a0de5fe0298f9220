// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartUp.h"

#include "client/Logging.h"
#include "station/Config.h"
#include "station/Station.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTranslator>
#include <QVector>
#include <cstring>

namespace StartUp {

const char *const SnapshotOptionNames[3] = {"save-snapshot", "compare-snapshot",
                                            "restore-snapshot"};

bool japaneseRequested(const QStringList &arguments)
{
    bool japanese = true;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("-j"))
            japanese = true;
        else if (arguments.at(i) == QLatin1String("-e"))
            japanese = false;
    }
    return japanese;
}

bool loadCatalogue(QTranslator &translator)
{
    return translator.load(QStringLiteral(":Brenlow_ja_JP"),
                           QCoreApplication::applicationDirPath());
}

bool installLanguage(QCoreApplication &app, QTranslator &translator, bool japanese)
{
    bool installed = false;
    if (japanese && loadCatalogue(translator))
        installed = app.installTranslator(&translator);
    qCDebug(lcWindow).noquote() << "interface language:" << (installed ? "Japanese" : "English");
    return installed;
}

namespace {

// The program's switches. The parser and the help are both made from this
// table, so a switch added here is accepted and explained at once.
enum class Switch {
    Help,
    Version,
    Config,
    Japanese,
    English,
    ReadOnly,
    Screenshot,
    CheckConfig,
    Trends,
    SaveSnapshot,
    CompareSnapshot,
    RestoreSnapshot
};

struct SwitchRow
{
    Switch id;
    const char *shortName;    // nullptr: none
    const char *longName;     // nullptr: none
    const char *valueName;    // nullptr: the switch takes no value
    const char *defaultValue; // nullptr: none
    const char *description;  // source text of the CommandLine context
};

const SwitchRow Switches[] = {
    {Switch::Help, "h", "help", nullptr, nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Show this help and end.")},
    {Switch::Version, nullptr, "version", nullptr, nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Show the version and end.")},
    {Switch::Config, "c", "config", "file name", Config::DefaultConfigFile,
     QT_TRANSLATE_NOOP("CommandLine", "Select config file of ini format.")},
    {Switch::Japanese, "j", nullptr, nullptr, nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Japanese interface (the default).")},
    {Switch::English, "e", nullptr, nullptr, nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "English interface.")},
    {Switch::ReadOnly, nullptr, "read-only", nullptr, nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Monitor only: send no command to any device.")},
    {Switch::Screenshot, nullptr, "screenshot", "file", nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Write a PNG picture of the window to the file, then end.")},
    {Switch::CheckConfig, nullptr, "check-config", nullptr, nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Check the configuration file, print its problems and end.")},
    {Switch::Trends, nullptr, "trends", nullptr, nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Open the trends window at start; with --screenshot, picture "
                                      "it a while after the link is ready.")},
    {Switch::SaveSnapshot, nullptr, SnapshotOptionNames[0], "file", nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Write the station's settings to the snapshot file, then end "
                                      "(0: every value answered, 2: some are null, 1: not written "
                                      "or no link).")},
    {Switch::CompareSnapshot, nullptr, SnapshotOptionNames[1], "file", nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Print how the station differs from the snapshot file, then "
                                      "end (0: no difference, 1: differences, 2: unreadable file "
                                      "or no link).")},
    {Switch::RestoreSnapshot, nullptr, SnapshotOptionNames[2], "file", nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "Put the snapshot file's amplifier settings back, then end "
                                      "(0: all read back, 1: otherwise, 2: unreadable file); HV "
                                      "modules are sent nothing.")},
};

// The snapshot run each snapshot switch asks for.
Options::Snapshot snapshotRun(Switch id)
{
    switch (id) {
    case Switch::SaveSnapshot:
        return Options::Snapshot::Save;
    case Switch::CompareSnapshot:
        return Options::Snapshot::Compare;
    case Switch::RestoreSnapshot:
        return Options::Snapshot::Restore;
    default:
        break;
    }
    return Options::Snapshot::None;
}

// The name the help, the version and the manual go by.
const char ProgramName[] = "brenlow";

QStringList switchNames(const SwitchRow &row)
{
    QStringList names;
    if (row.shortName)
        names << QString::fromLatin1(row.shortName);
    if (row.longName)
        names << QString::fromLatin1(row.longName);
    return names;
}

QCommandLineOption toOption(const SwitchRow &row)
{
    return QCommandLineOption(switchNames(row), QString::fromLatin1(row.description),
                              QString::fromLatin1(row.valueName),
                              QString::fromLatin1(row.defaultValue));
}

// "-c, --config <file name>"; a switch with a long name only is indented as
// if it had a short one, so that the long names line up.
QString switchColumn(const SwitchRow &row)
{
    QString text = row.shortName ? QStringLiteral("-%1").arg(QLatin1String(row.shortName))
                                 : QStringLiteral("  ");
    if (row.longName) {
        text += row.shortName ? QStringLiteral(", ") : QStringLiteral("  ");
        text += QStringLiteral("--%1").arg(QLatin1String(row.longName));
    }
    if (row.valueName)
        text += QStringLiteral(" <%1>").arg(QLatin1String(row.valueName));
    return text;
}

} // namespace

Options parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    QVector<QCommandLineOption> options;
    for (const SwitchRow &row : Switches) {
        options.append(toOption(row));
        parser.addOption(options.last());
    }

    Options result;
    if (!parser.parse(arguments)) {
        result.action = Options::Action::Error;
        result.error = parser.errorText();
        return result;
    }
    for (int i = 0; i < options.size(); ++i) {
        const QCommandLineOption &option = options.at(i);
        switch (Switches[i].id) {
        case Switch::Help:
            if (parser.isSet(option))
                result.action = Options::Action::Help;
            break;
        case Switch::Version:
            if (parser.isSet(option) && result.action != Options::Action::Help)
                result.action = Options::Action::Version;
            break;
        case Switch::Config:
            result.configPath = parser.value(option);
            break;
        case Switch::Japanese:
        case Switch::English:
            // Taken from the raw arguments before the parser runs (see
            // japaneseRequested); the parser only has to accept them.
            break;
        case Switch::ReadOnly:
            result.readOnly = parser.isSet(option);
            break;
        case Switch::Screenshot:
            result.screenshotFile = parser.value(option);
            break;
        case Switch::CheckConfig:
            result.checkConfig = parser.isSet(option);
            break;
        case Switch::Trends:
            result.trends = parser.isSet(option);
            break;
        case Switch::SaveSnapshot:
        case Switch::CompareSnapshot:
        case Switch::RestoreSnapshot:
            if (!parser.isSet(option))
                break;
            if (result.snapshot != Options::Snapshot::None) {
                result.action = Options::Action::Error;
                result.error = QStringLiteral("give only one of --save-snapshot, "
                                              "--compare-snapshot and --restore-snapshot");
                return result;
            }
            result.snapshot = snapshotRun(Switches[i].id);
            result.snapshotFile = parser.value(option);
            break;
        }
    }
    return result;
}

QStringList arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

QString helpText()
{
    QStringList columns;
    int width = 0;
    for (const SwitchRow &row : Switches) {
        columns << switchColumn(row);
        width = qMax(width, columns.last().size());
    }
    const QString program = QString::fromLatin1(ProgramName);
    QString text = CommandLine::tr("Usage: %1 [options]").arg(program) + QLatin1Char('\n') +
                   CommandLine::tr("Operator panel for the ion chambers of an experimental "
                                   "station.") +
                   QStringLiteral("\n\n") + CommandLine::tr("Options:") + QLatin1Char('\n');
    for (int i = 0; i < columns.size(); ++i)
        text += QStringLiteral("  ") + columns.at(i).leftJustified(width) + QStringLiteral("  ") +
                QCoreApplication::translate("CommandLine", Switches[i].description) +
                QLatin1Char('\n');
    text += QLatin1Char('\n') +
            CommandLine::tr("Without -c the configuration is read from %1 in the working "
                            "directory.")
                .arg(QLatin1String(Config::DefaultConfigFile)) +
            QLatin1Char('\n') + CommandLine::tr("The whole description: man %1").arg(program) +
            QLatin1Char('\n');
    return text;
}

QString versionText()
{
    return QStringLiteral("%1 %2\nQt %3\n")
        .arg(QLatin1String(ProgramName), QStringLiteral(BRENLOW_VERSION),
             QLatin1String(qVersion()));
}

QString errorReport(const QString &program, const QString &error)
{
    return QStringLiteral("%1: %2\nTry '%3 --help'.\n")
        .arg(program, error, QLatin1String(ProgramName));
}

bool windowSystemNamed(int argc, char **argv)
{
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

bool optionGiven(int argc, char **argv, const char *name)
{
    const std::size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strncmp(arg, "--", 2) != 0 || std::strncmp(arg + 2, name, length) != 0)
            continue;
        if (arg[2 + length] == '\0' || arg[2 + length] == '=')
            return true;
    }
    return false;
}

int checkConfig(const QString &path, QTextStream &out)
{
    const QVector<StationProblem> problems = Station::read(path).check();
    for (const StationProblem &problem : problems)
        out << problem.text() << '\n';
    if (problems.isEmpty())
        out << QStringLiteral("%1: no problems found").arg(path) << '\n';
    else
        out << QStringLiteral("%1: %2 problem(s) found").arg(path).arg(problems.size()) << '\n';
    out.flush();
    return problems.isEmpty() ? 0 : 1;
}

} // namespace StartUp
