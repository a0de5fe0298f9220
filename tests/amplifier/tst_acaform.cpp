// SPDX-License-Identifier: GPL-3.0-or-later
// The amplifier panel's form without a server: captions in both languages,
// the widget tree and its cells, what the operator can and cannot change in
// it, the state of a panel not yet connected, and the buttons' checking
// behaviour.

#include "amplifier/aCA.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTranslator>
#include <QWheelEvent>
#include <QtTest>

class tst_aCAForm : public QObject
{
    Q_OBJECT

private slots:
    void captions_data();
    void captions();
    void japaneseCaptions_data();
    void japaneseCaptions();
    void cells_data();
    void cells();
    void creationOrder();
    void valueFields();
    void radioButtons_data();
    void radioButtons();
    void freshPanel();
    void showDetails();
    void checkingBehaviour();
    void metaObjectInterface();

private:
    static QString captionOf(aCA &panel, const QString &name);
};

QString tst_aCAForm::captionOf(aCA &panel, const QString &name)
{
    if (name == QLatin1String("aCA"))
        return panel.windowTitle();
    QObject *object = panel.findChild<QObject *>(name);
    if (auto *button = qobject_cast<QAbstractButton *>(object))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(object))
        return label->text();
    return QStringLiteral("<no caption for %1>").arg(name);
}

void tst_aCAForm::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const char *rows[][2] = {
        {"aCA", "a CA"},
        {"label", "Range"},
        {"ZeroCheckB", "Zero Check"},
        {"ShowDetailsB", "Show Details"},
        {"DispErr", ""},
        {"BackLightHB", "BL. High"},
        {"BackLightLB", "BL. Low"},
        {"BackLightOffB", "BL. Off"},
        {"SelInputRB", "Rear"},
        {"SelInputFB", "Front"},
        {"VBiasOnB", "BV. On"},
        {"VBiasOffB", "BV. Off"},
        {"label_7", "Input"},
        {"label_6", "V. Bias"},
        {"ResetB", "Reset"},
        {"label_3", "Filter"},
        {"CSprUseB", "Use CSpr"},
        {"label_2", "Current Spr."},
        {"FilterUseB", "Use F."},
        {"FilterManualB", "F. Manual"},
        {"FilterAutoB", "F. Auto"},
        {"CSprFromTBLB", "Set from TBL"},
        {"CSprManualB", "Set Manually"},
        {"label_4", "Now"},
        {"label_5", "New"},
        {"SetCSprTableB", "Set Table"},
        {"SaveCSprDefB", "Save Setting"},
        {"CSprLoadDefB", "Load Def Setting"},
        {"ShowStatB", "Show Stat"},
        {"label_8", "Back Light"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromUtf8(row[1]);
}

void tst_aCAForm::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    aCA panel;
    QCOMPARE(captionOf(panel, name), caption);
}

void tst_aCAForm::japaneseCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const char *rows[][2] = {
        {"aCA", "電流アンプ"},
        {"label", "レンジ設定"},
        {"ZeroCheckB", "ゼロ・チェック"},
        {"ShowDetailsB", "詳細表示"},
        {"DispErr", ""},
        {"BackLightHB", "明"},
        {"BackLightLB", "暗"},
        {"BackLightOffB", "消灯"},
        {"SelInputRB", "背面"},
        {"SelInputFB", "前面"},
        {"VBiasOnB", "オン"},
        {"VBiasOffB", "オフ"},
        {"label_7", "入力端子"},
        {"label_6", "バイアス電圧"},
        {"ResetB", "リセット"},
        {"label_3", "フィルタ"},
        {"CSprUseB", "電流補正する"},
        {"label_2", "電流補正"},
        {"FilterUseB", "使用する"},
        {"FilterManualB", "手動"},
        {"FilterAutoB", "自動"},
        {"CSprFromTBLB", "テーブルの値を使用"},
        {"CSprManualB", "手動設定"},
        {"label_4", "現在値"},
        {"label_5", "設定値"},
        {"SetCSprTableB", "テーブルに書込"},
        {"SaveCSprDefB", "設定保存"},
        {"CSprLoadDefB", "設定ロード"},
        {"ShowStatB", "状態表示"},
        {"label_8", "パネル・バックライト"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromUtf8(row[1]);
}

void tst_aCAForm::japaneseCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/Brenlow_ja_JP.qm")));
    QCoreApplication::installTranslator(&translator);
    {
        aCA panel;
        QCOMPARE(captionOf(panel, name), caption);
    }
    QCoreApplication::removeTranslator(&translator);
}

