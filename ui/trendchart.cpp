#include "ui/trendchart.h"

#include "device/flowtrend.h"
#include "ui/chartsupport.h"

#include <QDateTime>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

namespace {

const QColor ChannelColour[trend::ChannelCount] = {QColor(0x1f, 0x5f, 0xbf), QColor(0x2e, 0x8b, 0x3e)};
const QColor FailureColour(0xd0, 0x20, 0x20);

} // namespace

TrendChart::TrendChart(QWidget* parent) : QWidget(parent) {
    m_view = chartsupport::newView(this, QStringLiteral("TrendChartView"));

    QChart* chart = m_view->chart();
    m_time = new QDateTimeAxis;
    m_time->setTickCount(7);
    m_flow = new QValueAxis;
    m_flow->setTitleText(QStringLiteral("Расход, м3/ч"));
    chart->addAxis(m_time, Qt::AlignBottom);
    chart->addAxis(m_flow, Qt::AlignLeft);
}

void TrendChart::setTitle(const QString& title) {
    m_view->chart()->setTitle(title);
}

void TrendChart::draw(const trend::Plot& plot, std::int64_t fromMs, std::int64_t toMs) {
    QChart* chart = m_view->chart();
    chart->removeAllSeries();

    m_time->setFormat(toMs - fromMs <= 3600 * 1000 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm"));
    m_time->setRange(QDateTime::fromMSecsSinceEpoch(fromMs), QDateTime::fromMSecsSinceEpoch(toMs));
    // A flat line still gets a readable scale around it.
    double low = 0, high = 1;
    if (plot.range) {
        const double margin = std::max(0.5, (plot.range->second - plot.range->first) * 0.1);
        low = plot.range->first - margin;
        high = plot.range->second + margin;
    }
    m_flow->setRange(low, high);
    m_flow->applyNiceNumbers();

    for (int c = 0; c < trend::ChannelCount; ++c) {
        QList<QList<QPointF>> runs;
        for (const auto& run : plot.lines[c]) {
            QList<QPointF>& points = runs.emplace_back();
            points.reserve(qsizetype(run.size()));
            for (const trend::Point& p : run)
                points.append(QPointF(double(p.ms), p.value));
        }
        chartsupport::addRuns(chart, QStringLiteral("Канал %1").arg(c + 1), ChannelColour[c], runs, m_time,
                              m_flow);
    }

    // At the foot of the scale, where no flow is drawn over them.
    auto* failures = new QScatterSeries;
    failures->setName(QStringLiteral("Нет ответа"));
    failures->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    failures->setMarkerSize(7);
    failures->setColor(FailureColour);
    failures->setBorderColor(FailureColour);
    const double foot = m_flow->min() + (m_flow->max() - m_flow->min()) * 0.02;
    for (std::int64_t ms : plot.failures)
        failures->append(double(ms), foot);
    chartsupport::add(chart, failures, m_time, m_flow);
}
