#include "app/consumptionreportview.h"

#include "app/archivesview.h"
#include "app/exchange.h"
#include "app/filesave.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "device/encodings.h"
#include "files/consumptionpdf.h"
#include "ui/reportwindow.h"

#include <QAction>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>

ConsumptionReportView* ConsumptionReportView::install(ViewHost& host, ArchivesView& archives) {
    return new ConsumptionReportView(host, archives);
}

ConsumptionReportView::ConsumptionReportView(ViewHost& host, ArchivesView& archives)
    : QObject(host.actionWindow()), m_host(host), m_archives(archives),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("ConsumptionReportView"));
    m_printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 15, 15, 15), QPageLayout::Millimeter));
    m_window = std::make_unique<ReportWindow>(*m_printer);
    connect(m_window->preview(), &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) {
        if (m_report) consumption::paint(*m_report, *printer);
    });
    connect(m_window->ButtonPrint, &QPushButton::clicked, this, &ConsumptionReportView::ButtonPrintClick);
    connect(m_window->ButtonSavePdf, &QPushButton::clicked, this, &ConsumptionReportView::ButtonSavePdfClick);
    MenuConsumptionReport =
        host.addServiceItem(QStringLiteral("MenuConsumptionReport"), QStringLiteral("Отчёт о потреблении"));
    connect(MenuConsumptionReport, &QAction::triggered, this,
            &ConsumptionReportView::MenuConsumptionReportClick);
}

ConsumptionReportView::~ConsumptionReportView() = default;

void ConsumptionReportView::MenuConsumptionReportClick() {
    // Its error box and window are not opened inside an exchange.
    afterExchange(m_host, [this] { buildFromShownArchive(); });
}

void ConsumptionReportView::buildFromShownArchive() {
    {
        const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Opened});
        const auto& shown = m_archives.lastArchive();
        if (!shown || shown->reading.kind != archives::Kind::Day) {
            m_host.ShowInformation(
                QStringLiteral("Отчёт о потреблении строится по суточному архиву: прочитайте его "
                               "(«Тип параметров» > «Архивы» > «Суточный»)."));
            return;
        }
        // The meter the days were read from, whichever is chosen now: a bill made of the report
        // charges that meter's customer.
        const archives::ArchiveReading& reading = shown->reading;
        const MeterIdentity& meter = reading.meter;
        consumption::Heading heading{.electronicNumber = meter.number,
                                     .deviceText = meter.deviceText.simplified(),
                                     .name = {},
                                     .address = consumption::addressText(meter.line, meter.address),
                                     .channel = reading.channel + 1,
                                     .from = {},
                                     .to = {},
                                     .made = QDate::currentDate()};
        if (!reading.periods.isEmpty()) {
            heading.from = reading.periods.first().start.date();
            heading.to = reading.periods.last().start.date();
        }
        m_report = consumption::build(heading, consumption::daysOf(reading));
    }
    present(*m_report);
}

void ConsumptionReportView::present(const consumption::Report& report) {
    m_report = report;
    m_window->preview()->updatePreview();
    m_window->present();
}

void ConsumptionReportView::ButtonPrintClick() {
    if (!m_report) return;
    QPrintDialog dialog(m_printer.get(), m_window.get());
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    if (dialog.exec() == QDialog::Accepted) consumption::paint(*m_report, *m_printer);
}

void ConsumptionReportView::ButtonSavePdfClick() {
    if (!m_report) return;
    const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Held});
    if (const std::optional<QString> path =
            filesave::choosePath(m_report->heading.electronicNumber, consumption::pdfName(m_report->heading),
                                 filesave::Saving::Report))
        filesave::write(m_host, {{*path, consumption::pdf(*m_report)}});
}