void tst_aCAForm::cells_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QVector<int>>("cell"); // row, column, row span, column span

    auto row = [](const char *name, const char *layout, QVector<int> cell) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(layout) << cell;
    };
    row("frame", "gridLayout_2", {0, 0, 1, 1});
    row("ModuleName", "gridLayout", {0, 0, 1, 4});
    row("DispErr", "gridLayout", {0, 4, 1, 1});
    row("ShowDetailsB", "gridLayout", {0, 5, 1, 1});
    row("line_3", "gridLayout", {1, 0, 1, 6});
    row("label", "gridLayout", {2, 0, 1, 1});
    row("RangeSCB", "gridLayout", {2, 3, 1, 1});
    row("ZeroCheckB", "gridLayout", {2, 5, 1, 1});
    row("Details", "gridLayout", {9, 0, 1, 6});
    row("line", "gridLayout_3", {0, 0, 1, 3});
    row("frame_2", "gridLayout_3", {1, 0, 1, 3});
    row("line_4", "gridLayout_3", {2, 0, 1, 3});
    row("label_6", "gridLayout_3", {3, 0, 1, 1});
    row("horizontalLayout_2", "gridLayout_3", {3, 1, 1, 2});
    row("line_7", "gridLayout_3", {4, 0, 1, 3});
    row("ShowStatB", "gridLayout_3", {5, 0, 1, 1});
    row("StatDisp", "gridLayout_3", {5, 1, 1, 2});
    row("line_6", "gridLayout_3", {6, 0, 1, 3});
    row("label_7", "gridLayout_3", {7, 0, 1, 1});
    row("horizontalLayout_3", "gridLayout_3", {7, 1, 1, 1});
    row("line_5", "gridLayout_3", {8, 0, 1, 3});
    row("label_8", "gridLayout_3", {9, 0, 1, 1});
    row("SelInput_2", "gridLayout_3", {9, 1, 1, 1});
    row("line_9", "gridLayout_3", {10, 0, 1, 3});
    row("ResetB", "gridLayout_3", {11, 2, 1, 1});
    row("label_2", "gridLayout_6", {1, 0, 1, 1});
    row("CSprUseBox", "gridLayout_6", {1, 1, 3, 4});
    row("CSprUseB", "gridLayout_6", {2, 0, 1, 1});
    row("label_3", "gridLayout_6", {4, 0, 1, 1});
    row("FilterUseB", "gridLayout_6", {4, 1, 1, 1});
    row("line_8", "gridLayout_6", {4, 2, 1, 1});
    row("FilterUseBox", "gridLayout_6", {4, 3, 1, 1});
    row("SelectTCCB", "gridLayout_6", {4, 4, 1, 1});
    row("FilterAutoB", "gridLayout_5", {0, 0, 1, 1});
    row("FilterManualB", "gridLayout_5", {0, 1, 1, 1});
    row("label_4", "gridLayout_4", {0, 1, 1, 1});
    row("label_5", "gridLayout_4", {0, 2, 1, 1});
    row("CSprManualB", "gridLayout_4", {1, 0, 1, 1});
    row("NowCSprDisp", "gridLayout_4", {1, 1, 1, 1});
    row("NewCSprEdit", "gridLayout_4", {1, 2, 1, 1});
    row("CSprFromTBLB", "gridLayout_4", {2, 0, 1, 1});
    row("CSprTBLCB", "gridLayout_4", {2, 1, 1, 1});
    row("SetCSprTableB", "gridLayout_4", {2, 2, 1, 1});
    row("CSprLoadDefB", "gridLayout_4", {3, 0, 1, 1});
    row("SaveCSprDefB", "gridLayout_4", {3, 2, 1, 1});
}

