// SPDX-License-Identifier: GPL-3.0-or-later
// The soak driver: the real main window against a running simulator, with an
// operator who acts once a second, for a given number of minutes.
//
// scripts/soak.sh starts tesra-sim (dropping the link now and then) and this
// program with a station file aimed at it. The window is built exactly as the
// program builds it; the driver only reaches its widgets from the outside, as
// a hand on the mouse would, so that nothing in the product needs to know it
// is being soaked. Once a minute it samples the process (resident memory,
// open descriptors, live objects and timers, the command log's size) and at
// the end it judges the run: memory must not grow by more than 2 MiB after the
// warm-up, descriptors must not grow at all, and every reconnect must bring
// every panel its values again. Exit status 0 passes, 1 fails, 2 is a usage
// error.

#include "amplifier/aCA.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "window/Body.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int ActionMs = 1000;
constexpr int SampleMs = 60000;
// A reconnect has resynchronised when every panel has had its values again
// this soon after the link came back.
constexpr int ResyncMs = 10000;
// The link may be gone this long (refusals and the reconnect's back-off)
// before the run counts it as not coming back.
constexpr int OutageMs = 30000;
constexpr qint64 AllowedRssGrowthKiB = 2048;
constexpr int WarmUpMinutes = 5;

void say(const QString &text)
{
    std::fprintf(stdout, "soak: %s\n", qPrintable(text));
    std::fflush(stdout);
}

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

struct Sample
{
    int minute = 0;
    qint64 rssKiB = 0;
    int fds = 0;
    int objects = 0;
    int timers = 0;
    qint64 logBytes = 0;
};

// Drives the window and judges the run; see the file's opening comment.
class Soak : public QObject
{
public:
    Soak(Body &window, int runMinutes, const QString &logPath)
        : body(window), minutes(runMinutes), commandLog(logPath)
    {
        Tesra *client = body.tesra();
        connect(client, &Tesra::LinkStateChanged, this, &Soak::linkChanged);
        connect(client, &Tesra::AnsGetStatus, this, &Soak::heard);
        connect(client, &Tesra::AnsGetV, this, &Soak::heard);
        for (const aCA *amp : body.ampModules())
            panelIds.insert(amp->id);
        for (const aHV *hv : body.hvModules())
            panelIds.insert(hv->id);

        actionTimer.setInterval(ActionMs);
        connect(&actionTimer, &QTimer::timeout, this, &Soak::act);
        sampleTimer.setInterval(SampleMs);
        connect(&sampleTimer, &QTimer::timeout, this, &Soak::sampleSoon);
        resyncTimer.setSingleShot(true);
        resyncTimer.setInterval(ResyncMs);
        connect(&resyncTimer, &QTimer::timeout, this, &Soak::resyncDue);
        outageTimer.setSingleShot(true);
        outageTimer.setInterval(OutageMs);
        connect(&outageTimer, &QTimer::timeout, this, [this] {
            ++outages;
            say(QStringLiteral("the link has been gone for %1 s").arg(OutageMs / 1000));
        });
        connect(&endTimer, &QTimer::timeout, this, &Soak::finish);
        endTimer.setSingleShot(true);
        endTimer.setInterval(minutes * SampleMs + ResyncMs);
    }

    void start()
    {
        clock.start();
        actionTimer.start();
        sampleTimer.start();
        endTimer.start();
        outageTimer.start(); // the first connection must come too
    }

private:
    void linkChanged(Tesra::LinkState state)
    {
        if (state == Tesra::LinkState::Ready) {
            ++readies;
            outageTimer.stop();
            waiting = panelIds;
            resyncTimer.start();
            if (samplePending)
                takeSample();
        } else if (!outageTimer.isActive() && state != Tesra::LinkState::Connecting &&
                   state != Tesra::LinkState::Handshake) {
            if (resyncTimer.isActive())
                resyncDue(); // lost again before every panel was heard
            outageTimer.start();
        }
    }

    void heard(const SMsg &msg)
    {
        waiting.remove(msg.toSub);
        if (waiting.isEmpty())
            resyncTimer.stop();
    }

    void resyncDue()
    {
        resyncTimer.stop();
        if (waiting.isEmpty())
            return;
        ++resyncFailures;
        QStringList ids = waiting.values();
        ids.sort();
        say(QStringLiteral("connection %1 did not resync: no values for %2")
                .arg(readies)
                .arg(ids.join(QLatin1Char(' '))));
        waiting.clear();
    }

    // One operator action a second, in turn: a range, a set voltage applied
    // or ramped down, a ramp rate, a filter time constant.
    void act()
    {
        if (body.tesra()->linkState() != Tesra::LinkState::Ready)
            return;
        const int step = actions++;
        const auto &amps = body.ampModules();
        const auto &hvs = body.hvModules();
        switch (step % 4) {
        case 0:
            if (!amps.isEmpty())
                nextItem(amps.at((step / 4) % amps.size())->ui.RangeSCB);
            break;
        case 1:
            if (!hvs.isEmpty()) {
                aHV *hv = hvs.at((step / 4) % hvs.size());
                nextItem(hv->ui.SetV);
                if (hv->ui.Start->isEnabled())
                    QTest::mouseClick(hv->ui.Start, Qt::LeftButton);
            }
            break;
        case 2:
            if (!hvs.isEmpty()) {
                QLineEdit *rate = hvs.at((step / 4) % hvs.size())->ui.RampRate;
                if (rate->isEnabled()) {
                    rate->setText((step / 4) % 2 ? QStringLiteral("60") : QStringLiteral("40"));
                    QTest::keyClick(rate, Qt::Key_Return);
                }
            }
            break;
        default:
            if (!amps.isEmpty())
                nextItem(amps.at((step / 4) % amps.size())->ui.SelectTCCB);
            break;
        }
    }

