#pragma once
// The archive as drawn: the volumes "+" and "-" of each period as bars, the downtime of hours and
// days as a line on a second scale, and the periods without a row (or a volume that is no number) as
// hatched bands.
#include <QWidget>

class QChartView;
namespace archives {
struct ArchiveChart;
}

class ArchiveBarChart : public QWidget {
    Q_OBJECT
  public:
    explicit ArchiveBarChart(QWidget* parent = nullptr);

    void draw(const archives::ArchiveChart& chart, const QString& title);

  private:
    QChartView* m_view = nullptr;
};
