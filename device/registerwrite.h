#pragma once
// A write the device receives (function 6 for one register, 16 for more), and the steps of the
// device's command sequences.
#include <QByteArray>
#include <cstdint>

struct RegisterWrite {
    int reg = 0;
    int count = 1;
    QByteArray data; // 2 bytes per register, high byte first
    std::uint16_t value() const;
    bool operator==(const RegisterWrite&) const = default;
};

// One step of a command sequence (initialisation, clearing): a write and whether the 500 ms pause
// follows it.
struct CommandStep {
    int reg;
    std::uint16_t value;
    bool pauseAfter;
};
