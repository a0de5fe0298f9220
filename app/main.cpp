// SPDX-License-Identifier: GPL-3.0-or-later
// The process entry: style, language, command line, then the main window and
// the event loop. Everything else happens inside the window's construction.
// Some switches end the program by themselves: --help, --version,
// --check-config and the snapshot runs for scripts without any window (they
// need no display), --screenshot once the window has been pictured.

#include "app/StartUp.h"
#include "client/Tesra.h"
#include "devices/SnapshotRun.h"
#include "devices/StationDevices.h"
#include "station/Station.h"
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

SnapshotRun::Command snapshotCommand(StartUp::Options::Snapshot run)
{
    switch (run) {
    case StartUp::Options::Snapshot::Compare:
        return SnapshotRun::Command::Compare;
    case StartUp::Options::Snapshot::Restore:
        return SnapshotRun::Command::Restore;
    default:
        break;
    }
    return SnapshotRun::Command::Save;
}

// Under a comparison or a restore, status 1 means differences; a run that
// cannot even begin (no key file) says 2, as for a snapshot that cannot be
// read.
void setMissingKeyFileStatus(const StartUp::Options &options)
{
    if (options.snapshot == StartUp::Options::Snapshot::Compare ||
        options.snapshot == StartUp::Options::Snapshot::Restore)
        Tesra::setMissingKeyFileStatus(SnapshotRun::CannotRunStatus);
}

// A snapshot run for a script: the station's devices and their client
// alone, no window and no history. Runs the event loop of whatever
// application object exists.
int runSnapshot(const StartUp::Options &options)
{
    setMissingKeyFileStatus(options);
    StationDevices devices(Station::read(options.configPath), options.readOnly);
    SnapshotRun run(devices);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QObject::connect(&run, &SnapshotRun::commandFinished, QCoreApplication::instance(),
                     &QCoreApplication::exit);
    devices.connectToServer();
    run.runCommand(snapshotCommand(options.snapshot), options.snapshotFile, out, err);
    return QCoreApplication::exec();
}

bool scriptRun(const StartUp::Options &options)
{
    return options.snapshot != StartUp::Options::Snapshot::None && options.screenshotFile.isEmpty();
}

// The snapshot runs need no display either: they run on a plain application
// object, in the interface's language like the window.
int snapshotOnly(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTranslator translator;
    StartUp::installLanguage(app, translator,
                             StartUp::japaneseRequested(QCoreApplication::arguments()));
    const StartUp::Options options = StartUp::parseCommandLine(QCoreApplication::arguments());
    if (options.action == StartUp::Options::Action::Error)
        return commandLineError(QCoreApplication::arguments(), options.error);
    return runSnapshot(options);
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
    if (early.action == StartUp::Options::Action::Run && scriptRun(early))
        return snapshotOnly(argc, argv);
    // A picture needs no screen: without a display, Qt draws off screen.
    if (StartUp::optionGiven(argc, argv, "screenshot") && !StartUp::windowSystemNamed(argc, argv))
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
    // Qt's own arguments named a window system: a run for a script still
    // builds no window. With --screenshot, a comparison is pictured instead,
    // its table open in the window.
    if (scriptRun(options))
        return runSnapshot(options);
    setMissingKeyFileStatus(options);
    Body window(options.configPath, options.readOnly);
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
