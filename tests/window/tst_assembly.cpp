// SPDX-License-Identifier: GPL-3.0-or-later
// The window assembled from a whole station configuration against the fake
// server: panels, tables, colours, groups and their places, and the start
// lines on the wire in panel creation order.

#include "FakeTesraServer.h"
#include "TestSupport.h"
#include "amplifier/aCA.h"
#include "client/Tesra.h"
#include "hv/aHV.h"
#include "window/Body.h"
#include "window/StatusNotes.h"
#include "window/aIC.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TestSupport;

namespace {

struct Cell
{
    int row, col, rowSpan, colSpan;
    bool operator==(const Cell &o) const
    {
        return row == o.row && col == o.col && rowSpan == o.rowSpan && colSpan == o.colSpan;
    }
};

Cell cellOf(QGridLayout *layout, QWidget *widget)
{
    Cell c{-1, -1, 0, 0};
    const int index = layout->indexOf(widget);
    if (index >= 0)
        layout->getItemPosition(index, &c.row, &c.col, &c.rowSpan, &c.colSpan);
    return c;
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

namespace QTest {
template <> char *toString(const Cell &c)
{
    return qstrdup(
        QString::asprintf("row %d col %d spans %d x %d", c.row, c.col, c.rowSpan, c.colSpan)
            .toUtf8()
            .constData());
}
} // namespace QTest

class tst_Assembly : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void panelsFromTheirSections();
    void groupsAndPlaces();
    void missingModulesAndTables();
    void startLinesInCreationOrder();
    void stationWithoutChambers();
    void placementLogAtDefaults();
    void pollErrorsFlag();
    void windowShrinksWhenDetailsHide();
    void namesThatReshapeLines_data();
    void namesThatReshapeLines();

private:
    QString writeStation(const QByteArray &body);
    QByteArray station() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeTesraServer> server;
};

void tst_Assembly::init()
{
    dir = std::make_unique<QTemporaryDir>();
    server = std::make_unique<FakeTesraServer>();
    QVERIFY(server->listen());
}

void tst_Assembly::cleanup()
{
    server.reset();
    dir.reset();
}

QString tst_Assembly::writeStation(const QByteArray &body)
{
    return TestSupport::writeStation(*dir, QString::number(server->port()), body);
}

QByteArray tst_Assembly::station() const
{
    const QByteArray table = dir->filePath(QStringLiteral("cspr.txt")).toUtf8();
    writeFile(QString::fromUtf8(table), "1e-6 2.5e-10\n");
    return "TCTables=TC, Both\n"
           "RangeTables=Ranges, Both\n"
           "HV Module Names=HV A, HV B, HV Dup\n"
           "AMP Module Names=AMP A, AMP B\n"
           "IC Module Names=I0, I1, Orphan\n"
           "[TC]\nTable=0.0003, 0.01, 2\n"
           "[Ranges]\nTable=1e-5, 1e-6, 1e-7\n"
           "[Both]\nTable=1, 2\n"
           "[HV A]\nid=hv1\ndriver=hvps\nch=2\nPosition in Window=1, 0\nColor=255, 200, 200\n"
           "Default Voltage=500, 1000\nDefault Select=1000\nVoltage Editable=false\n"
           "Voltage Tolerance=-5\n"
           "[HV B]\nid=hvB\ndriver=hvB\nColor=1, 2\n"
           "[HV Dup]\nid=hv1\ndriver=dup\n"
           "[AMP A]\nid=amp1\ndriver=dev1\nPosition in Window=0, 1, 2, 1\nTC Table=TC\n"
           "Range Table=Ranges\nCurrent Surpression Table=" +
           table +
           "\n"
           "[AMP B]\nid=ampB\ndriver=dev1\nch=2\nTC Table=Missing\nRange Table=Both\n"
           "[I0]\nHV Unit id=hv1\nAMP Unit id=amp1\nPosition of Name=0, 0\n"
           "Position in Window=1, 0\n"
           "[I1]\nHV Unit id=hvB\nAMP Unit id=ampB\n"
           "[Orphan]\nHV Unit id=nohv\nAMP Unit id=noamp\n";
}

void tst_Assembly::panelsFromTheirSections()
{
    Body body(writeStation(station()));
    QCOMPARE(body.hvModules().size(), 3);
    QCOMPARE(body.ampModules().size(), 2);

    aHV *a = body.hvModules().at(0);
    QCOMPARE(a->ui.ModuleName->text(), QStringLiteral("HV A"));
    QCOMPARE(a->id, QStringLiteral("hv1"));
    QCOMPARE(a->driver, QStringLiteral("hvps"));
    QCOMPARE(a->ch, QStringLiteral("2"));
    QCOMPARE((Cell{a->row, a->col, a->rowSpan, a->colSpan}), (Cell{0, 1, 1, 1}));
    QCOMPARE(a->styleSheet(), QStringLiteral("background-color: rgb(255, 200, 200);"));
    QCOMPARE(itemTexts(a->ui.SetV), (QStringList{"500", "1000"}));
    QCOMPARE(a->ui.SetV->currentText(), QStringLiteral("1000"));
    QVERIFY(!a->ui.SetV->isEditable());
    QCOMPARE(a->voltageTolerance, 5.0);

    aHV *b = body.hvModules().at(1);
    QCOMPARE((Cell{b->row, b->col, b->rowSpan, b->colSpan}), (Cell{1, 0, 1, 1}));
    QCOMPARE(b->styleSheet(), QString());
    QCOMPARE(itemTexts(b->ui.SetV), QStringList{"0"});
    QVERIFY(b->ui.SetV->isEditable());
    QCOMPARE(b->voltageTolerance, 0.0);

    aCA *ampA = body.ampModules().at(0);
    QCOMPARE(ampA->ui.ModuleName->text(), QStringLiteral("AMP A"));
    QCOMPARE((Cell{ampA->row, ampA->col, ampA->rowSpan, ampA->colSpan}), (Cell{1, 0, 1, 2}));
    QCOMPARE(itemTexts(ampA->ui.SelectTCCB), (QStringList{"300us", "10ms", "2s"}));
    QCOMPARE(itemTexts(ampA->ui.RangeSCB), (QStringList{"1e-5", "1e-6", "1e-7"}));
    QCOMPARE(itemTexts(ampA->ui.CSprTBLCB), QStringList{"1e-06 : 2.5e-10"});

    aCA *ampB = body.ampModules().at(1);
    QCOMPARE(ampB->ch, QStringLiteral("2"));
    // Default placement: column 0, row from its index in the list.
    QCOMPARE((Cell{ampB->row, ampB->col, ampB->rowSpan, ampB->colSpan}), (Cell{1, 0, 1, 1}));
    // A name standing in both lists is the same table.
    QCOMPARE(itemTexts(ampB->ui.RangeSCB), (QStringList{"1", "2"}));
}

void tst_Assembly::groupsAndPlaces()
{
    Body body(writeStation(station()));
    QCOMPARE(body.icModules().size(), 3);
    auto *base = body.findChild<QGridLayout *>(QStringLiteral("Base"));
    QVERIFY(base);

    aIC *i0 = body.icModules().at(0);
    aIC *i1 = body.icModules().at(1);
    QCOMPARE(i0->name, QStringLiteral("I0"));
    QCOMPARE(cellOf(base, i0), (Cell{0, 1, 1, 1}));
    QCOMPARE(cellOf(base, i1), (Cell{1, 0, 1, 1}));
    QCOMPARE(cellOf(base, body.icModules().at(2)), (Cell{2, 0, 1, 1}));

    // The first of two modules with the same id wins.
    QCOMPARE(i0->hv, body.hvModules().at(0));
    QCOMPARE(i0->amp, body.ampModules().at(0));
    auto *layout = i0->findChild<QGridLayout *>(QStringLiteral("Layout"));
    QVERIFY(layout);
    auto *label = i0->findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("I0"));
    QCOMPARE(cellOf(layout, label), (Cell{0, 0, 1, 1}));
    QCOMPARE(cellOf(layout, i0->hv), (Cell{0, 1, 1, 1}));
    QCOMPARE(cellOf(layout, i0->amp), (Cell{1, 0, 1, 2}));
    QCOMPARE(i0->hv->parentWidget(), i0);

