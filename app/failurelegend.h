#pragma once
// The legend behind every "Обзор" button of the main window (the adjustment view's ButtonBrouse and
// the measurement view's ButtonBrouseCh1, ButtonBrouseCh2): reads the failure and condition bytes
// and shows which failures and abnormal situations are present, in TForm6.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QPushButton;
class QWidget;
class ViewHost;
class TForm6;
namespace legend {
struct Markers;
}

class FailureLegend : public QObject {
    Q_OBJECT
  public:
    // Creates the legend and wires every "Обзор" button the window holds, so it is installed after
    // the views. The window owns the result.
    static FailureLegend* install(ViewHost& host);
    ~FailureLegend() override;

    // The channel is the pressed button's Tag: 1 for channel 1, anything else for channel 2.
    void ButtonBrouseClick(QPushButton* button);

  private:
    explicit FailureLegend(ViewHost& host);
    // Reads registers 252-255 without telling the operator of a failure, and fills the legend.
    bool fill(int channelTag);

    ViewHost& m_host;
    // A window of its own: the main window is disabled while the legend is shown.
    std::unique_ptr<TForm6> m_form6;
};
