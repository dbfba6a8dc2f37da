#pragma once
// A write the device receives: function 6 for one register, 16 for more.
#include <QByteArray>
#include <cstdint>

struct RegisterWrite {
    int reg = 0;
    int count = 1;
    QByteArray data; // 2 bytes per register, high byte first
    std::uint16_t value() const;
    bool operator==(const RegisterWrite&) const = default;
};
