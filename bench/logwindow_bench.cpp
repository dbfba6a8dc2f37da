// Whether the open exchange log slows the line down. The whole monitor window reads a meter's full
// hour archive from the simulator, paced at the line's speed, twice: with the exchange log closed,
// then open on a ring full of 10,000 entries from 127 addresses. Printed: the wall time of each
// reading, the requests each sent, and the ratio open / closed (the line's timing runs in its own
// thread, so the ratio should stay within 1.02).
//
//   bench_logwindow_bench [--fast] [BAUD]      (the 500 ms silence and 9600 bit/s unless given)
#include "app/monitorviews.h"
#include "app/tform1.h"
#include "app/trafficmonitor.h"
#include "archives/archivereading.h"
#include "bench/benchsupport.h"
#include "device/encodings.h"
#include "link/tmodbus.h"
#include "link/trafficrecorder.h"
#include "ui/trafficwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr quint32 DeviceStart = 1709647629; // 05.03.2024 14:07:09, device seconds

struct Timed {
    qint64 ms = 0;
    int requests = 0;
    bool failed = false;
};

Timed readHourArchive(TForm1& form, sim::Simulator& simulator) {
    simulator.clearLog();
    QElapsedTimer clock;
    clock.start();
    const archives::ArchiveReading reading =
        archives::readArchive(archives::Kind::Hour, {}, 0, enc::SecToDate(DeviceStart),
                              [&form](const archives::Request& r) { return form.exchange().readArchive(r); });
    return {clock.elapsed(), int(simulator.requests().size()), reading.linkFailed()};
}

} // namespace

int main(int argc, char** argv) {
    bench::offscreenWithoutDisplay();
    QApplication app(argc, argv);
    const auto [fast, baud] = bench::arguments(9600);
    const bench::WorkFolder folder(baud);

    sim::SimOptions options;
    options.baud = baud;
    options.startTime = DeviceStart;
    options.clockRuns = false;
    options.logLimit = 1000;
    sim::Simulator simulator(options);
    if (!bench::startOnPort1(simulator)) return 1;

    TForm1 form;
    const MonitorViews views = showMonitorWindow(form, fast);
    form.DeviceAddress = 1;

    const Timed closed = readHourArchive(form, simulator);

    bench::InstantLine line(1);
    TModBus other{&line};
    other.setModbusSilenceMs(0);
    TrafficRecorder& recorder = views.traffic->recorder();
    recorder.attach(other);
    for (int n = 0; recorder.entries().size() < size_t(TrafficRecorder::DefaultCapacity); ++n)
        other.ReadHoldingRegisters(std::uint8_t(1 + n % 127), 1, 0);
    views.traffic->MenuTrafficMonitorClick();
    QCoreApplication::processEvents();

    const Timed open = readHourArchive(form, simulator);

    std::printf("full hour archive at %d bit/s, %s completion\n", baud, fast ? "fast" : "silence");
    std::printf("log closed: %lld ms, %d requests%s\n", closed.ms, closed.requests,
                closed.failed ? ", FAILED" : "");
    std::printf("log open on a full ring (%zu entries, %zu addresses, window %s): %lld ms, %d requests%s\n",
                recorder.entries().size(), recorder.counters().size(),
                views.traffic->window()->isVisible() ? "shown" : "hidden", open.ms, open.requests,
                open.failed ? ", FAILED" : "");
    std::printf("ratio open/closed: %.4f\n", closed.ms > 0 ? double(open.ms) / double(closed.ms) : 0.0);
    return closed.failed || open.failed || open.requests != closed.requests ? 1 : 0;
}
