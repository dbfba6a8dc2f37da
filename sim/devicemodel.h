#pragma once
// One simulated flow meter: its holding registers 0-308 and coils, the running clock, the flows and
// the volume counters that integrate them, the archives and journals, and the ModBus functions it
// answers (1, 3, 5, 6, 16, 17 and the archive function 65). Usable without any port: answer() takes
// a request frame and gives the reply frame.
#include "sim/archivestore.h"
#include "sim/journalstore.h"
#include "sim/meterhistory.h"
#include "sim/simoptions.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <array>
#include <bitset>
#include <optional>

namespace sim {

struct ModelReply {
    QByteArray frame; // with CRC; empty: the meter stays silent
    QString note;     // why it stayed silent or which exception it answered
};

class DeviceModel {
  public:
    static constexpr int RegisterCount = 309;
    static constexpr int CoilCount = 8;
    static constexpr int MaxReadRegisters = 125;
    static constexpr int MaxWriteRegisters = 123;
    static constexpr int MaxArchiveRecords = 8; // 3 + 8 * 29 + 2 bytes fit a 256-byte frame
    static constexpr int MaxJournalEntries = 25;
    static constexpr int JournalCapacity[4] = {32, 64, 128, 128}; // faults, operator, abnormal ch1, ch2

    // ModBus exception codes.
    enum ExceptionCode { IllegalFunction = 1, IllegalDataAddress = 2, IllegalDataValue = 3 };

    // startTime 0: the PC's local wall clock now. With clockRuns false the clock stands still and
    // moves only by advanceClock()/setDeviceTime(), which keeps tests deterministic.
    DeviceModel(const DeviceOptions& options, quint32 seed, quint32 startTime = 0, bool clockRuns = true,
                int baud = 9600);

    const DeviceOptions& options() const { return m_options; }
    // Device seconds per second of the PC's clock, from now on.
    void setClockRate(int rate);
    int address() const; // the network number (register 12) the meter answers to
    QString idText1() const;
    QString idText2() const;

    // A whole request frame (address .. CRC) in, the reply frame out (empty when the meter stays
    // silent: bad CRC, another address, broadcast). Broadcast writes are carried out.
    QByteArray answer(const QByteArray& request) { return handle(request).frame; }
    ModelReply handle(const QByteArray& request);

    // Direct access (tests, the simulator's API). Reading brings the live values up to date.
    quint16 holding(int reg);
    // Stores the value as it is; a live register (clock, measurements, condition) keeps the value
    // from then on instead of following the meter, so tests can force a state.
    void setHolding(int reg, quint16 value);
    float holdingFloat(int reg);
    void setHoldingFloat(int reg, float value);
    void unpinAll() { m_pinned.reset(); }
    bool coil(int coil) const;
    void setCoil(int coil, bool on);

    quint32 deviceTime() const;
    void setDeviceTime(quint32 time, bool logged = true);
    // Moves the clock forward (the flows, counters and archives follow) or back (a jump).
    void advanceClock(qint64 seconds);

    // Counters as the meter holds them now.
    double volume(int channel, int reverse);
    double downtime(int channel);

    // The record stored for the period that contains `time`, when one was stored for that period.
    std::optional<ArchiveRecord> archiveRecord(ArchiveKind kind, qint64 time);
    const ArchiveStore& archives() {
        sync();
        return m_archives;
    }
    // 0 faults, 1 operator, 2 abnormal channel 1, 3 abnormal channel 2.
    QList<JournalEntry> journal(int index);
    // Function-65 numbering: 3 faults, 4 operator, 5/6 abnormal; -1 for an archive number.
    static int journalIndex(int archiveNumber) {
        return archiveNumber >= 3 && archiveNumber <= 6 ? archiveNumber - 3 : -1;
    }

    static bool isWritable(int reg);
    // Registers that follow the meter (clock, measurements, condition bytes).
    static bool isLive(int reg);
    static int channelBase(int channel) { return channel == 0 ? 36 : 119; }
    static int measurementBase(int channel) { return channel == 0 ? 202 : 227; }

  private:
    struct Outcome {
        QByteArray pdu; // reply PDU (function code first)
        QString note;
    };
    Outcome process(const QByteArray& pdu, bool broadcast);
    Outcome readCoils(const QByteArray& pdu);
    Outcome readHolding(const QByteArray& pdu);
    Outcome writeCoil(const QByteArray& pdu);
    Outcome writeSingle(const QByteArray& pdu);
    Outcome writeMultiple(const QByteArray& pdu);
    Outcome reportSlaveId(const QByteArray& pdu);
    Outcome readArchive(const QByteArray& pdu);
    static Outcome exception(int function, int code, const QString& note);
    // Checks, then stores the words from `first` on, carrying out command and clock writes.
    std::optional<int> storeWords(int first, const QList<quint16>& words);
    bool commandAccepted(int reg, quint16 value) const;
    void runCommand(int reg, quint16 value);

    void applyFactoryDefaults();
    // The installation parameters: defaults, and what command 1 in register 27/28 makes of them.
    void applyInstallationDefaults();
    void applyOutputSettings(int channel);
    void setFloatRaw(int reg, float value);
    float floatRaw(int reg) const;
    void putLive(int reg, quint16 value);
    void putLiveFloat(int reg, float value);

    // The simulated world.
    qint64 now() const;
    void sync();
    void integrateTo(qint64 target);
    void integrateSpan(qint64 from, qint64 to);
    void atInstant(qint64 t);
    void powerOff(qint64 t);
    void powerOn(qint64 t);
    void updateConditions(qint64 t);
    void setCondition(int channel, int code, bool on, qint64 t);
    ArchiveRecord snapshot(qint64 time) const;
    void refreshLive();
    double effectiveFlow(int channel, double t) const;
    double internalDiameter(int channel) const;
    bool channelEnabled(int channel) const;

    DeviceOptions m_options;
    quint32 m_seed;
    std::array<quint16, RegisterCount> m_regs{};
    std::bitset<RegisterCount> m_pinned;
    std::bitset<CoilCount> m_coils;

    qint64 m_clockBase = 0;
    bool m_clockRuns = true;
    QElapsedTimer m_elapsed;
    int m_clockRate = 1;

    MeterHistory m_history;
    qint64 m_t = 0; // the moment the counters and archives are brought up to
    double m_volume[2][2] = {{0, 0}, {0, 0}};
    double m_downtime[2] = {0, 0};
    bool m_powered = true;
    bool m_noSignal[2] = {false, false};
    bool m_active[2][17] = {}; // ongoing abnormal situations by code
    int m_openId[2][17] = {};  // their journal entries
    ArchiveStore m_archives;
    JournalStore m_journals[4];
    // The history plan is replayed once, while the meter is built.
    bool m_replaying = false;
    std::vector<qint64> m_planTimes;
    std::size_t m_planNext = 0;
    int m_faultNext = 0, m_operatorNext = 0;
};

} // namespace sim
