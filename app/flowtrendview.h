#pragma once
// "Сервис" > "График расхода": keeps the flows of every poll of a live view, whether or not the window
// is open, and shows the selected meter's over the last minutes or hours in a window of its own,
// which the operator can save as a picture.
#include "device/flowtrend.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

class FlowTrendWindow;
class QAction;
class QTimer;
class QWidget;
class ViewHost;

class FlowTrendView : public QObject {
    Q_OBJECT
  public:
    // Hangs the item into "Сервис" and starts keeping the polls. The window owns the result.
    static FlowTrendView* install(ViewHost& host);
    ~FlowTrendView() override;

    FlowTrendWindow* window() const { return m_window.get(); }
    const trend::FlowTrend& samples() const { return m_trend; }
    // What the chart was last given.
    const trend::Plot& plot() const { return m_plot; }

    void MenuFlowTrendClick();
    void ButtonSavePngClick();
    // Draws the shown stretch up to now again, while the window is open.
    void refresh();

    // Milliseconds since 1970 that never go back, whatever the computer's clock does (tests set it).
    std::function<std::int64_t()> clock;

    QAction* MenuFlowTrend = nullptr;

  private:
    explicit FlowTrendView(ViewHost& host);
    void polled(const trend::Poll& poll);

    ViewHost& m_host;
    trend::FlowTrend m_trend;
    trend::Plot m_plot;
    std::unique_ptr<FlowTrendWindow> m_window;
    QTimer* m_refresh = nullptr;
};
