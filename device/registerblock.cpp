#include "device/registerblock.h"

#include "device/encodings.h"

#include <utility>

RegisterBlock::RegisterBlock(int first, QByteArray data) : m_first(first), m_data(std::move(data)) {}

bool RegisterBlock::has(int reg, int registers) const {
    if (registers < 1) return false;
    // 64-bit so that a register number near INT_MAX cannot wrap into the block.
    const qint64 begin = qint64(reg) - m_first;
    return begin >= 0 && begin + registers <= count();
}

const std::uint8_t* RegisterBlock::at(int reg, int registers) const {
    if (!has(reg, registers)) return nullptr;
    return reinterpret_cast<const std::uint8_t*>(m_data.constData()) + 2 * (qint64(reg) - m_first);
}

std::optional<std::uint8_t> RegisterBlock::byte(int reg) const {
    const std::uint8_t* p = at(reg, 1);
    if (!p) return std::nullopt;
    return enc::registerByte(enc::u16(p));
}

std::optional<std::uint16_t> RegisterBlock::u16(int reg) const {
    const std::uint8_t* p = at(reg, 1);
    if (!p) return std::nullopt;
    return enc::u16(p);
}

std::optional<std::int16_t> RegisterBlock::s16(int reg) const {
    const std::uint8_t* p = at(reg, 1);
    if (!p) return std::nullopt;
    return enc::s16(p);
}

std::optional<std::uint32_t> RegisterBlock::u32(int reg) const {
    const std::uint8_t* p = at(reg, 2);
    if (!p) return std::nullopt;
    return enc::u32(p);
}

std::optional<float> RegisterBlock::f32(int reg) const {
    const std::uint8_t* p = at(reg, 2);
    if (!p) return std::nullopt;
    return enc::f32(p);
}

std::optional<std::uint32_t> RegisterBlock::time(int reg) const {
    return u32(reg);
}

std::optional<QString> RegisterBlock::timeText(int reg, QString (*pattern)(const QDateTime&)) const {
    const auto seconds = time(reg);
    if (!seconds) return std::nullopt;
    return pattern(enc::SecToDate(*seconds));
}

std::optional<double> RegisterBlock::twoPart(int reg) const {
    const std::uint8_t* p = at(reg, 4);
    if (!p) return std::nullopt;
    return enc::twoPart(p);
}
