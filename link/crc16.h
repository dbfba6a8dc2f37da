#pragma once
// ModBus RTU CRC-16 (reflected 0xA001, start 0xFFFF), table-driven as the serial line guide gives it.
#include <QByteArray>
#include <cstdint>

namespace crc16 {
std::uint16_t compute(const std::uint8_t* data, int count);
inline std::uint16_t compute(const QByteArray& bytes) {
    return compute(reinterpret_cast<const std::uint8_t*>(bytes.constData()), int(bytes.size()));
}
// Appends the CRC low byte first.
QByteArray appended(QByteArray frame);
} // namespace crc16
