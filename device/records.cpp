#include "device/records.h"

#include "device/encodings.h"

namespace records {

bool isJournal(int archiveNumber) {
    return archiveNumber >= 3 && archiveNumber <= 6;
}

std::uint8_t checkByte(const std::uint8_t* bytes, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return std::uint8_t(sum & 0xFF);
}

ArchiveRecord decodeArchiveRecord(const std::uint8_t* b) {
    ArchiveRecord r;
    r.time = enc::u32(b);
    r.volume[0][0] = enc::f32(b + 4);
    r.volume[0][1] = enc::f32(b + 8);
    r.volume[1][0] = enc::f32(b + 12);
    r.volume[1][1] = enc::f32(b + 16);
    r.downtime[0] = enc::u32(b + 20);
    r.downtime[1] = enc::u32(b + 24);
    r.checkOk = checkByte(b, 28) == b[28];
    return r;
}

JournalEntry decodeJournalEntry(const std::uint8_t* b) {
    JournalEntry e;
    e.code = b[0];
    e.start = enc::u32(b + 1);
    e.end = enc::u32(b + 5);
    e.checkOk = checkByte(b, 9) == b[9];
    return e;
}

namespace {
void appendCheckByte(QByteArray& bytes) {
    bytes += char(checkByte(reinterpret_cast<const std::uint8_t*>(bytes.constData()), int(bytes.size())));
}
} // namespace

QByteArray encodeArchiveRecord(const ArchiveRecord& r) {
    QByteArray out;
    out.reserve(ArchiveRecordSize);
    out += enc::u32Bytes(r.time);
    for (const auto& channel : r.volume)
        for (float v : channel)
            out += enc::f32Bytes(v);
    out += enc::u32Bytes(r.downtime[0]);
    out += enc::u32Bytes(r.downtime[1]);
    appendCheckByte(out);
    return out;
}

QByteArray encodeJournalEntry(const JournalEntry& e) {
    QByteArray out;
    out.reserve(JournalEntrySize);
    out += char(e.code & 0xFF);
    out += enc::u32Bytes(e.start);
    out += enc::u32Bytes(e.end);
    appendCheckByte(out);
    return out;
}

namespace {
template <typename T, typename Decode>
QList<T> decodeAll(const QByteArray& reply, int wanted, int size, Decode decode) {
    QList<T> out;
    const int dataEnd = int(reply.size()) - 2; // the CRC is no data
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
    for (int i = 0; i < wanted; ++i) {
        const int at = 3 + size * i;
        if (at + size > dataEnd) break;
        out.append(decode(bytes + at));
    }
    return out;
}
} // namespace

QList<ArchiveRecord> archiveRecords(const QByteArray& reply, int wanted) {
    return decodeAll<ArchiveRecord>(reply, wanted, ArchiveRecordSize, decodeArchiveRecord);
}

QList<JournalEntry> journalEntries(const QByteArray& reply, int wanted) {
    return decodeAll<JournalEntry>(reply, wanted, JournalEntrySize, decodeJournalEntry);
}

} // namespace records
