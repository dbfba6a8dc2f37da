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
#include "collect/monthreport.h"
#include "collect/visit.h"
#include "device/encodings.h"
#include "files/consumptionreport.h"
#include "files/exportfile.h"
#include "link/linkport.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "store/database.h"
#include "store/meterstate.h"
#include "store/opening.h"
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
#include <QFutureWatcher>
#include <QHash>
#include <QLineEdit>
#include <QPromise>
#include <QPushButton>
#include <QSettings>
#include <QSysInfo>
#include <QTableWidget>
#include <QThreadPool>
#include <QUuid>

struct DatabaseView::Shown {
    collect::StoredReading stored;
    bool archive = true;
};

struct DatabaseView::Answer {
    bool opened = false;
    store::OpenFailure failure{}; // why it did not open
    QString error{};              // why the job came to nothing
    QList<store::MeterStatus> meters{};
    std::optional<QList<store::MeterState>> states{}; // nothing: not read, `stateError` says why
    QString stateError{};
    std::optional<collect::StoredReading> stored{};
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
    connect(&w, &DatabaseWindow::stopRequested, this, &DatabaseView::giveUp);
    connect(w.ButtonSaveArchive, &QPushButton::clicked, this, &DatabaseView::ButtonSaveArchiveClick);
    connect(w.ButtonChart, &QPushButton::clicked, this, &DatabaseView::ButtonChartClick);
    connect(w.ButtonReport, &QPushButton::clicked, this, &DatabaseView::ButtonReportClick);
    connect(w.ButtonCollect, &QPushButton::clicked, this, &DatabaseView::ButtonCollectClick);
    updateButtons();
    MenuDatabase = host.addServiceItem(QStringLiteral("MenuDatabase"), QStringLiteral("Архивы в базе"));
    connect(MenuDatabase, &QAction::triggered, this, &DatabaseView::MenuDatabaseClick);
}

DatabaseView::~DatabaseView() = default;

void DatabaseView::MenuDatabaseClick() {
    m_window->presentBeside(m_host.actionWindow());
    if (!m_location && !waiting()) open();
}

void DatabaseView::updateButtons() {
    DatabaseWindow& w = *m_window;
    const bool idle = !waiting();
    w.ButtonOpenDatabase->setEnabled(idle);
    w.ButtonShow->setEnabled(idle && m_location && !w.chosenMeter().isEmpty());
    // Whether a meter is chosen in the main window is asked on the click: it may be chosen later.
    w.ButtonCollect->setEnabled(idle && m_location);
    w.ButtonSaveArchive->setEnabled(idle && m_shown);
    w.ButtonChart->setEnabled(idle && m_shown && m_shown->archive);
    w.ButtonReport->setEnabled(idle && m_shown && m_shown->archive &&
                               m_shown->stored.reading.kind == archives::Kind::Day);
}

void DatabaseView::ask(const store::Location& at, const QString& waitingText, Job job,
                       std::function<void(const Answer&)> done) {
    auto promise = std::make_shared<QPromise<Answer>>();
    auto* watcher = new QFutureWatcher<Answer>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)] {
        watcher->deleteLater();
        if (m_waitingFor != watcher) return;
        stopWaiting();
        done(watcher->result());
        updateButtons();
        emit settled();
    });
    watcher->setFuture(promise->future());
    m_waitingFor = watcher;
    m_window->setWaiting(true);
    m_window->setStatus(waitingText);
    updateButtons();
    promise->start();
    // The connection belongs to the thread that opens it: it is opened, used and closed there, and
    // only plain values come back. Given up, the thread still ends within the store's time limits.
    QThreadPool::globalInstance()->start([promise, at, job = std::move(job)] {
        Answer answer;
        {
            std::unique_ptr<store::Store> db = store::openStore(at, store::Use::Look, &answer.failure);
            answer.opened = db != nullptr;
            if (db) job(*db, answer);
        }
        promise->addResult(answer);
        promise->finish();
    });
}

void DatabaseView::stopWaiting() {
    if (m_waitingFor) m_waitingFor->deleteLater();
    m_waitingFor = nullptr;
    m_window->setWaiting(false);
}

void DatabaseView::giveUp() {
    if (!waiting()) return;
    stopWaiting();
    m_window->setStatus(QStringLiteral("Ожидание ответа базы данных прервано"));
    updateButtons();
    emit settled();
}

