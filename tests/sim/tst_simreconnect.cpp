// SPDX-License-Identifier: GPL-3.0-or-later
// The whole window against a simulator that keeps dropping its clients:
// with "Reconnect Interval" set, the link comes back after every drop, every
// panel asks for all its values again each time, and the simulator never
// sees two of Brenlow's connections at once.

#include "SimProcess.h"
#include "TestSupport.h"
#include "client/Tesra.h"
#include "window/Body.h"
#include "window/LinkStatus.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QStringList Keys = {"ume", "sakura", "kiku"};
constexpr int Drops = 5;

// The lines each panel sends on every ready link, as the simulator logs them.
const QStringList StartLines = {
    QStringLiteral("Brenlow.hv1>System flgon hvps.1"),
    QStringLiteral("Brenlow.hv1>hvps.1 GetStat1"),
    QStringLiteral("Brenlow.amp1>System flgon ca5350.i0"),
    QStringLiteral("Brenlow.amp1>ca5350.i0 GetStatus"),
};

} // namespace

class TestSimReconnect : public QObject
{
    Q_OBJECT

private slots:
    void everyDropIsRepaired_data();
    void everyDropIsRepaired();
};

void TestSimReconnect::everyDropIsRepaired_data()
{
    QTest::addColumn<QString>("dropEvery");
    QTest::addColumn<QString>("refuseFor");
    QTest::newRow("dropped every 2 s") << "2" << QString();
    // The first attempt, 1 s after the drop, is turned away; the second, 2 s
    // later, gets in.
    QTest::newRow("dropped every 4 s, refused for 1.5 s after") << "4"
                                                                << "1.5";
}

void TestSimReconnect::everyDropIsRepaired()
{
    QFETCH(QString, dropEvery);
    QFETCH(QString, refuseFor);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString key = TestSupport::writeKeyFile(dir, Keys, QStringLiteral("station"));
    QStringList args{QStringLiteral("--key-file"),   key + QStringLiteral(".key"),
                     QStringLiteral("--amp"),        QStringLiteral("ca5350.i0"),
                     QStringLiteral("--hv"),         QStringLiteral("hvps.1"),
                     QStringLiteral("--drop-every"), dropEvery};
    if (!refuseFor.isEmpty())
        args << QStringLiteral("--refuse-for") << refuseFor;
    SimProcess sim;
    QVERIFY(sim.start(args));

    const QString config = TestSupport::writeFile(
        dir.filePath(QStringLiteral("station.ini")),
        QStringLiteral("Tesra IP=127.0.0.1\nTesra Port=%1\nKey File=%2\nReconnect Interval=1\n"
                       "HV Module Names=HV1\nAMP Module Names=AMP1\nIC Module Names=I0\n"
                       "[HV1]\nid=hv1\ndriver=hvps\nch=1\n"
                       "[AMP1]\nid=amp1\ndriver=ca5350\nch=i0\n"
                       "[I0]\nHV Unit id=hv1\nAMP Unit id=amp1\n")
            .arg(sim.port())
            .arg(key)
            .toUtf8());
    Body body(config);
    QSignalSpy ready(body.tesra(), &Tesra::ConnectionIsReady);
    QSignalSpy states(body.tesra(), &Tesra::LinkStateChanged);
    // The first link, one after each drop, and one more so that the last
    // of them is followed by a login and complete in the log.
    QTRY_VERIFY_WITH_TIMEOUT(ready.count() >= Drops + 2, 90000);
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral(" login Brenlow")) >= Drops + 2, 20000);

    const QString log = sim.log();
    QVERIFY2(log.count(QStringLiteral(" drop-all ")) >= Drops, qPrintable(log));
    // Every login is followed by every panel's start lines before the next.
    const QStringList sessions = log.split(QStringLiteral(" login Brenlow"));
    QVERIFY(sessions.size() >= Drops + 3);
    for (int i = 1; i < Drops + 2; ++i) {
        for (const QString &line : StartLines)
            QVERIFY2(sessions.at(i).contains(line), qPrintable(QString::number(i) + line));
    }
    // Never more than one connection open at the simulator.
    const QRegularExpression open(QStringLiteral(" open (\\d+) connection"));
    int opened = 0;
    for (auto it = open.globalMatch(log); it.hasNext(); ++opened)
        QVERIFY2(it.next().captured(1).toInt() == 1, qPrintable(log));
    QVERIFY(opened >= Drops + 1);

    bool sawLost = false;
    bool sawRefused = false;
    for (const QList<QVariant> &args2 : qAsConst(states)) {
        const auto state = args2.at(0).value<Tesra::LinkState>();
        sawLost = sawLost || state == Tesra::LinkState::Lost;
        sawRefused = sawRefused || state == Tesra::LinkState::Refused;
    }
    QVERIFY(sawLost);
    QCOMPARE(sawRefused, !refuseFor.isEmpty());
    QVERIFY(sim.terminate());
}

QTEST_MAIN(TestSimReconnect)
#include "tst_simreconnect.moc"