void tst_aCAForm::cells()
{
    QFETCH(QString, name);
    QFETCH(QString, layout);
    QFETCH(QVector<int>, cell);
    aCA panel;
    auto *grid = panel.findChild<QGridLayout *>(layout);
    QVERIFY(grid);
    int index = -1;
    if (auto *widget = panel.findChild<QWidget *>(name))
        index = grid->indexOf(widget);
    else if (auto *nested = panel.findChild<QLayout *>(name))
        index = grid->indexOf(nested);
    QVERIFY2(index >= 0, qPrintable(name));
    int r, c, rs, cs;
    grid->getItemPosition(index, &r, &c, &rs, &cs);
    QCOMPARE((QVector<int>{r, c, rs, cs}), cell);
    QCOMPARE(grid->itemAt(index)->alignment(), Qt::Alignment());
}

void tst_aCAForm::creationOrder()
{
    // Widgets take their focus order from their creation order.
    const QStringList expected = {
        "RangeSCB",      "line_3",        "label",         "ZeroCheckB",   "ShowDetailsB",
        "ModuleName",    "DispErr",       "Details",       "BackLightHB",  "BackLightLB",
        "BackLightOffB", "line_9",        "SelInputRB",    "SelInputFB",   "line",
        "StatDisp",      "VBiasOnB",      "VBiasOffB",     "NowVBias",     "NewVBias",
        "label_7",       "label_6",       "line_5",        "ResetB",       "frame_2",
        "label_3",       "CSprUseB",      "SelectTCCB",    "label_2",      "line_8",
        "FilterUseB",    "FilterUseBox",  "FilterManualB", "FilterAutoB",  "CSprUseBox",
        "NewCSprEdit",   "CSprFromTBLB",  "CSprManualB",   "NowCSprDisp",  "label_4",
        "label_5",       "SetCSprTableB", "CSprTBLCB",     "SaveCSprDefB", "CSprLoadDefB",
        "ShowStatB",     "line_6",        "label_8",       "line_7",       "line_4"};
    aCA panel;
    QStringList chain;
    for (QWidget *w = panel.ui.frame->nextInFocusChain(); w != &panel; w = w->nextInFocusChain()) {
        if (expected.contains(w->objectName()))
            chain << w->objectName();
        QVERIFY(chain.size() <= expected.size());
    }
    QCOMPARE(chain, expected);
}

