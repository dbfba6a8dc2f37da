#include "app/archivechartview.h"

#include "app/archivesview.h"
#include "app/filesave.h"
#include "app/viewhost.h"
#include "files/exportfile.h"
#include "ui/archivebarchart.h"
#include "ui/chartwindow.h"

#include <QAction>
#include <QPushButton>

namespace {

QString periodText(archives::Kind kind, const QDateTime& start) {
    switch (kind) {
    case archives::Kind::Hour:
        return start.toString(QStringLiteral("dd.MM.yyyy hh:00"));
    case archives::Kind::Day:
        return start.toString(QStringLiteral("dd.MM.yyyy"));
    case archives::Kind::Month:
        return start.toString(QStringLiteral("MM.yyyy"));
    }
    return {};
}

// Two lines: what was read from which meter, and the periods it covers.
QString titleOf(const ArchivesView::ShownArchive& shown) {
    const archives::ArchiveReading& r = shown.reading;
    QString periods = QStringLiteral("нет периодов");
    if (!r.periods.isEmpty())
        periods = periodText(r.kind, r.periods.first().start) + QStringLiteral(" – ") +
                  periodText(r.kind, r.periods.last().start);
    if (r.notRead() > 0) periods += QStringLiteral(" (не прочитано периодов: %1)").arg(r.notRead());
    if (r.stopped)
        periods +=
            QStringLiteral(" (чтение прервано: прочитано %1 из %2 периодов)").arg(r.done).arg(r.planned);
    else if (r.linkFailed())
        periods += QStringLiteral(" (чтение прервано: нет ответа)");
    // Two meters of one kind show the same texts: the number tells them apart.
    QString what =
        exportfile::title({.archiveNumber = int(r.kind), .channelCaption = shown.channel.trimmed()}) +
        QStringLiteral(", ") + shown.device.simplified();
    if (!r.meter.number.isEmpty()) what += QStringLiteral(", электронный номер ") + r.meter.number;
    return QStringLiteral("<center>") + what.toHtmlEscaped() + QStringLiteral("<br>") +
           periods.toHtmlEscaped() + QStringLiteral("</center>");
}

} // namespace

ArchiveChartView* ArchiveChartView::install(ViewHost& host, ArchivesView& archives) {
    return new ArchiveChartView(host, archives);
}

ArchiveChartView::ArchiveChartView(ViewHost& host, ArchivesView& archives)
    : QObject(host.actionWindow()), m_host(host), m_archives(archives),
      m_window(std::make_unique<ChartWindow>(QStringLiteral("ArchiveChartWindow"),
                                             QStringLiteral("Диаграмма архива"), new ArchiveBarChart)) {
    setObjectName(QStringLiteral("ArchiveChartView"));
    connect(&archives, &ArchivesView::archiveRead, this, &ArchiveChartView::redraw);
    connect(m_window->ButtonSavePng, &QPushButton::clicked, this, &ArchiveChartView::ButtonSavePngClick);
    MenuArchiveChart =
        host.addServiceItem(QStringLiteral("MenuArchiveChart"), QStringLiteral("Диаграмма архива"));
    connect(MenuArchiveChart, &QAction::triggered, this, &ArchiveChartView::MenuArchiveChartClick);
    redraw();
}

ArchiveChartView::~ArchiveChartView() = default;

void ArchiveChartView::MenuArchiveChartClick() {
    m_window->present();
}

void ArchiveChartView::redraw() {
    m_shown = m_archives.lastArchive();
    draw();
}

void ArchiveChartView::present(const ArchivesView::ShownArchive& shown, const QString& electronicNumber) {
    m_shown = shown;
    if (m_shown->reading.meter.number.isEmpty()) m_shown->reading.meter.number = electronicNumber;
    draw();
    m_window->present();
}

void ArchiveChartView::draw() {
    auto* bars = static_cast<ArchiveBarChart*>(m_window->chart());
    m_window->ButtonSavePng->setEnabled(m_shown.has_value());
    if (!m_shown) {
        m_chart.reset();
        bars->draw({}, QStringLiteral("Архив не прочитан: «Тип параметров» > «Архивы»"));
        return;
    }
    m_chart = archives::chartOf(m_shown->reading);
    bars->draw(*m_chart, titleOf(*m_shown));
}

void ArchiveChartView::ButtonSavePngClick() {
    if (!m_shown) return;
    QString name = exportfile::defaultName(int(m_shown->reading.kind), m_shown->reading.channel == 0);
    name.replace(QStringLiteral(".txt"), QStringLiteral(".png"));
    // The folder is the pictured meter's, never the one chosen now.
    filesave::saveImage(m_host, m_window->chartImage(), name, m_shown->reading.meter.number);
}
