#include "tour/tour.h"

#include "app/archivechartview.h"
#include "app/consumptionreportview.h"
#include "app/databaseview.h"
#include "app/exchange.h"
#include "app/exchangeoptions.h"
#include "app/flowtrendview.h"
#include "app/tform1.h"
#include "app/trafficmonitor.h"
#include "device/counters.h"
#include "device/generalparams.h"
#include "device/sysparams.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "ui/chartwindow.h"
#include "ui/databasewindow.h"
#include "ui/exchangeoptionsdialog.h"
#include "ui/flowtrendwindow.h"
#include "ui/reportwindow.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform12.h"
#include "ui/tform15.h"
#include "ui/tform16.h"
#include "ui/tform19.h"
#include "ui/tform3.h"
#include "ui/tform4.h"
#include "ui/tform7.h"
#include "ui/trafficmodel.h"
#include "ui/trafficwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>
#include <QWindow>
#include <functional>

namespace {

void settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Under a window manager the picture takes the window with its frame from the screen, so it shows
// the title bar as the operator sees it. The manager frames a window a moment after it appears.
QPixmap windowPicture(QWidget* widget) {
    QWindow* window = widget->isWindow() ? widget->windowHandle() : nullptr;
    if (window) {
        widget->raise();
        widget->activateWindow();
        QDeadlineTimer exposed(2000);
        while (!window->isExposed() && !exposed.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        settle();
    }
    settle();
    const QMargins margins = window ? window->frameMargins() : QMargins();
    const QRect frame = widget->geometry().marginsAdded(margins);
    QPixmap framed;
    if (!margins.isNull() && widget->screen())
        framed = widget->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return framed.size() == frame.size() ? framed : widget->grab();
}

class Tour {
  public:
    Tour(TForm1& form, const QString& dir) : form(form), m_dir(dir) {}

    void run();

  private:
    void save(QWidget* widget, const QString& name) const {
        const QString path = QDir(m_dir).filePath(name);
        const bool ok = windowPicture(widget).save(path);
        QTextStream(stdout) << (ok ? "saved " : "could not save ") << path << Qt::endl;
    }
    // A window the program shows by itself, shown for its picture and put away again.
    void shoot(QWidget* window, const QString& name) const {
        window->show();
        save(window, name);
        window->hide();
    }
    bool chosen() const { return form.DeviceAddress != 0; }

    void systemView();
    void generalLayouts();
    void adjustment();
    void counters();
    void flowTrend();
    void archives();
    void serviceWindows();
    void paramFiles();
    void settingsDialogs();
    void exchangeLog();

    TForm1& form;
    QString m_dir;
};

// The dialogs a view owns are windows of their own, found as the operator would find them: by name.
template <class W = QWidget> W* window(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name)) return qobject_cast<W*>(w);
    }
    return nullptr;
}

template <class W = QWidget> W* child(QObject* parent, const char* name) {
    return parent->findChild<W*>(QString::fromLatin1(name));
}

// Runs `open`, which waits in a modal dialog, and hands that dialog to `answer` once it shows;
// `answer` closes it. Nothing is answered when `open` opens no dialog.
void whileModal(const std::function<void()>& open, const std::function<void(QDialog*)>& answer) {
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible()) return;
        poll.stop();
        answer(modal);
    });
    poll.start();
    open();
}

void Tour::run() {
    save(&form, QStringLiteral("main-window-start.png"));

    form.MenuConnectClick();
    // The scan window keeps what it found; show it once more for its picture, once the window
    // manager has seen it go.
    settle();
    shoot(form.Form3, QStringLiteral("scan-dialog.png"));

    if (form.Device[1]->isVisible()) {
        QMenu* devices = form.MenuChoiceDevice->menu();
        devices->popup(form.mapToGlobal(QPoint(120, 0)));
        save(devices, QStringLiteral("device-menu.png"));
        devices->hide();
        form.DeviceClick(form.Device[1]);
    }
    save(&form, QStringLiteral("main-window.png"));

    if (chosen()) {
        systemView();
        generalLayouts();
        adjustment();
        counters();
        flowTrend();
        archives();
    }
    serviceWindows();
    paramFiles();
    settingsDialogs();
    exchangeLog();

    // exit(), not quit(): quit() asks every window to close, which would ask for confirmation.
    QCoreApplication::exit(0);
}