void tst_aCAForm::valueFields()
{
    aCA panel;
    panel.show();
    panel.ui.ShowDetailsB->click();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    // What the device reports cannot be typed over; what the operator sends can.
    for (QLineEdit *edit : {panel.ui.StatDisp, panel.ui.NowVBias, panel.ui.NowCSprDisp}) {
        edit->setText(QStringLiteral("reported"));
        QTest::keyClicks(edit, QStringLiteral("12"));
        QCOMPARE(edit->text(), QStringLiteral("reported"));
    }
    for (QLineEdit *edit : {panel.ui.NewVBias, panel.ui.NewCSprEdit, panel.ui.ModuleName}) {
        QVERIFY(edit->text().isEmpty());
        QTest::keyClicks(edit, QStringLiteral("12"));
        QCOMPARE(edit->text(), QStringLiteral("12"));
    }

    // The selectors hold nothing until the station configures them: an item
    // of the form's own would be sent to the device as a setting.
    for (QComboBox *box :
         {static_cast<QComboBox *>(panel.ui.RangeSCB), panel.ui.SelectTCCB, panel.ui.CSprTBLCB})
        QCOMPARE(box->count(), 0);

    // A wheel turn never changes the range selector, each of whose changes
    // switches the amplifier's range; the time-constant selector takes it.
    panel.setRangeTable({"1e-5", "1e-6", "1e-7"});
    panel.setTCTable({"0.001", "0.01", "0.1"});
    for (QComboBox *box : {static_cast<QComboBox *>(panel.ui.RangeSCB), panel.ui.SelectTCCB}) {
        box->setCurrentIndex(1);
        QWheelEvent wheel(QPointF(5, 5), QPointF(box->mapToGlobal(QPoint(5, 5))), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
    }
    QCOMPARE(panel.ui.RangeSCB->currentIndex(), 1);
    QCOMPARE(panel.ui.SelectTCCB->currentIndex(), 2);
}

void tst_aCAForm::radioButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("autoExclusive");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("ShowDetailsB") << "ShowDetailsB" << false << false << true;
    QTest::newRow("ZeroCheckB") << "ZeroCheckB" << false << false << true;
    QTest::newRow("BackLightHB") << "BackLightHB" << false << true << true;
    QTest::newRow("BackLightLB") << "BackLightLB" << false << false << true;
    QTest::newRow("BackLightOffB") << "BackLightOffB" << false << false << true;
    QTest::newRow("SelInputRB") << "SelInputRB" << false << false << true;
    QTest::newRow("SelInputFB") << "SelInputFB" << false << false << true;
    QTest::newRow("VBiasOnB") << "VBiasOnB" << false << false << true;
    QTest::newRow("VBiasOffB") << "VBiasOffB" << false << false << true;
    QTest::newRow("CSprUseB checked by the panel") << "CSprUseB" << false << true << true;
    QTest::newRow("FilterUseB") << "FilterUseB" << false << false << true;
    QTest::newRow("FilterManualB inside the disabled box")
        << "FilterManualB" << false << false << false;
    QTest::newRow("FilterAutoB inside the disabled box")
        << "FilterAutoB" << false << false << false;
    QTest::newRow("CSprFromTBLB") << "CSprFromTBLB" << true << false << true;
    QTest::newRow("CSprManualB") << "CSprManualB" << true << true << true;
    QTest::newRow("CSprLoadDefB disabled by the panel")
        << "CSprLoadDefB" << false << false << false;
}

void tst_aCAForm::radioButtons()
{
    QFETCH(QString, name);
    QFETCH(bool, autoExclusive);
    QFETCH(bool, checked);
    QFETCH(bool, enabled);
    aCA panel;
    auto *button = panel.findChild<QRadioButton *>(name);
    QVERIFY(button);
    QCOMPARE(button->autoExclusive(), autoExclusive);
    QCOMPARE(button->isChecked(), checked);
    QCOMPARE(button->isEnabled(), enabled);
}

