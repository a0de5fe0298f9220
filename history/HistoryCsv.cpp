// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryCsv.h"

#include <QDateTime>
#include <QStringList>

namespace HistoryCsv {

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
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
