// SPDX-License-Identifier: GPL-3.0-or-later
// The badges over a panel: they share the panel's top right corner side by
// side, never cover each other nor the module's name, keep off the controls
// and values of a real panel, follow the panel's size, leave the panel's own
// widgets where they were, and hide without a text.

#include "amplifier/aCA.h"
#include "app/StartUp.h"
#include "hv/aHV.h"
#include "widgets/PanelMarker.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTranslator>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

// Every pair of shown markers apart, each inside the panel and off the name.
void checkPlaces(QWidget &panel, const std::vector<std::unique_ptr<PanelMarker>> &markers)
{
    const QRect name = PanelMarker::nameArea(&panel);
    for (size_t i = 0; i < markers.size(); ++i) {
        const PanelMarker &m = *markers[i];
        if (!m.isShown())
            continue;
        QVERIFY2(panel.rect().contains(m.geometry()), qPrintable(m.text()));
        QVERIFY2(!m.geometry().intersects(name), qPrintable(m.text()));
        for (size_t j = i + 1; j < markers.size(); ++j) {
            if (markers[j]->isShown())
                QVERIFY2(!m.geometry().intersects(markers[j]->geometry()),
                         qPrintable(m.text() + QLatin1Char('/') + markers[j]->text()));
        }
    }
}

} // namespace

class tst_PanelMarker : public QObject
{
    Q_OBJECT

private slots:
    void shareTheCorner_data();
    void shareTheCorner();
    void closeUpWhenOneGoes();
    void emptyTextHides();
    void realPanelsKeepTheirNames_data();
    void realPanelsKeepTheirNames();
};

void tst_PanelMarker::shareTheCorner_data()
{
    QTest::addColumn<int>("width");
    // The width of the name widget, whose text is longer than that.
    QTest::addColumn<int>("nameWidth");
    // The markers shown, by kind: A alarm, S silence, D differs.
    QTest::addColumn<QString>("shown");
    // "row": all in the top row, the most urgent outermost; "below": all
    // below the name; "apart": only apart and off the name.
    QTest::addColumn<QString>("where");

    QTest::newRow("one") << 400 << 60 << "S"
                         << "row";
    QTest::newRow("three side by side, the alarm outermost") << 400 << 60 << "DSA"
                                                             << "row";
    QTest::newRow("a name across the top: below it") << 300 << 300 << "AD"
                                                     << "below";
    QTest::newRow("a long name leaves room for some") << 300 << 240 << "ASD"
                                                      << "apart";
    QTest::newRow("a narrow panel") << 90 << 20 << "ASD"
                                    << "apart";
}

void tst_PanelMarker::shareTheCorner()
{
    QFETCH(int, width);
    QFETCH(int, nameWidth);
    QFETCH(QString, shown);
    QFETCH(QString, where);

    constexpr int Height = 120;
    QWidget panel;
    auto *label =
        new QLabel(QStringLiteral("HV module of the first ion chamber, upstream"), &panel);
    label->setObjectName(QStringLiteral("ModuleName"));
    label->setGeometry(0, 0, nameWidth, label->sizeHint().height());
    auto *field = new QLineEdit(QStringLiteral("1000.0"), &panel);
    field->setGeometry(0, 40, 100, 20);
    panel.resize(width, Height);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const struct
    {
        QChar letter;
        PanelMarker::Kind kind;
        const char *text;
    } kinds[] = {{QLatin1Char('A'), PanelMarker::Kind::Alarm, "Alarm"},
                 {QLatin1Char('S'), PanelMarker::Kind::Silence, "!"},
                 {QLatin1Char('D'), PanelMarker::Kind::Snapshot, "Differs"}};
    std::vector<std::unique_ptr<PanelMarker>> markers;
    for (const QChar letter : shown) {
        for (const auto &k : kinds) {
            if (k.letter != letter)
                continue;
            markers.push_back(std::make_unique<PanelMarker>(&panel, k.kind,
                                                            QStringLiteral("background: orange;")));
            markers.back()->setNote(QLatin1String(k.text), QStringLiteral("note"));
        }
    }
    QVERIFY(std::all_of(markers.begin(), markers.end(),
                        [](const std::unique_ptr<PanelMarker> &m) { return m->isVisible(); }));
    checkPlaces(panel, markers);

    std::vector<const PanelMarker *> byKind;
    for (const auto &m : markers)
        byKind.push_back(m.get());
    std::sort(byKind.begin(), byKind.end(),
              [](const PanelMarker *a, const PanelMarker *b) { return a->kind() < b->kind(); });
    if (where == QLatin1String("row")) {
        int right = width;
        for (const PanelMarker *m : byKind) {
            QCOMPARE(m->geometry().top(), 0);
            QVERIFY(m->geometry().right() < right);
            right = m->geometry().left();
        }
        QCOMPARE(byKind.front()->geometry().right(), width - 1);
    } else if (where == QLatin1String("below")) {
        for (const PanelMarker *m : byKind)
            QVERIFY(m->geometry().top() > label->geometry().bottom());
    }

    // A wider panel: the outermost still in the corner, all still apart.
    panel.resize(width + 200, Height);
    QTRY_VERIFY(std::any_of(markers.begin(), markers.end(), [&](const auto &m) {
        return m->geometry().right() == width + 200 - 1;
    }));
    checkPlaces(panel, markers);
    // Floating markers move no widget of the panel.
    QCOMPARE(field->geometry(), QRect(0, 40, 100, 20));
    QCOMPARE(field->text(), QStringLiteral("1000.0"));
}

