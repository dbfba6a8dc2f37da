#include "device/registerwrite.h"

#include "device/encodings.h"

std::uint16_t RegisterWrite::value() const {
    if (data.size() < 2) return 0;
    return enc::u16(reinterpret_cast<const std::uint8_t*>(data.constData()));
}
