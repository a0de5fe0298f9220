// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ArchiveTarget.h"

#include <QRegularExpression>
#include <QUrl>

ArchiveTarget ArchiveTarget::sqlite(const QString &path, const QString &stationName)
{
    ArchiveTarget target;
    target.kind = SqliteFile;
    target.file = path;
    target.station = stationName;
    return target;
}

ArchiveTarget ArchiveTarget::postgres(const QString &url, const QString &stationName,
                                      QString *error)
{
    ArchiveTarget target;
    target.station = stationName;
    // USER@HOST[:PORT]/DBNAME; the host may be a percent-encoded socket
    // directory. A "USER:PASSWORD@" is turned away rather than used: a
    // station file is read by everyone who runs the station.
    static const QRegularExpression form(QStringLiteral(
        R"(^postgres(?:ql)?://([^@/:?]+)(:[^@/]*)?@([^/:?]*)(?::(\d{1,5}))?/([^/?#]+)$)"));
    const QRegularExpressionMatch match = form.match(url.trimmed());
    QString why;
    if (!match.hasMatch())
        why = QStringLiteral("not of the form postgresql://USER@HOST:PORT/DBNAME");
    else if (!match.captured(2).isEmpty())
        why = QStringLiteral("holds a password; give it to libpq in ~/.pgpass or PGPASSFILE");
    else if (match.captured(3).isEmpty())
        why = QStringLiteral("names no host");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return target;
    }
    target.user = QUrl::fromPercentEncoding(match.captured(1).toUtf8());
    target.host = QUrl::fromPercentEncoding(match.captured(3).toUtf8());
    target.database = QUrl::fromPercentEncoding(match.captured(5).toUtf8());
    if (!match.captured(4).isEmpty()) {
        const int port = match.captured(4).toInt();
        if (port < 1 || port > 65535) {
            if (error)
                *error = QStringLiteral("port %1 is not a port number").arg(port);
            return target;
        }
        target.port = port;
    }
    target.kind = Postgres;
    return target;
}

QString ArchiveTarget::describe() const
{
    switch (kind) {
    case SqliteFile:
        return file;
    case Postgres:
        return QStringLiteral("postgresql://%1@%2:%3/%4")
            .arg(user, QString::fromUtf8(QUrl::toPercentEncoding(host)))
            .arg(port)
            .arg(database);
    case NoArchive:
        break;
    }
    return QString();
}