void tst_PanelMarker::closeUpWhenOneGoes()
{
    QWidget panel;
    panel.resize(300, 100);
    panel.show();
    PanelMarker alarm(&panel, PanelMarker::Kind::Alarm, QString());
    PanelMarker silence(&panel, PanelMarker::Kind::Silence, QString());
    silence.setNote(QStringLiteral("!"), QStringLiteral("silent"));
    QCOMPARE(silence.geometry().right(), 299);
    alarm.setNote(QStringLiteral("Alarm"), QStringLiteral("hv-fault"));
    QCOMPARE(alarm.geometry().right(), 299);
    QVERIFY(silence.geometry().right() < alarm.geometry().left());
    alarm.clearNote();
    QCOMPARE(silence.geometry().right(), 299);
}

void tst_PanelMarker::emptyTextHides()
{
    QWidget panel;
    panel.resize(200, 100);
    panel.show();
    PanelMarker marker(&panel, PanelMarker::Kind::Silence, QString());
    marker.setNote(QStringLiteral("!"), QStringLiteral("note"));
    QVERIFY(marker.isShown());
    marker.setNote(QString(), QStringLiteral("ignored"));
    QVERIFY(!marker.isVisible());
    QVERIFY(!marker.isShown());
    QVERIFY(marker.toolTip().isEmpty());
}

void tst_PanelMarker::realPanelsKeepTheirNames_data()
{
    QTest::addColumn<bool>("hvPanel");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<bool>("details");
    // What an operator needs to see and click on that panel.
    QTest::addColumn<QStringList>("needed");
    const QStringList hv{"Start", "ShowDetailsB", "NowV", "SetV", "Stat", "MaxV", "RampRate"};
    const QStringList amp{"ModuleName", "ShowDetailsB", "RangeSCB", "ZeroCheckB", "DispErr"};
    for (const bool japanese : {false, true}) {
        for (const bool details : {false, true}) {
            const char *language = japanese ? "Japanese" : "English";
            const char *shown = details ? "details shown" : "details hidden";
            QTest::addRow("HV panel, %s, %s", language, shown) << true << japanese << details << hv;
            QTest::addRow("amplifier panel, %s, %s", language, shown)
                << false << japanese << details << amp;
        }
    }
}

// The panels as the window builds them, with the three markers at once:
// "HV I0" and "AMP I0" stay readable, as the snapshot's "Differs" once hid
// them, and so do the controls and values: an alarm's marker once covered
// the Start button of the very module in alarm, and took its clicks.
void tst_PanelMarker::realPanelsKeepTheirNames()
{
    QFETCH(bool, hvPanel);
    QFETCH(bool, japanese);
    QFETCH(bool, details);
    QFETCH(QStringList, needed);
    QTranslator translator;
    QVERIFY(StartUp::installLanguage(*QCoreApplication::instance(), translator, japanese) ==
            japanese);
    std::unique_ptr<QWidget> panel;
    if (hvPanel)
        panel = std::make_unique<aHV>();
    else
        panel = std::make_unique<aCA>();
    QCoreApplication::removeTranslator(&translator);
    const QString name = hvPanel ? QStringLiteral("HV I0") : QStringLiteral("AMP I0");
    QWidget *nameWidget = panel->findChild<QWidget *>(QStringLiteral("ModuleName"));
    QVERIFY(nameWidget);
    QVERIFY(nameWidget->setProperty("text", name));
    auto *showDetails = panel->findChild<QAbstractButton *>(QStringLiteral("ShowDetailsB"));
    QVERIFY(showDetails);
    showDetails->setChecked(details);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));

    std::vector<std::unique_ptr<PanelMarker>> markers;
    for (const auto kind :
         {PanelMarker::Kind::Snapshot, PanelMarker::Kind::Silence, PanelMarker::Kind::Alarm}) {
        markers.push_back(std::make_unique<PanelMarker>(panel.get(), kind, QString()));
        markers.back()->setNote(kind == PanelMarker::Kind::Snapshot  ? QStringLiteral("Differs")
                                : kind == PanelMarker::Kind::Silence ? QStringLiteral("!")
                                : japanese                           ? QString::fromUtf8("警報")
                                                                     : QStringLiteral("Alarm"),
                                QStringLiteral("note"));
    }
    const QRect nameArea = PanelMarker::nameArea(panel.get());
    QVERIFY(!nameArea.isEmpty());
    QVERIFY(nameArea.width() >= nameWidget->fontMetrics().horizontalAdvance(name));
    checkPlaces(*panel, markers);
    for (const QString &widgetName : needed) {
        const QWidget *widget = panel->findChild<const QWidget *>(widgetName);
        QVERIFY2(widget, qPrintable(widgetName));
        if (!widget->isVisibleTo(panel.get()))
            continue;
        // A check or radio box shows (and takes clicks on) its box and text
        // only, at its left.
        QSize size = widget->size();
        if (qobject_cast<const QCheckBox *>(widget) || qobject_cast<const QRadioButton *>(widget))
            size = size.boundedTo(widget->sizeHint());
        const QRect area(widget->mapTo(panel.get(), QPoint(0, 0)), size);
        for (const auto &m : markers)
            QVERIFY2(!m->geometry().intersects(area),
                     qPrintable(m->text() + " over " + widgetName));
    }
}

QTEST_MAIN(tst_PanelMarker)
#include "tst_panelmarker.moc"
