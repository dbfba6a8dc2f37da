#include "sim/records.h"

#include "device/encodings.h"

namespace sim {

QByteArray ArchiveRecord::bytes() const {
    QByteArray out;
    out.reserve(Size);
    out += enc::u32Bytes(time);
    for (const auto& channel : volume)
        for (float v : channel)
            out += enc::f32Bytes(v);
    out += enc::u32Bytes(downtime[0]);
    out += enc::u32Bytes(downtime[1]);
    out += checkByte(out);
    return out;
}

QByteArray JournalEntry::bytes() const {
    QByteArray out;
    out.reserve(Size);
    out += char(code & 0xFF);
    out += enc::u32Bytes(start);
    out += enc::u32Bytes(end);
    out += checkByte(out);
    return out;
}

} // namespace sim
