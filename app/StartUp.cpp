#include "app/StartUp.h"

#include "client/Logging.h"
#include "station/Config.h"
#include "station/Station.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTranslator>
#include <cstring>

namespace StartUp {

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
    const QCommandLineOption trendsOption(
        QStringLiteral("trends"),
        QStringLiteral("Open the trends window at start; with --screenshot, picture it a "
                       "while after the link is ready."));
    const QCommandLineOption checkOption(
        QStringLiteral("check-config"),
        QStringLiteral("Check the configuration file, print its problems and end."));
    parser.addOption(configOption);
    parser.addOption(japaneseOption);
    parser.addOption(englishOption);
    parser.addOption(readOnlyOption);
    parser.addOption(screenshotOption);
    parser.addOption(trendsOption);
    parser.addOption(checkOption);
    parser.process(app.arguments());

    Options options;
    options.configPath = parser.value(configOption);
    options.readOnly = parser.isSet(readOnlyOption);
    options.checkConfig = parser.isSet(checkOption);
    options.screenshotFile = parser.value(screenshotOption);
    options.trends = parser.isSet(trendsOption);
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
