#pragma once
// "Сервис" > "Архивы в базе": the database kastari-collect fills, opened by the same URL it takes
// (kept in kastari-monitor.ini), its meters, and one meter's archive or journal shown, exported,
// charted and reported as the monitor does with what it reads from the line.
#include <QObject>
#include <QString>
#include <memory>

class ArchiveChartView;
class ArchivesView;
class ConsumptionReportView;
class DatabaseWindow;
class QAction;
class ViewHost;

namespace store {
class Store;
}

class DatabaseView : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* UrlKey = "Database/Url";

    // Hangs the item into "Сервис". The window owns the result.
    static DatabaseView* install(ViewHost& host, ArchivesView& archives, ArchiveChartView& chart,
                                 ConsumptionReportView& report);
    ~DatabaseView() override;

    DatabaseWindow* window() const { return m_window.get(); }
    bool isOpen() const { return m_store != nullptr; }

    void MenuDatabaseClick();
    // Opens the database the window names; a message in the window says what failed.
    void open();
    void fillMeters();
    void showChosen();
    void ButtonSaveArchiveClick();
    void ButtonChartClick();
    void ButtonReportClick();
    // "Дополнить базу": the meter chosen in the main window collected now through its link, with the
    // archive reading's waiting window.
    void ButtonCollectClick();

    QAction* MenuDatabase = nullptr;

  private:
    void collectChosenMeter();
    DatabaseView(ViewHost& host, ArchivesView& archives, ArchiveChartView& chart,
                 ConsumptionReportView& report);
    struct Shown;

    ViewHost& m_host;
    ArchivesView& m_archives;
    ArchiveChartView& m_chart;
    ConsumptionReportView& m_report;
    std::unique_ptr<DatabaseWindow> m_window;
    std::unique_ptr<store::Store> m_store;
    std::unique_ptr<Shown> m_shown;
};
