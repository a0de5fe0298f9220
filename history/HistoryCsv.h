// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/History.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The history as a comma-separated file (RFC 4180): a header line, then one
// line per sample with its time in ISO 8601 (UTC, milliseconds), the
// module's section name, its node, the quantity and the value as received.
// Lines end in CR LF; a field that holds a comma, a double quote or a line
// break is quoted, its quotes doubled. A text field that a spreadsheet would
// evaluate (one starting with =, +, -, @, a tab or a carriage return, other
// than a plain number such as -500) gets a leading apostrophe. The text is
// UTF-8.
namespace HistoryCsv {

// One text field as it is written: with its apostrophe when a spreadsheet
// would evaluate it, then quoted when needed.
QString field(const QString &text);
QString time(qint64 t);
QByteArray write(const QVector<History::Row> &rows);

} // namespace HistoryCsv
