// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot file and its comparison, without a window or a network: what
// a file holds after a round trip, which files are refused and why, which
// values count as a difference, and that a failed write leaves no file.

#include "TestSupport.h"
#include "station/Snapshot.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

// One amplifier and one HV module, every value reported.
Snapshot station()
{
    Snapshot s;
    s.taken = "2026-12-09T10:00:00+09:00";
    s.station = "/srv/station.ini";
    s.server = "127.0.0.1:6058";
    s.amplifiers.append(
        {"AMP I0",
         "ca5350.i0",
         {QJsonValue("1e-6"), true, false, QJsonValue("5e-10"), true, QJsonValue("0.01"),
          QJsonValue("auto"), false, QJsonValue("1.5"), QJsonValue("rear"), QJsonValue("low")}});
    s.hv.append({"HV I0",
                 "hvps.1",
                 {QJsonValue("1500"), QJsonValue("10"), QJsonValue("ON"), QJsonValue("1499.8"),
                  QJsonValue("3000V"), QJsonValue("80")}});
    return s;
}

int ampIndex(const char *key)
{
    for (int i = 0; i < Snapshot::ampSettings().size(); ++i) {
        if (QByteArray(Snapshot::ampSettings().at(i).key) == key)
            return i;
    }
    return -1;
}

int hvIndex(const char *key)
{
    for (int i = 0; i < Snapshot::hvSettings().size(); ++i) {
        if (QByteArray(Snapshot::hvSettings().at(i).key) == key)
            return i;
    }
    return -1;
}

QByteArray withAmp(const char *key, const QByteArray &valueJson)
{
    return "{\"format\": \"brenlow-snapshot/1\", \"amplifiers\": {\"AMP1\": {\"" + QByteArray(key) +
           "\": " + valueJson + "}}}";
}

QByteArray withHv(const char *key, const QByteArray &valueJson)
{
    return "{\"format\": \"brenlow-snapshot/1\", \"hv\": {\"HV1\": {\"" + QByteArray(key) +
           "\": " + valueJson + ", \"status\": \"ON\"}}}";
}

} // namespace

class tst_Snapshot : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void refused_data();
    void refused();
    void lenientReading();
    void compare_data();
    void compare();
    void differenceLine();
    void failedWriteLeavesNoFile_data();
    void failedWriteLeavesNoFile();
    void writeReplacesWholeFile();
    void valuesChecked_data();
    void valuesChecked();
    void onlyRegularFilesRead_data();
    void onlyRegularFilesRead();
    void modulesOfOtherDevices_data();
    void modulesOfOtherDevices();
};

void tst_Snapshot::roundTrip_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<QJsonValue>("value");
    for (int i = 0; i < Snapshot::ampSettings().size(); ++i) {
        const SnapshotSetting &setting = Snapshot::ampSettings().at(i);
        QTest::addRow("%s null", setting.key) << i << QJsonValue();
        const QJsonValue value = station().amplifiers.at(0).values.at(i);
        QTest::addRow("%s %s", setting.key, qPrintable(Snapshot::valueText(value))) << i << value;
    }
}

void tst_Snapshot::roundTrip()
{
    QFETCH(int, setting);
    QFETCH(QJsonValue, value);
    Snapshot before = station();
    before.amplifiers[0].values[setting] = value;
    Snapshot after;
    QString error;
    QVERIFY2(Snapshot::fromJson(before.toJson(), after, error), qPrintable(error));
    QCOMPARE(after.taken, before.taken);
    QCOMPARE(after.station, before.station);
    QCOMPARE(after.server, before.server);
    QCOMPARE(after.amplifiers.size(), 1);
    QCOMPARE(after.amplifiers.at(0).section, QStringLiteral("AMP I0"));
    QCOMPARE(after.amplifiers.at(0).node, QStringLiteral("ca5350.i0"));
    QCOMPARE(after.amplifiers.at(0).values, before.amplifiers.at(0).values);
    QCOMPARE(after.hv.at(0).values, before.hv.at(0).values);
    QCOMPARE(after.nullCount(), value.isNull() ? 1 : 0);
    QVERIFY(Snapshot::compare(before, after).isEmpty());
}

