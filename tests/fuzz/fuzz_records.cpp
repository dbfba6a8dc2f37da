// Archive records and journal entries cut from a fuzzed function-65 reply: never more than asked for
// or than the reply holds, and every record whose check byte fits is encoded back to its own bytes.
#include "device/records.h"
#include "fuzzinput.h"

#include <cmath>

namespace {

template <typename T, typename Decode, typename Encode>
void check(const QByteArray& reply, int wanted, int size, Decode decode, Encode encode) {
    const QList<T> all = decode(reply, wanted);
    const int room = std::max(0, int(reply.size()) - 5) / size;
    FUZZ_CHECK(all.size() <= std::max(0, wanted));
    FUZZ_CHECK(all.size() == std::min(std::max(0, wanted), room));
    for (int i = 0; i < all.size(); ++i) {
        const QByteArray source = reply.mid(3 + size * i, size);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.constData());
        FUZZ_CHECK(all[i].checkOk == (records::checkByte(bytes, size - 1) == bytes[size - 1]));
        if (all[i].checkOk) FUZZ_CHECK(encode(all[i]) == source);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const int wanted = std::int8_t(in.byte());
    const QByteArray reply = in.rest();
    check<ArchiveRecord>(reply, wanted, records::ArchiveRecordSize, records::archiveRecords,
                         records::encodeArchiveRecord);
    check<JournalEntry>(reply, wanted, records::JournalEntrySize, records::journalEntries,
                        records::encodeJournalEntry);
    return 0;
}
