// SPDX-License-Identifier: GPL-3.0-or-later
// The station reader and its check: every kind of problem found in a file
// written by the test, and a clean station with none.

#include "TestSupport.h"
#include "station/Station.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

Q_DECLARE_METATYPE(StationProblem::Kind)

class tst_Station : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void problems_data();
    void problems();
    void exampleStationIsClean();
    void keysOfEverySectionKindAreKnown();
    void missingFileGivesDefaults();
    void timeoutKeys();
    void moduleSectionsAsFiled_data();
    void moduleSectionsAsFiled();
    void namesThatReshapeLines_data();
    void namesThatReshapeLines();
    void archiveKeys_data();
    void archiveKeys();
    void alarmKeys_data();
    void alarmKeys();

private:
    // A station file in dir: the top keys, then body. An empty keyFile
    // names the test's valid key file.
    QString writeStation(const QString &name, const QByteArray &body,
                         const QByteArray &port = "6058", const QString &keyFile = QString());

    QTemporaryDir dir;
    QString keyBase;
    QString table;
};

void tst_Station::initTestCase()
{
    QVERIFY(dir.isValid());
    keyBase = writeKeyFile(dir, {QStringLiteral("alpha")});
    table = writeFile(dir.filePath(QStringLiteral("I0.txt")), "1e-6 2e-10\n");
}

QString tst_Station::writeStation(const QString &name, const QByteArray &body,
                                  const QByteArray &port, const QString &keyFile)
{
    const QByteArray top = "Tesra IP=127.0.0.1\nTesra Port=" + port +
                           "\nKey File=" + (keyFile.isEmpty() ? keyBase : keyFile).toUtf8() + "\n";
    return writeFile(dir.filePath(name), top + body);
}

