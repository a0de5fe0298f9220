// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <cstring>

// A read-only byte pipe that stands in for the client's socket.
//
// Bytes handed to feed() become readable at once, like data that has just
// arrived on a connection; the client reads them through the same QIODevice
// calls (canReadLine, readLine with a limit, bytesAvailable, readAll) that it
// uses on its socket. Used by the fuzzers and by the tests that replay their
// findings.
class FeedDevice : public QIODevice
{
public:
    FeedDevice() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }

    void feed(const QByteArray &bytes)
    {
        if (offset > 0) {
            pending.remove(0, offset);
            offset = 0;
        }
        pending += bytes;
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return pending.size() - offset + QIODevice::bytesAvailable();
    }
    bool canReadLine() const override
    {
        return pending.indexOf('\n', offset) >= 0 || QIODevice::canReadLine();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, pending.size() - offset);
        if (n > 0) {
            std::memcpy(data, pending.constData() + offset, size_t(n));
            offset += int(n);
        }
        return n;
    }
    // A line at a time, as a socket's buffer gives it, rather than the byte
    // at a time that QIODevice falls back to for an unbuffered device.
    qint64 readLineData(char *data, qint64 maxSize) override
    {
        const int end = pending.indexOf('\n', offset);
        const qint64 lineLength = end < 0 ? pending.size() - offset : end + 1 - offset;
        return readData(data, qMin(maxSize, lineLength));
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray pending;
    int offset = 0; // bytes of pending already read
};
