#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;
class QTextStream;
class QTranslator;

// The steps of the program's start, kept apart from the entry so that tests
// can run them: the language, the command line and the configuration check.
namespace StartUp {

// What the command line asks for.
struct Options
{
    QString configPath;
    bool readOnly = false;
    bool checkConfig = false;
    // Where to write a picture of the window before ending; empty for none.
    QString screenshotFile;
    // A snapshot run for scripts: save, compare or restore with the file.
    enum class Snapshot { None, Save, Compare, Restore };
    Snapshot snapshot = Snapshot::None;
    QString snapshotFile;
};

// The long names of the snapshot runs' options, for the decisions taken
// before the application object exists.
extern const char *const SnapshotOptionNames[3];

// Runs the program's command-line parser over the application's arguments.
// An unknown option or a missing value is reported by the parser and ends the
// process with status 1.
Options parseCommandLine(const QCoreApplication &app);

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

// Loads the embedded Japanese catalogue into translator and installs it on
// app when japanese is set. Returns whether a catalogue was installed; a
// catalogue that cannot be loaded leaves the English texts.
bool installLanguage(QCoreApplication &app, QTranslator &translator, bool japanese);

} // namespace StartUp