void tst_Station::problems_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<StationProblem::Kind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<QString>("keyFile");

    const QByteArray chamber = "HV Module Names=H\nAMP Module Names=A\nIC Module Names=C\n"
                               "[H]\nid=h\n[A]\nid=a\n[C]\nHV Unit id=h\nAMP Unit id=a\n";

    QTest::newRow("misspelt top-level key")
        << QByteArray("TesraIP=127.0.0.1\n") << StationProblem::UnknownKey
        << "unknown key [TesraIP] at the top level" << QByteArray("6058") << QString();
    QTest::newRow("unknown module key")
        << QByteArray("HV Module Names=H\n[H]\nid=h\nColour=1, 2, 3\n")
        << StationProblem::UnknownKey << "unknown key [Colour] in section [H]" << QByteArray("6058")
        << QString();
    QTest::newRow("amplifier key in an HV section")
        << QByteArray("HV Module Names=H\n[H]\nTC Table=T\n") << StationProblem::UnknownKey
        << "unknown key [TC Table] in section [H]" << QByteArray("6058") << QString();
    QTest::newRow("section no list names")
        << QByteArray("[Stray]\nid=x\n") << StationProblem::UnknownKey
        << "unknown key [id] in section [Stray]" << QByteArray("6058") << QString();
    QTest::newRow("chamber without its HV module")
        << QByteArray(chamber).replace("HV Unit id=h", "HV Unit id=nohv")
        << StationProblem::MissingHv << "ion chamber [C]: no HV module with id [nohv]"
        << QByteArray("6058") << QString();
    QTest::newRow("chamber without its amplifier")
        << QByteArray(chamber).replace("AMP Unit id=a", "AMP Unit id=noamp")
        << StationProblem::MissingAmp << "ion chamber [C]: no amplifier with id [noamp]"
        << QByteArray("6058") << QString();
    QTest::newRow("missing TC table")
        << QByteArray("AMP Module Names=A\n[A]\nTC Table=Gone\n") << StationProblem::MissingTable
        << "amplifier [A]: no TC Table named [Gone]; its selector stays empty" << QByteArray("6058")
        << QString();
    QTest::newRow("range table named only as TC table")
        << QByteArray("TCTables=T\nAMP Module Names=A\n[T]\nTable=1\n[A]\nRange Table=T\n")
        << StationProblem::MissingTable
        << "amplifier [A]: no Range Table named [T]; its selector stays empty" << QByteArray("6058")
        << QString();
    QTest::newRow("unreadable suppression table")
        << QByteArray("AMP Module Names=A\n[A]\nCurrent Surpression Table=" +
                      dir.filePath(QStringLiteral("none.txt")).toUtf8() + "\n")
        << StationProblem::UnreadableSuppressionTable
        << "amplifier [A]: the current suppression table [" +
               dir.filePath(QStringLiteral("none.txt")) + "] cannot be read"
        << QByteArray("6058") << QString();
    QTest::newRow("missing key file")
        << QByteArray() << StationProblem::MissingKeyFile
        << "key file: neither [" + dir.filePath(QStringLiteral("nokey")) +
               ".key] nor [:Brenlow.key] can be opened"
        << QByteArray("6058") << dir.filePath(QStringLiteral("nokey"));
    QTest::newRow("port zero") << QByteArray() << StationProblem::BadPort
                               << "Tesra Port [0] is not a port number from 1 to 65535"
                               << QByteArray("0") << QString();
    QTest::newRow("port too large") << QByteArray() << StationProblem::BadPort
                                    << "Tesra Port [70000] is not a port number from 1 to 65535"
                                    << QByteArray("70000") << QString();
    QTest::newRow("port not a number") << QByteArray() << StationProblem::BadPort
                                       << "Tesra Port [http] is not a port number from 1 to 65535"
                                       << QByteArray("http") << QString();
    QTest::newRow("HV tolerance not a number")
        << QByteArray("HV Tolerance=wide\n") << StationProblem::BadAlarmSetting
        << "HV Tolerance [wide] cannot be used; the default is in use" << QByteArray("6058")
        << QString();
    QTest::newRow("negative alarm delay")
        << QByteArray("Alarm Delay=-5\n") << StationProblem::BadAlarmSetting
        << "Alarm Delay [-5] cannot be used; the default is in use" << QByteArray("6058")
        << QString();
    QTest::newRow("alarm sound neither true nor false")
        << QByteArray("Alarm Sound=loud\n") << StationProblem::BadAlarmSetting
        << "Alarm Sound [loud] cannot be used; the default is in use" << QByteArray("6058")
        << QString();
    QTest::newRow("no such alarm condition")
        << QByteArray("HV Module Names=H\n[H]\nAlarms=hv-fault, trip\n")
        << StationProblem::UnknownAlarmCondition
        << "module [H]: Alarms names [trip], which is no alarm condition of this module; it is "
           "left out"
        << QByteArray("6058") << QString();
    QTest::newRow("an amplifier's condition on an HV module")
        << QByteArray("HV Module Names=H\n[H]\nAlarms=amp-overload\n")
        << StationProblem::UnknownAlarmCondition
        << "module [H]: Alarms names [amp-overload], which is no alarm condition of this module; "
           "it is left out"
        << QByteArray("6058") << QString();
    QTest::newRow("the station's link alarm on a module")
        << QByteArray("AMP Module Names=A\n[A]\nAlarms=silent, link-lost\n")
        << StationProblem::UnknownAlarmCondition
        << "module [A]: Alarms names [link-lost], which is no alarm condition of this module; "
           "it is left out"
        << QByteArray("6058") << QString();
}

void tst_Station::problems()
{
    QFETCH(QByteArray, body);
    QFETCH(StationProblem::Kind, kind);
    QFETCH(QString, text);

    QFETCH(QByteArray, port);
    QFETCH(QString, keyFile);
    const QString path =
        writeStation(QString::fromLatin1(QTest::currentDataTag()), body, port, keyFile);

    const Station station = Station::read(path);
    const QVector<StationProblem> found = station.check();
    QStringList texts;
    for (const StationProblem &p : found)
        texts << p.text();
    QCOMPARE(texts, QStringList{text});
    QCOMPARE(found.first().kind, kind);
}

