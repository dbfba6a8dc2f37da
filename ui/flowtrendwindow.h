#pragma once
// "График расхода": the flows of both channels over the last minutes or hours, as the live views
// polled them.
#include "ui/chartwindow.h"

#include <cstdint>

class QComboBox;
class TrendChart;

class FlowTrendWindow : public ChartWindow {
    Q_OBJECT
  public:
    FlowTrendWindow();

    TrendChart* trendChart() const;
    // The stretch shown, up to now: from a minute to a day, ten minutes at first.
    std::int64_t spanMs() const;

    QComboBox* ComboTrendSpan = nullptr;

  signals:
    void spanChanged();
};
