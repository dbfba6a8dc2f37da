#include "link/rtuframe.h"

#include "link/crc16.h"

#include <QList>
#include <algorithm>

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

// The standard functions the meter serves or a master may meet on a shared line.
QList<ReplyLength>& table() {
    static QList<ReplyLength> rows{
        {.function = 1},
        {.function = 2},
        {.function = 3},
        {.function = 4},
        {.function = 5, .rule = LengthRule::Fixed, .length = 8},
        {.function = 6, .rule = LengthRule::Fixed, .length = 8},
        {.function = 15, .rule = LengthRule::Fixed, .length = 8},
        {.function = 16, .rule = LengthRule::Fixed, .length = 8},
        {.function = 17},
    };
    return rows;
}

} // namespace

void registerReplyLength(const ReplyLength& row) {
    QList<ReplyLength>& rows = table();
    rows.removeIf([&](const ReplyLength& r) { return r.function == row.function; });
    rows.append(row);
}

int expectedReplyLength(const std::uint8_t* frame, int count) {
    if (count < 2) return 0;
    const int function = frame[1];
    if (function & 0x80) return 5;
    const QList<ReplyLength>& rows = table();
    const auto row =
        std::find_if(rows.begin(), rows.end(), [&](const ReplyLength& r) { return r.function == function; });
    if (row == rows.end()) return -1;
    if (row->rule == LengthRule::Fixed) return row->length;
    return count < 3 ? 0 : row->length + frame[2];
}

} // namespace rtu
