#include "ui/flowtrendwindow.h"

#include "ui/trendchart.h"

#include <QComboBox>
#include <QLabel>

namespace {

struct Span {
    const char* caption;
    int minutes;
};
constexpr Span Spans[] = {{"1 мин", 1},    {"5 мин", 5},    {"10 мин", 10},    {"30 мин", 30},   {"1 ч", 60},
                          {"3 ч", 3 * 60}, {"6 ч", 6 * 60}, {"12 ч", 12 * 60}, {"24 ч", 24 * 60}};
constexpr int DefaultSpan = 2;

} // namespace

FlowTrendWindow::FlowTrendWindow()
    : ChartWindow(QStringLiteral("FlowTrendWindow"), QStringLiteral("График расхода"), new TrendChart) {
    auto* caption = new QLabel(QStringLiteral("Последние"));
    ComboTrendSpan = new QComboBox;
    ComboTrendSpan->setObjectName(QStringLiteral("ComboTrendSpan"));
    for (const Span& span : Spans)
        ComboTrendSpan->addItem(QString::fromUtf8(span.caption), span.minutes);
    ComboTrendSpan->setCurrentIndex(DefaultSpan);
    caption->setBuddy(ComboTrendSpan);
    addControl(caption);
    addControl(ComboTrendSpan);
    connect(ComboTrendSpan, &QComboBox::currentIndexChanged, this, &FlowTrendWindow::spanChanged);
}

TrendChart* FlowTrendWindow::trendChart() const {
    return static_cast<TrendChart*>(chart());
}

std::int64_t FlowTrendWindow::spanMs() const {
    return std::int64_t(ComboTrendSpan->currentData().toInt()) * 60 * 1000;
}