void DatabaseView::showOpenFailure(const store::OpenFailure& failure) {
    DatabaseWindow& w = *m_window;
    const store::Location& at = failure.location;
    const QString& error = failure.error;
    switch (failure.kind) {
    case store::OpenFailure::Kind::BadUrl:
        w.setStatus(QStringLiteral("Адрес базы данных не понят"), error);
        return;
    case store::OpenFailure::Kind::Missing:
        w.setStatus(QStringLiteral("Нет файла базы данных %1").arg(QDir::toNativeSeparators(at.path)));
        return;
    case store::OpenFailure::Kind::NotOpened:
        break;
    }
    if (error == QLatin1String(store::Store::NotCollected)) {
        w.setStatus(QStringLiteral("В базе данных %1 нет собранных данных: это не база kastari-collect")
                        .arg(at.describe()));
        return;
    }
    QString cause;
    switch (store::failureOf(error)) {
    case store::Failure::NoAnswer:
        cause = QStringLiteral("Сервер базы данных не отвечает: ждали %1 с")
                    .arg(error.contains(QLatin1String("statement timeout")) ? store::StatementTimeoutSeconds
                                                                            : store::connectTimeoutSeconds());
        break;
    case store::Failure::Credentials:
        cause = QStringLiteral("Неверное имя пользователя или пароль");
        break;
    case store::Failure::NoDatabase:
        cause = QStringLiteral("Нет такой базы данных");
        break;
    case store::Failure::Refused:
        cause = QStringLiteral("Соединение отклонено");
        break;
    case store::Failure::Other:
        cause = QStringLiteral("Базу данных открыть не удалось");
        break;
    }
    w.setStatus(QStringLiteral("%1: %2").arg(at.describe(), cause), error.trimmed());
}

void DatabaseView::open() {
    DatabaseWindow& w = *m_window;
    stopWaiting();
    m_location.reset();
    m_shown.reset();
    w.setMeters({});
    updateButtons();
    const QString url = w.EditDatabase->text().trimmed();
    store::OpenFailure failure;
    const std::optional<store::Location> location = store::locate(url, store::Use::Look, &failure);
    if (!location) {
        showOpenFailure(failure);
        return;
    }
    ask(
        *location, QStringLiteral("Открывается база данных %1...").arg(location->describe()),
        [](store::Store& db, Answer& answer) { readMeters(db, answer); },
        [this, location = *location, url](const Answer& answer) {
            if (!answer.opened) {
                showOpenFailure(answer.failure);
                return;
            }
            m_location = location;
            QSettings(QString::fromLatin1(ExchangeOptions::FileName), QSettings::IniFormat)
                .setValue(QString::fromLatin1(UrlKey), url);
            fillMeters(answer);
        });
}

void DatabaseView::readMeters(store::Store& db, Answer& answer) {
    answer.meters = db.status();
    // The thresholds of the collector's own defaults: the same words as its `status` says.
    answer.states = store::meterStates(db, {}, QDateTime::currentDateTime(), &answer.stateError);
}

void DatabaseView::fillMeters(const Answer& listing) {
    DatabaseWindow& w = *m_window;
    const store::Thresholds thresholds;
    const QList<store::MeterState> states = listing.states.value_or(QList<store::MeterState>{});
    QHash<std::uint32_t, const store::MeterState*> stateOf;
    for (const store::MeterState& s : states)
        if (s.number) stateOf.insert(*s.number, &s);
    const auto stateCells = [&](const store::MeterState* s, DatabaseWindow::MeterRow& row) {
        if (!s) return;
        row.state = store::conditionName(s->condition);
        row.reasons = s->reasons(thresholds).join(u'\n');
    };
    QList<DatabaseWindow::MeterRow> rows;
    for (const store::MeterStatus& m : listing.meters) {
        rows.append({.number = QString::number(m.number),
                     .name = m.name,
                     .line = m.line,
                     .address = QString::number(m.address),
                     .lastCollected = m.lastCollected.isValid()
                                          ? m.lastCollected.toString(QStringLiteral("dd.MM.yyyy hh:mm"))
                                          : QStringLiteral("не собран"),
                     .outcome = m.lastError.isEmpty() ? QStringLiteral("собран") : m.lastError,
                     .gaps = QString::number(m.gaps)});
        stateCells(stateOf.value(m.number), rows.last());
    }
    // The meters of the list that never answered, after those known, by line and address.
    const qsizetype known = rows.size();
    for (const store::MeterState& s : states) {
        if (s.number) continue;
        rows.append({.name = s.name,
                     .line = s.line,
                     .address = QString::number(s.address),
                     .lastCollected = QStringLiteral("не собран"),
                     .outcome = s.lastReason});
        stateCells(&s, rows.last());
    }
    // The meter whose rows the grid shows stays the chosen one.
    w.setMeters(rows, m_shown ? QString::number(m_shown->stored.meter.number) : w.chosenMeter());
    QString text = rows.isEmpty() ? QStringLiteral("В базе нет ни одного прибора")
                                  : QStringLiteral("Приборов в базе: %1").arg(known);
    if (rows.size() > known) text += QStringLiteral(", ни разу не ответивших: %1").arg(rows.size() - known);
    if (!listing.states) text += QStringLiteral("; состояние приборов не прочитано");
    w.setStatus(text, listing.states ? QString() : listing.stateError.trimmed());
    updateButtons();
}

