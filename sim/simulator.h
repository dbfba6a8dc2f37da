#pragma once
// The device simulator: meters behind a ModBus RTU slave (and optionally a Hayes modem) serving a
// pseudo-terminal from its own thread, so a master in the same process can block in its event loop.
#include "sim/records.h"
#include "sim/simoptions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace sim {

struct LogEntry {
    qint64 ms = 0; // since the simulator started
    bool fromMaster = false;
    QByteArray frame; // a request, a reply, a modem line or garbage, as it went over the line
    QString note;     // why it was ignored or which fault shaped it; empty for plain traffic
};

class SimulatorThread;

// Owns a pseudo-terminal and a thread serving it; thread-safe accessors to the meters.
class Simulator {
  public:
    explicit Simulator(SimOptions options = {});
    ~Simulator(); // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool start(QString* error = nullptr);
    void stop();
    bool isRunning() const;   // false after stop() or after a ClosePort fault
    QString portPath() const; // the slave side, openable by QSerialPort
    int tcpPort() const;      // the port served on 127.0.0.1 (SimOptions::tcpPort), 0 when none
    const SimOptions& options() const;

    // Thread-safe access to the devices (address as configured).
    quint16 holding(int address, int reg) const;
    void setHolding(int address, int reg, quint16 value);
    float holdingFloat(int address, int reg) const;
    void setHoldingFloat(int address, int reg, float value);
    bool coil(int address, int coil) const;
    void setCoil(int address, int coil, bool on);
    quint32 deviceTime(int address) const;
    // Moves every device clock (and the flows and archives with it) by seconds.
    void advanceClock(qint64 seconds);

    // Archives: 0 hour, 1 day, 2 month; journals: 3 faults, 4 operator, 5/6 abnormal ch1/ch2.
    // The record the device holds for the period containing `time`, if any.
    bool archiveRecord(int address, int archive, quint32 time, ArchiveRecord* out) const;
    // Oldest entry first, as function 65 numbers them.
    QList<JournalEntry> journal(int address, int journal) const;

    void setFault(const FaultSpec& fault); // replaces a fault of the same kind and address, or adds it
    void clearFaults();
    void setModemDialResult(const QString& result);
    // The modem has a call up (online, or in command mode after the escape): it was not hung up.
    bool modemCallUp() const;

    // Called from the serving thread for every entry as it is logged (kastari-sim --verbose).
    void setLogListener(std::function<void(const LogEntry&)> listener);
    QList<LogEntry> log() const;        // every frame received and sent, in order (the last logLimit)
    QList<QByteArray> requests() const; // only the frames received from the master
    void clearLog();
    int repliesSent() const;

  private:
    std::unique_ptr<SimulatorThread> d;
};

} // namespace sim
