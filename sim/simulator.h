#pragma once
// The device simulator: meters behind a ModBus RTU slave (and optionally a Hayes modem) serving a
// pseudo-terminal from its own thread, so a master in the same process can block in its event loop.
#include "sim/simoptions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace sim {

struct LogEntry {
    qint64 ms = 0;         // since the simulator started
    bool fromMaster = false;
    QByteArray frame;      // a request, a reply, a modem line or garbage, as it went over the line
    QString note;          // why it was ignored or which fault shaped it; empty for plain traffic
};

// One archive record or journal entry as the device stores it, for tests.
struct ArchiveRecordView {
    quint32 time = 0;
    float volume[2][2] = {{0, 0}, {0, 0}}; // [channel][0 forward, 1 reverse]
    quint32 downtime[2] = {0, 0};
};
struct JournalEntryView {
    int code = 0;
    quint32 start = 0; // 0: not recorded
    quint32 end = 0;   // 0: still going on
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
    bool isRunning() const;    // false after stop() or after a ClosePort fault
    QString portPath() const;  // the slave side, openable by QSerialPort
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
    bool archiveRecord(int address, int archive, quint32 time, ArchiveRecordView* out) const;
    QList<JournalEntryView> journal(int address, int journal) const;

    void setFault(const FaultSpec& fault); // replaces a fault of the same kind and address, or adds it
    void clearFaults();
    void setModemDialResult(const QString& result);

    QList<LogEntry> log() const;          // every frame received and sent, in order
    QList<QByteArray> requests() const;   // only the frames received from the master
    void clearLog();
    int repliesSent() const;

private:
    std::unique_ptr<SimulatorThread> d;
};

} // namespace sim