// The system view as read from the chosen meter, and the windows of its buttons.
void Tour::systemView() {
    form.MenuTypeParamClick(form.SystemParam);
    save(&form, QStringLiteral("system-params.png"));
    shoot(window("Form11"), QStringLiteral("init-dialog.png"));
    shoot(window("Form18"), QStringLiteral("clock-dialog.png"));
    // Asked before anything is erased; the tour says no.
    whileModal([this] { child<QPushButton>(&form, "ButtonClearArh")->click(); },
               [this](QDialog* question) {
                   save(question, QStringLiteral("clear-archives-question.png"));
                   question->reject();
               });
    auto* clearing = window<TForm19>("Form19");
    clearing->prepareFinished();
    shoot(clearing, QStringLiteral("clearing-dialog.png"));
}

// The four installation layouts (and one in two-beam mode), the same meter switched between them
// and put back.
void Tour::generalLayouts() {
    using namespace genparams;
    Exchange& link = form.exchange();
    const std::optional<RegisterBlock> common = link.readHolding(CommonRead.first, CommonRead.count);
    const sysparams::Read modeRead = sysparams::ChannelModeRead;
    const std::optional<RegisterBlock> channels = link.readHolding(modeRead.first, modeRead.count);
    if (!common || !channels) return;
    const bool twoChannelMode = form.TwoChannelMode;
    struct Shot {
        int workMode, sensorType, channels;
        const char* file;
    };
    const Shot shots[] = {
        {0, 0, 0, "general-params-en.png"},          {0, 1, 0, "general-params-ev.png"},
        {0, 2, 0, "general-params-eu.png"},          {1, 0, 0, "general-params-pn.png"},
        {0, 0, 1, "general-params-en-two-beam.png"},
    };
    for (const Shot& shot : shots) {
        link.writeRegister(WorkModeRegister, std::uint16_t(shot.workMode));
        link.writeRegister(SensorTypeRegister, std::uint16_t(shot.sensorType));
        link.writeRegister(modeRead.first, std::uint16_t(shot.channels));
        form.TwoChannelMode = shot.channels == 0;
        form.MenuTypeParamClick(form.GeneralParam);
        save(&form, QString::fromLatin1(shot.file));
    }
    link.writeRegister(WorkModeRegister, *common->u16(WorkModeRegister));
    link.writeRegister(SensorTypeRegister, *common->u16(SensorTypeRegister));
    link.writeRegister(modeRead.first, *channels->u16(modeRead.first));
    form.TwoChannelMode = twoChannelMode;
}

// The adjustment view of both channels; the second meter on the line reports a failure.
void Tour::adjustment() {
    form.MenuTypeParamClick(form.Adjustment);
    save(&form, QStringLiteral("adjustment-ch1.png"));
    form.ChannelClick(form.SecondChannel);
    save(&form, QStringLiteral("adjustment-ch2.png"));
    if (form.Device[2]->isVisible()) {
        form.DeviceClick(form.Device[2]);
        save(&form, QStringLiteral("adjustment-failure.png"));
        form.DeviceClick(form.Device[1]);
    }
    form.ChannelClick(form.FirstChannel);
    form.MenuTypeParamClick(form.SystemParam);
}

// The measurements in operation and with the imitator connected; the second meter's failure in
// both channel groups, and the legend of its first channel, which works as two beams.
void Tour::counters() {
    Exchange& link = form.exchange();
    const auto system = link.readHolding(counters::SystemRead.first, counters::SystemRead.count);
    if (system) {
        form.MenuTypeParamClick(form.Measurements);
        save(&form, QStringLiteral("counters-operation.png"));
        link.writeRegister(counters::WorkModeRegister, 1);
        form.MenuTypeParamClick(form.Measurements);
        auto* imitator = child<QPushButton>(&form, "ButtonIMR");
        imitator->click();
        // The values measured with the imitator connected.
        form.Timer1Timer();
        save(&form, QStringLiteral("counters-verification.png"));
        imitator->click();
        link.writeRegister(counters::WorkModeRegister, *system->u16(counters::WorkModeRegister));
    }
    if (form.Device[2]->isVisible()) {
        form.DeviceClick(form.Device[2]);
        form.MenuTypeParamClick(form.Measurements);
        save(&form, QStringLiteral("counters-failure.png"));
        whileModal([this] { child<QPushButton>(&form, "ButtonBrouseCh1")->click(); },
                   [this](QDialog* legend) {
                       save(legend, QStringLiteral("failure-legend.png"));
                       legend->reject();
                   });
        form.DeviceClick(form.Device[1]);
    }
    form.MenuTypeParamClick(form.SystemParam);
}

