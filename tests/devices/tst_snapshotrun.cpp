// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot runs on the station's devices alone, without any widget,
// against the fake server, whose devices are the simulator's amplifier and
// HV models: a saved file holds what the devices answered, a comparison
// names what changed since, a restore sends the operator's own lines for
// each changed amplifier setting and nothing to an HV module, and read-only
// mode and unusable files are refused.

#include "FakeTesraServer.h"
#include "SimStation.h"
#include "TestSupport.h"
#include "client/Tesra.h"
#include "devices/AmplifierDevice.h"
#include "devices/HvDevice.h"
#include "devices/SnapshotRun.h"
#include "devices/StationDevices.h"
#include "sim/AmplifierModel.h"
#include "station/Snapshot.h"
#include "station/Station.h"

#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

bool isCommand(const QString &line)
{
    const QStringList parts = line.split(QLatin1Char(' '));
    return parts.size() >= 2 && !Tesra::isQuery(parts.at(1)) &&
           !Tesra::isSubscription(parts.at(0), parts.at(1));
}

} // namespace

// One run of the station: its devices, their client and the snapshot logic.
struct Run
{
    Run(const QString &stationFile, bool readOnly)
        : devices(Station::read(stationFile), readOnly), snapshots(devices)
    {
        devices.connectToServer();
    }
    AmplifierDevice *amp() const
    {
        return qobject_cast<AmplifierDevice *>(devices.devices().at(1));
    }
    HvDevice *hv() const { return qobject_cast<HvDevice *>(devices.devices().at(0)); }
    StationDevices devices;
    SnapshotRun snapshots;
};

class tst_SnapshotRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savedFileHoldsWhatDevicesAnswered_data();
    void savedFileHoldsWhatDevicesAnswered();
    void silentModuleSavesNullsWithTwo();
    void changesComparedAndRestored_data();
    void changesComparedAndRestored();
    void readOnlyRefusesRestore();
    void restoresOnlyOntoItsDevice_data();
    void restoresOnlyOntoItsDevice();
    void noLinkIsNoComparison_data();
    void noLinkIsNoComparison();
    void unusableFiles_data();
    void unusableFiles();
    void unwritablePathWritesNothing();

private:
    std::unique_ptr<Run> startStation(bool readOnly = false);
    // A station whose amplifier holds a suppression value other than 0
    // (which the device's field could not put back) and whose HV set voltage
    // is 200, saved to file; null when the save failed.
    std::unique_ptr<Run> startSaved(const QString &file);
    // Runs a command-line run; returns its exit status.
    int run(Run &station, SnapshotRun::Command command, const QString &file);

    // The devices answer every request through the fake server.
    std::unique_ptr<SimStation> sim;
    QString out;
    QString err;
};

void tst_SnapshotRun::init()
{
    sim = std::make_unique<SimStation>();
    QVERIFY(sim->isValid());
}

void tst_SnapshotRun::cleanup()
{
    sim.reset();
}

std::unique_ptr<Run> tst_SnapshotRun::startStation(bool readOnly)
{
    return std::make_unique<Run>(sim->writeStation(), readOnly);
}

std::unique_ptr<Run> tst_SnapshotRun::startSaved(const QString &file)
{
    sim->changeAmplifier({"SetCurrentSurpressionValue 5e-10"});
    auto body = startStation();
    body->hv()->fillSetV("200");
    if (run(*body, SnapshotRun::Command::Save, file) != 0)
        return nullptr;
    return body;
}

int tst_SnapshotRun::run(Run &station, SnapshotRun::Command command, const QString &file)
{
    out.clear();
    err.clear();
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QSignalSpy finished(&station.snapshots, &SnapshotRun::commandFinished);
    station.snapshots.runCommand(command, file, outStream, errStream);
    if (!finished.wait(30000))
        return -1;
    return finished.at(0).at(0).toInt();
}

