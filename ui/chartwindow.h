#pragma once
// A window of its own around a chart: a row of controls over it and "Сохранить в PNG", which saves
// the chart as it is shown.
#include "ui/floatingwindow.h"

#include <QImage>

class QHBoxLayout;
class QPushButton;

class ChartWindow : public FloatingWindow {
    Q_OBJECT
  public:
    ChartWindow(const QString& objectName, const QString& title, QWidget* chart);

    // A control left of the save button.
    void addControl(QWidget* control);
    // The chart as shown, title and legend included.
    QImage chartImage() const;
    QWidget* chart() const { return m_chart; }

    QPushButton* ButtonSavePng = nullptr;

  private:
    QWidget* m_chart;
    QHBoxLayout* m_controls = nullptr;
};
