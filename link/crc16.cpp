#include "link/crc16.h"

#include <array>

namespace {

// The two halves of the CRC table as the ModBus serial line guide prints them: high and low byte of
// the running value, indexed by (crc_lo ^ byte).
constexpr std::array<std::uint8_t, 256> makeTable(bool high) {
    std::array<std::uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[i] = high ? std::uint8_t(crc & 0xFF) : std::uint8_t(crc >> 8);
    }
    return table;
}

constexpr auto auchCRCHi = makeTable(true);
constexpr auto auchCRCLo = makeTable(false);

static_assert(auchCRCHi[1] == 0xC1 && auchCRCLo[1] == 0xC0, "first table entries of the guide");
static_assert(auchCRCHi[255] == 0x40 && auchCRCLo[255] == 0x40, "last table entries of the guide");

} // namespace

namespace crc16 {

std::uint16_t compute(const std::uint8_t* data, int count) {
    std::uint8_t hi = 0xFF;
    std::uint8_t lo = 0xFF;
    for (int i = 0; i < count; ++i) {
        const unsigned index = hi ^ data[i];
        hi = std::uint8_t(lo ^ auchCRCHi[index]);
        lo = auchCRCLo[index];
    }
    // "hi" is the byte sent first, which is the low byte of the CRC value.
    return std::uint16_t(lo << 8 | hi);
}

QByteArray appended(QByteArray frame) {
    const std::uint16_t crc = compute(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

} // namespace crc16
