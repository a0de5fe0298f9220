// SPDX-License-Identifier: GPL-3.0-or-later
// What the history archive's writer sustains, into an SQLite file or a
// PostgreSQL database (scripts/bench.sh starts a throwaway server on
// 127.0.0.1 for it; nothing else is contacted):
//
//   --fill N       writes N samples of a 64-chamber station as fast as the
//                  writer takes them, half dated in the last day (what a
//                  start loads) and half a little older than the days kept
//                  (what the first retention pass deletes), and prints the
//                  rate; goal at least 50,000 samples a second. The archive
//                  it leaves is the one bench_station starts Brenlow on.
//   --writers N    N stations write into the database at once, each at the
//                  64-chamber steady rate (640 samples a second) for
//                  --seconds; prints each queue's largest length, which must
//                  stay within two seconds' samples (flat), and whether all
//                  were written at the end.
//
//     bench_archive (--sqlite FILE | --postgres URL) [--fill N] [--writers N] [--seconds S]

#include "history/Archive.h"
#include "history/ArchiveTarget.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Chambers = 64;
constexpr int ValuesPerSecond = 10;
constexpr int SteadyRate = Chambers * ValuesPerSecond;
constexpr int KeepDays = 30;
constexpr qint64 DayMs = 86'400'000;
// Samples handed to the queue at a time while filling, and how many may wait.
constexpr int FillChunk = 100000;
constexpr int GoalRate = 50000;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Runs the event loop until done() or the limit.
bool waitUntil(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(10);
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool openArchive(Archive &archive, const ArchiveTarget &target)
{
    bool opened = false;
    bool refused = false;
    QObject::connect(&archive, &Archive::opened, [&] { opened = true; });
    QObject::connect(&archive, &Archive::refused, [&](const QString &reason) {
        refused = true;
        QTextStream(stderr) << "refused: " << reason << '\n';
    });
    archive.open(target, now());
    return waitUntil([&] { return opened || refused; }, 600000) && opened;
}

int fill(const ArchiveTarget &base, qint64 total, QTextStream &out)
{
    ArchiveTarget target = base;
    target.queueSamples = 4 * FillChunk;
    Archive archive;
    if (!openArchive(archive, target))
        return 2;
    // Everything written, the start's retention (nothing to delete yet)
    // included, before the clock starts.
    const qint64 start = now();
    const qint64 recentStep = std::max<qint64>(1, DayMs / std::max<qint64>(1, total / 2));
    const qint64 oldFrom = start - qint64(KeepDays + 2) * DayMs;
    QElapsedTimer clock;
    clock.start();
    qint64 handed = 0;
    while (handed < total) {
        if (archive.pendingSamples() < FillChunk) {
            for (int i = 0; i < FillChunk && handed < total; ++i, ++handed) {
                const int k = int(handed % Chambers);
                const qint64 row = handed / 2;
                // Even rows in the last day, odd rows a day older than kept.
                const qint64 t =
                    handed % 2 == 0 ? start - DayMs + row * recentStep : oldFrom + row * recentStep;
                archive.addSample(std::min(t, start - 1), QStringLiteral("HV %1").arg(k),
                                  QStringLiteral("hvps.%1").arg(k), History::Quantity::Voltage,
                                  QString::number(1000.0 + double(row % 500) / 10, 'f', 1));
            }
            archive.flush();
        }
        waitUntil([&] { return archive.pendingSamples() < FillChunk; }, 600000);
    }
    waitUntil([&] { return archive.pendingCount() == 0; }, 600000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    archive.close();
    const double rate = double(total) / seconds;
    out << QStringLiteral("%1: %2 samples written in %3 s: %4 samples/s (goal >= %5) %6\n")
               .arg(target.kind == ArchiveTarget::Postgres ? "postgresql" : "sqlite")
               .arg(total)
               .arg(seconds, 0, 'f', 1)
               .arg(rate, 0, 'f', 0)
               .arg(GoalRate)
               .arg(rate >= GoalRate ? QStringLiteral("met") : QStringLiteral("MISSED"));
    return rate >= GoalRate ? 0 : 1;
}

int writers(const ArchiveTarget &base, int count, int seconds, QTextStream &out)
{
    std::vector<std::unique_ptr<Archive>> archives;
    for (int w = 0; w < count; ++w) {
        ArchiveTarget target = base;
        target.station = QStringLiteral("bench-%1").arg(w + 1);
        target.keepDays = KeepDays;
        archives.push_back(std::make_unique<Archive>());
        if (!openArchive(*archives.back(), target))
            return 2;
    }
    std::vector<int> longest(size_t(count), 0);
    QTimer beat;
    const int beatsPerSecond = 10;
    beat.setInterval(1000 / beatsPerSecond);
    qint64 beats = 0;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        for (size_t w = 0; w < archives.size(); ++w) {
            Archive &archive = *archives[w];
            longest[w] = std::max(longest[w], archive.pendingCount());
            for (int i = 0; i < SteadyRate / beatsPerSecond; ++i) {
                const int k = i % Chambers;
                archive.addSample(now(), QStringLiteral("HV %1").arg(k),
                                  QStringLiteral("hvps.%1").arg(k), History::Quantity::Voltage,
                                  QString::number(1000 + beats % 500));
            }
        }
        ++beats;
    });
    beat.start();
    waitUntil([&] { return beats >= qint64(seconds) * beatsPerSecond; }, seconds * 1000 + 60000);
    beat.stop();
    // Two seconds to catch up: the writers' beat is one.
    bool drained = waitUntil(
        [&] {
            return std::all_of(archives.begin(), archives.end(),
                               [](const auto &a) { return a->pendingCount() == 0; });
        },
        2000 + 1000);
    const int limit = 2 * SteadyRate;
    const int worst = *std::max_element(longest.begin(), longest.end());
    out << QStringLiteral("%1 writers at %2 samples/s each for %3 s: longest queue %4 samples "
                          "(flat: at most %5), all written %6: %7\n")
               .arg(count)
               .arg(SteadyRate)
               .arg(seconds)
               .arg(worst)
               .arg(limit)
               .arg(drained ? QStringLiteral("within 3 s") : QStringLiteral("NOT within 3 s"))
               .arg(worst <= limit && drained ? QStringLiteral("met") : QStringLiteral("MISSED"));
    for (auto &archive : archives)
        archive->close();
    return worst <= limit && drained ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption sqliteOption("sqlite", "the SQLite file", "file");
    const QCommandLineOption postgresOption("postgres", "postgresql://USER@HOST:PORT/DBNAME",
                                            "url");
    const QCommandLineOption fillOption("fill", "samples to write", "n");
    const QCommandLineOption writersOption("writers", "stations writing at once", "n");
    const QCommandLineOption secondsOption("seconds", "how long the writers write", "s", "20");
    parser.addOptions({sqliteOption, postgresOption, fillOption, writersOption, secondsOption});
    parser.process(app);
    QTextStream out(stdout);

    ArchiveTarget target;
    if (parser.isSet(sqliteOption)) {
        target = ArchiveTarget::sqlite(parser.value(sqliteOption), QStringLiteral("station"));
    } else {
        QString why;
        target =
            ArchiveTarget::postgres(parser.value(postgresOption), QStringLiteral("station"), &why);
        if (target.kind != ArchiveTarget::Postgres) {
            out << "bench_archive: " << why << '\n';
            return 2;
        }
        if (target.host != QLatin1String("127.0.0.1") &&
            !target.host.startsWith(QLatin1Char('/'))) {
            out << "bench_archive: only a server on 127.0.0.1 or a local socket\n";
            return 2;
        }
    }
    target.keepDays = KeepDays;
    int status = 0;
    if (parser.isSet(fillOption))
        status = std::max(status, fill(target, parser.value(fillOption).toLongLong(), out));
    if (parser.isSet(writersOption))
        status = std::max(status, writers(target, parser.value(writersOption).toInt(),
                                          std::max(1, parser.value(secondsOption).toInt()), out));
    out.flush();
    return status;
}