void tst_Snapshot::refused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON") << QByteArray("range=1e-6\n") << "not JSON";
    QTest::newRow("cut short") << station().toJson().left(40) << "not JSON";
    QTest::newRow("an array") << QByteArray("[1, 2]") << "not an object";
    QTest::newRow("no format") << QByteArray("{\"amplifiers\": {}}") << "no \"format\" key";
    QTest::newRow("another format")
        << QByteArray("{\"format\": \"brenlow-snapshot/2\"}")
        << "format \"brenlow-snapshot/2\" is not \"brenlow-snapshot/1\"";
    QTest::newRow("format of another kind") << QByteArray("{\"format\": 1}") << "format \"1";
    QTest::newRow("flag as text") << withAmp("zeroCheck", "\"on\"")
                                  << "amplifiers \"AMP1\": \"zeroCheck\" must be true, false";
    QTest::newRow("unknown choice") << withAmp("filterMode", "\"fast\"")
                                    << "\"filterMode\" must be one of \"manual\", \"auto\"";
    QTest::newRow("range as object") << withAmp("range", "{}") << "\"range\" must be a number";
    QTest::newRow("module not an object")
        << QByteArray("{\"format\": \"brenlow-snapshot/1\", \"hv\": {\"HV1\": 3}}")
        << "hv \"HV1\" is not an object";
    QTest::newRow("modules not an object")
        << QByteArray("{\"format\": \"brenlow-snapshot/1\", \"amplifiers\": []}")
        << "\"amplifiers\" is not an object";
}

