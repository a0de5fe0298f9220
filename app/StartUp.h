// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QTextStream;
class QTranslator;

// The translation context of the command line's own texts: the help that
// --help prints, one line per switch, in the interface's language.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

// The steps of the program's start, kept apart from the entry so that tests
// can run them: the language, the command line and the configuration check.
namespace StartUp {

// What the command line asks for.
struct Options
{
    // What the program does: its window, or one of the answers that need
    // none and end it.
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    // The parser's message, for Error.
    QString error;
    QString configPath;
    bool readOnly = false;
    bool checkConfig = false;
    // Where to write a picture of the window before ending; empty for none.
    QString screenshotFile;
    // Open the trends window at start (and picture it instead of the main
    // window).
    bool trends = false;
    // A snapshot run for scripts: save, compare or restore with the file.
    enum class Snapshot { None, Save, Compare, Restore };
    Snapshot snapshot = Snapshot::None;
    QString snapshotFile;
};

// The long names of the snapshot runs' options.
extern const char *const SnapshotOptionNames[3];

// Runs the program's command-line parser over the arguments (the program's
// name first). An unknown option or a missing value gives the Error action
// with the parser's message. The parser takes the switches of one table,
// which the help text is made from as well.
Options parseCommandLine(const QStringList &arguments);

// The arguments of main as texts, before any application object exists.
QStringList arguments(int argc, char **argv);

// The help: the usage line, one line per switch, the configuration default
// and where the manual is; in the language of the installed catalogue.
QString helpText();
// "brenlow VERSION" and the Qt version the program runs with.
QString versionText();
// What a command-line error prints on standard error: the parser's message
// after the program's name, and where to look for the switches.
QString errorReport(const QString &program, const QString &error);

// Whether a window system is named for the program: by the environment
// (DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM) or by Qt's own -platform
// argument. Without one, a windowed application cannot even be created.
bool windowSystemNamed(int argc, char **argv);

// Whether the raw arguments hold the long option name ("--name" or
// "--name=value"), for the decisions that must be taken before the
// application object exists.
bool optionGiven(int argc, char **argv, const char *name);

// Reads the station file at path by the window's rules and writes every
// problem to out, one line each, then a summary. Returns 1 when there was
// any, 0 otherwise. Connects to nothing.
int checkConfig(const QString &path, QTextStream &out);

// Scans the raw arguments after the program name: "-j" asks for Japanese,
// "-e" for English, the last one given wins; Japanese when neither is given.
bool japaneseRequested(const QStringList &arguments);

// Loads the embedded Japanese catalogue into translator; false when it cannot.
bool loadCatalogue(QTranslator &translator);

// Loads the embedded Japanese catalogue into translator and installs it on
// app when japanese is set. Returns whether a catalogue was installed; a
// catalogue that cannot be loaded leaves the English texts.
bool installLanguage(QCoreApplication &app, QTranslator &translator, bool japanese);

} // namespace StartUp
