// The process entry: style, language, command line, then the main window and
// the event loop. Everything else happens inside the window's construction.
// Two switches end the program by themselves: --check-config before any
// window exists, --screenshot once the window has been pictured.

#include "app/StartUp.h"
#include "window/Body.h"
#include "window/HistoryView.h"
#include "window/TrendsWindow.h"
#include "window/WindowShot.h"

#include <QApplication>
#include <QTextStream>
#include <QTranslator>

namespace {

// The trends window's picture waits for a stretch of curve to show.
constexpr int TrendsShotAfterReadyMs = 25000;

// The configuration check needs no window and no display: it runs on a
// plain application object and never builds the window or its client.
int checkConfig(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const StartUp::Options options = StartUp::parseCommandLine(app);
    QTextStream out(stdout);
    return StartUp::checkConfig(options.configPath, out);
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
    // A picture needs no screen: without a display, Qt draws off screen.
    if (StartUp::optionGiven(argc, argv, "screenshot") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
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
    window.show();
    QWidget *pictured = &window;
    if (options.trends) {
        TrendsWindow *trends = window.history()->trends();
        trends->show();
        pictured = trends;
    }
    if (!options.screenshotFile.isEmpty())
        new WindowShot(pictured, window.tesra(), options.screenshotFile, &window,
                       options.trends ? TrendsShotAfterReadyMs : WindowShot::AfterReadyMs);
    return app.exec();
}
