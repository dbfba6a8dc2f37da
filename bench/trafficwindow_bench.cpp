// What the open exchange log window adds to each exchange. The engine runs against a line that
// answers inside the write and a silence of 0 ms, so only the program's own work is timed. The ring
// is filled with 10,000 entries from 127 addresses first, the steady state of a long session; then
// every exchange is followed by the window's look at the recorder and its repaint (the window does
// that at most ten times a second: this is the worst case). Printed, in processor time (the figures
// hold on a busy machine): time per exchange with the window closed and open and their ratio, what
// the open window costs at its own pace of ten looks a second, and the open window's cost with a
// ring of 500 entries against the full one: a look costs what changed, so that ratio stays near 1.
#include "bench/benchsupport.h"
#include "link/tmodbus.h"
#include "link/trafficrecorder.h"
#include "ui/trafficwindow.h"

#include <QApplication>
#include <cstdio>
#include <ctime>

namespace {

// A ring of `capacity` entries, filled.
struct Session {
    explicit Session(int capacity) : recorder(capacity) {
        bus.setModbusSilenceMs(0);
        recorder.attach(bus);
        while (recorder.nextNumber() <= quint64(capacity))
            exchange();
        window.refresh();
    }
    void exchange() { bus.ReadHoldingRegisters(std::uint8_t(1 + (next++ % 127)), 21, 0); }

    bench::InstantLine line{21};
    TModBus bus{&line};
    TrafficRecorder recorder;
    TrafficWindow window{recorder};
    int next = 0;
};

// Each round: one exchange, then what the window does about it when it is open.
double nsPerExchange(Session& s, int rounds) {
    const bool open = s.window.isVisible();
    const std::clock_t start = std::clock();
    for (int i = 0; i < rounds; ++i) {
        s.exchange();
        if (open) s.window.refresh();
        QCoreApplication::processEvents();
    }
    return double(std::clock() - start) * 1e9 / CLOCKS_PER_SEC / rounds;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(100, atoi(argv[1])) : 2000;

    Session closed(TrafficRecorder::DefaultCapacity), open(TrafficRecorder::DefaultCapacity), small(500);
    for (Session* s : {&open, &small}) {
        s->window.show();
        QCoreApplication::processEvents();
    }
    // Interleaved quarters, so a neighbour's load falls on every run alike.
    double closedNs = 0, openNs = 0, smallNs = 0;
    for (int quarter = 0; quarter < 4; ++quarter) {
        closedNs += nsPerExchange(closed, rounds / 4) / 4;
        openNs += nsPerExchange(open, rounds / 4) / 4;
        smallNs += nsPerExchange(small, rounds / 4) / 4;
    }
    std::printf("exchanges: %d per run; the ring holding %zu entries from %zu addresses\n", rounds,
                open.recorder.entries().size(), open.recorder.counters().size());
    std::printf("window closed: %.1f us per exchange\n", closedNs / 1000);
    std::printf("window open:   %.1f us per exchange (a look and a repaint after each)\n", openNs / 1000);
    std::printf("ratio open/closed: %.2f\n", openNs / closedNs);
    std::printf("open window at its pace of ten looks a second: %.2f %% of one core\n",
                (openNs - closedNs) * 10 / 1e9 * 100);
    std::printf("window open, ring of 500: %.1f us per exchange; ratio full ring/ring of 500: %.2f\n",
                smallNs / 1000, openNs / smallNs);
    return 0;
}
