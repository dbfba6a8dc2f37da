#pragma once
// A window of its own around a chart: a row of controls over it and "Сохранить в PNG", which saves
// the chart as it is shown. It has no parent widget, so the main window, disabled while it talks to
// the meter, never disables it; it stays above the main window all the same, as a dialog does.
#include <QImage>
#include <QWidget>

class QHBoxLayout;
class QPushButton;

class ChartWindow : public QWidget {
    Q_OBJECT
  public:
    ChartWindow(const QString& objectName, const QString& title, QWidget* chart);

    // Shows the window (or brings it forward) above the main window.
    void present();
    // A control left of the save button.
    void addControl(QWidget* control);
    // The chart as shown, title and legend included.
    QImage chartImage() const;
    QWidget* chart() const { return m_chart; }

    QPushButton* ButtonSavePng = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* m_chart;
    bool m_placed = false;
    QHBoxLayout* m_controls = nullptr;
};
