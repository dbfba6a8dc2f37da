#include "app/screenshottour.h"

#include "app/adjustmentview.h"
#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/consumptionreportview.h"
#include "app/countersview.h"
#include "app/exchangeoptions.h"
#include "app/failurelegend.h"
#include "app/flowtrendview.h"
#include "app/generalparams.h"
#include "app/paramfiles.h"
#include "app/systemparams.h"
#include "app/tform1.h"
#include "app/trafficmonitor.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "ui/chartwindow.h"
#include "ui/reportwindow.h"
#include "ui/exchangeoptionsdialog.h"
#include "ui/tform3.h"
#include "ui/tform4.h"
#include "ui/tform7.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

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

void save(QWidget* widget, const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    const bool ok = windowPicture(widget).save(path);
    QTextStream(stdout) << (ok ? "saved " : "could not save ") << path << Qt::endl;
}

} // namespace

void startScreenshotTour(TForm1& form, const QString& dir) {
    QDir().mkpath(dir);
    QTimer::singleShot(500, &form, [&form, dir] {
        // The views take their own pictures and hand each in here.
        const auto shoot = [&dir](QWidget* w, const QString& name) { save(w, dir, name); };
        save(&form, dir, QStringLiteral("main-window-start.png"));

        form.MenuConnectClick();
        // The scan window keeps what it found; show it once more for its picture, once the window
        // manager has seen it go.
        settle();
        form.Form3->show();
        save(form.Form3, dir, QStringLiteral("scan-dialog.png"));
        form.Form3->hide();

        if (form.Device[1]->isVisible()) {
            QMenu* devices = form.MenuChoiceDevice->menu();
            devices->popup(form.mapToGlobal(QPoint(120, 0)));
            save(devices, dir, QStringLiteral("device-menu.png"));
            devices->hide();
            form.DeviceClick(form.Device[1]);
        }
        save(&form, dir, QStringLiteral("main-window.png"));

        // The system view as read from the chosen meter, and the windows of its buttons.
        auto* system = form.findChild<SystemParams*>();
        if (system && form.DeviceAddress != 0) {
            form.MenuTypeParamClick(form.SystemParam);
            system->takeScreenshots(shoot);
        }

        // The four installation layouts (and one in two-beam mode) from the same meter.
        auto* general = form.findChild<GeneralParams*>();
        if (general && form.DeviceAddress != 0) general->takeScreenshots(shoot);

        // The adjustment view of both channels; the second meter on the line reports a failure.
        if (form.findChild<AdjustmentView*>() && form.DeviceAddress != 0) {
            form.MenuTypeParamClick(form.Adjustment);
            save(&form, dir, QStringLiteral("adjustment-ch1.png"));
            form.ChannelClick(form.SecondChannel);
            save(&form, dir, QStringLiteral("adjustment-ch2.png"));
            if (form.Device[2]->isVisible()) {
                form.DeviceClick(form.Device[2]);
                save(&form, dir, QStringLiteral("adjustment-failure.png"));
                form.DeviceClick(form.Device[1]);
            }
            form.ChannelClick(form.FirstChannel);
            form.MenuTypeParamClick(form.SystemParam);
        }

        // The measurements in both layouts; the second meter's failure in both channel groups, and the
        // legend of its first channel, which works as two beams.
        auto* counters = form.findChild<CountersView*>();
        if (counters && form.DeviceAddress != 0) {
            counters->takeScreenshots(shoot);
            auto* legend = form.findChild<FailureLegend*>();
            if (legend && form.Device[2]->isVisible()) {
                form.DeviceClick(form.Device[2]);
                form.MenuTypeParamClick(form.Measurements);
                save(&form, dir, QStringLiteral("counters-failure.png"));
                legend->takeScreenshot(form.findChild<QPushButton*>(QStringLiteral("ButtonBrouseCh1")),
                                       shoot);
                form.DeviceClick(form.Device[1]);
            }
            form.MenuTypeParamClick(form.SystemParam);
        }

        // The flow trend of a live view's polls, from the meter on a bad line (the third).
        auto* trendView = form.findChild<FlowTrendView*>();
        if (trendView && form.DeviceAddress != 0) {
            const bool badLine = form.Device[3]->isVisible();
            if (badLine) form.DeviceClick(form.Device[3]);
            trendView->takeScreenshot(shoot);
            if (badLine) form.DeviceClick(form.Device[1]);
        }

        // Archives and journals as read from the chosen meter, and their windows.
        auto* archives = form.findChild<ArchivesView*>();
        if (archives && form.DeviceAddress != 0) archives->takeScreenshots(shoot);

        // The last archive read (the full day archive, with a day the meter was off) as a chart.
        auto* archiveChart = form.findChild<ArchiveChartView*>();
        if (archiveChart && archiveChart->chart()) {
            archiveChart->window()->show();
            save(archiveChart->window(), dir, QStringLiteral("archive-chart.png"));
            archiveChart->window()->hide();
        }
        // The same day archive as the consumption report, its first page as it will print.
        auto* report = form.findChild<ConsumptionReportView*>();
        if (report && archiveChart && archiveChart->chart()) {
            report->MenuConsumptionReportClick();
            if (report->report()) save(report->window(), dir, QStringLiteral("consumption-report-window.png"));
            report->window()->hide();
        }

        // The windows of saving and loading the parameters, in each way they can end.
        if (auto* params = form.findChild<ParamFiles*>()) params->takeScreenshots(shoot);

        form.Form4->fill(form.linkSettings());
        form.Form4->show();
        save(form.Form4, dir, QStringLiteral("settings-dialog.png"));
        form.Form4->hide();

        form.Form7->setPeriodMs(form.Timer1->interval());
        form.Form7->show();
        save(form.Form7, dir, QStringLiteral("period-dialog.png"));
        form.Form7->hide();

        if (auto* exchange = form.findChild<ExchangeOptions*>()) {
            exchange->dialog()->CheckFastCompletion->setChecked(true);
            exchange->dialog()->show();
            save(exchange->dialog(), dir, QStringLiteral("exchange-options-dialog.png"));
            exchange->dialog()->hide();
        }

        // The exchange log, ending with a few exchanges on the third line (when it is mapped), whose
        // simulator garbles the replies of its meter at 3: a CRC error, a late reply thrown away, and
        // an exception for registers past the map.
        if (auto* traffic = form.findChild<TrafficMonitor*>()) {
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
            traffic->takeScreenshot(shoot);
        }

        // exit(), not quit(): quit() asks every window to close, which would ask for confirmation.
        QCoreApplication::exit(0);
    });
}
