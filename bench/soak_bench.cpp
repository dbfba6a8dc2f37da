// The whole monitor window left polling the measurements view every second against a simulated meter
// on a bad line (5 % of replies with a wrong CRC, 2 % never sent), with the exchange log and the flow
// trend open, as an operator leaves it for a shift. Each minute it prints the process's resident
// memory beside the fill of the two rings that grow with the run (the exchange log keeps its newest
// 10,000 entries, the trend a day of samples): once both are full the memory has to stop growing.
//
//   bench_soak_bench [MINUTES] [--fast]      (60 minutes unless given)
#include "app/countersview.h"
#include "app/flowtrendview.h"
#include "app/monitorviews.h"
#include "app/tform1.h"
#include "app/trafficmonitor.h"
#include "bench/benchsupport.h"
#include "link/trafficrecorder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    bench::offscreenWithoutDisplay();
    QApplication app(argc, argv);
    // Plain variables: the minute's timer captures them.
    const bench::Arguments args = bench::arguments(60);
    const bool fast = args.fast;
    const int minutes = args.number;
    const bench::WorkFolder folder(9600);

    sim::SimOptions options;
    options.logLimit = 0; // the simulator shares the process: its log must not count as the monitor's
    options.faults = {sim::FaultSpec::atRate(sim::Fault::BadCrc, 0.05),
                      sim::FaultSpec::atRate(sim::Fault::Silence, 0.02)};
    sim::Simulator simulator(options);
    if (!bench::startOnPort1(simulator)) return 1;

    TForm1 form;
    const MonitorViews views = showMonitorWindow(form, fast);
    // Meter 1 chosen as "Другой прибор" chooses it; the views then poll it.
    form.DeviceAddress = 1;
    TForm1::setMenuEnabled(form.MenuTypeParam, true);
    views.traffic->MenuTrafficMonitorClick();
    views.flowTrend->MenuFlowTrendClick();
    form.LinkIdle = false;
    form.MenuTypeParamClick(form.Measurements);

    std::printf("minute  resident_kB  log_entries  trend_samples  (%s completion, %d min)\n",
                fast ? "fast" : "silence", minutes);
    QElapsedTimer clock;
    clock.start();
    long first = -1;
    int minute = 0;
    QTimer everyMinute;
    QObject::connect(&everyMinute, &QTimer::timeout, [&] {
        ++minute;
        const long kb = bench::residentKb();
        if (first < 0) first = kb;
        std::printf("%6d  %11ld  %11zu  %13zu\n", minute, kb, views.traffic->recorder().entries().size(),
                    views.flowTrend->samples().size());
        std::fflush(stdout);
        if (minute >= minutes) {
            std::printf("growth after the first minute: %ld kB over %d minutes\n", kb - first, minutes - 1);
            std::fflush(stdout);
            QApplication::quit();
            // The figures are out; a window caught inside an exchange's own wait must not keep the
            // bench alive.
            QTimer::singleShot(10'000, [] { std::_Exit(0); });
        }
    });
    everyMinute.start(60'000);
    return QApplication::exec();
}
