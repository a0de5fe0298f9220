// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryLock.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int OwnerTextMax = 512;

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

HistoryLock::~HistoryLock()
{
    unlock();
}

bool HistoryLock::lock(const QString &path)
{
    unlock();
    error.clear();
    const QByteArray name = QFile::encodeName(path);
    const int handle = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (handle < 0) {
        error = QStringLiteral("its lock file %1 cannot be made: %2").arg(path, systemError(errno));
        return false;
    }
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        // The owner wrote its process id and host into the file.
        QByteArray owner(OwnerTextMax, '\0');
        const ssize_t n = ::pread(handle, owner.data(), size_t(owner.size()), 0);
        owner.truncate(n > 0 ? int(n) : 0);
        ::close(handle);
        const QList<QByteArray> words = owner.simplified().split(' ');
        if (code == EWOULDBLOCK && words.size() >= 2)
            error = QStringLiteral("in use by another program (process %1 on %2)")
                        .arg(QString::fromLatin1(words.at(0)), QString::fromUtf8(words.at(1)));
        else if (code == EWOULDBLOCK)
            error = QStringLiteral("in use by another program");
        else
            error = QStringLiteral("its lock file %1 cannot be locked: %2")
                        .arg(path, systemError(code));
        return false;
    }
    // Whatever the file held was a dead owner's.
    const QByteArray owner = QByteArray::number(qint64(::getpid())) + ' ' +
                             QSysInfo::machineHostName().toUtf8() + " brenlow\n";
    if (::ftruncate(handle, 0) != 0 ||
        ::pwrite(handle, owner.constData(), size_t(owner.size()), 0) != ssize_t(owner.size())) {
        error =
            QStringLiteral("its lock file %1 cannot be written: %2").arg(path, systemError(errno));
        ::close(handle);
        return false;
    }
    fd = handle;
    return true;
}

void HistoryLock::unlock()
{
    if (fd < 0)
        return;
    // The file is left for the next owner to take; removing it here could
    // remove one that a new owner has just locked.
    ::flock(fd, LOCK_UN);
    ::close(fd);
    fd = -1;
}
