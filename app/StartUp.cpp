#include "app/StartUp.h"

#include "client/Logging.h"
#include "station/Config.h"
#include "station/Station.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTranslator>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

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

bool installLanguage(QCoreApplication &app, QTranslator &translator, bool japanese)
{
    bool installed = false;
    if (japanese &&
        translator.load(QStringLiteral(":Brenlow_ja_JP"), QCoreApplication::applicationDirPath()))
        installed = app.installTranslator(&translator);
    qCDebug(lcWindow).noquote() << "interface language:" << (installed ? "Japanese" : "English");
    return installed;
}

Options parseCommandLine(const QCoreApplication &app)
{
    QCommandLineParser parser;
    const QCommandLineOption configOption({QStringLiteral("c"), QStringLiteral("config")},
                                          QStringLiteral("Select config file of ini format."),
                                          QStringLiteral("file name"),
                                          QString::fromLatin1(Config::DefaultConfigFile));
    const QCommandLineOption japaneseOption(QStringLiteral("j"),
                                            QStringLiteral("Japanese interface."));
    const QCommandLineOption englishOption(QStringLiteral("e"),
                                           QStringLiteral("English interface."));
    const QCommandLineOption readOnlyOption(
        QStringLiteral("read-only"),
        QStringLiteral("Monitor only: send no command to any device."));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Write a PNG picture of the window to the file, then end."),
        QStringLiteral("file"));
    const QCommandLineOption checkOption(
        QStringLiteral("check-config"),
        QStringLiteral("Check the configuration file, print its problems and end."));
    parser.addOption(configOption);
    parser.addOption(japaneseOption);
    parser.addOption(englishOption);
    parser.addOption(readOnlyOption);
    parser.addOption(screenshotOption);
    const QCommandLineOption saveSnapshotOption(
        QString::fromLatin1(SnapshotOptionNames[0]),
        QStringLiteral("Write the station's settings to the snapshot file, then end (0: every "
                       "value answered, 2: some are null, 1: not written or no link)."),
        QStringLiteral("file"));
    const QCommandLineOption compareSnapshotOption(
        QString::fromLatin1(SnapshotOptionNames[1]),
        QStringLiteral("Print how the station differs from the snapshot file, then end (0: no "
                       "difference, 1: differences, 2: unreadable file or no link)."),
        QStringLiteral("file"));
    const QCommandLineOption restoreSnapshotOption(
        QString::fromLatin1(SnapshotOptionNames[2]),
        QStringLiteral("Put the snapshot file's amplifier settings back, then end (0: all read "
                       "back, 1: otherwise, 2: unreadable file); HV modules are sent nothing."),
        QStringLiteral("file"));
    parser.addOption(checkOption);
    parser.addOption(saveSnapshotOption);
    parser.addOption(compareSnapshotOption);
    parser.addOption(restoreSnapshotOption);
    parser.process(app.arguments());

    Options options;
    options.configPath = parser.value(configOption);
    options.readOnly = parser.isSet(readOnlyOption);
    options.checkConfig = parser.isSet(checkOption);
    options.screenshotFile = parser.value(screenshotOption);
    const std::array<std::pair<const QCommandLineOption *, Options::Snapshot>, 3> snapshotRuns = {
        {{&saveSnapshotOption, Options::Snapshot::Save},
         {&compareSnapshotOption, Options::Snapshot::Compare},
         {&restoreSnapshotOption, Options::Snapshot::Restore}}};
    for (const auto &run : snapshotRuns) {
        if (!parser.isSet(*run.first))
            continue;
        if (options.snapshot != Options::Snapshot::None) {
            // As the parser reports its own errors.
            std::fputs("brenlow: give only one of --save-snapshot, --compare-snapshot and "
                       "--restore-snapshot\n",
                       stderr);
            std::exit(1);
        }
        options.snapshot = run.second;
        options.snapshotFile = parser.value(*run.first);
    }
    return options;
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
