#pragma once
// "Сервис" > "Диаграмма архива": the archive last read into the grid as bars per period, in a window
// of its own that follows every new reading and can be saved as a picture.
#include "app/archivesview.h"
#include "archives/archivechart.h"

#include <QObject>
#include <memory>
#include <optional>

class ArchivesView;
class ChartWindow;
class QAction;
class ViewHost;

class ArchiveChartView : public QObject {
    Q_OBJECT
  public:
    // Hangs the item into "Сервис". The window owns the result.
    static ArchiveChartView* install(ViewHost& host, ArchivesView& archives);
    ~ArchiveChartView() override;

    ChartWindow* window() const { return m_window.get(); }
    // What the chart shows: nothing until an archive was read.
    const std::optional<archives::ArchiveChart>& chart() const { return m_chart; }

    void MenuArchiveChartClick();
    void ButtonSavePngClick();
    // Draws an archive that was not read into the grid (one from the database) and shows the window;
    // `electronicNumber` names the folder its picture is saved in.
    void present(const ArchivesView::ShownArchive& shown, const QString& electronicNumber);

    QAction* MenuArchiveChart = nullptr;

  private:
    ArchiveChartView(ViewHost& host, ArchivesView& archives);
    void redraw();
    void draw();

    ViewHost& m_host;
    ArchivesView& m_archives;
    std::unique_ptr<ChartWindow> m_window;
    std::optional<archives::ArchiveChart> m_chart;
    std::optional<ArchivesView::ShownArchive> m_shown;
};