void tst_Snapshot::refused()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    Snapshot out = station();
    QString error;
    QVERIFY(!Snapshot::fromJson(json, out, error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    // A refused file changes nothing the caller had.
    QCOMPARE(out.amplifiers.at(0).values, station().amplifiers.at(0).values);
}

void tst_Snapshot::lenientReading()
{
    // Unknown keys anywhere, settings left out, a range written as a JSON
    // number by a script.
    const QByteArray json = "{\"format\": \"brenlow-snapshot/1\", \"comment\": \"beam time 42\","
                            " \"amplifiers\": {\"AMP1\": {\"node\": \"ca.1\", \"range\": 1e-6,"
                            " \"gain\": 7, \"zeroCheck\": true}}}";
    Snapshot out;
    QString error;
    QVERIFY2(Snapshot::fromJson(json, out, error), qPrintable(error));
    QCOMPARE(out.amplifiers.size(), 1);
    const SnapshotModule &amp = out.amplifiers.at(0);
    QCOMPARE(amp.node, QStringLiteral("ca.1"));
    QVERIFY(Snapshot::sameValue(Snapshot::ampSettings().at(ampIndex("range")),
                                amp.value(AmpSetting::Range), QJsonValue("1e-6")));
    QCOMPARE(amp.value(AmpSetting::ZeroCheck), QJsonValue(true));
    QVERIFY(amp.value(AmpSetting::Filter).isNull());
    QCOMPARE(out.nullCount(), Snapshot::ampSettings().size() - 2);
    QVERIFY(out.hv.isEmpty());
}

void tst_Snapshot::compare_data()
{
    QTest::addColumn<bool>("amplifier");
    QTest::addColumn<int>("setting");
    QTest::addColumn<QJsonValue>("saved");
    QTest::addColumn<QJsonValue>("live");
    QTest::addColumn<bool>("differs");
    const int range = ampIndex("range");
    QTest::newRow("range written differently")
        << true << range << QJsonValue("1e-6") << QJsonValue("1e-06") << false;
    QTest::newRow("other range") << true << range << QJsonValue("1e-6") << QJsonValue("1e-7")
                                 << true;
    QTest::newRow("range not reported")
        << true << range << QJsonValue("1e-6") << QJsonValue() << true;
    QTest::newRow("nothing saved to hold against")
        << true << range << QJsonValue() << QJsonValue("1e-7") << false;
    QTest::newRow("flag") << true << ampIndex("filter") << QJsonValue(true) << QJsonValue(false)
                          << true;
    QTest::newRow("suppression value") << true << ampIndex("suppressionValue")
                                       << QJsonValue("5e-10") << QJsonValue("5.0e-10") << false;
    QTest::newRow("suppression value changed")
        << true << ampIndex("suppressionValue") << QJsonValue("5e-10") << QJsonValue("0") << true;
    QTest::newRow("choice") << true << ampIndex("backLight") << QJsonValue("low")
                            << QJsonValue("off") << true;
    QTest::newRow("text that is no number")
        << true << ampIndex("biasVoltage") << QJsonValue("abc") << QJsonValue("abc") << false;
    QTest::newRow("set voltage") << false << hvIndex("setV") << QJsonValue("1500")
                                 << QJsonValue("1500.0") << false;
    QTest::newRow("set voltage changed")
        << false << hvIndex("setV") << QJsonValue("1500") << QJsonValue("700") << true;
    QTest::newRow("status") << false << hvIndex("status") << QJsonValue("ON") << QJsonValue("OFF")
                            << true;
    QTest::newRow("voltage, for information only")
        << false << hvIndex("voltage") << QJsonValue("1500.0") << QJsonValue("0.0") << false;
    QTest::newRow("maximum, for information only")
        << false << hvIndex("maxV") << QJsonValue("3000V") << QJsonValue("2000V") << false;
}

void tst_Snapshot::compare()
{
    QFETCH(bool, amplifier);
    QFETCH(int, setting);
    QFETCH(QJsonValue, saved);
    QFETCH(QJsonValue, live);
    QFETCH(bool, differs);
    Snapshot before = station();
    Snapshot now = station();
    SnapshotModule &then = amplifier ? before.amplifiers[0] : before.hv[0];
    SnapshotModule &current = amplifier ? now.amplifiers[0] : now.hv[0];
    then.values[setting] = saved;
    current.values[setting] = live;
    const QVector<SnapshotDifference> found = Snapshot::compare(before, now);
    QCOMPARE(found.size(), differs ? 1 : 0);
    if (!differs)
        return;
    const SnapshotDifference &difference = found.at(0);
    QCOMPARE(difference.scope, amplifier ? SnapshotDifference::Amplifier : SnapshotDifference::Hv);
    QCOMPARE(difference.section, then.section);
    QCOMPARE(difference.setting, setting);
    QCOMPARE(difference.saved, saved);
    QCOMPARE(difference.live, live);
}

void tst_Snapshot::differenceLine()
{
    // A module whose node differs, one the station no longer has, and the
    // line the command line prints for each: tab-separated, since section
    // names hold blanks.
    Snapshot before = station();
    Snapshot now = station();
    now.amplifiers[0].node = "ca5350.i9";
    now.hv.clear();
    const QVector<SnapshotDifference> found = Snapshot::compare(before, now);
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.at(0).line(), QStringLiteral("AMP I0\tnode\tca5350.i0\tca5350.i9"));
    QCOMPARE(found.at(1).line(), QStringLiteral("HV I0\tmodule\thvps.1\tnull"));
    now = station();
    now.amplifiers[0].values[ampIndex("zeroCheck")] = false;
    now.amplifiers[0].values[ampIndex("range")] = QJsonValue();
    const QVector<SnapshotDifference> two = Snapshot::compare(before, now);
    QCOMPARE(two.size(), 2);
    QCOMPARE(two.at(0).line(), QStringLiteral("AMP I0\trange\t1e-6\tnull"));
    QCOMPARE(two.at(1).line(), QStringLiteral("AMP I0\tzeroCheck\ttrue\tfalse"));
}

void tst_Snapshot::failedWriteLeavesNoFile_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing directory") << "no/such/dir/snapshot.json";
    // A regular file where a directory should be stops root as well.
    QTest::newRow("file as directory") << "plain.txt/snapshot.json";
    QTest::newRow("a directory") << "dir";
}

