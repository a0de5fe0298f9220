// SPDX-License-Identifier: GPL-3.0-or-later
// What one line of the command log costs: the line written straight to the
// file and synced to the disk, as the log does it, against the same line
// only handed to the system, as the log did before it synced. Run it in a
// directory on the disk that the log would live on (it writes there), e.g.
// cd /var/tmp && bench_commandlog; a RAM file system (tmpfs) has nothing to
// sync and shows both alike.

#include "client/CommandLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class bench_CommandLog : public QObject
{
    Q_OBJECT

private slots:
    void line_data();
    void line();
};

void bench_CommandLog::line_data()
{
    QTest::addColumn<bool>("synced");
    QTest::newRow("written and synced (the log)") << true;
    QTest::newRow("written and flushed only") << false;
}

void bench_CommandLog::line()
{
    QFETCH(bool, synced);
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench_commandlog-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("commands.log"));
    const QString entry = QStringLiteral("Brenlow.hv0>hvps.1 SetV 1500");
    if (synced) {
        CommandLog log;
        QVERIFY(log.open(path));
        QBENCHMARK
        {
            log.write(entry);
        }
        QVERIFY(!log.isFailing());
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text));
        QBENCHMARK
        {
            file.write((CommandLog::line(QDateTime::currentDateTime(), entry) + QLatin1Char('\n'))
                           .toUtf8());
            file.flush();
        }
    }
}

QTEST_GUILESS_MAIN(bench_CommandLog)
#include "bench_commandlog.moc"