void tst_SnapshotRun::savedFileHoldsWhatDevicesAnswered_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("expected");
    QTest::newRow("range") << "SetRange 1e-6"
                           << "range" << QJsonValue("1e-06");
    QTest::newRow("zero check") << "SetZeroCheck 1"
                                << "zeroCheck" << QJsonValue(true);
    QTest::newRow("current suppression off") << "SetCurrentSurpression 0"
                                             << "currentSuppression" << QJsonValue(false);
    QTest::newRow("suppression value") << "SetCurrentSurpressionValue 5e-10"
                                       << "suppressionValue" << QJsonValue("5e-10");
    QTest::newRow("filter") << "SetFilter 1"
                            << "filter" << QJsonValue(true);
    QTest::newRow("time constant, the table's text") << "SetFilterDuration 0.01"
                                                     << "timeConstant" << QJsonValue("0.01");
    QTest::newRow("automatic filter") << "SetAutoFilter 1"
                                      << "filterMode" << QJsonValue("auto");
    QTest::newRow("bias") << "SetVoltageBias 1"
                          << "bias" << QJsonValue(true);
    QTest::newRow("bias voltage") << "SetVoltageBiasRange 2.5"
                                  << "biasVoltage" << QJsonValue("2.5");
    QTest::newRow("front input") << "SelectInput 0"
                                 << "input" << QJsonValue("front");
    QTest::newRow("back light off") << "SetBacklight 2"
                                    << "backLight" << QJsonValue("off");
}

void tst_SnapshotRun::savedFileHoldsWhatDevicesAnswered()
{
    QFETCH(QString, command);
    QFETCH(QString, key);
    QFETCH(QJsonValue, expected);
    sim->changeAmplifier({command});
    auto body = startStation();
    const QString file = sim->dir().filePath("snapshot.json");
    QCOMPARE(run(*body, SnapshotRun::Command::Save, file), 0);
    QVERIFY2(err.isEmpty(), qPrintable(err));

    Snapshot saved;
    QString error;
    QVERIFY2(Snapshot::load(file, saved, error), qPrintable(error));
    QCOMPARE(saved.nullCount(), 0);
    QCOMPARE(saved.server, QStringLiteral("127.0.0.1:%1").arg(sim->server().port()));
    QVERIFY(saved.station.endsWith("station.ini"));
    QCOMPARE(saved.amplifiers.size(), 1);
    const SnapshotModule &a = saved.amplifiers.at(0);
    QCOMPARE(a.section, QStringLiteral("A"));
    QCOMPARE(a.node, QStringLiteral("ca.1"));
    // The changed setting as the device reported it, the others as the
    // device's defaults read.
    const QJsonObject defaults{
        {"range", "1e-08"},        {"zeroCheck", false}, {"currentSuppression", true},
        {"suppressionValue", "0"}, {"filter", false},    {"timeConstant", "0.3"},
        {"filterMode", "manual"},  {"bias", false},      {"biasVoltage", "0"},
        {"input", "rear"},         {"backLight", "high"}};
    for (int i = 0; i < Snapshot::ampSettings().size(); ++i) {
        const QString name = QLatin1String(Snapshot::ampSettings().at(i).key);
        QCOMPARE(a.values.at(i), name == key ? expected : defaults.value(name));
    }
    const SnapshotModule &h = saved.hv.at(0);
    QCOMPARE(h.section, QStringLiteral("H"));
    QCOMPARE(h.node, QStringLiteral("hvps.2"));
    QCOMPARE(h.values, (QVector<QJsonValue>{"100", "50", "ON", "0.0", "3000V", "80"}));
}

void tst_SnapshotRun::silentModuleSavesNullsWithTwo()
{
    sim->setHvSilent(true);
    auto body = startStation();
    const QString file = sim->dir().filePath("snapshot.json");
    QCOMPARE(run(*body, SnapshotRun::Command::Save, file), 2);
    QVERIFY2(err.contains("5 value(s) were not reported"), qPrintable(err));
    Snapshot saved;
    QString error;
    QVERIFY2(Snapshot::load(file, saved, error), qPrintable(error));
    QCOMPARE(saved.nullCount(), 5);
    QCOMPARE(saved.hv.at(0).value(HvSetting::SetV), QJsonValue("100"));
    QVERIFY(saved.hv.at(0).value(HvSetting::Status).isNull());
}

