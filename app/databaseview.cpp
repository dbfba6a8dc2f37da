#include "app/databaseview.h"

#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/consumptionreportview.h"
#include "app/exchange.h"
#include "app/exchangeoptions.h"
#include "app/filesave.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "collect/exporting.h"
#include "collect/visit.h"
#include "device/encodings.h"
#include "files/consumptionreport.h"
#include "files/exportfile.h"
#include "link/linkport.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "store/database.h"
#include "store/store.h"
#include "ui/archivegrids.h"
#include "ui/busywindow.h"
#include "ui/databasewindow.h"
#include "ui/stringgrid.h"
#include "ui/tform12.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

struct DatabaseView::Shown {
    collect::StoredReading stored;
    bool archive = true;
};

DatabaseView* DatabaseView::install(ViewHost& host, ArchivesView& archives, ArchiveChartView& chart,
                                    ConsumptionReportView& report) {
    return new DatabaseView(host, archives, chart, report);
}

DatabaseView::DatabaseView(ViewHost& host, ArchivesView& archives, ArchiveChartView& chart,
                           ConsumptionReportView& report)
    : QObject(host.actionWindow()), m_host(host), m_archives(archives), m_chart(chart), m_report(report),
      m_window(std::make_unique<DatabaseWindow>()) {
    setObjectName(QStringLiteral("DatabaseView"));
    DatabaseWindow& w = *m_window;
    w.EditDatabase->setText(QSettings(QString::fromLatin1(ExchangeOptions::FileName), QSettings::IniFormat)
                                .value(QString::fromLatin1(UrlKey), QString::fromLatin1(store::DefaultFile))
                                .toString());
    const QDate today = QDate::currentDate();
    w.DateFrom->setDate(QDate(today.year(), today.month(), 1).addMonths(-1));
    w.DateTo->setDate(today);
    connect(&w, &DatabaseWindow::openRequested, this, &DatabaseView::open);
    connect(&w, &DatabaseWindow::showRequested, this, &DatabaseView::showChosen);
    connect(w.ButtonSaveArchive, &QPushButton::clicked, this, &DatabaseView::ButtonSaveArchiveClick);
    connect(w.ButtonChart, &QPushButton::clicked, this, &DatabaseView::ButtonChartClick);
    connect(w.ButtonReport, &QPushButton::clicked, this, &DatabaseView::ButtonReportClick);
    connect(w.ButtonCollect, &QPushButton::clicked, this, &DatabaseView::ButtonCollectClick);
    for (QPushButton* b : {w.ButtonShow, w.ButtonSaveArchive, w.ButtonChart, w.ButtonReport, w.ButtonCollect})
        b->setEnabled(false);
    MenuDatabase = host.addServiceItem(QStringLiteral("MenuDatabase"), QStringLiteral("Архивы в базе"));
    connect(MenuDatabase, &QAction::triggered, this, &DatabaseView::MenuDatabaseClick);
}

DatabaseView::~DatabaseView() = default;

void DatabaseView::MenuDatabaseClick() {
    m_window->present();
    if (!m_store) open();
    // A meter chosen since the database was opened can be collected too.
    m_window->ButtonCollect->setEnabled(m_store && m_host.deviceAddress() != 0);
}

void DatabaseView::open() {
    DatabaseWindow& w = *m_window;
    m_store.reset();
    m_shown.reset();
    w.setMeters({});
    for (QPushButton* b : {w.ButtonShow, w.ButtonSaveArchive, w.ButtonChart, w.ButtonReport, w.ButtonCollect})
        b->setEnabled(false);
    const QString url = w.EditDatabase->text().trimmed();
    QString error;
    const std::optional<store::Location> location = store::parseLocation(url, &error);
    if (!location) {
        w.setStatus(QStringLiteral("Адрес базы данных не понят: %1").arg(error));
        return;
    }
    // Looking must not make a database: a mistyped name would otherwise open an empty new one.
    if (location->kind == store::Location::Kind::SQLite && !QFileInfo(location->path).isFile()) {
        w.setStatus(QStringLiteral("Нет файла базы данных %1").arg(QDir::toNativeSeparators(location->path)));
        return;
    }
    std::unique_ptr<store::Store> db = store::Store::open(*location, &error, store::SchemaVersion, false);
    if (!db) {
        w.setStatus(
            error == QLatin1String(store::Store::NotCollected)
                ? QStringLiteral("В базе данных %1 нет собранных данных: это не база kastari-collect")
                      .arg(location->describe())
                : QStringLiteral("Базу данных %1 открыть не удалось: %2").arg(location->describe(), error));
        return;
    }
    m_store = std::move(db);
    QSettings(QString::fromLatin1(ExchangeOptions::FileName), QSettings::IniFormat)
        .setValue(QString::fromLatin1(UrlKey), url);
    fillMeters();
}