// The flow trend of a live view's polls, from the meter on a bad line (the third).
void Tour::flowTrend() {
    auto* view = form.findChild<FlowTrendView*>();
    if (!view) return;
    const bool badLine = form.Device[3]->isVisible();
    if (badLine) form.DeviceClick(form.Device[3]);
    // The measurements read both channels' flows in every poll.
    form.MenuTypeParamClick(form.Measurements);
    for (int i = 0; i < 30; ++i)
        form.Timer1Timer();
    FlowTrendWindow& trend = *view->window();
    trend.ComboTrendSpan->setCurrentIndex(0);
    child<QAction>(&form, "MenuFlowTrend")->trigger();
    save(&trend, QStringLiteral("flow-trend.png"));
    trend.hide();
    trend.ComboTrendSpan->setCurrentIndex(2);
    form.MenuTypeParamClick(form.SystemParam);
    if (badLine) form.DeviceClick(form.Device[1]);
}

// Archives and journals as read from the chosen meter, and their windows.
void Tour::archives() {
    // The last twenty hours, typed as the operator would.
    auto* range = window<TForm10>("Form10");
    const QDateTime to = QDateTime::currentDateTime();
    range->RadioButtonChoice->click();
    range->EditDateStart->setText(to.addSecs(-20 * 3600).toString(QStringLiteral("dd.MM.yyyy hh:00")));
    range->EditDateEnd->setText(to.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    shoot(range, QStringLiteral("archive-range-dialog.png"));

    const auto asTyped = [range](QDialog*) { range->ButtonOkRangeArchive->click(); };
    whileModal([this] { form.MenuTypeParamClick(form.Hour); }, asTyped);
    save(&form, QStringLiteral("archive-hour.png"));

    range->RadioButtonFull->click();
    whileModal([this] { form.MenuTypeParamClick(form.Day); }, asTyped);
    // Scrolled to the first day the meter did not record.
    StringGrid& days = *form.StringGridArchives;
    for (int row = 2; row < days.rowCount(); ++row) {
        const QDate before = QDate::fromString(days.cell(0, row - 1).trimmed(), QStringLiteral("dd.MM.yyyy"));
        const QDate date = QDate::fromString(days.cell(0, row).trimmed(), QStringLiteral("dd.MM.yyyy"));
        if (before.isValid() && date.isValid() && before.daysTo(date) > 1) {
            days.scrollToItem(days.item(row, 0), QAbstractItemView::PositionAtCenter);
            break;
        }
    }
    save(&form, QStringLiteral("archive-day-gap.png"));

    form.MenuTypeParamClick(form.Fault);
    save(&form, QStringLiteral("journal-faults.png"));

    auto* reading = window<TForm12>("Form12");
    reading->start();
    reading->setProgress(30, 85);
    save(reading, QStringLiteral("archive-reading-dialog.png"));
    reading->hide();
    form.Form15->prepareFinished();
    shoot(form.Form15, QStringLiteral("saving-dialog.png"));
}

void Tour::serviceWindows() {
    // The last archive read (the full day archive, with a day the meter was off) as a chart.
    auto* archiveChart = form.findChild<ArchiveChartView*>();
    if (archiveChart && archiveChart->chart()) {
        archiveChart->window()->show();
        save(archiveChart->window(), QStringLiteral("archive-chart.png"));
        archiveChart->window()->hide();
    }
    // The same day archive as the consumption report, its first page as it will print.
    auto* report = form.findChild<ConsumptionReportView*>();
    if (report && archiveChart && archiveChart->chart()) {
        report->MenuConsumptionReportClick();
        if (report->report()) save(report->window(), QStringLiteral("consumption-report-window.png"));
        report->window()->hide();
    }
    // What kastari-collect gathered (the script collects two meters into kastari.db here first):
    // the meters, and the first one's day archive of the last month.
    if (auto* database = form.findChild<DatabaseView*>()) {
        // The database answers on a thread of its own.
        const auto settle = [database] {
            const QDeadlineTimer limit(60000);
            while (database->waiting() && !limit.hasExpired())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        };
        database->MenuDatabaseClick();
        settle();
        DatabaseWindow& w = *database->window();
        if (database->isOpen() && w.TableMeters->rowCount() > 0) {
            w.TableMeters->selectRow(0);
            w.ComboArchive->setCurrentIndex(1);
            w.DateFrom->setDate(QDate::currentDate().addDays(-30));
            w.DateTo->setDate(QDate::currentDate());
            w.ButtonShow->click();
            settle();
        }
        save(&w, QStringLiteral("database-window.png"));
        w.hide();
    }
}

// The windows of saving and loading the parameters, in each way they can end.
void Tour::paramFiles() {
    const auto shootOutcome = [this](WaitWindow& window, QLabel* outcome, const QString& name) {
        window.showWaiting();
        if (outcome) window.prepareFinished(outcome);
        window.show();
        save(&window, name);
        window.Button1Click();
        window.hide();
    };
    TForm15& saving = *form.Form15;
    shootOutcome(saving, saving.StaticText3, QStringLiteral("save-params-failed.png"));
    TForm16& loading = *window<TForm16>("Form16");
    shootOutcome(loading, nullptr, QStringLiteral("load-params-waiting.png"));
    shootOutcome(loading, loading.StaticText2, QStringLiteral("load-params-done.png"));
    shootOutcome(loading, loading.StaticText3, QStringLiteral("load-params-refused.png"));
    loading.setFailedRegisters(QStringLiteral("15–26, 119–144"));
    shootOutcome(loading, loading.StaticTextFailed, QStringLiteral("load-params-failed.png"));
}

void Tour::settingsDialogs() {
    form.Form4->fill(form.linkSettings());
    shoot(form.Form4, QStringLiteral("settings-dialog.png"));
    form.Form7->setPeriodMs(form.Timer1->interval());
    shoot(form.Form7, QStringLiteral("period-dialog.png"));
    if (auto* exchange = form.findChild<ExchangeOptions*>()) {
        exchange->dialog()->CheckFastCompletion->setChecked(true);
        shoot(exchange->dialog(), QStringLiteral("exchange-options-dialog.png"));
    }
}

// The exchange log, ending with a few exchanges on the third line (when it is mapped), whose
// simulator garbles the replies of its meter at 3: a CRC error, a late reply thrown away, and an
// exception for registers past the map.
void Tour::exchangeLog() {
    auto* traffic = form.findChild<TrafficMonitor*>();
    if (!traffic) return;
    const LinkSettings line = form.linkSettings();
    if (PortMap::mapped(3)) {
        LinkSettings faulty = line;
        faulty.CommPort = 3;
        form.applyLinkSettings(faulty);
        for (int round = 0; round < 4; ++round) {
            form.ModBus->ReadHoldingRegisters(1, 21, 0);
            form.ModBus->ReadHoldingRegisters(3, 21, 0);
        }
        // The late reply comes while no request waits for it.
        QElapsedTimer late;
        late.start();
        while (late.elapsed() < 600)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        form.ModBus->ReadHoldingRegisters(3, 20, 300);
        form.ModBus->ReadHoldingRegisters(1, 21, 0);
        form.applyLinkSettings(line);
    }
    child<QAction>(&form, "MenuTrafficMonitor")->trigger();
    TrafficWindow& log = *traffic->window();
    log.refresh();
    // The newest good reply, so the picture shows a decoding with values.
    const TrafficModel& model = log.model();
    for (int row = model.rowCount() - 1; row >= 0; --row) {
        const TrafficEntry& e = model.entry(row);
        if (e.direction == TrafficDirection::Received && !e.isError() && e.function() == 3) {
            log.TableTraffic->selectRow(row);
            break;
        }
    }
    log.TableTraffic->scrollToBottom();
    save(&log, QStringLiteral("traffic-monitor.png"));
    log.hide();
}

} // namespace

void startScreenshotTour(TForm1& form, const QString& dir) {
    QDir().mkpath(dir);
    QTimer::singleShot(500, &form, [&form, dir] { Tour(form, dir).run(); });
}