void tst_SnapshotRun::changesComparedAndRestored_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("compared");
    QTest::addColumn<QStringList>("restore");
    const QString hvLine = "H\tsetV\t200\t100";
    QTest::newRow("range") << QStringList{"SetRange 1e-5"}
                           << QStringList{"A\trange\t1e-08\t1e-05", hvLine}
                           << QStringList{"SetRange 1e-8", "GetStatus"};
    QTest::newRow("filter") << QStringList{"SetFilter 1"}
                            << QStringList{"A\tfilter\tfalse\ttrue", hvLine}
                            << QStringList{"SetFilter 0", "GetStatus"};
    QTest::newRow("suppression value")
        << QStringList{"SetCurrentSurpressionValue 2e-10"}
        << QStringList{"A\tsuppressionValue\t5e-10\t2e-10", hvLine}
        << QStringList{"SetCurrentSurpressionValue 5e-10", "GetCurrentSurpressionValue"};
    // A pair of buttons kept opposite: the panel sends the pair twice.
    QTest::newRow("filter mode") << QStringList{"SetAutoFilter 1"}
                                 << QStringList{"A\tfilterMode\tmanual\tauto", hvLine}
                                 << QStringList{"SetAutoFilter 0", "GetStatus", "SetAutoFilter 0",
                                                "GetStatus"};
    QTest::newRow("three at once, in the table's order")
        << QStringList{"SetFilter 1", "SetCurrentSurpressionValue 2e-10", "SetRange 1e-5"}
        << QStringList{"A\trange\t1e-08\t1e-05", "A\tsuppressionValue\t5e-10\t2e-10",
                       "A\tfilter\tfalse\ttrue", hvLine}
        << QStringList{"SetRange 1e-8",
                       "GetStatus",
                       "SetCurrentSurpressionValue 5e-10",
                       "GetCurrentSurpressionValue",
                       "SetFilter 0",
                       "GetStatus"};
}

void tst_SnapshotRun::changesComparedAndRestored()
{
    QFETCH(QStringList, changes);
    QFETCH(QStringList, compared);
    QFETCH(QStringList, restore);
    const QString file = sim->dir().filePath("snapshot.json");
    auto body = startSaved(file);
    QVERIFY(body);
    QCOMPARE(run(*body, SnapshotRun::Command::Compare, file), 0);
    QCOMPARE(out, QString());

    // Changed at the devices, and by the operator's choice of set voltage.
    const QStringList events = sim->changeAmplifier(changes);
    QVERIFY(deliver(sim->server(), *body->devices.client(), events));
    body->hv()->selectVoltage("100");
    body->amp()->askValues();
    QTRY_VERIFY(!body->amp()->awaitsAnswers());

    QCOMPARE(run(*body, SnapshotRun::Command::Compare, file), 1);
    QCOMPARE(out.split('\n', Qt::SkipEmptyParts), compared);

    takeSentLines(sim->server(), *body->devices.client());
    QCOMPARE(run(*body, SnapshotRun::Command::Restore, file), 0);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QStringList expected;
    for (const QString &line : qAsConst(restore))
        expected << "Brenlow.amp1>ca.1 " + line;
    // Nothing at all goes to the HV module; its set voltage waits in SetV.
    QCOMPARE(takeSentLines(sim->server(), *body->devices.client()), expected);
    QCOMPARE(body->hv()->setV().text, QStringLiteral("200"));
    QCOMPARE(run(*body, SnapshotRun::Command::Compare, file), 0);
}

