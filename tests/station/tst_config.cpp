// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration reading rules, on INI files written by the test.

#include "TestSupport.h"
#include "station/Config.h"
#include "station/IniKeys.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using Config::Placement;

Q_DECLARE_METATYPE(Placement)

namespace Config {
static bool operator==(const Placement &a, const Placement &b)
{
    return a.col == b.col && a.row == b.row && a.colSpan == b.colSpan && a.rowSpan == b.rowSpan;
}
} // namespace Config

namespace QTest {
template <> char *toString(const Placement &p)
{
    return qstrdup(
        QString::asprintf("col %d row %d spans %d x %d", p.col, p.row, p.colSpan, p.rowSpan)
            .toUtf8()
            .constData());
}
} // namespace QTest

class tst_Config : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void flags_data();
    void flags();
    void keysAsFiled_data();
    void keysAsFiled();
    void modulePlacement_data();
    void modulePlacement();
    void chamberAndNamePlacement();
    void colours_data();
    void colours();
    void tolerance_data();
    void tolerance();
    void reconnectInterval_data();
    void reconnectInterval();
    void timeouts_data();
    void timeouts();
    void historyDays_data();
    void historyDays();
    void tableLookUp();
    void missingFileGivesDefaults();

private:
    QTemporaryDir dir;
};

void tst_Config::values_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("text");

    QTest::newRow("list with blanks") << QByteArray("Names=HV A ,  HV B,HV C") << "Names"
                                      << QStringList{"HV A", "HV B", "HV C"} << "HV A,HV B,HV C";
    QTest::newRow("one item") << QByteArray("Names=single") << "Names" << QStringList{"single"}
                              << "single";
    QTest::newRow("absent") << QByteArray("Other=1") << "Names" << QStringList{} << "";
    QTest::newRow("empty value") << QByteArray("Names=") << "Names" << QStringList{} << "";
    QTest::newRow("invalid value")
        << QByteArray("Names=@Invalid()") << "Names" << QStringList{} << "";
    QTest::newRow("key with blanks, top level") << QByteArray("Tesra IP=127.0.0.1") << "Tesra IP"
                                                << QStringList{"127.0.0.1"} << "127.0.0.1";
    QTest::newRow("quoted comma is one text") << QByteArray("[M]\nDefault Select=\"1,5\"")
                                              << "M/Default Select" << QStringList{"1,5"} << "1,5";
    QTest::newRow("section key") << QByteArray("[HV I0]\nid=hv0") << "HV I0/id"
                                 << QStringList{"hv0"} << "hv0";
}

void tst_Config::values()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, key);
    QFETCH(QStringList, list);
    QFETCH(QString, text);
    const QString path = TestSupport::writeFile(dir.filePath(QTest::currentDataTag()), line + "\n");
    const QSettings settings(path, QSettings::IniFormat);
    IniKeys keys(settings);
    QCOMPARE(Config::readList(keys.find(key)), list);
    QCOMPARE(Config::readText(keys.find(key)), text);
}

void tst_Config::flags_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("value");
    QTest::newRow("false") << QByteArray("F=false") << false;
    QTest::newRow("FALSE") << QByteArray("F=FALSE") << false;
    QTest::newRow("0") << QByteArray("F=0") << false;
    QTest::newRow("empty") << QByteArray("F=") << false;
    QTest::newRow("true") << QByteArray("F=true") << true;
    QTest::newRow("no") << QByteArray("F=no") << true;
    QTest::newRow("1") << QByteArray("F=1") << true;
    QTest::newRow("absent takes the default") << QByteArray("G=0") << true;
    // Read as no value, but the key is there: the empty text, not the default.
    QTest::newRow("invalid value") << QByteArray("F=@Invalid()") << false;
}

void tst_Config::flags()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, value);
    const QString path = TestSupport::writeFile(
        dir.filePath(QStringLiteral("flag-%1").arg(QTest::currentDataTag())), content + "\n");
    const QSettings settings(path, QSettings::IniFormat);
    IniKeys keys(settings);
    QCOMPARE(Config::readFlag(keys.find(QStringLiteral("F")), true), value);
}