void tst_Station::exampleStationIsClean()
{
    // The example names its files relative to the repository's top.
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QStringLiteral(BRENLOW_SOURCE_DIR)));
    const Station station = Station::read(QStringLiteral("examples/station.ini"));
    const QVector<StationProblem> found = station.check();
    QDir::setCurrent(here);

    QStringList texts;
    for (const StationProblem &p : found)
        texts << p.text();
    QCOMPARE(texts, QStringList());
    QCOMPARE(station.hvModules.size(), 4);
    QCOMPARE(station.ampModules.size(), 4);
    QCOMPARE(station.chambers.size(), 4);
    QCOMPARE(station.chambers.at(3).hvIndex, 3);
    QCOMPARE(station.ampModules.at(0).rangeTable.size(), 9);
}

void tst_Station::keysOfEverySectionKindAreKnown()
{
    // One name in every list: its section may hold the keys of every kind.
    const QString path = writeStation(
        QStringLiteral("all.ini"),
        "Name on Tesra=Brenlow\nTCTables=X\nRangeTables=X\nHV Module Names=X\n"
        "HV Tolerance=5%\nAlarm Delay=5\nAlarm Sound=false\n"
        "AMP Module Names=X\nIC Module Names=X\n"
        "[X]\nTable=1\nid=x\ndriver=d\nch=1\nPosition in Window=0, 0\nColor=1, 2, 3\n"
        "Default Voltage=1\nDefault Select=1\nVoltage Editable=true\nVoltage Tolerance=1\n"
        "TC Table=X\nRange Table=X\nCurrent Surpression Table=" +
            table.toUtf8() +
            "\nPoll Errors=true\nHV Unit id=x\nAMP Unit id=x\nPosition of Name=0, 0\n"
            "Alarms=silent\n");
    const Station station = Station::read(path);
    QCOMPARE(station.check().size(), 0);
    QCOMPARE(station.fileState, Station::FileReadable);
    QCOMPARE(station.ampModules.first().tcTable, QStringList{QStringLiteral("1")});
    QVERIFY(station.ampModules.first().pollErrors);
}

void tst_Station::missingFileGivesDefaults()
{
    const QString path = dir.filePath(QStringLiteral("absent.ini"));
    const Station station = Station::read(path);
    QCOMPARE(station.fileState, Station::FileMissing);
    QCOMPARE(station.serverPort, QStringLiteral("6058"));
    QCOMPARE(station.clientName, QStringLiteral("Brenlow"));
    QCOMPARE(station.keyFile, QStringLiteral("Brenlow"));
    QVERIFY(station.hvModules.isEmpty() && station.chambers.isEmpty());
    QCOMPARE(station.problems.size(), 1);
    QCOMPARE(station.problems.first().text(),
             "configuration file [" + path + "] does not exist; built-in defaults are in use");

    const Station directory = Station::read(dir.path());
    QCOMPARE(directory.fileState, Station::FileUnreadable);
    QCOMPARE(directory.problems.first().kind, StationProblem::UnreadableFile);
}

void tst_Station::timeoutKeys()
{
    const Station set = Station::read(
        writeStation(QStringLiteral("timeouts.ini"), "Dead Link Timeout=2.5\nAnswer Timeout=0\n"));
    QCOMPARE(set.count(StationProblem::UnknownKey), 0);
    QCOMPARE(set.deadLinkTimeoutMs, 2500);
    QCOMPARE(set.answerTimeoutMs, 0);

    const Station absent = Station::read(writeStation(QStringLiteral("plain.ini"), ""));
    QCOMPARE(absent.deadLinkTimeoutMs, 10000);
    QCOMPARE(absent.answerTimeoutMs, 10000);
}

