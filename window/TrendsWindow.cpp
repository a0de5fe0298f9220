// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/TrendsWindow.h"

#include "devices/Colours.h"
#include "devices/HVRules.h"
#include "history/Archive.h"
#include "station/Station.h"
#include "window/TimelineModel.h"
#include "window/TrendChart.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

struct SpanRow
{
    TrendsWindow::Span span;
    qint64 ms;
    const char *label;
};
const SpanRow Spans[] = {
    {TrendsWindow::TenMinutes, qint64(10) * 60 * 1000, QT_TRANSLATE_NOOP("TrendsWindow", "10 min")},
    {TrendsWindow::OneHour, qint64(60) * 60 * 1000, QT_TRANSLATE_NOOP("TrendsWindow", "1 h")},
    {TrendsWindow::OneDay, qint64(24) * 60 * 60 * 1000, QT_TRANSLATE_NOOP("TrendsWindow", "24 h")},
};

// The legend of the band and the shading, in the colours they are drawn in.
struct LegendRow
{
    HVRules::StatusColour colour;
    const char *label;
};
const LegendRow StatusLegend[] = {
    {HVRules::StatusColour::Green, QT_TRANSLATE_NOOP("TrendsWindow", "ON")},
    {HVRules::StatusColour::Grey, QT_TRANSLATE_NOOP("TrendsWindow", "OFF or no voltage")},
    {HVRules::StatusColour::Yellow, QT_TRANSLATE_NOOP("TrendsWindow", "L2H")},
    {HVRules::StatusColour::Blue, QT_TRANSLATE_NOOP("TrendsWindow", "H2L")},
    {HVRules::StatusColour::Red, QT_TRANSLATE_NOOP("TrendsWindow", "Other status")},
};

QLabel *legendLabel(const QString &text, const QString &style, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(style + QStringLiteral(" padding: 1px 6px;"));
    return label;
}

// The amplifier of the chamber that shows the HV module, or the empty text.
QString amplifierOf(const Station &station, int hvIndex)
{
    for (const StationChamber &chamber : station.chambers) {
        if (chamber.hvIndex == hvIndex && chamber.ampIndex >= 0)
            return station.ampModules.at(chamber.ampIndex).name;
    }
    return QString();
}

} // namespace

TrendsWindow::TrendsWindow(const History &kept, const Station &station, QWidget *parent)
    : QWidget(parent, Qt::Window), history(kept)
{
    setObjectName(QStringLiteral("TrendsWindow"));
    setWindowTitle(tr("Trends"));
    resize(900, 640);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Span:"), this));
    spanBox = new QComboBox(this);
    spanBox->setObjectName(QStringLiteral("SpanCB"));
    for (const SpanRow &row : Spans)
        spanBox->addItem(tr(row.label));
    spanBox->setCurrentIndex(TenMinutes);
    top->addWidget(spanBox);
    liveButton = new QPushButton(tr("Live"), this);
    liveButton->setObjectName(QStringLiteral("LiveB"));
    top->addWidget(liveButton);
    shownLabel = new QLabel(this);
    top->addWidget(shownLabel, 1);
    for (const LegendRow &row : StatusLegend)
        top->addWidget(legendLabel(tr(row.label), HVRules::styleOf(row.colour), this));
    top->addWidget(
        legendLabel(tr("Overload"), Colours::background(Colours::Colour::OverloadShade), this));
    top->addWidget(
        legendLabel(tr("Link down"), Colours::background(Colours::Colour::OutageShade), this));

    auto *chartsPage = new QWidget(this);
    auto *chartsLayout = new QVBoxLayout(chartsPage);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(chartsPage);
    scroll->setWidgetResizable(true);
    auto *chartBox = new QWidget(scroll);
    auto *chartColumn = new QVBoxLayout(chartBox);
    for (int i = 0; i < station.hvModules.size(); ++i) {
        const StationHv &hv = station.hvModules.at(i);
        auto *chart = new TrendChart(hv.name, amplifierOf(station, i), hv.tolerance, chartBox);
        chartColumn->addWidget(chart);
        chartList.append(chart);
    }
    if (chartList.isEmpty())
        chartColumn->addWidget(new QLabel(tr("The station has no HV module."), chartBox));
    scroll->setWidget(chartBox);
    chartsLayout->addWidget(scroll, 1);
    scrollBar = new QScrollBar(Qt::Horizontal, chartsPage);
    scrollBar->setObjectName(QStringLiteral("TimeScrollBar"));
    chartsLayout->addWidget(scrollBar);

    timelineModel = new TimelineModel(history, this);
    timelineView = new QTableView(this);
    timelineView->setObjectName(QStringLiteral("TimelineView"));
    timelineView->setModel(timelineModel);
    timelineView->verticalHeader()->hide();
    timelineView->horizontalHeader()->setStretchLastSection(true);
    timelineView->setSelectionBehavior(QAbstractItemView::SelectRows);
    timelineView->setColumnWidth(TimelineModel::TimeColumn, 190);

    tabs = new QTabWidget(this);
    tabs->addTab(chartsPage, tr("Charts"));
    tabs->addTab(timelineView, tr("Events"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tabs, 1);

    connect(spanBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        updateScrollBar();
        redraw();
    });
    connect(liveButton, &QPushButton::clicked, this, &TrendsWindow::followLive);
    connect(scrollBar, &QScrollBar::valueChanged, this, &TrendsWindow::scrolled);
    connect(tabs, &QTabWidget::currentChanged, this, &TrendsWindow::redraw);
    timer.setInterval(1000 / RedrawsPerSecond);
    connect(&timer, &QTimer::timeout, this, &TrendsWindow::tick);
    updateScrollBar();
}

