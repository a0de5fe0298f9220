// SPDX-License-Identifier: GPL-3.0-or-later
// The HV panel's form: widget tree, layout cells, properties and captions in
// both languages, as the panel builds it.

#include "hv/aHV.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>

class tst_HVForm : public QObject
{
    Q_OBJECT

private slots:
    void cells_data();
    void cells();
    void spacers();
    void layouts();
    void fields_data();
    void fields();
    void startState();
    void captions_data();
    void captions();
};

namespace {

// Row, column, row span and column span of the item at index in a grid.
QList<int> cellOf(QGridLayout *grid, int index)
{
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return {row, column, rowSpan, columnSpan};
}

} // namespace

void tst_HVForm::cells_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QList<int>>("cell");

    QTest::newRow("frame") << "frame"
                           << "gridLayout_2" << QList<int>{0, 0, 1, 1};
    QTest::newRow("label_2") << "label_2"
                             << "gridLayout" << QList<int>{1, 1, 1, 1};
    QTest::newRow("Start") << "Start"
                           << "gridLayout" << QList<int>{0, 2, 1, 1};
    QTest::newRow("NowV") << "NowV"
                          << "gridLayout" << QList<int>{2, 0, 1, 1};
    QTest::newRow("ShowDetailsB") << "ShowDetailsB"
                                  << "gridLayout" << QList<int>{0, 1, 1, 1};
    QTest::newRow("label") << "label"
                           << "gridLayout" << QList<int>{1, 0, 1, 1};
    QTest::newRow("label_5") << "label_5"
                             << "gridLayout" << QList<int>{1, 2, 1, 1};
    QTest::newRow("ModuleName") << "ModuleName"
                                << "gridLayout" << QList<int>{0, 0, 1, 1};
    QTest::newRow("Stat") << "Stat"
                          << "gridLayout" << QList<int>{2, 2, 1, 1};
    QTest::newRow("SetV") << "SetV"
                          << "gridLayout" << QList<int>{2, 1, 1, 1};
    QTest::newRow("HideBox") << "HideBox"
                             << "gridLayout" << QList<int>{3, 0, 1, 3};
    QTest::newRow("label_4") << "label_4"
                             << "gridLayout_4" << QList<int>{0, 0, 1, 1};
    QTest::newRow("label_3") << "label_3"
                             << "gridLayout_4" << QList<int>{0, 2, 1, 1};
    QTest::newRow("MaxV") << "MaxV"
                          << "gridLayout_4" << QList<int>{1, 0, 1, 1};
    QTest::newRow("RampRate") << "RampRate"
                              << "gridLayout_4" << QList<int>{1, 2, 1, 1};
}

void tst_HVForm::cells()
{
    QFETCH(QString, name);
    QFETCH(QString, layout);
    QFETCH(QList<int>, cell);

    aHV hv;
    auto *widget = hv.findChild<QWidget *>(name);
    QVERIFY(widget);
    auto *grid = hv.findChild<QGridLayout *>(layout);
    QVERIFY(grid);
    const int index = grid->indexOf(widget);
    QVERIFY(index >= 0);
    QCOMPARE(cellOf(grid, index), cell);
    QCOMPARE(grid->itemAt(index)->alignment(), Qt::Alignment());
}

void tst_HVForm::spacers()
{
    aHV hv;
    const struct
    {
        QGridLayout *grid;
        QSpacerItem *spacer;
        QList<int> cell;
        QSize hint;
        QSizePolicy::Policy horizontal, vertical;
    } expected[] = {
        {hv.ui.gridLayout_4,
         hv.ui.horizontalSpacer,
         {1, 1, 1, 1},
         {40, 20},
         QSizePolicy::Expanding,
         QSizePolicy::Minimum},
        {hv.ui.gridLayout_2,
         hv.ui.verticalSpacer,
         {1, 0, 1, 1},
         {20, 40},
         QSizePolicy::Minimum,
         QSizePolicy::Expanding},
    };
    for (const auto &e : expected) {
        QVERIFY(e.spacer);
        const int index = e.grid->indexOf(e.spacer);
        QVERIFY(index >= 0);
        QCOMPARE(cellOf(e.grid, index), e.cell);
        QCOMPARE(e.spacer->sizeHint(), e.hint);
        QCOMPARE(e.spacer->sizePolicy().horizontalPolicy(), e.horizontal);
        QCOMPARE(e.spacer->sizePolicy().verticalPolicy(), e.vertical);
    }
}