void tst_SnapshotRun::readOnlyRefusesRestore()
{
    auto body = startStation(true);
    const QString file = sim->dir().filePath("snapshot.json");
    QCOMPARE(run(*body, SnapshotRun::Command::Save, file), 0);
    sim->changeAmplifier({"SetFilter 1"});
    body->amp()->askValues();
    QTRY_VERIFY(!body->amp()->awaitsAnswers());
    takeSentLines(sim->server(), *body->devices.client());

    QCOMPARE(run(*body, SnapshotRun::Command::Restore, file), 1);
    QVERIFY2(err.contains("read-only"), qPrintable(err));
    QCOMPARE(takeSentLines(sim->server(), *body->devices.client()), QStringList());
}

// A snapshot's settings go back only onto the device they were taken of:
// a module whose node is another one, or that the station does not have,
// is named and left alone, and so is a value the file cannot vouch for; the
// rest is restored, and the run ends with 1. A snapshot taken through
// another server is restored by the nodes alone, with a warning.
void tst_SnapshotRun::restoresOnlyOntoItsDevice_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("ampRestored");
    QTest::addColumn<bool>("hvFilled");
    QTest::newRow("amplifier of another node")
        << "amplifiers/A/node" << QJsonValue("ca.9") << 1
        << "brenlow: not restored: A\tnode\ttaken of node ca.9, but the station's module is "
           "node ca.1"
        << false << true;
    QTest::newRow("HV module of another node")
        << "hv/H/node" << QJsonValue("hvps.9") << 1
        << "brenlow: not restored: H\tnode\ttaken of node hvps.9, but the station's module is "
           "node hvps.2"
        << true << false;
    QTest::newRow("amplifier without a node")
        << "amplifiers/A/node" << QJsonValue() << 1
        << "brenlow: not restored: A\tnode\tthe snapshot names no node for it" << false << true;
    QTest::newRow("another server")
        << "server" << QJsonValue("10.0.0.5:6058") << 0
        << "brenlow: warning: the snapshot was taken through the server 10.0.0.5:6058, the "
           "station now uses 127.0.0.1:{port}"
        << true << true;
    QTest::newRow("a module the station lacks")
        << "amplifiers/B" << QJsonValue(QJsonObject{{"node", "ca.2"}, {"filter", true}}) << 1
        << "brenlow: not restored: B\tmodule\tnot in the station" << true << true;
    QTest::newRow("a value that is not a number")
        << "amplifiers/A/biasVoltage" << QJsonValue("1 2 3") << 1
        << "brenlow: not used: A\tbiasVoltage\t\"1 2 3\" is not a number" << true << true;
    QTest::newRow("a NUL in a value")
        << "amplifiers/A/biasVoltage" << QJsonValue(QString::fromUtf8("2\0", 2)) << 1
        << "brenlow: not used: A\tbiasVoltage\tholds a control character" << true << true;
}

void tst_SnapshotRun::restoresOnlyOntoItsDevice()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(bool, ampRestored);
    QFETCH(bool, hvFilled);
    const QString file = sim->dir().filePath("snapshot.json");
    auto body = startSaved(file);
    QVERIFY(body);

    // The file edited where the row says: one step down per "/".
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(saved.readAll()).object();
    saved.close();
    const QStringList keys = path.split('/');
    std::function<QJsonObject(QJsonObject, int)> edit = [&](QJsonObject object, int level) {
        const QString &key = keys.at(level);
        if (level + 1 == keys.size())
            object.insert(key, value);
        else
            object.insert(key, edit(object.value(key).toObject(), level + 1));
        return object;
    };
    writeFile(file, QJsonDocument(edit(root, 0)).toJson());

    // Changed since: the amplifier's filter, at the device, and the set
    // voltage, by the operator.
    sim->changeAmplifier({"SetFilter 1"});
    body->hv()->selectVoltage("100");
    body->amp()->askValues();
    QTRY_VERIFY(!body->amp()->awaitsAnswers());
    takeSentLines(sim->server(), *body->devices.client());

    QCOMPARE(run(*body, SnapshotRun::Command::Restore, file), status);
    message.replace("{port}", QString::number(sim->server().port()));
    QVERIFY2(err.contains(message + '\n'), qPrintable(err));
    const QStringList sent = takeSentLines(sim->server(), *body->devices.client());
    QStringList commands;
    for (const QString &line : sent) {
        if (isCommand(line))
            commands << line;
    }
    // Nothing that was left out reaches the wire; the filter goes back only
    // onto its own device.
    QCOMPARE(commands, ampRestored ? QStringList{"Brenlow.amp1>ca.1 SetFilter 0"} : QStringList());
    QCOMPARE(body->hv()->setV().text, QString(hvFilled ? "200" : "100"));
}