qint64 TrendsWindow::spanMs(Span span)
{
    return Spans[span].ms;
}

void TrendsWindow::setSpan(Span span)
{
    spanBox->setCurrentIndex(span);
}

TrendsWindow::Span TrendsWindow::span() const
{
    return Span(qBound(0, spanBox->currentIndex(), int(OneDay)));
}

qint64 TrendsWindow::liveEnd() const
{
    return qMax(QDateTime::currentMSecsSinceEpoch(), history.newest());
}

qint64 TrendsWindow::shownTo() const
{
    return following ? liveEnd() : fixedEnd;
}

qint64 TrendsWindow::shownFrom() const
{
    return shownTo() - spanMs(span());
}

void TrendsWindow::showUntil(qint64 end)
{
    following = end >= liveEnd();
    fixedEnd = end;
    updateScrollBar();
    redraw();
}

void TrendsWindow::followLive()
{
    following = true;
    updateScrollBar();
    redraw();
}

qint64 TrendsWindow::reachMs() const
{
    return qMax(History::KeepMs, archiveReachMs);
}

void TrendsWindow::readArchive(Archive *store, int keepDays)
{
    archive = store;
    archiveReachMs = qint64(qMax(1, keepDays)) * History::KeepMs;
    connect(store, &Archive::spanLoaded, this, &TrendsWindow::takeSpan);
    updateScrollBar();
}

void TrendsWindow::takeSpan(qint64 from, qint64 to, const std::shared_ptr<History> &span)
{
    archived = span;
    archivedFrom = from;
    archivedTo = to;
    // The worker keeps to the present; what counts is where the span begins.
    reading = askedFrom != from;
    redraw();
}

void TrendsWindow::updateScrollBar()
{
    // In seconds: the right end is the live end, the left as far back as
    // the memory, or the archive, reaches.
    const int back = int((reachMs() - spanMs(span())) / 1000);
    const QSignalBlocker blocker(scrollBar);
    scrollBar->setRange(0, back);
    scrollBar->setPageStep(int(spanMs(span()) / 1000));
    scrollBar->setSingleStep(qMax(1, scrollBar->pageStep() / 10));
    const qint64 behind = following ? 0 : (liveEnd() - fixedEnd) / 1000;
    scrollBar->setValue(back - int(qBound(qint64(0), behind, qint64(back))));
}

void TrendsWindow::scrolled(int value)
{
    if (value >= scrollBar->maximum()) {
        followLive();
        return;
    }
    following = false;
    fixedEnd = liveEnd() - qint64(scrollBar->maximum() - value) * 1000;
    redraw();
}

void TrendsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
    timer.start();
}

void TrendsWindow::tick()
{
    if (!isVisible()) {
        timer.stop();
        return;
    }
    // A fixed span redraws only when the history changed; the live one
    // moves with the clock as well.
    if (!following && history.revision() == drawnRevision && drawnSpan == spanMs(span()))
        return;
    if (!following)
        updateScrollBar();
    redraw();
}

void TrendsWindow::redraw()
{
    const qint64 to = shownTo();
    const qint64 from = shownFrom();
    drawnRevision = history.revision();
    drawnTo = to;
    drawnSpan = to - from;
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    shownLabel->setText(
        following ? tr("%1 to now").arg(QDateTime::fromMSecsSinceEpoch(from).toString(format))
                  : tr("%1 to %2")
                        .arg(QDateTime::fromMSecsSinceEpoch(from).toString(format),
                             QDateTime::fromMSecsSinceEpoch(to).toString(format)));
    liveButton->setEnabled(!following);
    if (tabs->currentWidget() == timelineView) {
        timelineModel->refresh();
        return;
    }
    // What the memory no longer holds comes from the archive; until it has
    // come, the memory's part is shown.
    const History *source = &history;
    fromArchive = false;
    if (archive && from < liveEnd() - History::KeepMs) {
        if (archived && archivedFrom <= from && archivedTo >= qMin(to, liveEnd())) {
            source = archived.get();
            fromArchive = true;
        } else if (askedFrom != from || askedTo != to || !reading) {
            askedFrom = from;
            askedTo = to;
            reading = true;
            archive->loadSpan(from, to);
        }
    }
    if (reading && !fromArchive)
        shownLabel->setText(tr("%1 (reading the archive…)").arg(shownLabel->text()));
    for (TrendChart *chart : qAsConst(chartList))
        chart->draw(*source, from, to);
}

void TrendsWindow::showTimeline()
{
    tabs->setCurrentWidget(timelineView);
}

void TrendsWindow::showCharts()
{
    tabs->setCurrentIndex(0);
}
