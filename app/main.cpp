// The process entry: style, language, command line, then the main window and
// the event loop. Everything else happens inside the window's construction.

#include "app/Config.h"
#include "app/StartUp.h"
#include "window/Body.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // The program's debug lines read as they always have, without their
    // category in front; QT_MESSAGE_PATTERN, which takes precedence, can show
    // it (for example "%{category}: %{message}").
    qSetMessagePattern(QStringLiteral("%{message}"));
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("fusion"));

    // The switches are applied before the parser runs, so the catalogue is in
    // place before any text is built.
    const bool japanese = StartUp::japaneseRequested(QCoreApplication::arguments());
    QTranslator translator;
    StartUp::installLanguage(app, translator, japanese);

    QCommandLineParser parser;
    QCommandLineOption configOption({QStringLiteral("c"), QStringLiteral("config")},
                                    QStringLiteral("Select config file of ini format."),
                                    QStringLiteral("file name"),
                                    QString::fromLatin1(Config::DefaultConfigFile));
    QCommandLineOption japaneseOption(QStringLiteral("j"), QStringLiteral("Japanese interface."));
    QCommandLineOption englishOption(QStringLiteral("e"), QStringLiteral("English interface."));
    parser.addOption(configOption);
    parser.addOption(japaneseOption);
    parser.addOption(englishOption);
    parser.process(app);

    Body window(parser.value(configOption));
    window.show();
    return app.exec();
}
