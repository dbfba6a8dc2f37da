#pragma once
// The data of one function-3 reply (or a whole register image) with its first register number.
// Typed accessors refuse to read past what was received instead of decoding stale bytes.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

class TModBus;

class RegisterBlock {
  public:
    RegisterBlock() = default;
    // data: 2 bytes per register, high byte first, for registers first, first+1, ...
    RegisterBlock(int first, QByteArray data);
    // From the engine's last reply to ReadHoldingRegisters(first, ...): empty unless the reply is
    // accepted and its byte count fits what arrived.
    static std::optional<RegisterBlock> fromReply(const TModBus& engine, int first);
    // Sends ReadHoldingRegisters and gives the block only when the reply holds every register asked for.
    static std::optional<RegisterBlock> read(TModBus& engine, int address, int first, int count);

    int first() const { return m_first; }
    int count() const { return int(m_data.size() / 2); }
    bool has(int reg, int registers = 1) const;
    const QByteArray& data() const { return m_data; }

    std::optional<std::uint8_t> byte(int reg) const;
    std::optional<std::uint16_t> u16(int reg) const;
    std::optional<std::int16_t> s16(int reg) const;
    std::optional<std::uint32_t> u32(int reg) const;
    std::optional<float> f32(int reg) const;
    std::optional<std::uint32_t> time(int reg) const; // device seconds
    // The device time as its wall-clock text in one of enc's patterns (enc::formatDate, ...).
    std::optional<QString> timeText(int reg, QString (*pattern)(const QDateTime&)) const;
    std::optional<double> twoPart(int reg) const;

  private:
    const std::uint8_t* at(int reg, int registers) const;
    int m_first = 0;
    QByteArray m_data;
};
