// SPDX-License-Identifier: GPL-3.0-or-later
// Brenlow's panels, and the whole program, against the station simulator:
// an HV ramp driven from the Start button, a range change and the overload
// alert on an amplifier panel, and the assembled station subscribing to all
// of its devices.

#include "SimProcess.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "client/Tesra.h"
#include "hv/aHV.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QStringList Keys = {"ume", "sakura", "kiku"};
const QString Green = QStringLiteral("background-color: rgb(180, 255, 180);");
const QString Grey = QStringLiteral("background-color: rgb(200, 200, 200);");
const QString Pink = QStringLiteral("background-color: rgb(255, 200, 200);");

QStringList decades()
{
    QStringList out;
    for (int e = 3; e <= 11; ++e)
        out.append(QStringLiteral("1e-%1").arg(e));
    return out;
}

} // namespace

class TestSimPanels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void hvRampReachesOn();
    void amplifierRangeRoundTrip();
    void amplifierOverloadAlert();
    void wholeStation_data();
    void wholeStation();

private:
    std::unique_ptr<Tesra> client(const QString &name);
    std::unique_ptr<aCA> amplifierPanel(Tesra *tesra);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SimProcess> sim;
};

void TestSimPanels::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    sim = std::make_unique<SimProcess>();
    const QString keyFile = TestSupport::writeKeyFile(*dir, Keys, QStringLiteral("server"));
    if (QByteArray(QTest::currentTestFunction()).startsWith("wholeStation"))
        return; // started with the station file by the test itself
    QVERIFY(sim->start({QStringLiteral("--key-file"), keyFile + QStringLiteral(".key"),
                        QStringLiteral("--amp"), QStringLiteral("ca5350.i0"),
                        QStringLiteral("--hv"), QStringLiteral("hvps.1"),
                        QStringLiteral("--hv-ramp"), QStringLiteral("5000")}));
}

void TestSimPanels::cleanup()
{
    sim.reset();
    dir.reset();
}

std::unique_ptr<Tesra> TestSimPanels::client(const QString &name)
{
    return TestSupport::makeClient(sim->port(), *dir, name, Keys);
}

std::unique_ptr<aCA> TestSimPanels::amplifierPanel(Tesra *tesra)
{
    auto panel = std::make_unique<aCA>();
    panel->setClient(tesra);
    panel->setModuleName(QStringLiteral("AMP I0"));
    panel->id = QStringLiteral("amp0");
    panel->driver = QStringLiteral("ca5350");
    panel->ch = QStringLiteral("i0");
    panel->setTCTable(
        {"0.0001", "0.0003", "0.001", "0.003", "0.01", "0.03", "0.1", "0.3", "1", "2", "3", "10"});
    panel->setRangeTable(decades());
    panel->setCSprTableFile(dir->filePath(QStringLiteral("none.txt")));
    return panel;
}

