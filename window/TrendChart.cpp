// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/TrendChart.h"

#include "devices/Colours.h"
#include "widgets/QtColour.h"

#include <QDateTime>
#include <QPen>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The band axis runs from 0 to 1 over the plot's height; the status band
// takes its bottom part.
constexpr double StatusBandHeight = 0.06;
// Pixel columns the line is thinned to, each giving its lowest and highest
// point.
constexpr int Columns = 800;
constexpr double NoVoltage = std::numeric_limits<double>::quiet_NaN();
constexpr double VoltagePenWidth = 1.5;

using Interval = TrendChart::Interval;

// One point of a series in time order: a bucket (min, max and last over ten
// seconds) or a single sample (all three the same).
struct Point
{
    qint64 t;
    double min;
    double max;
    double last;
    QStringView text;
};

QVector<Point> pointsOf(const History::Series *series, qint64 from, qint64 to)
{
    QVector<Point> points;
    if (!series)
        return points;
    // The point in effect at from counts as well: a status set an hour ago
    // still colours the band now.
    const Point *before = nullptr;
    Point held{};
    for (const History::Bucket &b : series->buckets()) {
        if (b.start > to)
            break;
        if (b.start < from) {
            held = {b.start, b.min, b.max, b.last, b.lastText.view()};
            before = &held;
            continue;
        }
        points.append({b.start, b.min, b.max, b.last, b.lastText.view()});
    }
    for (const History::Sample &s : series->samples()) {
        if (s.t > to)
            break;
        if (s.t < from) {
            held = {s.t, s.number, s.number, s.number, s.text.view()};
            before = &held;
            continue;
        }
        points.append({s.t, s.number, s.number, s.number, s.text.view()});
    }
    if (before) {
        Point first = *before;
        first.t = from;
        points.prepend(first);
    }
    return points;
}

// Rectangles from 0 to height over each interval, as one upper line.
void setIntervals(Charts::QAreaSeries *area, const QVector<Interval> &intervals, double height)
{
    QVector<QPointF> upper;
    upper.reserve(intervals.size() * 4);
    for (const Interval &i : intervals) {
        upper << QPointF(i.from, 0) << QPointF(i.from, height) << QPointF(i.to, height)
              << QPointF(i.to, 0);
    }
    area->upperSeries()->replace(upper);
}

// Intervals from each event of the first kind to the next of the second
// (the end of the span when none follows) that overlap [from, to].
QVector<Interval> periods(const History &history, const QString &module,
                          std::initializer_list<History::EventKind> starts, History::EventKind end,
                          qint64 from, qint64 to)
{
    QVector<Interval> found;
    qint64 began = -1;
    for (const History::Event &e : history.events()) {
        if (e.module != module)
            continue;
        const bool isStart = std::find(starts.begin(), starts.end(), e.kind) != starts.end();
        if (isStart && began < 0)
            began = e.t;
        else if (e.kind == end && began >= 0) {
            if (e.t >= from && began <= to)
                found.append({qMax(began, from), qMin(e.t, to)});
            began = -1;
        }
    }
    if (began >= 0 && began <= to)
        found.append({qMax(began, from), to});
    return found;
}

// 1, 2 or 5 times a power of ten, the first at least rough.
double niceStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10.0 * power;
}

} // namespace

TrendChart::TrendChart(const QString &module, const QString &amplifier, double voltageTolerance,
                       QWidget *parent)
    : Charts::QChartView(parent), hvModule(module), ampModule(amplifier),
      tolerance(voltageTolerance)
{
    setObjectName(QStringLiteral("TrendChart_") + module);
    auto *chart = new Charts::QChart;
    chart->setTitle(module);
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 2, 4, 2));
    setChart(chart);
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(220);

    timeAxis = new Charts::QDateTimeAxis(chart);
    timeAxis->setTickCount(7);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    voltageAxis = new Charts::QValueAxis(chart);
    voltageAxis->setTitleText(tr("Voltage [V]"));
    voltageAxis->setLabelFormat(QStringLiteral("%g"));
    voltageAxis->setRange(0, 1);
    voltageAxis->setTickInterval(0.2);
    voltageAxis->setTickAnchor(0);
    voltageAxis->setTickType(Charts::QValueAxis::TicksDynamic);
    chart->addAxis(voltageAxis, Qt::AlignLeft);
    bandAxis = new Charts::QValueAxis(chart);
    bandAxis->setRange(0, 1);
    bandAxis->setVisible(false);
    chart->addAxis(bandAxis, Qt::AlignRight);

    outages = addBand(qtColour(Colours::Colour::OutageShade));
    overloads = addBand(qtColour(Colours::Colour::OverloadShade));
    for (int c = 0; c < int(statusBands.size()); ++c)
        statusBands[size_t(c)] = addBand(qtColour(HVRules::colourOf(HVRules::StatusColour(c))));

    voltage = new Charts::QLineSeries(chart);
    voltage->setName(tr("Voltage"));
    voltage->setPen(QPen(qtColour(Colours::Colour::VoltageCurve), VoltagePenWidth));
    // OpenGL would be faster for long lines, but the offscreen and remote
    // displays of a control room do not always have it.
    voltage->setUseOpenGL(false);
    chart->addSeries(voltage);
    voltage->attachAxis(timeAxis);
    voltage->attachAxis(voltageAxis);
}