void tst_SnapshotRun::noLinkIsNoComparison_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("status");
    QTest::newRow("save") << int(SnapshotRun::Command::Save) << 1;
    QTest::newRow("compare") << int(SnapshotRun::Command::Compare) << 2;
    QTest::newRow("restore") << int(SnapshotRun::Command::Restore) << 2;
}

void tst_SnapshotRun::noLinkIsNoComparison()
{
    QFETCH(int, command);
    QFETCH(int, status);
    const QString file = writeFile(sim->dir().filePath("snapshot.json"),
                                   "{\"format\": \"brenlow-snapshot/1\", \"amplifiers\": "
                                   "{\"A\": {\"node\": \"ca.1\", \"filter\": true}}}");
    // A port that nothing listens on any more: the link is refused and,
    // without a reconnector, given up.
    const QString station = sim->writeStation();
    const QString port = QString::number(sim->server().port());
    sim->server().close();
    Run body(station, false);
    QCOMPARE(run(body, SnapshotRun::Command(command), file), status);
    QVERIFY2(err.contains("brenlow: no link to the server 127.0.0.1:" + port), qPrintable(err));
}

void tst_SnapshotRun::unusableFiles_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    for (const auto command : {SnapshotRun::Command::Compare, SnapshotRun::Command::Restore}) {
        const char *name = command == SnapshotRun::Command::Compare ? "compare" : "restore";
        QTest::addRow("%s, not JSON", name)
            << int(command) << QByteArray("[A]\nrange=1e-6\n") << "not JSON";
        QTest::addRow("%s, another format", name)
            << int(command) << QByteArray("{\"format\": \"other/1\"}")
            << "format \"other/1\" is not \"brenlow-snapshot/1\"";
        QTest::addRow("%s, no file", name) << int(command) << QByteArray() << "";
    }
}

void tst_SnapshotRun::unusableFiles()
{
    QFETCH(int, command);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString file = sim->dir().filePath("snapshot.json");
    if (!content.isEmpty())
        writeFile(file, content);
    auto body = startStation();
    // The panels' own start lines, and the commands their first answers
    // send back, are over before the run.
    QTRY_VERIFY(body->snapshots.allAnswered());
    QTRY_VERIFY(!body->amp()->awaitsAnswers());
    takeSentLines(sim->server(), *body->devices.client());
    QCOMPARE(run(*body, SnapshotRun::Command(command), file), 2);
    QVERIFY2(err.startsWith(QStringLiteral("brenlow: cannot read the snapshot [%1]: ").arg(file)),
             qPrintable(err));
    QVERIFY2(err.contains(reason), qPrintable(err));
    for (const QString &line : takeSentLines(sim->server(), *body->devices.client()))
        QVERIFY2(!isCommand(line), qPrintable(line));
}

void tst_SnapshotRun::unwritablePathWritesNothing()
{
    writeFile(sim->dir().filePath("plain.txt"), "text\n");
    auto body = startStation();
    const QString file = sim->dir().filePath("plain.txt/snapshot.json");
    QCOMPARE(run(*body, SnapshotRun::Command::Save, file), 1);
    QVERIFY2(err.contains(QStringLiteral("cannot write the snapshot [%1]").arg(file)),
             qPrintable(err));
    QCOMPARE(QDir(sim->dir().path()).entryList({"*.json"}, QDir::Files), QStringList());
}

QTEST_MAIN(tst_SnapshotRun)
#include "tst_snapshotrun.moc"
