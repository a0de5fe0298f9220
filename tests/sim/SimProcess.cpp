// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

SimProcess::SimProcess()
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&process, &QProcess::readyReadStandardOutput,
                     [this] { output += process.readAllStandardOutput(); });
}

SimProcess::~SimProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool SimProcess::start(const QStringList &arguments, const QString &workingDirectory, int timeoutMs)
{
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(TESRA_SIM_BIN),
                  arguments + QStringList{QStringLiteral("--address"), QStringLiteral("127.0.0.1"),
                                          QStringLiteral("--port"), QStringLiteral("0"),
                                          QStringLiteral("--log"), QStringLiteral("-")});
    if (!process.waitForStarted(timeoutMs))
        return false;
    const QRegularExpression listening(
        QStringLiteral("tesra-sim listening on 127\\.0\\.0\\.1:(\\d+)"));
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            listenPort = quint16(match.captured(1).toUInt());
            return listenPort != 0;
        }
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        output += process.readAllStandardOutput();
    }
    return false;
}

QString SimProcess::log()
{
    output += process.readAllStandardOutput();
    return QString::fromUtf8(output);
}

int SimProcess::count(const QString &text)
{
    return log().count(text);
}

bool SimProcess::terminate(int timeoutMs)
{
    process.terminate();
    if (!process.waitForFinished(timeoutMs))
        return false;
    output += process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
