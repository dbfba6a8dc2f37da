#pragma once
// The legend of the device's failures and a channel's abnormal situations: one row per bit of the
// failure byte (register 252) and of the channel's condition byte (254 or 255), and which rows are
// lit by the bytes the device reports.
#include "device/channelcondition.h"
#include "device/registerblock.h"

#include <QString>
#include <array>
#include <optional>

namespace legend {

// The legend reads the failure byte and both condition bytes at once.
constexpr int FirstRegister = condition::FailureRegister;
constexpr int RegisterCount = 4;
constexpr int FailureCount = 7;   // bits 0-6 are failures 1-7
constexpr int ConditionCount = 8; // bits 0-7 of the condition byte
// The condition bit whose text takes the suffix naming the first beam in two-beam operation.
constexpr int NoSignalBit = 3;

struct ConditionRow {
    QString text;
    bool twoBeamOnly = false; // a row of channel 1 in two-beam operation only
};
const std::array<ConditionRow, ConditionCount>& conditionRows();
QString failureText(int index); // "Отказ 1" .. "Отказ 7" for index 0..6
QString firstBeamSuffix();      // "в первом луче"

struct Markers {
    std::array<bool, FailureCount> failures{};
    std::array<bool, ConditionCount> conditions{};
    bool twoBeamRows = false; // the rows and the suffix of two-beam operation are shown
};

// The lit markers for the channel named by the pressed button's Tag (1: channel 1, any other value:
// channel 2), from a read of registers 252-255; nothing when the block does not hold them.
std::optional<Markers> markers(const RegisterBlock& block, int channelTag, bool twoChannelMode);

} // namespace legend
