#pragma once
// Shared pieces of the simulator tests: a meter on a stopped clock, and request frames.
#include "device/encodings.h"
#include "hex.h"
#include "link/crc16.h"
#include "sim/devicemodel.h"

#include <QDateTime>
#include <cstring>

namespace simtest {

// 15.03.2024 10:30:00 on the device's clock.
inline quint32 startTime() {
    return enc::DateToSec(QDateTime(QDate(2024, 3, 15), QTime(10, 30), Qt::UTC));
}

inline sim::DeviceModel meter(sim::DeviceOptions options = {}, quint32 seed = 1) {
    return sim::DeviceModel(options, seed, startTime(), false);
}

// A request written as hex without its CRC.
inline QByteArray request(const char* hexText) {
    return crc16::appended(hex(hexText));
}

inline float floatOf(quint16 high, quint16 low) {
    const quint32 bits = (quint32(high) << 16) | low;
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

inline quint32 u32At(const QByteArray& b, int i) {
    return enc::u32(reinterpret_cast<const std::uint8_t*>(b.constData()) + i);
}

} // namespace simtest