void tst_Snapshot::failedWriteLeavesNoFile()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    TestSupport::writeFile(dir.filePath("plain.txt"), "text\n");
    QVERIFY(QDir(dir.path()).mkdir("dir"));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QString error;
    QVERIFY(!station().save(dir.filePath(relative), error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(QDir(dir.filePath("dir")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_Snapshot::writeReplacesWholeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("snapshot.json");
    TestSupport::writeFile(path, QByteArray(100000, 'x'));
    QString error;
    QVERIFY2(station().save(path, error), qPrintable(error));
    Snapshot back;
    QVERIFY2(Snapshot::load(path, back, error), qPrintable(error));
    QVERIFY(Snapshot::compare(station(), back).isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"snapshot.json"});
    // The file is UTF-8 JSON a script can read.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(root.value("format").toString(), QStringLiteral("brenlow-snapshot/1"));
    QCOMPARE(root.value("amplifiers").toObject().value("AMP I0").toObject().value("range"),
             QJsonValue("1e-6"));
}

// Every value is checked before anything uses it: a setting sent as a number
// must read as one just as it stands, and no value may hold a control
// character (a NUL would reach the wire as a NUL byte). A refused value
// reads as null and is named; the rest of the file is read.
void tst_Snapshot::valuesChecked_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("why");
    QTest::newRow("device's own exponent form") << withAmp("range", "\"1e-08\"") << "range"
                                                << "";
    QTest::newRow("suppression value")
        << withAmp("suppressionValue", "\"5e-10\"") << "suppressionValue"
        << "";
    QTest::newRow("negative set voltage") << withHv("setV", "\"-1500\"") << "setV"
                                          << "";
    QTest::newRow("three numbers") << withAmp("biasVoltage", "\"1 2 3\"") << "biasVoltage"
                                   << "\"1 2 3\" is not a number";
    QTest::newRow("a word") << withAmp("suppressionValue", "\"ERR\"") << "suppressionValue"
                            << "\"ERR\" is not a number";
    QTest::newRow("blank before the number") << withHv("rampRate", "\" 50\"") << "rampRate"
                                             << "\" 50\" is not a number";
    QTest::newRow("beyond a double") << withAmp("range", "\"1e999\"") << "range"
                                     << "\"1e999\" is not a number";
    QTest::newRow("infinity") << withAmp("timeConstant", "\"inf\"") << "timeConstant"
                              << "\"inf\" is not a number";
    QTest::newRow("empty") << withHv("setV", "\"\"") << "setV"
                           << "\"\" is not a number";
    QTest::newRow("NUL in a number") << withAmp("biasVoltage", "\"5\\u0000\"") << "biasVoltage"
                                     << "holds a control character";
    QTest::newRow("line feed in a number")
        << withAmp("suppressionValue", "\"5e-10\\nSetRange 1\"") << "suppressionValue"
        << "holds a control character";
    QTest::newRow("tab in a voltage") << withHv("voltage", "\"1500\\t0\"") << "voltage"
                                      << "holds a control character";
    QTest::newRow("DEL in a text") << withHv("maxV", "\"3000V\\u007f\"") << "maxV"
                                   << "holds a control character";
    QTest::newRow("plain text") << withHv("maxV", "\"3000V\"") << "maxV"
                                << "";
}

void tst_Snapshot::valuesChecked()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, key);
    QFETCH(QString, why);
    Snapshot out;
    QString error;
    QVERIFY2(Snapshot::fromJson(json, out, error), qPrintable(error));
    const bool amplifier = !out.amplifiers.isEmpty();
    const SnapshotModule &module = amplifier ? out.amplifiers.at(0) : out.hv.at(0);
    const int setting = amplifier ? ampIndex(qPrintable(key)) : hvIndex(qPrintable(key));
    QVERIFY(setting >= 0);
    if (why.isEmpty()) {
        QVERIFY(out.refused.isEmpty());
        QVERIFY(module.values.at(setting).isString());
        return;
    }
    QCOMPARE(out.refused.size(), 1);
    const SnapshotRefusal &refusal = out.refused.at(0);
    QCOMPARE(refusal.scope, amplifier ? SnapshotDifference::Amplifier : SnapshotDifference::Hv);
    QCOMPARE(refusal.section, module.section);
    QCOMPARE(refusal.key, key);
    QCOMPARE(refusal.why, why);
    QCOMPARE(refusal.line(), module.section + '\t' + key + '\t' + why);
    // Neither compared nor put back; the module's other values stay.
    QVERIFY(module.values.at(setting).isNull());
    if (!amplifier)
        QCOMPARE(module.value(HvSetting::Status), QJsonValue("ON"));
}

