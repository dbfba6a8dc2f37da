#pragma once
// Options of the simulated line: the meters on it, the faults it injects and the modem in front of it.
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace sim {

// One meter on the line.
struct DeviceOptions {
    int address = 1;
    int workMode = 0;             // register 15: 0 operation, 1 verification
    int sensorType = 0;           // register 17: 0 clamp-on, 1 insertion, 2 U-bend
    int channelMode = 0;          // register 96: 0 two-channel, 1 two-beam
    quint32 electronicNumber = 0; // 0: derived from the seed and the address
    QString idText1, idText2;     // function 17 texts; empty: the defaults below

    // Condition bytes held at a value instead of following the meter (-1: follow it), to show a
    // failure or an abnormal situation on demand: the failure byte (register 252) and the
    // condition bytes of channel 1 and 2 (registers 254, 255).
    int failureByte = -1;
    int conditionByte[2] = {-1, -1};

    static QString defaultIdText1() { return QStringLiteral("KASTARI-DK"); }
    static QString defaultIdText2() { return QStringLiteral("v3.12"); }
};

// What can go wrong with a reply.
enum class Fault {
    None,
    Silence,      // no reply at all
    BadCrc,       // the reply's CRC is wrong
    Chunks,       // the reply comes in chunks of chunkSize bytes, chunkGapMs apart
    Late,         // the reply comes lateDelayMs after the request (past the master's silence time)
    Noise,        // noiseBytes random bytes before the reply
    Oversize,     // a reply of oversizeBytes (> 256) with a good CRC
    Exception,    // an exception reply with exceptionCode
    WrongAddress, // the reply names another address (wrongAddress, or the request's + 1)
    ClosePort,    // part of the reply is written, then the port vanishes
    BadRecord,    // an archive record or journal entry of the reply has a wrong check byte
    Babble,       // instead of a reply, a byte every chunkGapMs without end, until the next request
    Drop,         // TCP: after part of the reply (closeAfterBytes) the server drops the connection
};

enum class FaultWhen {
    Always,
    Nth,  // only the nth matching request after the fault was set (1 = the next one)
    Rate, // each matching request with probability rate, drawn from the seeded generator
};

// One fault to inject into replies.
struct FaultSpec {
    Fault kind = Fault::None;
    FaultWhen when = FaultWhen::Always;
    int nth = 1;
    double rate = 0.0;
    int address = 0; // 0: requests to any simulated device; else only this address

    int chunkSize = 3;
    int chunkGapMs = 40;
    int lateDelayMs = 700;
    int noiseBytes = 4;
    int oversizeBytes = 300;
    int exceptionCode = 4;    // slave device failure
    int wrongAddress = -1;    // -1: the request's address + 1
    int closeAfterBytes = -1; // ClosePort: bytes written before closing; -1 half the reply
    int badRecord = 1;        // BadRecord: which record of the reply, from 1 (the last when fewer)

    static FaultSpec always(Fault kind) {
        FaultSpec f;
        f.kind = kind;
        return f;
    }
    static FaultSpec onNth(Fault kind, int n) {
        FaultSpec f = always(kind);
        f.when = FaultWhen::Nth;
        f.nth = n;
        return f;
    }
    static FaultSpec atRate(Fault kind, double rate) {
        FaultSpec f = always(kind);
        f.when = FaultWhen::Rate;
        f.rate = rate;
        return f;
    }
};

// The whole simulated line.
struct SimOptions {
    QList<DeviceOptions> devices; // empty: one meter at address 1
    quint32 seed = 1;
    int baud = 9600;    // reply pacing: 10 bits per character
    bool pacing = true; // tests may switch pacing off to run fast
    bool modem = false;
    QString modemDialResult =
        QStringLiteral("CONNECT 9600");             // or BUSY, NO ANSWER, NO CARRIER, NO DIALTONE, ERROR
    QString modemInitResult = QStringLiteral("OK"); // what any other AT command answers
    int modemDialDelayMs = 200;                     // between the dial command and its result
    QList<FaultSpec> faults;
    // Device clock at start, device seconds; 0: the PC's local wall clock now.
    quint32 startTime = 0;
    // false: the device clocks stand still and move only by advanceClock() (deterministic tests).
    bool clockRuns = true;
    // How many device seconds pass in one second of the PC's, so that new hours, days and months
    // are recorded while someone watches; the history before the start stays as it was.
    int clockRate = 1;
    int logLimit = 50000; // the oldest log entries go beyond this many; 0 keeps none

    // The line behind a serial device server: RTU frames without any header over TCP, one
    // connection at a time, on 127.0.0.1 only. -1: not served; 0: on a free port (Simulator::tcpPort).
    int tcpPort = -1;
    // false: no pseudo-terminal, only TCP.
    bool pty = true;
};

QString faultName(Fault kind);
// The fault a name stands for (as faultName gives it); nothing for an unknown name.
std::optional<Fault> faultByName(const QString& name);

} // namespace sim
