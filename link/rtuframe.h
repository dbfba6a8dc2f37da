#pragma once
// One ModBus RTU frame as it came off the line (address, function, data, CRC), read through
// accessors that never pass the bytes that arrived, and the table that tells how long the reply
// to each function is.
#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <optional>

class RtuFrame {
  public:
    RtuFrame() = default;
    // The whole frame, CRC included.
    explicit RtuFrame(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    const QByteArray& bytes() const { return m_bytes; }
    int size() const { return int(m_bytes.size()); }
    // -1 when the frame is too short to hold one.
    int address() const { return byteAt(0); }
    int function() const { return byteAt(1); }
    bool isException() const { return function() >= 0 && (function() & 0x80) != 0; }
    // The code of an exception frame; 0 for anything else.
    int exceptionCode() const { return isException() ? std::max(0, byteAt(2)) : 0; }
    // What lies between the function and the CRC.
    QByteArray data() const { return size() < 4 ? QByteArray() : m_bytes.mid(2, size() - 4); }
    // The CRC over the whole frame checks (an empty frame never does).
    bool crcOk() const;
    // A read reply's data after its byte count, only when the count matches the frame's length.
    std::optional<QByteArray> countedData() const;
    // Bit n (from 0) of a coil or input read's counted data; nothing past it.
    std::optional<bool> bit(int n) const;

  private:
    int byteAt(int i) const { return i < size() ? std::uint8_t(m_bytes[i]) : -1; }
    QByteArray m_bytes;
};

namespace rtu {

// How long the reply to a function is: a fixed number of bytes, or the byte count at index 2 plus
// the bytes around it (address, function, count and CRC).
enum class LengthRule { Fixed, ByteCount };

struct ReplyLength {
    int function = 0;
    LengthRule rule = LengthRule::ByteCount;
    int length = 5; // Fixed: the whole frame; ByteCount: the frame without the counted bytes
};

// The length of the reply frame that starts with these bytes: 0 while too few have come to tell,
// -1 when no row of the table fixes it. An exception is always five bytes.
int expectedReplyLength(const std::uint8_t* frame, int count);

} // namespace rtu