    // The duplicate is created and configured but never shown.
    QVERIFY(!body.hvModules().at(2)->parentWidget());
}

void tst_Assembly::missingModulesAndTables()
{
    QTest::ignoreMessage(
        QtDebugMsg, "amplifier [AMP B]: no TC Table named [Missing]; its selector stays empty");
    QTest::ignoreMessage(QtDebugMsg, "ion chamber [Orphan]: no HV module with id [nohv]");
    QTest::ignoreMessage(QtDebugMsg, "ion chamber [Orphan]: no amplifier with id [noamp]");
    Body body(writeStation(station()));
    QCOMPARE(body.ampModules().at(1)->ui.SelectTCCB->count(), 0);

    aIC *orphan = body.icModules().at(2);
    QVERIFY(!orphan->hv);
    QVERIFY(!orphan->amp);
    auto *label = orphan->findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Orphan"));
}

void tst_Assembly::startLinesInCreationOrder()
{
    Body body(writeStation(station()));
    QVERIFY(server->waitForMessageLines(3 * 7 + 2 * 6));
    const QStringList lines = server->messageLines();
    QCOMPARE(lines.size(), 33);
    const QStringList hvStart{"System flgon %1", "%1 GetMaxV",  "%1 GetVLimit",     "%1 GetV",
                              "%1 GetRamp",      "%1 GetStat1", "%1 IsControllable"};
    const QStringList ampStart{
        "System flgon %1",        "%1 GetStatus",    "%1 GetRange", "%1 GetCurrentSurpressionValue",
        "%1 GetVoltageBiasRange", "%1 SetSRQMask 01"};
    QStringList expected;
    const auto add = [&](const QString &id, const QString &node, const QStringList &start) {
        for (const QString &s : start)
            expected << QStringLiteral("Brenlow.%1>").arg(id) + s.arg(node);
    };
    add("hv1", "hvps.2", hvStart);
    add("hvB", "hvB", hvStart);
    add("hv1", "dup", hvStart);
    add("amp1", "dev1", ampStart);
    add("ampB", "dev1.2", ampStart);
    QCOMPARE(lines, expected);
}

