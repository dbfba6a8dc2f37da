#pragma once
// What the program's charts share: a view without animation (the trend is redrawn on every poll),
// numbers with the decimal comma, and lines broken into runs. Only the chart widgets include this:
// they are the one place that knows which chart module draws.
#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QtCharts/QChartView>

class QAbstractAxis;
class QAbstractSeries;

namespace chartsupport {

QChart* newChart();
// A chart view named `name` that fills `host`.
QChartView* newView(QWidget* host, const QString& name);
// Puts a new chart in the view and deletes the one it showed: a chart rebuilt in place keeps the
// labels of axes taken out of it.
void replaceChart(QChartView* view, QChart* chart);
// Added to the chart and attached to both axes.
void add(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y);
// A line broken into runs: one series per run, only the first in the legend (so the line has one
// entry even when it has no run). A lone point is drawn as a dot.
void addRuns(QChart* chart, const QString& name, const QColor& colour, const QList<QList<QPointF>>& runs,
             QAbstractAxis* x, QAbstractAxis* y);

} // namespace chartsupport
