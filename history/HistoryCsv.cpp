// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryCsv.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>

namespace HistoryCsv {

namespace {

// What a spreadsheet takes for the start of a formula. Some drop a leading
// tab or carriage return as they read a cell and find a formula behind it.
bool startsFormula(const QString &text)
{
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return true;
    default:
        return false;
    }
}

// A number as the devices write it (-500, -5e-10): a spreadsheet reads it as
// the number it is, and an apostrophe would make it text.
bool plainNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

QString neutralised(const QString &text)
{
    // A value arrives from whichever client of the server sent it; opened in
    // a spreadsheet, "=HYPERLINK(...)" or "@SUM(...)" would run as a formula.
    // The leading apostrophe keeps it text, as a spreadsheet's own escape.
    if (startsFormula(text) && !plainNumber(text))
        return QLatin1Char('\'') + text;
    return text;
}

} // namespace

QString field(const QString &raw)
{
    QString text = neutralised(raw);
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString time(qint64 t)
{
    return QDateTime::fromMSecsSinceEpoch(t, Qt::UTC).toString(Qt::ISODateWithMs);
}

QByteArray write(const QVector<History::Row> &rows)
{
    const QLatin1String end("\r\n");
    QString out = QStringLiteral("time,module,node,quantity,value") + end;
    for (const History::Row &row : rows) {
        out += time(row.t) + QLatin1Char(',') + field(row.module) + QLatin1Char(',') +
               field(row.node) + QLatin1Char(',') + History::quantityName(row.quantity) +
               QLatin1Char(',') + field(row.value) + end;
    }
    return out.toUtf8();
}

} // namespace HistoryCsv