void tst_Assembly::stationWithoutChambers()
{
    Body body(writeStation("HV Module Names=H\nAMP Module Names=A\n"
                           "[H]\nid=h\ndriver=hv\n[A]\nid=a\ndriver=ca\n"));
    QVERIFY(body.icModules().isEmpty());
    QCOMPARE(body.findChild<QGridLayout *>(QStringLiteral("Base"))->count(), 0);
    // The panels still talk to their devices.
    QVERIFY(server->waitForMessageLines(13));
    QCOMPARE(server->messageLines().first(), QStringLiteral("Brenlow.h>System flgon hv"));
    QCOMPARE(server->messageLines().at(7), QStringLiteral("Brenlow.a>System flgon ca"));
}

void tst_Assembly::placementLogAtDefaults()
{
    QTest::ignoreMessage(QtDebugMsg, "name 0 0");
    QTest::ignoreMessage(QtDebugMsg, "hv 0 0 1 1");
    QTest::ignoreMessage(QtDebugMsg, "ca 0 0 1 1");
    Body body(writeStation("HV Module Names=H\nAMP Module Names=A\nIC Module Names=C\n"
                           "[C]\nPosition of Name=2\n"));
    // An empty unit id matches the first module without an id.
    QCOMPARE(body.icModules().at(0)->hv, body.hvModules().at(0));
    QCOMPARE(body.icModules().at(0)->amp, body.ampModules().at(0));
}

