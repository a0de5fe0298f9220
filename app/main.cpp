// SPDX-License-Identifier: GPL-3.0-or-later
// The process entry: style, language, command line, then the main window and
// the event loop. Everything else happens inside the window's construction.
// Some switches end the program by themselves: --help, --version and
// --check-config before any window exists, --screenshot once the window has
// been pictured, and the snapshot runs for scripts once they are done,
// without showing the window.

#include "app/StartUp.h"
#include "client/Tesra.h"
#include "window/Body.h"
#include "window/HistoryView.h"
#include "window/SnapshotTool.h"
#include "window/TrendsWindow.h"
#include "window/WindowShot.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextStream>
#include <QTranslator>
#include <cstdio>

namespace {

void write(std::FILE *stream, const QString &text)
{
    // UTF-8 whatever the locale says, so that the Japanese help reads the same
    // under Qt 5 and Qt 6.
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// The parser's message after the program's name, as a parser writes it.
int commandLineError(const QStringList &arguments, const QString &error)
{
    write(stderr, StartUp::errorReport(QFileInfo(arguments.value(0)).fileName(), error));
    return 1;
}

// Help and version touch no window system: they run on a plain application
// object, which the catalogue needs to be installed on.
int explain(int argc, char *argv[], StartUp::Options::Action action)
{
    QCoreApplication app(argc, argv);
    QTranslator translator;
    if (StartUp::japaneseRequested(QCoreApplication::arguments()) &&
        StartUp::loadCatalogue(translator))
        QCoreApplication::installTranslator(&translator);
    write(stdout,
          action == StartUp::Options::Action::Help ? StartUp::helpText() : StartUp::versionText());
    return 0;
}

// The trends window's picture waits for a stretch of curve to show.
constexpr int TrendsShotAfterReadyMs = 25000;

// The configuration check needs no window and no display: it runs on a
// plain application object and never builds the window or its client.
int checkConfig(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const StartUp::Options options = StartUp::parseCommandLine(QCoreApplication::arguments());
    if (options.action == StartUp::Options::Action::Error)
        return commandLineError(QCoreApplication::arguments(), options.error);
    QTextStream out(stdout);
    return StartUp::checkConfig(options.configPath, out);
}

bool snapshotRunGiven(int argc, char *argv[])
{
    for (const char *name : StartUp::SnapshotOptionNames) {
        if (StartUp::optionGiven(argc, argv, name))
            return true;
    }
    return false;
}

SnapshotTool::Command snapshotCommand(StartUp::Options::Snapshot run)
{
    switch (run) {
    case StartUp::Options::Snapshot::Compare:
        return SnapshotTool::Command::Compare;
    case StartUp::Options::Snapshot::Restore:
        return SnapshotTool::Command::Restore;
    default:
        break;
    }
    return SnapshotTool::Command::Save;
}

} // namespace

int main(int argc, char *argv[])
{
    // The program's debug lines read as they always have, without their
    // category in front; QT_MESSAGE_PATTERN, which takes precedence, can show
    // it (for example "%{category}: %{message}").
    qSetMessagePattern(QStringLiteral("%{message}"));

    // The command line is read once before any application object exists, so
    // that help, the version and a command line that will not do are answered
    // without a display. Qt's own arguments (-platform, -style, ...) are
    // taken out only by the windowed application: where a window system is
    // named they may be what the parser did not know, and the command line is
    // judged again once the application has taken them.
    const QStringList rawArguments = StartUp::arguments(argc, argv);
    const StartUp::Options early = StartUp::parseCommandLine(rawArguments);
    if (early.action == StartUp::Options::Action::Help ||
        early.action == StartUp::Options::Action::Version)
        return explain(argc, argv, early.action);
    if (early.action == StartUp::Options::Action::Error && !StartUp::windowSystemNamed(argc, argv))
        return commandLineError(rawArguments, early.error);

    if (StartUp::optionGiven(argc, argv, "check-config"))
        return checkConfig(argc, argv);
    // A picture and a snapshot run need no screen: without a display, Qt
    // draws off screen.
    if ((StartUp::optionGiven(argc, argv, "screenshot") || snapshotRunGiven(argc, argv)) &&
        !StartUp::windowSystemNamed(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("fusion"));
    // Lets the desktop match the window to the installed menu entry and its
    // icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("brenlow"));

    // The switches are applied before the parser runs, so the catalogue is in
    // place before any text is built.
    const bool japanese = StartUp::japaneseRequested(QCoreApplication::arguments());
    QTranslator translator;
    StartUp::installLanguage(app, translator, japanese);

    const StartUp::Options options = StartUp::parseCommandLine(QCoreApplication::arguments());
    switch (options.action) {
    case StartUp::Options::Action::Error:
        return commandLineError(QCoreApplication::arguments(), options.error);
    case StartUp::Options::Action::Help:
        write(stdout, StartUp::helpText());
        return 0;
    case StartUp::Options::Action::Version:
        write(stdout, StartUp::versionText());
        return 0;
    case StartUp::Options::Action::Run:
        break;
    }
    const bool snapshotRun = options.snapshot != StartUp::Options::Snapshot::None;
    // Under a comparison or a restore, status 1 means differences; a run
    // that cannot even begin says 2, as for a snapshot that cannot be read.
    if (snapshotRun && options.snapshot != StartUp::Options::Snapshot::Save)
        Tesra::setMissingKeyFileStatus(SnapshotTool::CannotRunStatus);
    Body window(options.configPath, options.readOnly);
    // A run for a script shows no window; with --screenshot, a comparison is
    // pictured instead, its table open in the window.
    if (snapshotRun && options.screenshotFile.isEmpty()) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        QObject::connect(window.snapshotTool(), &SnapshotTool::commandFinished, &app,
                         &QCoreApplication::exit);
        window.snapshotTool()->runCommand(snapshotCommand(options.snapshot), options.snapshotFile,
                                          out, err);
        return app.exec();
    }
    window.show();
    QWidget *pictured = &window;
    if (options.trends) {
        TrendsWindow *trends = window.history()->trends();
        trends->show();
        pictured = trends;
    }
    if (options.snapshot == StartUp::Options::Snapshot::Compare)
        window.snapshotTool()->showComparison(options.snapshotFile);
    if (!options.screenshotFile.isEmpty())
        new WindowShot(pictured, window.tesra(), options.screenshotFile, &window,
                       options.trends ? TrendsShotAfterReadyMs : WindowShot::AfterReadyMs);
    return app.exec();
}
