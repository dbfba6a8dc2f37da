#pragma once
// What a channel's condition display shows, decided from the device's failure byte (register 252)
// and the channel's condition byte (register 254 or 255). Shared by every view with such a display.
#include <cstdint>

namespace condition {

enum class State { Normal, Abnormal, Failure };

constexpr int FailureRegister = 252;
// Register of the condition byte of channel 1 or 2.
constexpr int conditionRegister(int channel) {
    return channel == 2 ? 255 : 254;
}

// Channel 1 reports its two beams apart (bits 6 and 7) only while the channels work as two beams
// of one path.
bool twoBeam(int channel, bool twoChannelMode);
std::uint8_t mask(int channel, bool twoChannelMode);

// 0x80 on its own is not a failure: that bit carries no failure number.
bool deviceFailed(std::uint8_t failureByte);

// A failure of the device overrides whatever the channel reports.
State state(std::uint8_t failureByte, std::uint8_t conditionByte, int channel, bool twoChannelMode);

} // namespace condition
