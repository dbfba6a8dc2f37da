// What logging every exchange costs. The engine runs against a line that answers inside the write
// and a silence of 0 ms, so only the program's own work is timed: first without a recorder, then
// with one whose ring is full (every entry pushes out the oldest). Printed: time per transaction
// in both runs, their ratio, and the recorder's share of one real transaction at 9600 bit/s.
#include "bench/benchsupport.h"
#include "link/tmodbus.h"
#include "link/trafficrecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

double nsPerTransaction(TModBus& bus, int rounds) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        bus.ReadHoldingRegisters(1, 21, 0);
    return double(t.nsecsElapsed()) / rounds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(100, atoi(argv[1])) : 20000;

    bench::InstantLine plainLine(21), loggedLine(21);
    TModBus plain(&plainLine), logged(&loggedLine);
    plain.setModbusSilenceMs(0);
    logged.setModbusSilenceMs(0);
    TrafficRecorder recorder;
    recorder.attach(logged);
    // Fill the ring first: the steady state of a long run is a full ring.
    nsPerTransaction(logged, TrafficRecorder::DefaultCapacity / 2 + 1);
    nsPerTransaction(plain, 1000);

    // Interleaved halves, so a neighbour's load falls on both runs alike.
    double without = 0, with = 0;
    for (int half = 0; half < 2; ++half) {
        without += nsPerTransaction(plain, rounds / 2) / 2;
        with += nsPerTransaction(logged, rounds / 2) / 2;
    }
    // A 21-register read at 9600 bit/s: 8 + 47 characters of 10 bits, and the 500 ms silence.
    const double wireNs = (55 * 10 * 1e9 / 9600) + 500e6;
    std::printf("transactions: %d each; entries logged: %llu, the ring holding the last %zu\n", rounds,
                recorder.nextNumber() - 1, recorder.entries().size());
    std::printf("without recorder: %.1f us per transaction\n", without / 1000);
    std::printf("with recorder:    %.1f us per transaction\n", with / 1000);
    std::printf("ratio with/without: %.2f\n", with / without);
    std::printf("recorder's share of a real 9600 bit/s transaction: %.6f %%\n",
                100.0 * std::max(0.0, with - without) / wireNs);
    return 0;
}
