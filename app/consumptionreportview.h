#pragma once
// "Сервис" > "Отчёт о потреблении": the day archive last read, as the printable consumption report
// of its channel, printed through the system's print dialog or saved as PDF in the meter's folder.
#include "archives/archivereading.h"
#include "files/consumptionreport.h"

#include <QObject>
#include <memory>
#include <optional>

class ArchivesView;
class QAction;
class QPrinter;
class ReportWindow;
class ViewHost;

class ConsumptionReportView : public QObject {
    Q_OBJECT
  public:
    // Hangs the item into "Сервис". The window owns the result.
    static ConsumptionReportView* install(ViewHost& host, ArchivesView& archives);
    ~ConsumptionReportView() override;

    ReportWindow* window() const { return m_window.get(); }
    const std::optional<consumption::Report>& report() const { return m_report; }

    void MenuConsumptionReportClick();
    // Shows a report made elsewhere (from the database).
    void present(const consumption::Report& report);
    void ButtonPrintClick();
    void ButtonSavePdfClick();

    QAction* MenuConsumptionReport = nullptr;

  private:
    ConsumptionReportView(ViewHost& host, ArchivesView& archives);
    void buildFromShownArchive();

    ViewHost& m_host;
    ArchivesView& m_archives;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<ReportWindow> m_window;
    std::optional<consumption::Report> m_report;
};