// The keys read once must answer every question exactly as the settings
// class does, however the key or the file spells its slashes, sections and
// escapes; and the keys not asked for are the file's others, in its order.
void tst_Config::keysAsFiled_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("unasked");

    QTest::newRow("plain") << QByteArray("A=1\n[S]\nk=2\nj=3") << QStringList{"A", "S/k", "S/x"}
                           << QStringList{"S/j"};
    QTest::newRow("slashes in the question")
        << QByteArray("[S]\nk=2") << QStringList{"/S/k", "S//k", "S/k/", "//S///k//", "S/"}
        << QStringList{};
    // A section name with slashes of its own is filed as it is written, where
    // no question reaches it: its keys stay unknown.
    QTest::newRow("slashes in a section name")
        << QByteArray("[a//b]\nk=1\n[/c/]\nk=2") << QStringList{"a/b/k", "a//b/k", "c/k", "/c//k"}
        << QStringList{"/c//k", "a//b/k"};
    QTest::newRow("general section is the top level")
        << QByteArray("[General]\nTesra IP=127.0.0.1\n[S]\nk=1")
        << QStringList{"Tesra IP", "General/Tesra IP"} << QStringList{"S/k"};
    QTest::newRow("letter case") << QByteArray("[HV]\nId=1\nid=2")
                                 << QStringList{"HV/id", "hv/id", "HV/ID"} << QStringList{"HV/Id"};
    QTest::newRow("escapes") << QByteArray("[%U4E00]\na%20b=1\nc\\d=2\ne%2Ff=3")
                             << QStringList{QString::fromUtf8("\xe4\xb8\x80/a b"),
                                            QString::fromUtf8("\xe4\xb8\x80/c/d"),
                                            QString::fromUtf8("\xe4\xb8\x80/e/f")}
                             << QStringList{};
    QTest::newRow("blanks and empty names")
        << QByteArray("[ S ]\n k =1\n=2\n[]\nx=3") << QStringList{" S / k ", "S/k", "x", "/x"}
        << QStringList{"/x", "S/"};
    QTest::newRow("invalid value is there")
        << QByteArray("F=@Invalid()") << QStringList{"F"} << QStringList{};
    QTest::newRow("nul and bad bytes")
        << QByteArray("[a\0b]\nk\xff=1\n\xc3=2") << QStringList{"a", "a/k", "k"} << QStringList{};
}

void tst_Config::keysAsFiled()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, unasked);
    const QString path = TestSupport::writeFile(
        dir.filePath(QStringLiteral("keys-%1").arg(QTest::currentDataTag())), content + "\n");
    const QSettings settings(path, QSettings::IniFormat);
    IniKeys keys(settings);
    QStringList expectedUnasked = settings.allKeys();
    for (const QString &key : asked) {
        const QVariant *value = keys.find(key);
        QCOMPARE(value != nullptr, settings.contains(key));
        if (value)
            QCOMPARE(*value, settings.value(key));
        else
            QVERIFY(!settings.value(key).isValid());
        expectedUnasked.removeAll(IniKeys::normalised(key));
    }
    QCOMPARE(keys.unasked(), expectedUnasked);
    // The rows name the keys they leave alone, so that a row cannot pass by
    // asking for nothing the file holds.
    QCOMPARE(keys.unasked(), unasked);
}

void tst_Config::modulePlacement_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<int>("index");
    QTest::addColumn<Placement>("place");
    QTest::newRow("none: row from the index") << QStringList{} << 3 << Placement{0, 3, 1, 1};
    QTest::newRow("one number: row from the index")
        << QStringList{"5"} << 2 << Placement{0, 2, 1, 1};
    QTest::newRow("column and row") << QStringList{"2", "1"} << 0 << Placement{2, 1, 1, 1};
    QTest::newRow("three numbers") << QStringList{"2", "1", "4"} << 0 << Placement{2, 1, 1, 1};
    QTest::newRow("with spans") << QStringList{"0", "0", "2", "1"} << 0 << Placement{0, 0, 2, 1};
    QTest::newRow("further numbers ignored")
        << QStringList{"1", "2", "3", "4", "5"} << 0 << Placement{1, 2, 3, 4};
    QTest::newRow("not a number counts as 0")
        << QStringList{"x", "1"} << 0 << Placement{0, 1, 1, 1};
}

void tst_Config::modulePlacement()
{
    QFETCH(QStringList, numbers);
    QFETCH(int, index);
    QFETCH(Placement, place);
    QCOMPARE(Config::modulePlacement(numbers, index), place);
}

void tst_Config::chamberAndNamePlacement()
{
    QCOMPARE(Config::chamberPlacement({}, 1), (Placement{0, 1, 1, 1}));
    QCOMPARE(Config::chamberPlacement({"1", "0", "3", "3"}, 4), (Placement{1, 0, 1, 1}));
    QCOMPARE(Config::namePlacement({"2"}), (Placement{0, 0, 1, 1}));
    QCOMPARE(Config::namePlacement({"2", "0"}), (Placement{2, 0, 1, 1}));
}

