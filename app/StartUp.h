#pragma once

#include <QStringList>

class QCoreApplication;
class QTranslator;

// The language steps of the program's start, kept apart from the entry so
// that tests can run them.
namespace StartUp {

// Scans the raw arguments after the program name: "-j" asks for Japanese,
// "-e" for English, the last one given wins; Japanese when neither is given.
bool japaneseRequested(const QStringList &arguments);

// Loads the embedded Japanese catalogue into translator and installs it on
// app when japanese is set. Returns whether a catalogue was installed; a
// catalogue that cannot be loaded leaves the English texts.
bool installLanguage(QCoreApplication &app, QTranslator &translator, bool japanese);

} // namespace StartUp
