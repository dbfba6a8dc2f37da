#pragma once
// What the benchmarks share: a line that costs nothing, and the start of those that run the whole
// window against a simulated meter. Header only: every .cpp here is a benchmark program of its own.
#include "link/commcontrol.h"
#include "link/crc16.h"
#include "link/linespeed.h"
#include "link/portmap.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <utility>

namespace bench {

// Answers every read inside the write with `registers` registers from the address asked, so
// that only the program's own work is timed. Each address's reply is made once: the line's own
// work stays out of the figures too.
class InstantLine : public CommControl {
  public:
    explicit InstantLine(int registers) : m_registers(registers) {}
    QString Settings() const override { return QStringLiteral("9600,n,8,1"); }
    bool PortOpen() const override { return true; }
    bool setPortOpen(bool, QString*) override { return true; }
    void setRTSEnable(bool) override {}
    void setDTREnable(bool) override {}
    void setOutput(const QByteArray& request) override {
        QByteArray& reply = m_replies[quint8(request.at(0))];
        if (reply.isEmpty())
            reply = crc16::appended(request.left(1) + '\x03' + char(2 * m_registers) +
                                    QByteArray(2 * m_registers, '\x11'));
        pending = reply;
        emit received();
    }
    QByteArray Input() override { return std::exchange(pending, {}); }
    int CommEvent() const override { return pending.isEmpty() ? 0 : ComEvReceive; }

    QByteArray pending;

  private:
    int m_registers;
    std::array<QByteArray, 256> m_replies;
};

// Offscreen on a machine without a display. Before the application is made.
inline void offscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// This process's resident memory in kB; -1 where the system does not say.
inline long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A window bench's command line: "--fast" and one number, `fallback` unless given.
struct Arguments {
    bool fast = false;
    int number = 0;
};

inline Arguments arguments(int fallback) {
    const QStringList args = QCoreApplication::arguments();
    Arguments a{.fast = args.contains(QStringLiteral("--fast")), .number = fallback};
    for (const QString& arg : args.mid(1))
        if (arg.toInt() > 0) a.number = arg.toInt();
    return a;
}

// A folder of the bench's own to work in, with the Sens.cfg that puts port 1 at `baud`, no modem.
class WorkFolder {
  public:
    explicit WorkFolder(int baud) {
        QDir::setCurrent(m_dir.path());
        QFile cfg(QStringLiteral("Sens.cfg"));
        cfg.open(QIODevice::WriteOnly);
        cfg.write(QStringLiteral("1 %1\r\n1000\r\nFalse\r\nFalse\r\nATZ\r\nATD\r\n123\r\n5")
                      .arg(linespeed::settingsFor(baud))
                      .toLatin1());
    }

  private:
    QTemporaryDir m_dir;
};

// Port 1 is the simulator's line; false, with the reason on stderr, when it does not start.
inline bool startOnPort1(sim::Simulator& simulator) {
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return false;
    }
    PortMap::set(1, simulator.portPath());
    return true;
}

} // namespace bench
