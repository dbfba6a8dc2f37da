// How close a whole archive reading comes to the wire's own time, with the silence rule and with fast
// reply completion.
//
// The program's archive reader reads the full hour archive through the engine from the simulator on
// a pseudo-terminal, paced at the line speed like a meter, once with the silence rule and once with
// fast completion; then a libmodbus master reads holding registers with replies of the same sizes
// on the same line. The wire floor of each is every request and reply at 10 bits per character.
// Printed per speed: wall time, wire time, their ratio, and the speed-up of fast completion.
#include "archives/archivereading.h"
#include "link/linespeed.h"
#include "link/linkport.h"
#include "link/tmodbus.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <modbus/modbus.h>

namespace {

struct Run {
    double wallMs = 0;
    double wireMs = 0;
    bool failed = false;
    QList<int> replySizes;
};

double wireMs(qint64 bytes, int baud) {
    return double(bytes) * 10 * 1000.0 / baud;
}

Run readHourArchive(TModBus& bus, int baud) {
    Run run;
    const archives::RequestFn request = [&](const archives::Request& r) -> std::optional<QByteArray> {
        archives::send(bus, 1, r);
        run.wireMs += wireMs(bus.requestFrame().size() + bus.replyFrame().size(), baud);
        run.replySizes << bus.replyFrame().size();
        if (!bus.replyOk()) return std::nullopt;
        return bus.reply();
    };
    QElapsedTimer t;
    t.start();
    const archives::Reading reading =
        archives::readArchive(archives::Kind::Hour, {}, 0, QDateTime::currentDateTime(), request);
    run.wallMs = double(t.nsecsElapsed()) / 1e6;
    run.failed = reading.linkFailed();
    return run;
}

// The same number of reads with replies of the same sizes, by an independent master.
Run libmodbusReads(const QString& port, int baud, const QList<int>& replySizes) {
    Run run;
    modbus_t* ctx = modbus_new_rtu(port.toLocal8Bit().constData(), baud, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
        run.failed = true;
        if (ctx) modbus_free(ctx);
        return run;
    }
    modbus_set_response_timeout(ctx, 0, 500000);
    std::uint16_t registers[125];
    QElapsedTimer t;
    t.start();
    for (const int size : replySizes) {
        const int count = std::clamp((size - 5) / 2, 1, 125);
        run.failed |= modbus_read_registers(ctx, 0, count, registers) != count;
        run.wireMs += wireMs(8 + 5 + 2 * count, baud);
    }
    run.wallMs = double(t.nsecsElapsed()) / 1e6;
    modbus_close(ctx);
    modbus_free(ctx);
    return run;
}

void print(const char* what, int baud, const Run& run, const char* extra = "") {
    std::printf("%-9s %-22s %9.2f %9.2f %8.3f%s%s\n", baud == 9600 ? "9600" : "38400", what,
                run.wallMs / 1000, run.wireMs / 1000, run.wallMs / run.wireMs, extra,
                run.failed ? "  (the link failed)" : "");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("%-9s %-22s %9s %9s %8s\n", "speed", "reader", "wall s", "wire s", "ratio");
    for (int baud : {9600, 38400}) {
        sim::SimOptions options;
        options.baud = baud;
        sim::Simulator simulator(options);
        QString error;
        if (!simulator.start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return 1;
        }
        Run silence, fast;
        {
            TModBus bus;
            bus.MSComm1()->setSystemPortName(simulator.portPath());
            bus.MSComm1()->setSettings(linespeed::settingsFor(baud));
            bus.ReadHoldingRegisters(1, 1, 0); // opens the port outside the measurement
            silence = readHourArchive(bus, baud);
            bus.setFastCompletion(true);
            fast = readHourArchive(bus, baud);
        }
        const double speedUp = silence.wallMs / fast.wallMs;
        const double target = baud == 9600 ? 2.5 : 8.0;
        print("archive, silence", baud, silence);
        char note[96];
        std::snprintf(note, sizeof note, "  %.2fx faster (targets: ratio <= 1.15, >= %.1fx)%s", speedUp,
                      target, fast.wallMs <= 1.15 * fast.wireMs && speedUp >= target ? "" : "  MISSED");
        print("archive, fast", baud, fast, note);
        print("libmodbus, same sizes", baud, libmodbusReads(simulator.portPath(), baud, fast.replySizes));
    }
    return 0;
}
