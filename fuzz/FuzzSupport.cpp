// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {

QTemporaryDir *scratch = nullptr;

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

void init()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (QCoreApplication::instance())
        return;
    // A fixed zone: without TZ, the C library looks at the zone file on disk
    // again for every local time the code asks for (the client stamps its
    // link states), a file system call per input that has nothing to do
    // with it. The targets' checks depend on no zone.
    qputenv("TZ", "UTC");
    new QCoreApplication(argc, argv);
    qInstallMessageHandler(quiet);
    // Memory-backed when the machine has it: on a disk file system, writing
    // a file over again forces its blocks out to the disk on every input.
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    scratch = shm.isDir() && shm.isWritable()
                  ? new QTemporaryDir(QStringLiteral("/dev/shm/brenlow-fuzz-XXXXXX"))
                  : new QTemporaryDir;
    if (!scratch->isValid()) {
        delete scratch;
        scratch = new QTemporaryDir;
    }
    check(scratch->isValid(), "no scratch directory");
}

QString scratchPath(const QString &name)
{
    return scratch->filePath(name);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    // Unbuffered: the bytes go to the file in one write, without a copy
    // through a buffer allocated for each file.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void check(bool ok, const char *what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace FuzzSupport

// Every target sets up the same way before its first input; libFuzzer calls
// this once, so the targets need not each repeat it.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::init();
    return 0;
}