Charts::QAreaSeries *TrendChart::addBand(const QColor &colour)
{
    auto *upper = new Charts::QLineSeries(chart());
    auto *area = new Charts::QAreaSeries(upper);
    area->setParent(chart());
    area->setColor(colour);
    area->setBorderColor(colour);
    area->setPen(Qt::NoPen);
    chart()->addSeries(area);
    area->attachAxis(timeAxis);
    area->attachAxis(bandAxis);
    return area;
}

int TrendChart::voltagePointCount() const
{
    return voltage->count();
}

void TrendChart::draw(const History &history, qint64 from, qint64 to)
{
    timeAxis->setFormat(to - from > qint64(2) * 3600 * 1000 ? QStringLiteral("HH:mm")
                                                            : QStringLiteral("HH:mm:ss"));
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));

    // The voltage, a lowest and a highest point per column.
    const QVector<Point> volts =
        pointsOf(history.series(hvModule, History::Quantity::Voltage), from, to);
    QVector<QPointF> line;
    line.reserve(Columns * 2);
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const double width = double(qMax(qint64(1), to - from)) / Columns;
    for (int i = 0; i < volts.size();) {
        const int column = int(double(volts.at(i).t - from) / width);
        double minimum = volts.at(i).min;
        double maximum = volts.at(i).max;
        qint64 tMin = volts.at(i).t;
        qint64 tMax = tMin;
        int j = i + 1;
        for (; j < volts.size() && int(double(volts.at(j).t - from) / width) == column; ++j) {
            if (volts.at(j).min < minimum) {
                minimum = volts.at(j).min;
                tMin = volts.at(j).t;
            }
            if (volts.at(j).max > maximum) {
                maximum = volts.at(j).max;
                tMax = volts.at(j).t;
            }
        }
        if (j == i + 1 && minimum == maximum) {
            line << QPointF(tMin, minimum);
        } else if (tMin <= tMax) {
            line << QPointF(tMin, minimum) << QPointF(tMax, maximum);
        } else {
            line << QPointF(tMax, maximum) << QPointF(tMin, minimum);
        }
        low = qMin(low, minimum);
        high = qMax(high, maximum);
        i = j;
    }
    voltage->replace(line);
    if (line.isEmpty()) {
        low = 0;
        high = 1;
    } else if (high - low < 1) {
        low -= 0.5;
        high += 0.5;
    }
    // Room under the curve for the status band; the ticks stay on round
    // voltages whatever the range.
    // The axis lays out every tick at once, so the order of the two keeps
    // the ticks few on the way: a finer step only on the narrower range.
    const double range = high - low;
    const double step = niceStep(range / 5);
    const double bottom = low - range * (StatusBandHeight * 1.5 + 0.03);
    const double top = high + range * 0.05;
    if (step > voltageAxis->tickInterval()) {
        voltageAxis->setTickInterval(step);
        voltageAxis->setRange(bottom, top);
    } else {
        voltageAxis->setRange(bottom, top);
        voltageAxis->setTickInterval(step);
    }

    // The status band: the colour of each moment from the status and the
    // voltage then, as the Start button would have shown it. A status is
    // known only while the link stands: from the start of an outage the band
    // stays empty until the module reports its status again, so an old
    // status never seems to hold through a time nothing was heard.
    const QVector<Interval> down =
        periods(history, QString(), {History::EventKind::LinkLost, History::EventKind::LinkRefused},
                History::EventKind::LinkReady, from, to);
    const QVector<Point> statuses =
        pointsOf(history.series(hvModule, History::Quantity::Status), from, to);
    for (QVector<Interval> &band : bands)
        band.clear();
    int v = 0;
    int d = 0;
    double nowV = NoVoltage;
    int colour = -1;
    qint64 began = from;
    QStringView status;
    bool statusKnown = false;
    auto close = [&](qint64 t) {
        if (colour >= 0 && t > began)
            bands[size_t(colour)].append({began, t});
        colour = -1;
    };
    auto change = [&](qint64 t) {
        if (!statusKnown)
            return;
        const int c = int(HVRules::statusColour(status, std::isnan(nowV) ? 0.0 : nowV, tolerance));
        if (c == colour)
            return;
        close(t);
        colour = c;
        began = t;
    };
    // The voltages and outage starts up to t, in time order.
    auto catchUp = [&](qint64 t) {
        for (;;) {
            const qint64 nextV = v < volts.size() ? volts.at(v).t : to + 1;
            const qint64 nextDown = d < down.size() ? down.at(d).from : to + 1;
            if (qMin(nextV, nextDown) > t)
                return;
            if (nextDown <= nextV) {
                close(nextDown);
                statusKnown = false;
                ++d;
            } else {
                nowV = volts.at(v).last;
                change(nextV);
                ++v;
            }
        }
    };
    for (const Point &s : statuses) {
        catchUp(s.t);
        status = s.text;
        statusKnown = true;
        change(s.t);
    }
    catchUp(to);
    // The last status holds until something else is known.
    close(to);
    for (size_t c = 0; c < bands.size(); ++c)
        setIntervals(statusBands.at(c), bands.at(c), StatusBandHeight);

    setIntervals(overloads,
                 ampModule.isEmpty()
                     ? QVector<Interval>()
                     : periods(history, ampModule, {History::EventKind::OverloadSet},
                               History::EventKind::OverloadCleared, from, to),
                 1.0);
    setIntervals(outages, down, 1.0);
}

QVector<TrendChart::Interval> TrendChart::statusPeriods(int colour) const
{
    if (colour < 0 || size_t(colour) >= bands.size())
        return {};
    return bands.at(size_t(colour));
}
