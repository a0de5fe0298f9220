// The process entry: style, language, command line, then the main window and
// the event loop. Everything else happens inside the window's construction.
// Some switches end the program by themselves: --check-config before any
// window exists, --screenshot once the window has been pictured, and the
// snapshot runs for scripts once they are done, without showing the window.

#include "app/StartUp.h"
#include "window/Body.h"
#include "window/SnapshotTool.h"
#include "window/WindowShot.h"

#include <QApplication>
#include <QTextStream>
#include <QTranslator>

namespace {

// The configuration check needs no window and no display: it runs on a
// plain application object and never builds the window or its client.
int checkConfig(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const StartUp::Options options = StartUp::parseCommandLine(app);
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
    if (StartUp::optionGiven(argc, argv, "check-config"))
        return checkConfig(argc, argv);
    // A picture and a snapshot run need no screen: without a display, Qt
    // draws off screen.
    if ((StartUp::optionGiven(argc, argv, "screenshot") || snapshotRunGiven(argc, argv)) &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
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

    const StartUp::Options options = StartUp::parseCommandLine(app);
    Body window(options.configPath, options.readOnly);
    const bool snapshotRun = options.snapshot != StartUp::Options::Snapshot::None;
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
    if (options.snapshot == StartUp::Options::Snapshot::Compare)
        window.snapshotTool()->showComparison(options.snapshotFile);
    if (!options.screenshotFile.isEmpty())
        new WindowShot(&window, window.tesra(), options.screenshotFile, &window);
    return app.exec();
}
