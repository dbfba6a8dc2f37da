#pragma once
// Registers for decoding tests: `count` zero registers from `first`, set one by one, typed or from
// hex text (several registers in a row may be given at once).
#include "device/registerblock.h"
#include "hex.h"

#include <QByteArray>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <utility>

class TestRegisters {
  public:
    TestRegisters(int first, int count) : m_first(first), m_bytes(2 * count, '\0') {}

    TestRegisters& hex(int reg, const char* text) {
        const QByteArray b = ::hex(text);
        m_bytes.replace(2 * (reg - m_first), b.size(), b);
        return *this;
    }
    TestRegisters& u16(int reg, std::uint16_t v) {
        m_bytes[2 * (reg - m_first)] = char(v >> 8);
        m_bytes[2 * (reg - m_first) + 1] = char(v);
        return *this;
    }
    TestRegisters& u32(int reg, std::uint32_t v) {
        return u16(reg, std::uint16_t(v >> 16)).u16(reg + 1, std::uint16_t(v));
    }
    TestRegisters& f32(int reg, float v) { return u32(reg, std::bit_cast<std::uint32_t>(v)); }

    RegisterBlock block() const { return RegisterBlock(m_first, m_bytes); }

  private:
    int m_first;
    QByteArray m_bytes;
};

inline RegisterBlock registerBlock(int first, int count,
                                   std::initializer_list<std::pair<int, const char*>> words) {
    TestRegisters registers(first, count);
    for (auto [reg, bytes] : words)
        registers.hex(reg, bytes);
    return registers.block();
}