void tst_Station::alarmKeys_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<bool>("percent");
    QTest::addColumn<qint64>("delayMs");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<QStringList>("hvAlarms");
    QTest::addColumn<QStringList>("ampAlarms");

    const QByteArray modules = "HV Module Names=H\nAMP Module Names=A\n";
    const QStringList hvAll{"hv-fault", "hv-deviation", "silent"};
    const QStringList ampAll{"amp-overload", "silent"};
    QTest::newRow("defaults") << modules << 5.0 << true << qint64(5000) << false << hvAll << ampAll;
    QTest::newRow("volts, delay, sound")
        << modules + "HV Tolerance=20\nAlarm Delay=2.5\nAlarm Sound=TRUE\n"
        << 20.0 << false << qint64(2500) << true << hvAll << ampAll;
    QTest::newRow("a percentage") << modules + "HV Tolerance=2.5 %\nAlarm Delay=0\n"
                                  << 2.5 << true << qint64(0) << false << hvAll << ampAll;
    QTest::newRow("delay above an hour")
        << modules + "Alarm Delay=86400\n"
        << 5.0 << true << qint64(3600000) << false << hvAll << ampAll;
    QTest::newRow("bad values keep the defaults")
        << modules + "HV Tolerance=-1\nAlarm Delay=soon\nAlarm Sound=yes\n"
        << 5.0 << true << qint64(5000) << false << hvAll << ampAll;
    QTest::newRow("turned off") << modules + "[H]\nAlarms=off\n[A]\nAlarms=OFF\n"
                                << 5.0 << true << qint64(5000) << false << QStringList()
                                << QStringList();
    QTest::newRow("a list, in any order")
        << modules + "[H]\nAlarms=silent, hv-fault\n[A]\nAlarms=amp-overload\n"
        << 5.0 << true << qint64(5000) << false << QStringList{"hv-fault", "silent"}
        << QStringList{"amp-overload"};
    QTest::newRow("unknown words are left out")
        << modules + "[H]\nAlarms=hv-deviation, trip\n"
        << 5.0 << true << qint64(5000) << false << QStringList{"hv-deviation"} << ampAll;
}

void tst_Station::alarmKeys()
{
    QFETCH(QByteArray, body);
    const Station station =
        Station::read(writeStation(QString::fromLatin1(QTest::currentDataTag()), body));
    QCOMPARE(station.count(StationProblem::UnknownKey), 0);
    QTEST(station.deviation.tolerance, "tolerance");
    QTEST(station.deviation.percent, "percent");
    QTEST(station.deviation.delayMs, "delayMs");
    QTEST(station.alarmSound, "sound");
    QTEST(station.hvModules.first().alarms.names(), "hvAlarms");
    QTEST(station.ampModules.first().alarms.names(), "ampAlarms");
}

// A module's keys are found under its name as the settings class files
// sections: slashes doubled, leading or trailing in the name do not count,
// and an empty name reads the top level.
void tst_Station::moduleSectionsAsFiled_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("plain") << QByteArray("HV Module Names=a, b\n[a]\nid=1\n[b]\nid=2\n")
                           << QStringList{"1", "2"};
    QTest::newRow("slashes in names")
        << QByteArray("HV Module Names=a//b, /c/\n[a/b]\nid=1\n[c]\nid=2\n")
        << QStringList{"1", "2"};
    QTest::newRow("empty name reads the top level")
        << QByteArray("HV Module Names=, a\nid=top\n[a]\nid=1\n") << QStringList{"top", "1"};
    QTest::newRow("a name again after another")
        << QByteArray("HV Module Names=a, b, a, /\n[a]\nid=1\n[b]\nid=2\n")
        << QStringList{"1", "2", "1", ""};
}

void tst_Station::moduleSectionsAsFiled()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, ids);
    const Station station =
        Station::read(writeStation(QString::fromLatin1(QTest::currentDataTag()), body));
    QStringList read;
    for (const StationHv &hv : station.hvModules)
        read << hv.id;
    QCOMPARE(read, ids);
}

