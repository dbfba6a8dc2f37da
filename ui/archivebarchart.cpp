#include "ui/archivebarchart.h"

#include "archives/archivechart.h"
#include "ui/chartsupport.h"

#include <QSet>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

namespace {

const QColor PlusColour(0x1f, 0x5f, 0xbf);
const QColor MinusColour(0xe0, 0x8a, 0x1e);
const QColor DowntimeColour(0xc0, 0x20, 0x20);

struct GapLook {
    archives::ChartMark mark;
    const char* name;
    QColor colour;
    Qt::BrushStyle pattern;
};
const GapLook GapLooks[] = {
    {archives::ChartMark::NotRecorded, "Не записан прибором", QColor(0x60, 0x60, 0x60), Qt::BDiagPattern},
    {archives::ChartMark::NoBase, "Нет предыдущей записи", QColor(0x90, 0x70, 0xc0), Qt::FDiagPattern},
    {archives::ChartMark::NotRead, "Не прочитан", QColor(0xd0, 0x30, 0x30), Qt::DiagCrossPattern},
    {archives::ChartMark::NoNumber, "Недопустимый объем", QColor(0x20, 0x80, 0x80), Qt::CrossPattern},
};

QBarSet* barSet(const QString& name, const QColor& colour, const QList<float>& values) {
    auto* set = new QBarSet(name);
    set->setColor(colour);
    set->setBorderColor(colour);
    for (float v : values)
        set->append(v);
    return set;
}

// The gaps of one kind as one series of bands over the whole height of the scale.
QAreaSeries* bands(const archives::ArchiveChart& chart, const GapLook& look, double low, double high) {
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    for (const archives::ChartGap& gap : chart.gaps) {
        if (gap.mark != look.mark) continue;
        const double from = gap.first - 0.5, to = gap.last + 0.5;
        *upper << QPointF(from, low) << QPointF(from, high) << QPointF(to, high) << QPointF(to, low);
        *lower << QPointF(from, low) << QPointF(to, low);
    }
    if (upper->count() == 0) {
        delete upper;
        delete lower;
        return nullptr;
    }
    auto* area = new QAreaSeries(upper, lower);
    area->setName(QString::fromUtf8(look.name));
    area->setPen(QPen(look.colour, 1));
    area->setBrush(QBrush(look.colour, look.pattern));
    return area;
}

} // namespace

ArchiveBarChart::ArchiveBarChart(QWidget* parent) : QWidget(parent) {
    m_view = chartsupport::newView(this, QStringLiteral("ArchiveChartView"));
}

void ArchiveBarChart::draw(const archives::ArchiveChart& data, const QString& title) {
    QChart* chart = chartsupport::newChart();
    chart->setTitle(title);

    const int n = data.periods();
    auto* periods = new QCategoryAxis;
    periods->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    periods->setRange(-0.5, std::max(n, 1) - 0.5);
    periods->setGridLineVisible(false);
    // Each label names its category, so equal texts (the same hour on two days) are told apart by
    // characters that do not show.
    QSet<QString> used;
    for (const archives::ChartLabel& label : data.labels) {
        QString text = label.text;
        while (used.contains(text))
            text += QChar(0x200B);
        used.insert(text);
        periods->append(text, label.period);
    }
    auto* volume = new QValueAxis;
    volume->setTitleText(QStringLiteral("Объем, м3"));
    // Some room above the highest bar, so it does not touch the frame.
    volume->setRange(data.low, std::max(data.high * 1.05f, data.low + 1.0f));
    volume->applyNiceNumbers();
    chart->addAxis(periods, Qt::AlignBottom);
    chart->addAxis(volume, Qt::AlignLeft);

    auto* bars = new QBarSeries;
    bars->setBarWidth(0.9);
    bars->append(barSet(QStringLiteral("Объем +"), PlusColour, data.plus));
    bars->append(barSet(QStringLiteral("Объем -"), MinusColour, data.minus));
    chartsupport::add(chart, bars, periods, volume);

    if (!data.downtimeTitle.isEmpty()) {
        auto* downtime = new QValueAxis;
        downtime->setTitleText(data.downtimeTitle);
        // The whole period at the top: 60 minutes of an hour, 24 hours of a day (more when the meter
        // was off longer than its period).
        double top = data.kind == archives::Kind::Hour ? 60 : 24;
        for (const auto& run : data.downtime)
            for (const QPointF& p : run)
                top = std::max(top, p.y());
        downtime->setRange(0, top);
        downtime->applyNiceNumbers();
        chart->addAxis(downtime, Qt::AlignRight);
        chartsupport::addRuns(chart, QStringLiteral("Простой"), DowntimeColour, data.downtime, periods,
                              downtime);
    }

    for (const GapLook& look : GapLooks)
        if (QAreaSeries* area = bands(data, look, volume->min(), volume->max()))
            chartsupport::add(chart, area, periods, volume);

    chartsupport::replaceChart(m_view, chart);
}
