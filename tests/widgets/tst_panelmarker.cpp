// SPDX-License-Identifier: GPL-3.0-or-later
// The badges over a panel: they share the panel's top right corner side by
// side, never cover each other nor the module's name, follow the panel's
// size, leave the panel's own widgets where they were, and hide without a
// text.

#include "amplifier/aCA.h"
#include "hv/aHV.h"
#include "widgets/PanelMarker.h"

#include <QLabel>
#include <QLineEdit>
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
    QTest::newRow("HV panel") << true;
    QTest::newRow("amplifier panel") << false;
}

// The panels as the window builds them, with the three markers at once:
// "HV I0" and "AMP I0" stay readable, as the snapshot's "Differs" once hid
// them.
void tst_PanelMarker::realPanelsKeepTheirNames()
{
    QFETCH(bool, hvPanel);
    std::unique_ptr<QWidget> panel;
    if (hvPanel)
        panel = std::make_unique<aHV>();
    else
        panel = std::make_unique<aCA>();
    const QString name = hvPanel ? QStringLiteral("HV I0") : QStringLiteral("AMP I0");
    QWidget *nameWidget = panel->findChild<QWidget *>(QStringLiteral("ModuleName"));
    QVERIFY(nameWidget);
    QVERIFY(nameWidget->setProperty("text", name));
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));

    std::vector<std::unique_ptr<PanelMarker>> markers;
    for (const auto kind :
         {PanelMarker::Kind::Snapshot, PanelMarker::Kind::Silence, PanelMarker::Kind::Alarm}) {
        markers.push_back(std::make_unique<PanelMarker>(panel.get(), kind, QString()));
        markers.back()->setNote(kind == PanelMarker::Kind::Snapshot  ? QStringLiteral("Differs")
                                : kind == PanelMarker::Kind::Silence ? QStringLiteral("!")
                                                                     : QStringLiteral("Alarm"),
                                QStringLiteral("note"));
    }
    const QRect nameArea = PanelMarker::nameArea(panel.get());
    QVERIFY(!nameArea.isEmpty());
    QVERIFY(nameArea.width() >= nameWidget->fontMetrics().horizontalAdvance(name));
    checkPlaces(*panel, markers);
}

QTEST_MAIN(tst_PanelMarker)
#include "tst_panelmarker.moc"
