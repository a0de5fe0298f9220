// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What every fuzz target shares: the Qt application object some Qt classes
// expect, a quiet debug log (a finding is a crash or a failed check, never a
// log line), a scratch directory for targets that must go through files, and
// the check that stops a run on a broken property.
namespace FuzzSupport {

// Creates the application object and the scratch directory once. The
// support library's LLVMFuzzerInitialize calls it for every target.
void init();

// A file path inside the scratch directory.
QString scratchPath(const QString &name);

// Writes bytes to path, replacing what was there; false when that fails.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Stops the run with the message when ok is false, so that libFuzzer keeps
// the input that broke the property.
void check(bool ok, const char *what);

} // namespace FuzzSupport