void DatabaseView::fillMeters() {
    DatabaseWindow& w = *m_window;
    QList<DatabaseWindow::MeterRow> rows;
    for (const store::MeterStatus& m : m_store->status()) {
        rows.append({.number = QString::number(m.number),
                     .name = m.name,
                     .line = m.line,
                     .address = QString::number(m.address),
                     .lastCollected = m.lastCollected.isValid()
                                          ? m.lastCollected.toString(QStringLiteral("dd.MM.yyyy hh:mm"))
                                          : QStringLiteral("не собран"),
                     .outcome = m.lastError.isEmpty() ? QStringLiteral("собран") : m.lastError,
                     .gaps = QString::number(m.gaps)});
    }
    w.setMeters(rows);
    w.ButtonShow->setEnabled(!rows.isEmpty());
    w.ButtonCollect->setEnabled(m_host.deviceAddress() != 0);
    w.setStatus(rows.isEmpty() ? QStringLiteral("В базе нет ни одного прибора")
                               : QStringLiteral("Приборов в базе: %1").arg(rows.size()));
}

void DatabaseView::showChosen() {
    DatabaseWindow& w = *m_window;
    if (!m_store || w.chosenMeter().isEmpty()) return;
    collect::ExportRequest request;
    request.meter = w.chosenMeter().toUInt();
    request.archiveNumber = w.chosenArchive();
    request.channel = w.chosenChannel();
    // The range is of days on the meter's clock, both included.
    request.from = enc::DateToSec(w.DateFrom->date().startOfDay());
    request.to = enc::DateToSec(w.DateTo->date().addDays(1).startOfDay()) - 1;
    QString error;
    std::optional<collect::StoredReading> stored = collect::storedReading(*m_store, request, &error);
    if (!stored) {
        w.setStatus(error);
        return;
    }
    const bool archive = request.archiveNumber < 3;
    StringGrid& grid = archive ? *w.StringGridArchives : *w.StringGridJournals;
    showReading(grid, stored->reading);
    w.showGrid(archive);
    const int rows = int(stored->reading.rows.size());
    w.setStatus(rows == 0 ? QStringLiteral("За эти дни в базе ничего нет")
                          : QStringLiteral("Строк: %1").arg(rows));
    m_shown = std::make_unique<Shown>(Shown{std::move(*stored), archive});
    w.ButtonSaveArchive->setEnabled(true);
    w.ButtonChart->setEnabled(archive);
    w.ButtonReport->setEnabled(archive && request.archiveNumber == 1);
}

void DatabaseView::ButtonSaveArchiveClick() {
    if (!m_shown) return;
    const exportfile::Heading heading = m_shown->stored.heading();
    const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Held});
    const std::optional<QString> path = filesave::choosePath(
        heading.electronicNumber,
        exportfile::defaultName(heading.archiveNumber, m_shown->stored.reading.channel == 0),
        filesave::Saving::Archive);
    if (!path) return;
    // A name ending in .csv asks for the rows as a spreadsheet reads them.
    const QByteArray bytes = path->endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
                                 ? m_shown->stored.csvBytes()
                                 : exportfile::contents(heading, archives::gridRows(m_shown->stored.reading));
    filesave::write(m_host, {{*path, bytes}});
}

void DatabaseView::ButtonChartClick() {
    if (!m_shown || !m_shown->archive) return;
    const collect::StoredReading& s = m_shown->stored;
    m_chart.present({s.reading, s.heading().deviceCaption, s.heading().channelCaption},
                    QString::number(s.meter.number));
}

void DatabaseView::ButtonReportClick() {
    if (!m_shown || m_shown->stored.reading.kind != archives::Kind::Day) return;
    const collect::StoredReading& s = m_shown->stored;
    consumption::Heading heading{
        .electronicNumber = QString::number(s.meter.number),
        .deviceText = s.meter.deviceText,
        .name = s.meter.name,
        .address = QStringLiteral("%1, сетевой адрес %2").arg(s.meter.line).arg(s.meter.address),
        .channel = s.reading.channel + 1,
        .from = m_window->DateFrom->date(),
        .to = m_window->DateTo->date(),
        .made = QDate::currentDate()};
    m_report.present(consumption::build(heading, consumption::daysOf(s.reading)));
}

void DatabaseView::ButtonCollectClick() {
    // Through the window's own engine.
    afterExchange(m_host, [this] { collectChosenMeter(); });
}

void DatabaseView::collectChosenMeter() {
    if (!m_store || m_host.deviceAddress() == 0) return;
    const OperatorAction action(m_host);
    if (!action) return;
    const bool polling = m_host.polling();
    m_host.stopPolling();
    TModBus& engine = m_host.exchange().engine();
    const int port = engine.MSComm1() ? engine.MSComm1()->CommPort() : 0;
    // Named as a meter list names a line, so the collector's own runs find it at the same place.
    const QString line = PortMap::systemPort(port);
    const collect::MeterEntry entry{.line = line, .port = line, .address = m_host.deviceAddress()};
    store::Outcome outcome;
    {
        const DisabledWindow disabled = action.disableWindow();
        BusyWindow& wait = *m_archives.Form12();
        wait.start();
        outcome = collect::visitMeter(engine, *m_store, entry, [&wait](const QString&, int done, int due) {
            wait.setProgress(done, due);
        });
        wait.hide();
    }
    if (polling) m_host.startPolling();
    fillMeters();
    m_window->setStatus(
        outcome.result == store::Outcome::Result::Stored
            ? QStringLiteral("Прибор %1 дополнен: периодов %2, событий %3")
                  .arg(outcome.number.value_or(0))
                  .arg(outcome.periods)
                  .arg(outcome.entries)
            : QStringLiteral("Прибор по адресу %1 не собран: %2").arg(entry.address).arg(outcome.reason));
}
