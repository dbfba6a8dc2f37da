#include "ui/chartsupport.h"

#include <QLocale>
#include <QVBoxLayout>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>

namespace chartsupport {

QChart* newChart() {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setLocalizeNumbers(true);
    chart->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QChartView* newView(QWidget* host, const QString& name) {
    auto* view = new QChartView(newChart(), host);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    return view;
}

void replaceChart(QChartView* view, QChart* chart) {
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

void add(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    // Drawn by the raster engine like the rest of the window, so a saved picture is what is shown.
    series->setUseOpenGL(false);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

void addRuns(QChart* chart, const QString& name, const QColor& colour, const QList<QList<QPointF>>& runs,
             QAbstractAxis* x, QAbstractAxis* y) {
    QPen pen(colour);
    pen.setWidthF(1.5);
    for (qsizetype i = 0; i < std::max<qsizetype>(1, runs.size()); ++i) {
        auto* series = new QLineSeries;
        series->setName(name);
        series->setPen(pen);
        if (i < runs.size()) {
            series->replace(runs[i]);
            series->setPointsVisible(runs[i].size() == 1);
        }
        add(chart, series, x, y);
        if (i > 0)
            for (QLegendMarker* marker : chart->legend()->markers(series))
                marker->setVisible(false);
    }
}

} // namespace chartsupport