void tst_HVForm::layouts()
{
    aHV hv;
    QCOMPARE(hv.objectName(), QStringLiteral("aHV"));
    QCOMPARE(hv.size(), QSize(265, 109));
    QCOMPARE(hv.layout(), hv.ui.gridLayout_2);
    QCOMPARE(hv.ui.frame->layout(), hv.ui.gridLayout);
    QCOMPARE(hv.ui.HideBox->layout(), hv.ui.gridLayout_4);

    QCOMPARE(hv.ui.gridLayout_2->horizontalSpacing(), 1);
    QCOMPARE(hv.ui.gridLayout_2->verticalSpacing(), 0);
    QCOMPARE(hv.ui.gridLayout_2->contentsMargins(), QMargins(1, 1, 1, 1));
    QCOMPARE(hv.ui.gridLayout->spacing(), 3);
    QCOMPARE(hv.ui.gridLayout->contentsMargins(), QMargins(3, 3, 3, 3));
    QCOMPARE(hv.ui.gridLayout_4->spacing(), 3);
    QCOMPARE(hv.ui.gridLayout_4->contentsMargins(), QMargins(0, 0, 0, 0));

    QCOMPARE(hv.ui.frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(hv.ui.frame->frameShadow(), QFrame::Raised);

    const QSizePolicy start = hv.ui.Start->sizePolicy();
    QCOMPARE(start.horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(start.verticalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(start.horizontalStretch(), 0);
    QCOMPARE(start.verticalStretch(), 0);

    QCOMPARE(hv.ui.SetV->styleSheet(), QStringLiteral("background-color: rgb(255, 255, 255);"));
    QVERIFY(hv.ui.SetV->isEditable());
    QCOMPARE(hv.ui.SetV->count(), 0);
}

void tst_HVForm::fields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("readOnly");

    const QString pale = QStringLiteral("background-color: rgb(255, 250, 240);");
    const QString white = QStringLiteral("background-color: rgb(255, 255, 255);");
    QTest::newRow("NowV") << "NowV" << pale << true;
    QTest::newRow("Stat") << "Stat" << pale << false;
    QTest::newRow("MaxV") << "MaxV" << pale << true;
    QTest::newRow("RampRate") << "RampRate" << white << false;
}

void tst_HVForm::fields()
{
    QFETCH(QString, name);
    QFETCH(QString, style);
    QFETCH(bool, readOnly);

    aHV hv;
    auto *field = hv.findChild<QLineEdit *>(name);
    QVERIFY(field);
    QCOMPARE(field->styleSheet(), style);
    QCOMPARE(field->isReadOnly(), readOnly);
    QCOMPARE(field->alignment(), Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
    QCOMPARE(field->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(field->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void tst_HVForm::startState()
{
    aHV hv;
    QVERIFY(!hv.ui.Start->isEnabled());
    QVERIFY(!hv.ui.ShowDetailsB->isChecked());
    QVERIFY(hv.ui.HideBox->isHidden());
    hv.ui.ShowDetailsB->setChecked(true);
    QVERIFY(!hv.ui.HideBox->isHidden());
    hv.ui.ShowDetailsB->setChecked(false);
    QVERIFY(hv.ui.HideBox->isHidden());

    QVERIFY(hv.id.isEmpty() && hv.driver.isEmpty() && hv.ch.isEmpty());
    QCOMPARE((QList<int>{hv.col, hv.row, hv.colSpan, hv.rowSpan}), (QList<int>{0, 0, 1, 1}));
    QCOMPARE(hv.maxV, 0.0);
    QCOMPARE(hv.vLimit, 0.0);
    QCOMPARE(hv.voltageTolerance, 0.0);
    QVERIFY(!hv.vApplied);
}

void tst_HVForm::captions_data()
{
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QStringList>("texts"); // title, label_2, Start, ShowDetailsB, label,
                                            // label_5, ModuleName, label_4, label_3, RampRate

    QTest::newRow("English") << false
                             << QStringList{"a HV",       "Set V",  "ON",          "Show Details",
                                            "Current V",  "Status", "a HV module", "Max V",
                                            "Ramp [V/s]", "15"};
    QTest::newRow("Japanese") << true
                              << QStringList{QStringLiteral("高圧電源"),
                                             QStringLiteral("電圧設定"),
                                             "ON",
                                             QStringLiteral("詳細表示"),
                                             QStringLiteral("現在の電圧"),
                                             QStringLiteral("状態"),
                                             QStringLiteral("高圧電源モジュール"),
                                             QStringLiteral("最大電圧"),
                                             QStringLiteral("変化速度"),
                                             "15"};
}

void tst_HVForm::captions()
{
    QFETCH(bool, japanese);
    QFETCH(QStringList, texts);

    QTranslator translator;
    if (japanese) {
        QVERIFY(translator.load(QStringLiteral(":/Brenlow_ja_JP.qm")));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    aHV hv;
    QCoreApplication::removeTranslator(&translator);

    const QStringList shown{hv.windowTitle(),         hv.ui.label_2->text(),
                            hv.ui.Start->text(),      hv.ui.ShowDetailsB->text(),
                            hv.ui.label->text(),      hv.ui.label_5->text(),
                            hv.ui.ModuleName->text(), hv.ui.label_4->text(),
                            hv.ui.label_3->text(),    hv.ui.RampRate->text()};
    QCOMPARE(shown, texts);
}

QTEST_MAIN(tst_HVForm)
#include "tst_hvform.moc"
