#include "device/counters.h"

#include "device/adjustment.h"
#include "device/encodings.h"

#include <algorithm>

namespace counters {

namespace {

using namespace param;
using enum Group;

// Two columns in each channel group; captions 24 pixels above their fields.
constexpr int ChannelLeft = 16, ChannelRight = 168, ChannelWidth = 137;
// Two columns in the verification group, captions 32 pixels above their fields.
constexpr int PovLeft = 136, PovRight = 352, PovWidth = 161;

constexpr Place channelPlace(int x, int y) {
    return {.x = x, .y = y, .width = ChannelWidth, .captionAbove = 24};
}
constexpr Place povPlace(int x, int y) {
    return {.x = x, .y = y, .width = PovWidth, .captionAbove = 32};
}

constexpr Where Clock{.group = Panel};
constexpr Where Settings{.group = Verification};

// The channel's measurement block, from its first register.
constexpr int M = adjustment::measurementFirst(1);
constexpr int NextM = adjustment::measurementFirst(2) - M;

// One row per control, laid out to read like a table.
// clang-format off
constexpr Row Rows[] = {
    // Registers 0-15: the clock under the groups.
    {{.name = "EditDateCounters", .caption = "Дата", .reg = 0, .encoding = Encoding::DeviceTime,
      .shown = Shown::Date, .place = {.x = 248, .y = 420, .width = 89, .captionAbove = 22}}, Clock},
    {{.name = "EditTimeCounters", .caption = "Время", .reg = 0, .encoding = Encoding::DeviceTime,
      .shown = Shown::ShortTime, .place = {.x = 352, .y = 420, .width = 65, .captionAbove = 22}}, Clock},

    // Operation, in each channel's group: the measurement block from M.
    {{.name = "EditConsuption", .caption = "Расход, м3/ч", .reg = M + 8, .channelStride = NextM,
      .shown = Shown::Formatted, .place = channelPlace(ChannelLeft, 56)}},
    {{.name = "EditVSum", .caption = "Суммарный объем, м3", .reg = M + 17, .channelStride = NextM,
      .shown = Shown::Derived, .place = channelPlace(ChannelRight, 56)}, {.volume = Volume::Total}},
    {{.name = "EditVPlus", .caption = "Объем +, м3", .reg = M + 17, .channelStride = NextM, .shown = Shown::Derived,
      .place = channelPlace(ChannelLeft, 112)}, {.volume = Volume::Forward}},
    {{.name = "EditVMinus", .caption = "Объем -, м3", .reg = M + 21, .channelStride = NextM, .shown = Shown::Derived,
      .place = channelPlace(ChannelRight, 112)}, {.volume = Volume::Reverse}},
    {{.name = "EditSpeedFlow", .caption = "Скорость потока, м/с", .reg = M + 12, .channelStride = NextM,
      .pattern = "0.0000", .place = channelPlace(ChannelLeft, 168)}},
    {{.name = "EditSpeedSound", .caption = "Скорость звука, км/с", .reg = M + 10, .channelStride = NextM,
      .pattern = "0.0000", .place = channelPlace(ChannelRight, 168)}},

    // Verification: the checked channel's flow and forward volume, the zero shift, the pulse output.
    {{.name = "EditConsuptionPov", .caption = "Расход, м3/ч", .reg = M + 8, .channelStride = NextM,
      .shown = Shown::Formatted, .place = povPlace(PovLeft, 104)}, {.group = Verification}},
    {{.name = "EditVPov", .caption = "Объем, м3", .reg = M + 17, .channelStride = NextM, .shown = Shown::Derived,
      .place = povPlace(PovRight, 104)}, {.group = Verification, .volume = Volume::Forward}},
    // No limits: any shift the device takes.
    {{.name = "EditShiftZeroPov", .caption = "Смещение нуля, м3", .reg = ShiftZeroRegister, .control = Control::Edit,
      .tag = TagIsRegister, .keys = "0123456789,-.", .refusal = Refusal::KeepText, .poll = Poll::PausedWhileTyping,
      .place = povPlace(PovLeft, 184)}, Settings},
    {{.name = "ComboBoxWorkModePulseExitPov", .caption = "Режим работы имп. вых.", .reg = PulseModeRegister,
      .encoding = Encoding::RegisterByte, .control = Control::List, .tag = TagIsRegister,
      .list = items::List::PulseOutputModes, .fill = ItemFill::Direct, .place = povPlace(PovRight, 184)}, Settings},
};
// clang-format on

} // namespace

std::span<const Row> rows() {
    return Rows;
}

std::optional<Layout> layoutOf(std::uint8_t workMode) {
    switch (workMode) {
    case 0:
        return Layout::Operation;
    case 1:
        return Layout::Verification;
    default:
        return std::nullopt;
    }
}

Read verificationRead(int channel) {
    return {adjustment::measurementFirst(channel) + 8, 13};
}

int commandRegister(int channel) {
    return channel == 2 ? 28 : 27;
}

const Row* row(const QString& name) {
    for (const Row& r : Rows)
        if (name == QLatin1String(r.field.name)) return &r;
    return nullptr;
}

QString objectName(const Row& r, int channel) {
    const QString name = QString::fromLatin1(r.field.name);
    return r.where.group == Group::Channel ? name + QStringLiteral("Ch%1").arg(channel) : name;
}

std::optional<double> volume(Volume which, const RegisterBlock& block, int channel) {
    const int m = adjustment::measurementFirst(channel);
    const auto forward = block.twoPart(m + 17);
    const auto reverse = block.twoPart(m + 21);
    switch (which) {
    case Volume::Forward:
        return forward;
    case Volume::Reverse:
        return reverse;
    case Volume::Total:
        if (!forward || !reverse) return std::nullopt;
        return *forward + *reverse;
    case Volume::None:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> fieldText(const Row& r, const RegisterBlock& block, int channel) {
    // Summed in double precision, shown as the single-precision number nearest the sum; a sum
    // beyond single precision shows as infinite rather than as a wrong number.
    if (r.where.volume != Volume::None) {
        if (const auto v = volume(r.where.volume, block, channel)) return enc::MyFormatFloat(float(*v));
        return std::nullopt;
    }
    return param::fieldText(r.field, registerFor(r.field, channel), block);
}

std::optional<RegisterWrite> volumeReset(int reg) {
    if (reg != commandRegister(1) && reg != commandRegister(2)) return std::nullopt;
    return RegisterWrite{reg, 1, enc::u16Bytes(ResetVolumes)};
}

} // namespace counters