// A name that is not one word of a line: the module is left out (so nothing
// builds or simulates it), every such key is named, and the other modules
// keep their places; a client name of two words is named as well.
void tst_Station::namesThatReshapeLines_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("built"); // HV and amplifier modules, in order
    const QString tail = QStringLiteral(
        " holds white space or a control character, which would reshape its lines; the module "
        "is not built");

    QTest::newRow("blank in a channel")
        << QByteArray("HV Module Names=H1, H2\n[H1]\nid=h1\ndriver=hv\nch=1 SetV\n"
                      "[H2]\nid=h2\ndriver=hv\nch=2\n")
        << QStringList{"module [H1]: ch [1 SetV]" + tail} << QStringList{"H2"};
    QTest::newRow("tab in a driver")
        << QByteArray("AMP Module Names=A1, A2\n[A1]\nid=a1\ndriver=ca\t1\n[A2]\nid=a2\n")
        << QStringList{"module [A1]: driver [ca\\u00091]" + tail} << QStringList{"A2"};
    QTest::newRow("control character in an id")
        << QByteArray("AMP Module Names=A\n[A]\nid=a\x1b[2J\ndriver=ca\n")
        << QStringList{"module [A]: id [a\\u001b[2J]" + tail} << QStringList{};
    QTest::newRow("every name of one module")
        << QByteArray("HV Module Names=H\n[H]\nid=h 1\ndriver=hv ps\nch=1 2\n")
        << QStringList{"module [H]: id [h 1]" + tail, "module [H]: driver [hv ps]" + tail,
                       "module [H]: ch [1 2]" + tail}
        << QStringList{};
    QTest::newRow("chamber naming a module left out")
        << QByteArray("HV Module Names=H\nIC Module Names=C\n[H]\nid=h\ndriver=hv\nch=1 SetV\n"
                      "[C]\nHV Unit id=h\nAMP Unit id=\n")
        << QStringList{"module [H]: ch [1 SetV]" + tail,
                       "ion chamber [C]: no HV module with id [h]",
                       "ion chamber [C]: no amplifier with id []"}
        << QStringList{};
    QTest::newRow("client name of two words")
        << QByteArray("Name on Tesra=Bren low\nHV Module Names=H\n[H]\nid=h\ndriver=hv\n")
        << QStringList{"Name on Tesra [Bren low] holds white space or a control character, which "
                       "would reshape every line; no connection is made"}
        << QStringList{"H"};
    QTest::newRow("dots, dashes and an empty channel")
        << QByteArray("HV Module Names=H\n[H]\nid=h.1\ndriver=hv-ps_2\nch=\n") << QStringList{}
        << QStringList{"H"};
}

void tst_Station::namesThatReshapeLines()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, built);

    const Station station =
        Station::read(writeStation(QString::fromLatin1(QTest::currentDataTag()), body));
    QStringList found;
    for (const StationProblem &p : station.check())
        found << p.text();
    QCOMPARE(found, texts);
    QStringList modules;
    for (const StationHv &hv : station.hvModules)
        modules << hv.name;
    for (const StationAmp &amp : station.ampModules)
        modules << amp.name;
    QCOMPARE(modules, built);
    // A module after one left out keeps the place its index gives it.
    if (built == QStringList{"H2"} || built == QStringList{"A2"}) {
        const StationModule &kept =
            station.hvModules.isEmpty()
                ? static_cast<const StationModule &>(station.ampModules.at(0))
                : station.hvModules.at(0);
        QCOMPARE(kept.place.row, 1);
    }
}

// The station's name in a shared archive comes from its key, else from the
// file's name; the archive's keys are known keys.
void tst_Station::archiveKeys_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("queue");
    QTest::newRow("no keys") << "beamline-2.ini" << QByteArray() << "beamline-2" << 1000000;
    QTest::newRow("only the last suffix goes")
        << "lab.b2.ini" << QByteArray() << "lab.b2" << 1000000;
    QTest::newRow("named") << "s.ini"
                           << QByteArray("Station Name= North hall \nHistory Queue=5000\n")
                           << "North hall" << 5000;
    QTest::newRow("blank name, bad queue")
        << "s.ini" << QByteArray("Station Name=\nHistory Queue=-1\n") << "s" << 1000000;
}

void tst_Station::archiveKeys()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, keys);
    QFETCH(QString, name);
    QFETCH(int, queue);
    QTemporaryDir files;
    const QString path = TestSupport::writeFile(
        files.filePath(file), keys + "History Database=postgresql://u@127.0.0.1:1/db\n");
    const Station station = Station::read(path);
    QCOMPARE(station.stationName, name);
    QCOMPARE(station.historyQueue, queue);
    QCOMPARE(station.historyDatabase, QString("postgresql://u@127.0.0.1:1/db"));
    QCOMPARE(station.count(StationProblem::UnknownKey), 0);
}

QTEST_GUILESS_MAIN(tst_Station)
#include "tst_station.moc"
