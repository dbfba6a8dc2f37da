#pragma once
// Archive records (29 bytes) and journal entries (10 bytes) as function 65 returns them, each with
// a check byte: the sum of the bytes before it, modulo 256.
#include <QByteArray>
#include <QList>
#include <cstdint>

struct ArchiveRecord {
    std::uint32_t time = 0;                // device seconds
    float volume[2][2] = {{0, 0}, {0, 0}}; // [channel][0: "Объем +", 1: "Объем -"]
    std::uint32_t downtime[2] = {0, 0};    // cumulative seconds per channel
    bool checkOk = false;
};

struct JournalEntry {
    int code = 0;
    std::uint32_t start = 0; // 0: not recorded
    std::uint32_t end = 0;   // 0: still going on
    bool checkOk = false;
    bool operator==(const JournalEntry&) const = default;
};

namespace records {
constexpr int ArchiveRecordSize = 29;
constexpr int JournalEntrySize = 10;

bool isJournal(int archiveNumber); // 3..6

// reply: the whole frame, CRC included. At most `wanted` records, and never more than the reply's
// data holds: a short reply yields fewer, not stale ones.
QList<ArchiveRecord> archiveRecords(const QByteArray& reply, int wanted);
QList<JournalEntry> journalEntries(const QByteArray& reply, int wanted);

ArchiveRecord decodeArchiveRecord(const std::uint8_t* bytes);
JournalEntry decodeJournalEntry(const std::uint8_t* bytes);
// The bytes the meter sends, check byte included (checkOk is not read). The simulator's meter
// stores its records in these types, so the format is written down once.
QByteArray encodeArchiveRecord(const ArchiveRecord& record);
QByteArray encodeJournalEntry(const JournalEntry& entry);
std::uint8_t checkByte(const std::uint8_t* bytes, int count);
} // namespace records
