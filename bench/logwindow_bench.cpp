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
#include "device/encodings.h"
#include "link/commcontrol.h"
#include "link/crc16.h"
#include "link/linespeed.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "link/trafficrecorder.h"
#include "sim/simulator.h"
#include "ui/trafficwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr quint32 DeviceStart = 1709647629; // 05.03.2024 14:07:09, device seconds

// Answers every read from the address asked, inside the write.
class InstantLine : public CommControl {
  public:
    QString Settings() const override { return QStringLiteral("9600,n,8,1"); }
    bool PortOpen() const override { return true; }
    bool setPortOpen(bool, QString*) override { return true; }
    void setRTSEnable(bool) override {}
    void setDTREnable(bool) override {}
    void setOutput(const QByteArray& request) override {
        pending = crc16::appended(request.left(1) + QByteArray::fromHex("03021111"));
        if (OnComm) OnComm();
    }
    QByteArray Input() override { return std::exchange(pending, {}); }
    int CommEvent() const override { return pending.isEmpty() ? 0 : ComEvReceive; }

    QByteArray pending;
};

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
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const bool fast = args.contains(QStringLiteral("--fast"));
    int baud = 9600;
    for (const QString& a : args.mid(1))
        if (a.toInt() > 0) baud = a.toInt();

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QFile cfg(QStringLiteral("Sens.cfg"));
    cfg.open(QIODevice::WriteOnly);
    cfg.write(QStringLiteral("1 %1\r\n1000\r\nFalse\r\nFalse\r\nATZ\r\nATD\r\n123\r\n5")
                  .arg(linespeed::settingsFor(baud))
                  .toLatin1());
    cfg.close();

    sim::SimOptions options;
    options.baud = baud;
    options.startTime = DeviceStart;
    options.clockRuns = false;
    options.logLimit = 1000;
    sim::Simulator simulator(options);
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    PortMap::set(1, simulator.portPath());

    TForm1 form;
    form.createDialogs();
    const MonitorViews views = installMonitorViews(form, fast);
    form.show();
    form.DeviceAddress = 1;

    const Timed closed = readHourArchive(form, simulator);

    InstantLine line;
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