void DatabaseView::showChosen() {
    DatabaseWindow& w = *m_window;
    if (!m_location || waiting() || w.chosenMeter().isEmpty()) return;
    collect::ExportRequest request;
    request.meter = w.chosenMeter().toUInt();
    request.archiveNumber = w.chosenArchive();
    request.channel = w.chosenChannel();
    // The range is of days on the meter's clock, both included.
    request.from = enc::DateToSec(w.DateFrom->date().startOfDay());
    request.to = enc::DateToSec(w.DateTo->date().addDays(1).startOfDay()) - 1;
    ask(
        *m_location, QStringLiteral("Читается база данных..."),
        [request](store::Store& db, Answer& answer) {
            answer.stored = collect::storedReading(db, request, &answer.error);
        },
        [this, request](const Answer& answer) {
            DatabaseWindow& w = *m_window;
            if (!answer.opened) {
                showOpenFailure(answer.failure);
                return;
            }
            if (!answer.stored) {
                w.setStatus(answer.error);
                return;
            }
            const bool archive = request.archiveNumber < 3;
            StringGrid& grid = archive ? *w.StringGridArchives : *w.StringGridJournals;
            showReading(grid, answer.stored->reading);
            w.showGrid(archive);
            const int rows = int(answer.stored->reading.rows.size());
            w.setStatus(rows == 0 ? QStringLiteral("За эти дни в базе ничего нет")
                                  : QStringLiteral("Строк: %1").arg(rows));
            m_shown = std::make_unique<Shown>(Shown{*answer.stored, archive});
        });
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
    m_report.present(consumption::build(
        collect::reportHeading(s, m_window->DateFrom->date(), m_window->DateTo->date(), QDate::currentDate()),
        consumption::daysOf(s.reading)));
}

void DatabaseView::ButtonCollectClick() {
    // Through the window's own engine.
    afterExchange(m_host, [this] { collectChosenMeter(); });
}

void DatabaseView::collectChosenMeter() {
    if (!m_location || waiting()) return;
    if (m_host.deviceAddress() == 0) {
        m_window->setStatus(QStringLiteral("Прибор для сбора не выбран в главном окне"));
        return;
    }
    OperatorAction action(m_host);
    if (!action) return;
    // The visit reads through the window's own engine, so it writes on a connection of this thread;
    // the store's time limits bound the wait for a server gone silent.
    store::OpenFailure failure;
    const std::unique_ptr<store::Store> db = store::openStore(*m_location, store::Use::Look, &failure);
    if (!db) {
        showOpenFailure(failure);
        return;
    }
    action.holdPoll();
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
        // A run of its own, as the collector's, so that "Последний сбор" and `status` see it.
        const QString run = QUuid::createUuid().toString(QUuid::WithoutBraces);
        db->beginRun(run, QDateTime::currentDateTime(), QSysInfo::machineHostName());
        outcome = collect::visitMeter(
            engine, *db, entry, [&wait](const QString&, int done, int due) { wait.setProgress(done, due); });
        db->recordOutcome(run, outcome);
        db->finishRun(run, QDateTime::currentDateTime());
        wait.hide();
    }
    Answer listing;
    readMeters(*db, listing);
    fillMeters(listing);
    m_window->setStatus(
        outcome.result == store::Outcome::Result::Stored
            ? QStringLiteral("Прибор %1 дополнен: периодов %2, событий %3")
                  .arg(outcome.number.value_or(0))
                  .arg(outcome.periods)
                  .arg(outcome.entries)
        : outcome.result == store::Outcome::Result::Partial
            ? QStringLiteral("Прибор %1 дополнен не полностью: периодов %2, событий %3 (%4)")
                  .arg(outcome.number.value_or(0))
                  .arg(outcome.periods)
                  .arg(outcome.entries)
                  .arg(outcome.reason)
            : QStringLiteral("Прибор по адресу %1 не собран: %2").arg(entry.address).arg(outcome.reason));
}