void tst_Config::colours_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("style");
    QTest::newRow("three") << QStringList{"255", "200", "200"}
                           << "background-color: rgb(255, 200, 200);";
    QTest::newRow("two change nothing") << QStringList{"255", "200"} << "";
    QTest::newRow("further ignored, no clamping")
        << QStringList{"300", "-1", "x", "7"} << "background-color: rgb(300, -1, 0);";
}

void tst_Config::colours()
{
    QFETCH(QStringList, numbers);
    QFETCH(QString, style);
    QCOMPARE(Config::colourStyleSheet(numbers), style);
}

void tst_Config::tolerance_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("negative") << "-5" << 5.0;
    QTest::newRow("decimal") << "2.5" << 2.5;
    QTest::newRow("not a number") << "five" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("infinite") << "inf" << 0.0;
}

void tst_Config::tolerance()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(Config::tolerance(text), value);
}

void tst_Config::reconnectInterval_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");
    QTest::newRow("off by default") << "0" << 0;
    QTest::newRow("seconds") << "2" << 2000;
    QTest::newRow("fraction") << "0.25" << 250;
    QTest::newRow("blanks around") << " 5 " << 5000;
    QTest::newRow("negative is off") << "-3" << 0;
    QTest::newRow("not a number is off") << "soon" << 0;
    QTest::newRow("empty is off") << "" << 0;
    QTest::newRow("infinite is off") << "inf" << 0;
    QTest::newRow("capped at an hour") << "1e9" << 3600000;
}

void tst_Config::reconnectInterval()
{
    QFETCH(QString, text);
    QFETCH(int, ms);
    QCOMPARE(Config::reconnectIntervalMs(text), ms);
}

void tst_Config::timeouts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");
    // The default is 7 s here, so that it cannot be mistaken for a value.
    QTest::newRow("absent keeps the default") << "" << 7000;
    QTest::newRow("0 turns it off") << "0" << 0;
    QTest::newRow("seconds") << "10" << 10000;
    QTest::newRow("fraction") << "2.5" << 2500;
    QTest::newRow("blanks around") << " 3 " << 3000;
    QTest::newRow("negative keeps the default") << "-1" << 7000;
    QTest::newRow("not a number keeps the default") << "ten" << 7000;
    QTest::newRow("infinite is an hour") << "inf" << 3600000;
    QTest::newRow("not a number, spelt nan") << "nan" << 7000;
    QTest::newRow("capped at an hour") << "1e9" << 3600000;
}

void tst_Config::timeouts()
{
    QFETCH(QString, text);
    QFETCH(int, ms);
    QCOMPARE(Config::timeoutMs(text, 7000), ms);
}

void tst_Config::historyDays_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("days");
    QTest::newRow("absent") << QString() << 30;
    QTest::newRow("a week") << "7" << 7;
    QTest::newRow("blanks around") << " 90 " << 90;
    QTest::newRow("zero keeps the default") << "0" << 30;
    QTest::newRow("negative keeps the default") << "-2" << 30;
    QTest::newRow("not a number keeps the default") << "forever" << 30;
}

void tst_Config::historyDays()
{
    QFETCH(QString, text);
    QFETCH(int, days);
    QCOMPARE(Config::historyDays(text), days);
}

void tst_Config::tableLookUp()
{
    const QStringList names{"TC", "tc", "TC"};
    QCOMPARE(Config::findTable(names, QStringLiteral("TC")), 0);
    QCOMPARE(Config::findTable(names, QStringLiteral("tc")), 1);
    QCOMPARE(Config::findTable(names, QStringLiteral("Tc")), -1);
    QCOMPARE(Config::findTable(names, QString()), -1);
}

void tst_Config::missingFileGivesDefaults()
{
    const QSettings settings(dir.filePath(QStringLiteral("absent.ini")), QSettings::IniFormat);
    IniKeys keys(settings);
    QCOMPARE(Config::readText(keys.find(QStringLiteral("Tesra Port")),
                              QString::fromLatin1(Config::DefaultServerPort)),
             QStringLiteral("6058"));
    QCOMPARE(QString::fromLatin1(Config::DefaultClientName), QStringLiteral("Brenlow"));
    QCOMPARE(QString::fromLatin1(Config::DefaultKeyFile), QStringLiteral("Brenlow"));
    QVERIFY(Config::readList(keys.find(QStringLiteral("IC Module Names"))).isEmpty());
    // The default server is the station's own, on a private network.
    const QString address = QString::fromLatin1(Config::DefaultServerAddress);
    QVERIFY(address.startsWith(QLatin1String("192.168.")) ||
            address.startsWith(QLatin1String("10.")));
}

QTEST_GUILESS_MAIN(tst_Config)
#include "tst_config.moc"
