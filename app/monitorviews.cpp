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
#include "ui/toolkittexts.h"

#include <QApplication>

void prepareMonitorApplication() {
    QApplication::setApplicationName(QStringLiteral("Монитор КАСТАРИ-ДК"));
    useRussianToolkitTexts();
}

MonitorViews installMonitorViews(TForm1& form, bool fast) {
    MonitorViews views;
    SystemParams::install(form);
    GeneralParams::install(form);
    AdjustmentView::install(form);
    views.flowTrend = FlowTrendView::install(form);
    ArchivesView& archives = *ArchivesView::install(form);
    ArchiveChartView& chart = *ArchiveChartView::install(form, archives);
    ConsumptionReportView& report = *ConsumptionReportView::install(form, archives);
    DatabaseView::install(form, archives, chart, report);
    views.counters = CountersView::install(form);
    // After the views: it wires their "Обзор" buttons.
    FailureLegend::install(form);
    ParamFiles::install(form);
    ExchangeOptions::install(form, fast);
    // Last: its recorder chains onto the engine's hooks as the views have set them.
    views.traffic = TrafficMonitor::install(form);
    return views;
}
