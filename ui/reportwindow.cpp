#include "ui/reportwindow.h"

#include <QPrintPreviewWidget>
#include <QPushButton>

namespace {

QPrintPreviewWidget* makePreview(QPrinter& printer) {
    auto* preview = new QPrintPreviewWidget(&printer);
    preview->setObjectName(QStringLiteral("PreviewReport"));
    preview->setZoomMode(QPrintPreviewWidget::FitToWidth);
    preview->setMinimumSize(560, 480);
    return preview;
}

} // namespace

ReportWindow::ReportWindow(QPrinter& printer)
    : ChartWindow(QStringLiteral("ConsumptionReportWindow"), QStringLiteral("Отчёт о потреблении"),
                  makePreview(printer)),
      m_preview(static_cast<QPrintPreviewWidget*>(chart())) {
    // A report is printed or kept as a document, not as a picture.
    ButtonSavePng->hide();
    ButtonPrint = new QPushButton(QStringLiteral("Печать..."));
    ButtonPrint->setObjectName(QStringLiteral("ButtonPrint"));
    ButtonSavePdf = new QPushButton(QStringLiteral("Сохранить в PDF..."));
    ButtonSavePdf->setObjectName(QStringLiteral("ButtonSavePdf"));
    addControl(ButtonPrint);
    addControl(ButtonSavePdf);
    resize(720, 700);
}