void tst_Assembly::pollErrorsFlag()
{
    Body body(writeStation("AMP Module Names=A, B\n[A]\nid=a\ndriver=ca\n"
                           "[B]\nid=b\ndriver=cb\nPoll Errors=true\n"));
    QTRY_VERIFY(server->messageLines().contains(QStringLiteral("Brenlow.b>cb GetErrorStatus")));
    QVERIFY(!server->messageLines().contains(QStringLiteral("Brenlow.a>ca GetErrorStatus")));
}

void tst_Assembly::windowShrinksWhenDetailsHide()
{
    Body body(writeStation("AMP Module Names=A\nIC Module Names=C\n[A]\nid=a\n"
                           "[C]\nAMP Unit id=a\n"));
    body.show();
    QVERIFY(QTest::qWaitForWindowExposed(&body));
    const QSize small = body.size();
    aCA *amp = body.ampModules().at(0);
    amp->ui.ShowDetailsB->setChecked(true);
    QTRY_VERIFY(body.height() > small.height());
    amp->ui.ShowDetailsB->setChecked(false);
    QTRY_COMPARE(body.height(), small.height());
}

// A module whose node or id would reshape its lines is not built: it is
// named in the status bar, its chamber shows the other panel, and nothing is
// ever sent to it or under its name.
void tst_Assembly::namesThatReshapeLines_data()
{
    QTest::addColumn<QByteArray>("hvKeys");
    QTest::addColumn<QByteArray>("ampKeys");
    QTest::addColumn<QString>("unbuilt");
    const QByteArray hv = "id=hv1\ndriver=hvps\nch=1\n";
    const QByteArray amp = "id=amp1\ndriver=ca\nch=1\n";
    QTest::newRow("blank in an amplifier's channel")
        << hv << QByteArray("id=amp1\ndriver=ca\nch=1 SetRange\n") << "AMP";
    QTest::newRow("tab in an HV module's driver")
        << QByteArray("id=hv1\ndriver=hv\tps\nch=1\n") << amp << "HV";
    QTest::newRow("blank in an HV module's id")
        << QByteArray("id=hv 1\ndriver=hvps\nch=1\n") << amp << "HV";
}

void tst_Assembly::namesThatReshapeLines()
{
    QFETCH(QByteArray, hvKeys);
    QFETCH(QByteArray, ampKeys);
    QFETCH(QString, unbuilt);
    Body body(writeStation("HV Module Names=HV\nAMP Module Names=AMP\nIC Module Names=I0\n[HV]\n" +
                           hvKeys + "[AMP]\n" + ampKeys +
                           "[I0]\nHV Unit id=hv1\nAMP Unit id=amp1\n"));
    const bool hvBuilt = unbuilt != QLatin1String("HV");
    QCOMPARE(body.hvModules().size(), hvBuilt ? 1 : 0);
    QCOMPARE(body.ampModules().size(), hvBuilt ? 0 : 1);
    QVERIFY2(body.statusNotes()->notes().contains(
                 "Not built, a name holds white space: " + unbuilt + " (see the debug log)"),
             qPrintable(body.statusNotes()->notes().join('\n')));
    aIC *group = body.icModules().at(0);
    QCOMPARE(group->hv != nullptr, hvBuilt);
    QCOMPARE(group->amp != nullptr, !hvBuilt);

    QTRY_COMPARE_WITH_TIMEOUT(body.tesra()->linkState(), Tesra::LinkState::Ready, 10000);
    const QString sender =
        hvBuilt ? QStringLiteral("Brenlow.hv1>") : QStringLiteral("Brenlow.amp1>");
    const int startLines = hvBuilt ? 7 : 6;
    QVERIFY(server->waitForMessageLines(startLines));
    const QStringList lines = takeSentLines(*server, *body.tesra());
    QCOMPARE(lines.size(), startLines);
    for (const QString &line : lines)
        QVERIFY2(line.startsWith(sender), qPrintable(line));
}

QTEST_MAIN(tst_Assembly)
#include "tst_assembly.moc"
