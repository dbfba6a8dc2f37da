#pragma once
// "Сервис" > "Архивы в базе": the database kastari-collect fills, opened by the same URL it takes
// (kept in kastari-monitor.ini), its meters, and one meter's archive or journal shown, exported,
// charted and reported as the monitor does with what it reads from the line. The database is
// opened and read on a thread of its own, so a slow or silent server never stops the window or
// the poll; the operator may stop waiting for it.
#include "store/database.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class ArchiveChartView;
class ArchivesView;
class ConsumptionReportView;
class DatabaseWindow;
class QAction;
class ViewHost;

namespace store {
class Store;
struct OpenFailure;
} // namespace store

class DatabaseView : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* UrlKey = "Database/Url";

    // Hangs the item into "Сервис". The window owns the result.
    static DatabaseView* install(ViewHost& host, ArchivesView& archives, ArchiveChartView& chart,
                                 ConsumptionReportView& report);
    ~DatabaseView() override;

    DatabaseWindow* window() const { return m_window.get(); }
    bool isOpen() const { return m_location.has_value(); }
    // True while the database is asked and the answer not yet in (nor given up).
    bool waiting() const { return m_waitingFor != nullptr; }

    void MenuDatabaseClick();
    // Opens the database the window names; a message in the window says what failed.
    void open();
    void showChosen();
    // "Стоп": the answer still due is thrown away when it comes.
    void giveUp();
    void ButtonSaveArchiveClick();
    void ButtonChartClick();
    void ButtonReportClick();
    // "Дополнить базу": the meter chosen in the main window collected now through its link, with the
    // archive reading's waiting window.
    void ButtonCollectClick();

    QAction* MenuDatabase = nullptr;

  signals:
    // An answer from the database was shown, or waiting for it given up.
    void settled();

  private:
    struct Answer;
    using Job = std::function<void(store::Store&, Answer&)>;
    // Opens the database on a pool thread, runs the job there on that connection, closes it, and
    // hands the answer to `done` in this thread.
    void ask(const store::Location& at, const QString& waitingText, Job job,
             std::function<void(const Answer&)> done);
    void stopWaiting();
    void showOpenFailure(const store::OpenFailure& failure);
    // The meters and their states, as the list shows them; read on the thread given the connection.
    static void readMeters(store::Store& db, Answer& answer);
    void fillMeters(const Answer& listing);
    void updateButtons();
    void collectChosenMeter();
    DatabaseView(ViewHost& host, ArchivesView& archives, ArchiveChartView& chart,
                 ConsumptionReportView& report);
    struct Shown;

    ViewHost& m_host;
    ArchivesView& m_archives;
    ArchiveChartView& m_chart;
    ConsumptionReportView& m_report;
    std::unique_ptr<DatabaseWindow> m_window;
    std::optional<store::Location> m_location; // of the database open in the window
    QObject* m_waitingFor = nullptr;           // the watcher of the answer due
    std::unique_ptr<Shown> m_shown;
};
