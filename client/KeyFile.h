// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QIODevice;

// The key file format shared by the client and the station simulator: key
// words separated by any white space (blanks, tabs, line ends), in file
// order, read in the platform's default text encoding. No header, comments
// or count.
namespace KeyFile {

QStringList readWords(QIODevice &device);

// The key word that a challenge number selects: word number modulo the word
// count; the empty text when there are no words or the number is negative.
QString pick(const QStringList &words, qint32 number);

// Whether others than its owner may read or write the file at path. The
// key words are the station's password: a key file must be as private as
// any other secret. Always false where the system has no such permissions.
bool openToOthers(const QString &path);

} // namespace KeyFile
