// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/HVRules.h"
#include "history/History.h"

#include <QString>
#include <QVector>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <array>

// Qt 5 keeps the chart classes in a namespace of their own, Qt 6 beside the
// rest of Qt; the window's code names them through this one.
namespace Charts {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
using QtCharts::QAreaSeries;
using QtCharts::QChart;
using QtCharts::QChartView;
using QtCharts::QDateTimeAxis;
using QtCharts::QLineSeries;
using QtCharts::QValueAxis;
#else
using ::QAreaSeries;
using ::QChart;
using ::QChartView;
using ::QDateTimeAxis;
using ::QLineSeries;
using ::QValueAxis;
#endif
} // namespace Charts

// One HV module's trend: its voltage over time as a line, its status as a
// band along the bottom in the colours of the HV panel's Start button, and
// shaded over the whole height the periods in which the amplifier of its
// chamber was overloaded and in which the link was down. draw() shows the
// span [from, to] of the history; the line is thinned to a few points per
// pixel column (each column's smallest and largest value), so drawing a day
// costs no more than drawing ten minutes.
class TrendChart : public Charts::QChartView
{
    Q_OBJECT

public:
    // A period of time, in milliseconds since the epoch.
    struct Interval
    {
        qint64 from;
        qint64 to;
    };

    // amplifier: the section name of the amplifier whose overloads shade the
    // chart, or empty. tolerance: the HV module's voltage tolerance, which
    // tells a module on at no voltage (grey) from one carrying it (green).
    TrendChart(const QString &module, const QString &amplifier, double tolerance,
               QWidget *parent = nullptr);

    void draw(const History &history, qint64 from, qint64 to);

    QString module() const { return hvModule; }
    // The voltage line's points as last drawn (for tests and the screenshot
    // check).
    int voltagePointCount() const;
    Charts::QLineSeries *voltageSeries() const { return voltage; }
    // The periods of the status band in one colour (an HVRules::StatusColour)
    // as last drawn.
    QVector<Interval> statusPeriods(int colour) const;

private:
    Charts::QAreaSeries *addBand(const QColor &colour);

    QString hvModule;
    QString ampModule;
    double tolerance;
    Charts::QLineSeries *voltage;
    // One band per status colour, in the order of HVRules::StatusColour.
    std::array<Charts::QAreaSeries *, HVRules::StatusColourCount> statusBands{};
    std::array<QVector<Interval>, HVRules::StatusColourCount> bands;
    Charts::QAreaSeries *overloads;
    Charts::QAreaSeries *outages;
    Charts::QDateTimeAxis *timeAxis;
    Charts::QValueAxis *voltageAxis;
    Charts::QValueAxis *bandAxis;
};
