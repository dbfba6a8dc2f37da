#pragma once
// The flow trend as drawn: both channels' flows against the time of day, their gaps, and a red mark
// where a poll failed.
#include <QWidget>
#include <cstdint>

class QChartView;
class QDateTimeAxis;
class QValueAxis;
namespace trend {
struct Plot;
}

class TrendChart : public QWidget {
    Q_OBJECT
  public:
    explicit TrendChart(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // fromMs, toMs: the stretch shown, ms since 1970.
    void draw(const trend::Plot& plot, std::int64_t fromMs, std::int64_t toMs);

  private:
    QChartView* m_view = nullptr;
    QDateTimeAxis* m_time = nullptr;
    QValueAxis* m_flow = nullptr;
};
