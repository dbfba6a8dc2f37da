#include "link/rtuframe.h"

#include "link/crc16.h"
#include "link/functioncodes.h"

#include <algorithm>
#include <array>

bool RtuFrame::crcOk() const {
    return !m_bytes.isEmpty() && crc16::compute(m_bytes) == 0;
}

std::optional<QByteArray> RtuFrame::countedData() const {
    const int count = byteAt(2);
    if (count < 0 || size() != 3 + count + 2) return std::nullopt;
    return m_bytes.mid(3, count);
}

std::optional<bool> RtuFrame::bit(int n) const {
    const std::optional<QByteArray> data = countedData();
    if (!data || n < 0 || n / 8 >= data->size()) return std::nullopt;
    return ((std::uint8_t((*data)[n / 8]) >> (n % 8)) & 1) != 0;
}

namespace rtu {

namespace {

// The standard functions the meter serves or a master may meet on a shared line, and the meter's
// own archive read (address, 65, byte count, the records, CRC). Every line's link thread reads the
// table for each chunk of each reply, so it is fixed when the program is built: nothing may change
// it while they run.
constexpr std::array<ReplyLength, 10> Table{{
    {.function = 1},
    {.function = 2},
    {.function = 3},
    {.function = 4},
    {.function = 5, .rule = LengthRule::Fixed, .length = 8},
    {.function = 6, .rule = LengthRule::Fixed, .length = 8},
    {.function = 15, .rule = LengthRule::Fixed, .length = 8},
    {.function = 16, .rule = LengthRule::Fixed, .length = 8},
    {.function = 17},
    {.function = modbus::FnReadArchive},
}};

} // namespace

int expectedReplyLength(const std::uint8_t* frame, int count) {
    if (count < 2) return 0;
    const int function = frame[1];
    if (function & 0x80) return 5;
    const auto row = std::find_if(Table.begin(), Table.end(),
                                  [&](const ReplyLength& r) { return r.function == function; });
    if (row == Table.end()) return -1;
    if (row->rule == LengthRule::Fixed) return row->length;
    return count < 3 ? 0 : row->length + frame[2];
}

} // namespace rtu
