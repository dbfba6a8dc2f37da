// kastari-monitor: the operator's window onto the flow meters on a serial line.
#include "app/adjustmentview.h"
#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/commandline.h"
#include "app/countersview.h"
#include "app/exchangeoptions.h"
#include "app/failurelegend.h"
#include "app/flowtrendview.h"
#include "app/generalparams.h"
#include "app/paramfiles.h"
#include "app/screenshottour.h"
#include "app/systemparams.h"
#include "app/tform1.h"
#include "app/trafficmonitor.h"
#include "ui/toolkittexts.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    // Before the application: "--help" and a bad "--comm" must answer without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const MonitorOptions options = parseMonitorArguments(arguments);
    if (options.help) {
        QTextStream(stdout) << monitorHelpText();
        return 0;
    }
    if (!options.errors.isEmpty()) {
        QTextStream(stderr) << options.errors.join(u'\n') << '\n';
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Монитор КАСТАРИ-ДК"));
    useRussianToolkitTexts();

    TForm1 form;
    form.createDialogs();
    SystemParams::install(form);
    GeneralParams::install(form);
    AdjustmentView::install(form);
    FlowTrendView::install(form);
    ArchiveChartView::install(form, *ArchivesView::install(form));
    CountersView::install(form);
    // After the views: it wires their "Обзор" buttons.
    FailureLegend::install(form);
    ParamFiles::install(form);
    // "--fast": replies end as soon as they are complete, for this run, whatever the settings say.
    ExchangeOptions::install(form, options.fast);
    // Last: its recorder chains onto the engine's hooks as the views have set them.
    TrafficMonitor::install(form);
    form.show();
    if (!options.screenshotDir.isEmpty()) startScreenshotTour(form, options.screenshotDir);
    return app.exec();
}