// Only a regular file is read, and only one of at most 16 MB; a pipe or a
// device is refused before it is opened, since opening a pipe waits for a
// writer and reading either may never end.
void tst_Snapshot::onlyRegularFilesRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file";
    QTest::newRow("character device") << "device"
                                      << "not a regular file";
    QTest::newRow("directory") << "directory"
                               << "not a regular file";
    QTest::newRow("one byte over 16 MB") << "large"
                                         << "larger than 16777216 bytes";
    QTest::newRow("exactly 16 MB is read") << "limit"
                                           << "not JSON";
}

void tst_Snapshot::onlyRegularFilesRead()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath("snapshot.json");
    if (kind == "fifo") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind == "device") {
        path = "/dev/zero";
    } else if (kind == "directory") {
        path = dir.path();
    } else {
        // Sparse, all zero bytes: one that is read is not JSON.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(Snapshot::MaxFileBytes + (kind == "large" ? 1 : 0)));
    }
    Snapshot out = station();
    QString error;
    QVERIFY(!Snapshot::load(path, out, error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(out.amplifiers.at(0).values, station().amplifiers.at(0).values);
}

void tst_Snapshot::modulesOfOtherDevices_data()
{
    QTest::addColumn<QString>("savedNode");
    QTest::addColumn<QString>("liveNode");
    QTest::addColumn<bool>("inStation");
    QTest::addColumn<QString>("line");
    QTest::newRow("same node") << "ca5350.i0"
                               << "ca5350.i0" << true << "";
    QTest::newRow("another node")
        << "ca5350.i0"
        << "ca5350.i9" << true
        << "AMP I0\tnode\ttaken of node ca5350.i0, but the station's module is node ca5350.i9";
    QTest::newRow("no node in the snapshot")
        << ""
        << "ca5350.i0" << true << "AMP I0\tnode\tthe snapshot names no node for it";
    QTest::newRow("not in the station") << "ca5350.i0"
                                        << "" << false << "AMP I0\tmodule\tnot in the station";
    QTest::newRow("control character in the node")
        << "ca5350.i0\n"
        << "ca5350.i0" << true
        << "AMP I0\tnode\ttaken of node ca5350.i0\\u000a, but the station's module is node "
           "ca5350.i0";
}

void tst_Snapshot::modulesOfOtherDevices()
{
    QFETCH(QString, savedNode);
    QFETCH(QString, liveNode);
    QFETCH(bool, inStation);
    QFETCH(QString, line);
    Snapshot saved = station();
    Snapshot live = station();
    saved.amplifiers[0].node = savedNode;
    live.amplifiers[0].node = liveNode;
    if (!inStation)
        live.amplifiers.clear();
    // The server alone decides nothing: a station may move servers.
    live.server = "10.0.0.5:6058";
    const QVector<SnapshotRefusal> elsewhere = Snapshot::elsewhere(saved, live);
    QCOMPARE(elsewhere.size(), line.isEmpty() ? 0 : 1);
    if (!line.isEmpty()) {
        QCOMPARE(elsewhere.at(0).scope, SnapshotDifference::Amplifier);
        QCOMPARE(elsewhere.at(0).line(), line);
    }
}

QTEST_GUILESS_MAIN(tst_Snapshot)
#include "tst_snapshot.moc"
