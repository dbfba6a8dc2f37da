#pragma once
// Archive records and journal entries as a meter stores them and sends them with function 65.
#include <QByteArray>
#include <cstdint>

namespace sim {

// One period's snapshot of the cumulative counters (29 bytes on the line).
struct ArchiveRecord {
    static constexpr int Size = 29;
    quint32 time = 0;                      // device seconds; 0 in a slot never written
    float volume[2][2] = {{0, 0}, {0, 0}}; // [channel][0 forward, 1 reverse], cumulative m3
    quint32 downtime[2] = {0, 0};          // cumulative seconds without measurement, per channel
    QByteArray bytes() const;              // big-endian, with the check byte
};

// One journal event (10 bytes on the line).
struct JournalEntry {
    static constexpr int Size = 10;
    int code = 0;
    quint32 start = 0; // 0: not recorded
    quint32 end = 0;   // 0: still going on
    QByteArray bytes() const;
    bool operator==(const JournalEntry&) const = default;
};

// The check byte of both: the sum of the preceding bytes modulo 256.
inline char checkByte(const QByteArray& bytes) {
    unsigned sum = 0;
    for (char c : bytes)
        sum += std::uint8_t(c);
    return char(sum & 0xFF);
}

} // namespace sim
