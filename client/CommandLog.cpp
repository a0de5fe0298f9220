// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/CommandLog.h"

#include "client/Logging.h"

#include <QDateTime>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

bool CommandLog::open(const QString &path)
{
    if (file.isOpen())
        file.close();
    file.setFileName(path);
    failing = false;
    partLine = false;
    opened = openFile();
    return opened;
}

bool CommandLog::openFile()
{
    // Unbuffered: each line goes to the system as one write, whose result
    // says whether it is there; a buffer would hold a failed line back and
    // write it later, out of its place.
    return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text |
                     QIODevice::Unbuffered);
}

bool CommandLog::write(const QString &entry)
{
    if (!opened)
        return false;
    QString reason;
    if (!ensureFile(reason))
        return fail(reason);
    QByteArray bytes = (line(QDateTime::currentDateTime(), entry) + QLatin1Char('\n')).toUtf8();
    if (partLine)
        bytes.prepend('\n');
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        partLine = partLine || written > 0;
        return fail(file.errorString());
    }
    partLine = false;
#ifdef Q_OS_UNIX
    // A pipe or a terminal has nothing to sync, and says so with EINVAL or
    // EROFS; only a file that should be synced and was not is a failure.
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS)
        return fail(QStringLiteral("cannot sync it to the disk: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
#endif
    if (failing) {
        failing = false;
        qCDebug(lcConfig).noquote()
            << QStringLiteral("command log [%1] is written again").arg(file.fileName());
        emit writeRecovered();
    }
    return true;
}

bool CommandLog::ensureFile(QString &reason)
{
#ifdef Q_OS_UNIX
    struct stat status = {};
    if (file.isOpen() && ::fstat(file.handle(), &status) == 0 && status.st_nlink == 0) {
        // Lines written now would go into a file nobody can open any more.
        file.close();
        qCDebug(lcConfig).noquote()
            << QStringLiteral("command log [%1] was removed; making it anew at that path")
                   .arg(file.fileName());
    }
#endif
    if (file.isOpen())
        return true;
    if (!openFile()) {
        reason = QStringLiteral("the file was removed and cannot be made again (%1)")
                     .arg(file.errorString());
        return false;
    }
    partLine = false;
    return true;
}

bool CommandLog::fail(const QString &reason)
{
    if (!failing) {
        failing = true;
        qCDebug(lcConfig).noquote()
            << QStringLiteral("command log [%1] cannot be written: %2; commands are not recorded "
                              "until it can")
                   .arg(file.fileName(), reason);
        emit writeFailed(reason);
    }
    return false;
}

QString CommandLog::line(const QDateTime &when, const QString &entry)
{
    // Local time, with its offset so that the record stays unambiguous across
    // a change of daylight saving time.
    const QDateTime local = when.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs) +
           QLatin1Char(' ') + entry;
}