    static void nextItem(QComboBox *box)
    {
        if (box->isEnabled() && box->count() > 1)
            box->setCurrentIndex((box->currentIndex() + 1) % box->count());
    }

    // Samples are taken while the link is up, so that one socket more or
    // less in the middle of a reconnect is not counted as a leak.
    void sampleSoon()
    {
        samplePending = true;
        if (body.tesra()->linkState() == Tesra::LinkState::Ready)
            takeSample();
    }

    void takeSample()
    {
        samplePending = false;
        Sample s;
        s.minute = int((clock.elapsed() + SampleMs / 2) / SampleMs);
        s.rssKiB = residentKiB();
        s.fds = openDescriptors();
        const QList<QObject *> objects = body.findChildren<QObject *>();
        s.objects = objects.size() + QApplication::allWidgets().size();
        s.timers = body.findChildren<QTimer *>().size();
        if (body.tesra()->parent() != &body) {
            s.objects += body.tesra()->findChildren<QObject *>().size() + 1;
            s.timers += body.tesra()->findChildren<QTimer *>().size();
        }
        s.logBytes = commandLog.isEmpty() ? 0 : QFileInfo(commandLog).size();
        samples.append(s);
        say(QStringLiteral("minute %1: rss %2 KiB, fds %3, objects %4, timers %5, command log %6 "
                           "bytes, connections %7, actions %8")
                .arg(s.minute)
                .arg(s.rssKiB)
                .arg(s.fds)
                .arg(s.objects)
                .arg(s.timers)
                .arg(s.logBytes)
                .arg(readies)
                .arg(actions));
    }

    void finish()
    {
        actionTimer.stop();
        sampleTimer.stop();
        resyncDue();
        QStringList faults;
        if (samples.size() < 2)
            faults << QStringLiteral("fewer than two samples (the link was hardly ever up)");
        // The warm-up: caches, fonts and the first reconnects settle first.
        // A run that ends before a sample after it (the short form in CI)
        // reports memory but does not judge it.
        const int warmUp = WarmUpMinutes;
        qint64 baseRss = -1;
        qint64 peakRss = -1;
        for (const Sample &s : qAsConst(samples)) {
            if (s.minute >= warmUp && baseRss < 0)
                baseRss = s.rssKiB;
            else if (baseRss >= 0)
                peakRss = qMax(peakRss, s.rssKiB);
            if (!samples.isEmpty() && s.fds > samples.first().fds)
                faults << QStringLiteral("open descriptors grew from %1 to %2 by minute %3")
                              .arg(samples.first().fds)
                              .arg(s.fds)
                              .arg(s.minute);
        }
        if (peakRss < 0)
            say(QStringLiteral("memory not judged: no sample after minute %1").arg(warmUp));
        else if (peakRss - baseRss > AllowedRssGrowthKiB)
            faults << QStringLiteral("resident memory grew by %1 KiB after minute %2")
                          .arg(peakRss - baseRss)
                          .arg(warmUp);
        if (resyncFailures > 0)
            faults << QStringLiteral("%1 reconnects did not resync").arg(resyncFailures);
        if (outages > 0)
            faults << QStringLiteral("the link stayed away %1 times").arg(outages);
        if (readies < 2)
            faults << QStringLiteral("no reconnect happened");
        say(QStringLiteral("%1 minutes, %2 connections, %3 operator actions, memory %4 KiB at "
                           "minute %5, peak after it %6 KiB")
                .arg(minutes)
                .arg(readies)
                .arg(actions)
                .arg(baseRss)
                .arg(warmUp)
                .arg(peakRss));
        for (const QString &fault : qAsConst(faults))
            say(QStringLiteral("FAIL: ") + fault);
        if (faults.isEmpty())
            say(QStringLiteral("PASS"));
        QCoreApplication::exit(faults.isEmpty() ? 0 : 1);
    }

    Body &body;
    int minutes;
    QString commandLog;
    QSet<QString> panelIds;
    QSet<QString> waiting;
    QTimer actionTimer;
    QTimer sampleTimer;
    QTimer resyncTimer;
    QTimer outageTimer;
    QTimer endTimer;
    QElapsedTimer clock;
    QVector<Sample> samples;
    bool samplePending = false;
    int actions = 0;
    int readies = 0;
    int resyncFailures = 0;
    int outages = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption configOption(QStringLiteral("config"),
                                          QStringLiteral("Station file aimed at the simulator."),
                                          QStringLiteral("file"));
    const QCommandLineOption minutesOption(QStringLiteral("minutes"),
                                           QStringLiteral("Length of the run (default 30)."),
                                           QStringLiteral("minutes"), QStringLiteral("30"));
    const QCommandLineOption logOption(
        QStringLiteral("command-log"),
        QStringLiteral("The station's command log, whose growth is sampled."),
        QStringLiteral("file"));
    parser.addOptions({configOption, minutesOption, logOption});
    parser.process(app);
    bool ok = false;
    const int minutes = parser.value(minutesOption).toInt(&ok);
    if (!ok || minutes < 1 || !parser.isSet(configOption)) {
        std::fprintf(stderr,
                     "usage: brenlow-soak --config FILE [--minutes N] [--command-log FILE]\n");
        return 2;
    }

    Body body(parser.value(configOption));
    body.show();
    Soak soak(body, minutes, parser.value(logOption));
    soak.start();
    return app.exec();
}
