#include "device/channelcondition.h"

namespace condition {

bool twoBeam(int channel, bool twoChannelMode) {
    return channel == 1 && !twoChannelMode;
}

std::uint8_t mask(int channel, bool twoChannelMode) {
    return twoBeam(channel, twoChannelMode) ? 0xFF : 0x3F;
}

bool deviceFailed(std::uint8_t failureByte) {
    return failureByte != 0 && failureByte != 0x80;
}

State state(std::uint8_t failureByte, std::uint8_t conditionByte, int channel, bool twoChannelMode) {
    if (deviceFailed(failureByte)) return State::Failure;
    return (conditionByte & mask(channel, twoChannelMode)) != 0 ? State::Abnormal : State::Normal;
}

} // namespace condition
