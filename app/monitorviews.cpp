#include "app/monitorviews.h"

#include "app/adjustmentview.h"
#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/consumptionreportview.h"
#include "app/countersview.h"
#include "app/databaseview.h"
#include "app/exchangeoptions.h"
#include "app/failurelegend.h"
#include "app/flowtrendview.h"
#include "app/generalparams.h"
#include "app/paramfiles.h"
#include "app/systemparams.h"
#include "app/tform1.h"
#include "app/trafficmonitor.h"
#include "app/viewhost.h"
#include "ui/toolkittexts.h"

#include <QApplication>

void prepareMonitorApplication() {
    QApplication::setApplicationName(QStringLiteral("Монитор КАСТАРИ-ДК"));
    useRussianToolkitTexts();
}

MonitorViews installMonitorViews(ViewHost& host, bool fast) {
    MonitorViews views;
    SystemParams::install(host);
    GeneralParams::install(host);
    AdjustmentView::install(host);
    views.flowTrend = FlowTrendView::install(host);
    ArchivesView& archives = *ArchivesView::install(host);
    ArchiveChartView& chart = *ArchiveChartView::install(host, archives);
    ConsumptionReportView& report = *ConsumptionReportView::install(host, archives);
    DatabaseView::install(host, archives, chart, report);
    views.counters = CountersView::install(host);
    // After the views: it wires their "Обзор" buttons.
    FailureLegend::install(host);
    ParamFiles::install(host);
    ExchangeOptions::install(host, fast);
    // Last: its recorder chains onto the engine's hooks as the views have set them.
    views.traffic = TrafficMonitor::install(host);
    return views;
}

MonitorViews showMonitorWindow(TForm1& form, bool fast) {
    form.createDialogs();
    const MonitorViews views = installMonitorViews(form, fast);
    form.show();
    return views;
}

int runMonitorWindow(int& argc, char** argv, bool fast, const std::function<void(TForm1&)>& beforeExec) {
    QApplication app(argc, argv);
    prepareMonitorApplication();
    TForm1 form;
    showMonitorWindow(form, fast);
    if (beforeExec) beforeExec(form);
    return app.exec();
}
