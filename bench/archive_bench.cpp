// How close a whole archive reading comes to the wire's own time.
//
// The program's archive reader reads the full hour archive (85 requests) through the engine from
// the simulator on a pseudo-terminal, which paces its replies at the line speed like a meter. The
// floor is each reply at 10 bits per character plus the 500 ms of silence after it (the
// pseudo-terminal carries the requests at once); printed per speed: wall time, floor, ratio.
#include "archives/archivereading.h"
#include "link/tmodbus.h"
#include "link/tmscomm.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    std::printf("%-7s %8s %6s %10s %10s %8s\n", "speed", "rounds", "rows", "wall s", "floor s", "ratio");
    for (int baud : {9600, 38400}) {
        sim::SimOptions options;
        options.baud = baud;
        sim::Simulator simulator(options);
        QString error;
        if (!simulator.start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return 1;
        }
        TModBus bus;
        bus.MSComm1()->setSystemPortName(simulator.portPath());
        bus.MSComm1()->setSettings(QStringLiteral("%1,n,8,1").arg(baud));
        bus.ReadHoldingRegisters(1, 1, 0); // opens the port outside the measurement

        double wall = 0, floorMs = 0;
        int rows = 0;
        bool failed = false;
        for (int round = 0; round < rounds; ++round) {
            const archives::RequestFn request = [&](const archives::Request& r) -> std::optional<QByteArray> {
                archives::send(bus, 1, r);
                const int replyBytes = 3 + r.count * 29 + 2;
                floorMs += replyBytes * 10 * 1000.0 / baud + TModBus::DefaultSilenceMs;
                if (!bus.replyOk()) return std::nullopt;
                return bus.reply();
            };
            QElapsedTimer t;
            t.start();
            const archives::Reading reading =
                archives::readArchive(archives::Kind::Hour, {}, 0, QDateTime::currentDateTime(), request);
            wall += double(t.nsecsElapsed()) / 1e6;
            rows = int(reading.rows.size());
            failed |= reading.linkFailed();
        }
        std::printf("%-7d %8d %6d %10.2f %10.2f %8.4f%s\n", baud, rounds, rows, wall / rounds / 1000,
                    floorMs / rounds / 1000, wall / floorMs, failed ? "  (the link failed)" : "");
    }
    return 0;
}
