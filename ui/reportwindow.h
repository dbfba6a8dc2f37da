#pragma once
// "Отчёт о потреблении": the report's pages as they will print, with "Печать..." and "Сохранить в
// PDF...". A window of its own that stays above the main window, as the chart windows do.
#include "ui/chartwindow.h"

class QPrinter;
class QPrintPreviewWidget;
class QPushButton;

class ReportWindow : public ChartWindow {
    Q_OBJECT
  public:
    // `printer` sets the page the preview lays out; it must outlive the window.
    explicit ReportWindow(QPrinter& printer);

    QPrintPreviewWidget* preview() const { return m_preview; }
    QPushButton* ButtonPrint = nullptr;
    QPushButton* ButtonSavePdf = nullptr;

  private:
    QPrintPreviewWidget* m_preview;
};