void tst_aCAForm::freshPanel()
{
    aCA panel;
    // Until its connection is ready the panel does not poll, even when the
    // station asks for polling.
    QVERIFY(!panel.isReady());
    auto *timer = panel.findChild<QTimer *>(QStringLiteral("pollTimer"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 500);
    QVERIFY(!panel.pollsErrors());
    panel.setPollErrors(true);
    QVERIFY(panel.pollsErrors());
    QVERIFY(!timer->isActive());

    // No alert is shown, and an alert would look different.
    QCOMPARE(panel.styleSheet(), panel.normalStyle);
    QVERIFY(panel.ui.DispErr->text().isEmpty());
    QVERIFY(panel.alertStyle != panel.normalStyle);

    // Each group of settings can be used exactly when its check box is on.
    QCOMPARE(panel.ui.CSprUseBox->isEnabled(), panel.ui.CSprUseB->isChecked());
    QCOMPARE(panel.ui.FilterUseBox->isEnabled(), panel.ui.FilterUseB->isChecked());

    // The suppression table comes from CSprTable.txt unless the station
    // names another file; none is read before that.
    QCOMPARE(panel.cSprFile(), QStringLiteral("CSprTable.txt"));
    QVERIFY(panel.cSprTable().isEmpty());

    // A null client is ignored.
    panel.setClient(nullptr);
    QVERIFY(panel.client == nullptr);
}

void tst_aCAForm::showDetails()
{
    aCA panel;
    const QList<QWidget *> details = {panel.ui.ResetB, panel.ui.CSprLoadDefB, panel.ui.SaveCSprDefB,
                                      panel.ui.Details};
    for (QWidget *w : details)
        QVERIFY(w->isHidden());
    panel.ui.ShowDetailsB->click();
    for (QWidget *w : details)
        QVERIFY(!w->isHidden());
    panel.ui.ShowDetailsB->click();
    for (QWidget *w : details)
        QVERIFY(w->isHidden());
}

void tst_aCAForm::checkingBehaviour()
{
    aCA panel;
    panel.show();
    panel.ui.ShowDetailsB->click();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    // Independent toggles: a click on a checked one unchecks it.
    QTest::mouseClick(panel.ui.ZeroCheckB, Qt::LeftButton);
    QVERIFY(panel.ui.ZeroCheckB->isChecked());
    QTest::mouseClick(panel.ui.ZeroCheckB, Qt::LeftButton);
    QVERIFY(!panel.ui.ZeroCheckB->isChecked());

    // The two suppression sources exclude each other.
    QTest::mouseClick(panel.ui.CSprManualB, Qt::LeftButton);
    QVERIFY(panel.ui.CSprManualB->isChecked());
    QTest::mouseClick(panel.ui.CSprFromTBLB, Qt::LeftButton);
    QVERIFY(panel.ui.CSprFromTBLB->isChecked());
    QVERIFY(!panel.ui.CSprManualB->isChecked());

    // The back-light group keeps exactly one checked.
    QTest::mouseClick(panel.ui.BackLightHB, Qt::LeftButton);
    QVERIFY(panel.ui.BackLightHB->isChecked());
    QTest::mouseClick(panel.ui.BackLightOffB, Qt::LeftButton);
    QVERIFY(panel.ui.BackLightOffB->isChecked());
    QVERIFY(!panel.ui.BackLightHB->isChecked());
    QVERIFY(!panel.ui.BackLightLB->isChecked());
}

void tst_aCAForm::metaObjectInterface()
{
    const QStringList expected = {
        "resized()",
        "tesraIsReady(Tesra*)",
        "devCh()",
        "checkMine(SMsg)",
        "doPolling()",
        "selectedZeroCheck(bool)",
        "reset()",
        "selectedNewRange(int)",
        "selectedCSprUse(bool)",
        "selectedCSprFromTable(bool)",
        "changedCSprTableIndex(int)",
        "setAValToCSprTable()",
        "selectedFilterUse(bool)",
        "selectedNewTC(int)",
        "changeFilterMode(bool)",
        "newCSpr()",
        "changedVBiasMode(bool)",
        "newVBias()",
        "selectedInput(bool)",
        "selectedBackLightMode(bool)",
        "askShowStat()",
        "askGetError()",
        "AnsGetStatus(SMsg)",
        "AnsGetRange(SMsg)",
        "AnsGetCurrentSurpressionValue(SMsg)",
        "AnsGetVoltageBiasRange(SMsg)",
        "AnsGetSRQ(SMsg)",
        "AnsGetErrorStatus(SMsg)",
        "EvSRQChanged(SMsg)",
        "EvRangeChanged(SMsg)",
        "ReceiveSRQ(SMsg)",
        "sendMyName()",
        "showDetails(bool)",
        "resizeEvent(QResizeEvent*)",
    };
    const QMetaObject &meta = aCA::staticMetaObject;
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        methods << QString::fromLatin1(method.methodSignature());
        if (i > meta.methodOffset())
            QCOMPARE(method.access(), QMetaMethod::Private);
    }
    QCOMPARE(methods, expected);
}

QTEST_MAIN(tst_aCAForm)
#include "tst_acaform.moc"