void TestSimPanels::hvRampReachesOn()
{
    auto tesra = client(QStringLiteral("Brenlow"));
    aHV panel;
    panel.setClient(tesra.get());
    panel.id = QStringLiteral("hv0");
    panel.driver = QStringLiteral("hvps");
    panel.ch = QStringLiteral("1");
    panel.setVoltageList({QStringLiteral("500"), QStringLiteral("1200")});
    panel.selectVoltage(QStringLiteral("1200"));
    QVERIFY(TestSupport::connectClient(*tesra, 10000));

    // The start-up queries fill the panel.
    QTRY_VERIFY_WITH_TIMEOUT(panel.ui.Start->isEnabled(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.MaxV->text(), QStringLiteral("2400"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.RampRate->text(), QStringLiteral("5000"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.Stat->text(), QStringLiteral("ON"), 10000);
    // The voltage's field takes its text on the next turn of the event loop,
    // which may come after the status's answer.
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.NowV->text(), QStringLiteral("0.0"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.Start->styleSheet(), Grey, 10000);

    panel.ui.Start->click();
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.NowV->text(), QStringLiteral("1200.0"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.Stat->text(), QStringLiteral("ON"), 10000);
    QCOMPARE(panel.ui.Start->styleSheet(), Green);
    const QString log = sim->log();
    QVERIFY(log.contains(QLatin1String("request Brenlow.hv0>hvps.1 SetRamp 5000")));
    QVERIFY(log.contains(QLatin1String("request Brenlow.hv0>hvps.1 SetV 1200")));
    QVERIFY(log.contains(QLatin1String("event hvps.1>Brenlow.hv0 _ChangedStat L2H")));

    // Start again ramps down to zero.
    panel.ui.Start->click();
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.NowV->text(), QStringLiteral("0.0"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.ui.Stat->text(), QStringLiteral("ON"), 10000);
    QCOMPARE(panel.ui.Start->styleSheet(), Grey);
    QVERIFY(sim->log().contains(QLatin1String("event hvps.1>Brenlow.hv0 _ChangedStat H2L")));
}

void TestSimPanels::amplifierRangeRoundTrip()
{
    auto tesra = client(QStringLiteral("Brenlow"));
    auto panel = amplifierPanel(tesra.get());
    QVERIFY(TestSupport::connectClient(*tesra, 10000));

    // The device's range and status reach the panel.
    QTRY_COMPARE_WITH_TIMEOUT(panel->ui.RangeSCB->currentText(), QStringLiteral("1e-8"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(panel->ui.StatDisp->text(),
                              QStringLiteral("A0B0C0H0I1J0K0M0N1P0R0S0T5W0Y0Z0"), 10000);
    QCOMPARE(panel->ui.SelectTCCB->currentIndex(), 7);

    // The operator's choice reaches the device.
    panel->ui.RangeSCB->setCurrentIndex(decades().indexOf(QStringLiteral("1e-6")));
    QTRY_VERIFY_WITH_TIMEOUT(
        sim->log().contains(QLatin1String("event ca5350.i0>Brenlow.amp0 _RangeChanged 1e-06")),
        10000);

    // A change made elsewhere reaches the panel through its subscription.
    auto other = client(QStringLiteral("Other"));
    QVERIFY(TestSupport::connectClient(*other, 10000));
    QSignalSpy answer(other.get(), &Tesra::AnsGetRange);
    other->SendMsg(QStringLiteral("x"), QStringLiteral("ca5350.i0"), QStringLiteral("SetRange"),
                   QStringLiteral("1e-9"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->ui.RangeSCB->currentText(), QStringLiteral("1e-9"), 10000);
    other->SendMsg(QStringLiteral("x"), QStringLiteral("ca5350.i0"), QStringLiteral("GetRange"),
                   QString());
    QVERIFY(answer.wait(10000));
    QCOMPARE(answer.at(0).at(0).value<SMsg>().params.toDouble(), 1e-9);
}

void TestSimPanels::amplifierOverloadAlert()
{
    auto tesra = client(QStringLiteral("Brenlow"));
    auto panel = amplifierPanel(tesra.get());
    QVERIFY(TestSupport::connectClient(*tesra, 10000));
    QTRY_COMPARE_WITH_TIMEOUT(panel->ui.RangeSCB->currentText(), QStringLiteral("1e-8"), 10000);
    QCOMPARE(panel->ui.DispErr->text(), QString());

    // The chamber's nanoamperes are far beyond the smallest range.
    panel->ui.RangeSCB->setCurrentIndex(decades().indexOf(QStringLiteral("1e-11")));
    QTRY_COMPARE_WITH_TIMEOUT(panel->ui.DispErr->text(), QStringLiteral("OVER !!!"), 10000);
    QCOMPARE(panel->styleSheet(), Pink);

    panel->ui.RangeSCB->setCurrentIndex(decades().indexOf(QStringLiteral("1e-3")));
    QTRY_COMPARE_WITH_TIMEOUT(panel->ui.DispErr->text(), QString(), 10000);
    QCOMPARE(panel->styleSheet(), QString());
}

void TestSimPanels::wholeStation_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("operating") << false;
    QTest::newRow("read-only") << true;
}

void TestSimPanels::wholeStation()
{
    QFETCH(bool, readOnly);
    const QString source = QStringLiteral(BRENLOW_SOURCE_DIR);
    QVERIFY(sim->start({QStringLiteral("-c"), source + QStringLiteral("/examples/station.ini")},
                       source));

    // The example station with the simulator's port; relative paths in it
    // are taken from the repository's top directory.
    QFile in(source + QStringLiteral("/examples/station.ini"));
    QVERIFY(in.open(QIODevice::ReadOnly | QIODevice::Text));
    QString ini = QString::fromUtf8(in.readAll());
    QVERIFY(ini.contains(QLatin1String("Tesra IP=127.0.0.1\n")));
    ini.replace(QStringLiteral("Tesra Port=6058"),
                QStringLiteral("Tesra Port=%1").arg(sim->port()));
    const QString path =
        TestSupport::writeFile(dir->filePath(QStringLiteral("station.ini")), ini.toUtf8());

    QProcess brenlow;
    brenlow.setWorkingDirectory(source);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    brenlow.setProcessEnvironment(env);
    brenlow.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args = {QStringLiteral("-e"), QStringLiteral("-c"), path};
    if (readOnly)
        args.append(QStringLiteral("--read-only"));
    brenlow.start(QStringLiteral(BRENLOW_BIN), args);
    QVERIFY(brenlow.waitForStarted(10000));

    // Every panel subscribes to its device and gets its first answers.
    const QStringList nodes = {"ca5350.i0", "ca5350.i1", "ca5350.it", "ca5350.if",
                               "hvps.1",    "hvps.2",    "hvps.3",    "hvps.4"};
    for (const QString &node : nodes) {
        QTRY_VERIFY2_WITH_TIMEOUT(sim->log().contains(QStringLiteral("@flgon Ok: ") + node),
                                  qPrintable(node), 20000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(sim->count(QStringLiteral(" @GetStatus CA5350")) >= 4, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(sim->count(QStringLiteral(" @IsControllable 1")) >= 4, 20000);
    QVERIFY(sim->log().contains(QLatin1String("login Brenlow")));
    QCOMPARE(brenlow.state(), QProcess::Running);

    // The amplifiers' start-up settings and status echoes are commands; a
    // read-only station asks and subscribes and nothing else.
    QStringList commands;
    for (const QString &line : sim->log().split(QLatin1Char('\n'))) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 4 && words.at(1) == QLatin1String("request") &&
            !Tesra::isQuery(words.at(3)))
            commands.append(line);
    }
    if (readOnly)
        QCOMPARE(commands, QStringList());
    else
        QVERIFY(!commands.isEmpty());

    brenlow.kill();
    QVERIFY(brenlow.waitForFinished(10000));
}

QTEST_MAIN(TestSimPanels)
#include "tst_simpanels.moc"
