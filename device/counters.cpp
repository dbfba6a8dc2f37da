#include "device/counters.h"

#include "device/adjustment.h"
#include "device/encodings.h"
#include "device/fieldcheck.h"

#include <algorithm>

namespace counters {

namespace {

// Two columns in each channel group; captions 24 pixels above their fields.
constexpr int ChannelLeft = 16, ChannelRight = 168, ChannelWidth = 137;
// Two columns in the verification group, captions 32 pixels above their fields.
constexpr int PovLeft = 136, PovRight = 352, PovWidth = 161;

const QString ShiftZeroKeys = QStringLiteral("0123456789,-.");

} // namespace

// One row per control, laid out to read like a table.
// clang-format off
const std::vector<Field>& fields() {
    static const std::vector<Field> rows{
        // Registers 0-15: the clock under the groups.
        {.name = "EditDateCounters", .caption = "Дата", .group = Group::Panel, .base = Base::Absolute, .reg = 0,
         .value = Value::Date, .place = {.x = 248, .y = 420, .width = 89, .captionY = 398}},
        {.name = "EditTimeCounters", .caption = "Время", .group = Group::Panel, .base = Base::Absolute, .reg = 0,
         .value = Value::ShortTime, .place = {.x = 352, .y = 420, .width = 65, .captionY = 398}},

        // Operation, in each channel's group: the measurement block from M.
        {.name = "EditConsuption", .caption = "Расход, м3/ч", .reg = 8, .value = Value::Formatted,
         .place = {.x = ChannelLeft, .y = 56, .width = ChannelWidth, .captionY = 32}},
        {.name = "EditVSum", .caption = "Суммарный объем, м3", .reg = 17, .value = Value::TotalVolume,
         .place = {.x = ChannelRight, .y = 56, .width = ChannelWidth, .captionY = 32}},
        {.name = "EditVPlus", .caption = "Объем +, м3", .reg = 17, .value = Value::ForwardVolume,
         .place = {.x = ChannelLeft, .y = 112, .width = ChannelWidth, .captionY = 88}},
        {.name = "EditVMinus", .caption = "Объем -, м3", .reg = 21, .value = Value::ReverseVolume,
         .place = {.x = ChannelRight, .y = 112, .width = ChannelWidth, .captionY = 88}},
        {.name = "EditSpeedFlow", .caption = "Скорость потока, м/с", .reg = 12, .value = Value::Fixed,
         .place = {.x = ChannelLeft, .y = 168, .width = ChannelWidth, .captionY = 144}},
        {.name = "EditSpeedSound", .caption = "Скорость звука, км/с", .reg = 10, .value = Value::Fixed,
         .place = {.x = ChannelRight, .y = 168, .width = ChannelWidth, .captionY = 144}},

        // Verification: the checked channel's flow and forward volume, the zero shift, the pulse output.
        {.name = "EditConsuptionPov", .caption = "Расход, м3/ч", .group = Group::Verification, .reg = 8,
         .value = Value::Formatted, .place = {.x = PovLeft, .y = 104, .width = PovWidth, .captionY = 72}},
        {.name = "EditVPov", .caption = "Объем, м3", .group = Group::Verification, .reg = 17,
         .value = Value::ForwardVolume, .place = {.x = PovRight, .y = 104, .width = PovWidth, .captionY = 72}},
        {.name = "EditShiftZeroPov", .caption = "Смещение нуля, м3", .group = Group::Verification,
         .base = Base::Absolute, .reg = ShiftZeroRegister, .value = Value::Fixed, .decimals = 2,
         .control = Control::Edit, .tag = ShiftZeroRegister, .keys = ShiftZeroKeys, .commaForDot = true,
         .place = {.x = PovLeft, .y = 184, .width = PovWidth, .captionY = 152}},
        {.name = "ComboBoxWorkModePulseExitPov", .caption = "Режим работы имп. вых.",
         .group = Group::Verification, .base = Base::Absolute, .reg = PulseModeRegister,
         .value = Value::ItemIndex, .control = Control::List, .tag = PulseModeRegister,
         .list = items::List::PulseOutputModes,
         .place = {.x = PovRight, .y = 184, .width = PovWidth, .captionY = 152}},
    };
    return rows;
}
// clang-format on

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

const Field* field(const QString& name) {
    const auto& rows = fields();
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&name](const Field& f) { return name == QLatin1String(f.name); });
    return found == rows.end() ? nullptr : &*found;
}

QString objectName(const Field& f, int channel) {
    const QString name = QString::fromLatin1(f.name);
    return f.group == Group::Channel ? name + QStringLiteral("Ch%1").arg(channel) : name;
}

int registerOf(const Field& f, int channel) {
    return f.base == Base::Measurement ? adjustment::measurementFirst(channel) + f.reg : f.reg;
}

std::optional<double> volume(Value value, const RegisterBlock& block, int channel) {
    const int m = adjustment::measurementFirst(channel);
    const auto forward = block.twoPart(m + 17);
    const auto reverse = block.twoPart(m + 21);
    switch (value) {
    case Value::ForwardVolume:
        return forward;
    case Value::ReverseVolume:
        return reverse;
    case Value::TotalVolume:
        if (!forward || !reverse) return std::nullopt;
        return *forward + *reverse;
    default:
        return std::nullopt;
    }
}

std::optional<QString> fieldText(const Field& f, const RegisterBlock& block, int channel) {
    const int reg = registerOf(f, channel);
    switch (f.value) {
    case Value::Date:
        return block.timeText(reg, enc::formatDate);
    case Value::ShortTime:
        return block.timeText(reg, enc::formatShortTime);
    case Value::Formatted:
        if (const auto v = block.f32(reg)) return enc::MyFormatFloat(*v);
        return std::nullopt;
    case Value::Fixed:
        if (const auto v = block.f32(reg)) return enc::formatFixed(*v, f.decimals);
        return std::nullopt;
    case Value::ForwardVolume:
    case Value::ReverseVolume:
    case Value::TotalVolume:
        // Summed in double precision, shown as the single-precision number nearest the sum; a sum
        // beyond single precision shows as infinite rather than as a wrong number.
        if (const auto v = volume(f.value, block, channel)) return enc::MyFormatFloat(float(*v));
        return std::nullopt;
    case Value::ItemIndex:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> itemIndex(const Field& f, const RegisterBlock& block, int channel) {
    if (f.value != Value::ItemIndex) return std::nullopt;
    if (const auto b = block.byte(registerOf(f, channel))) return int(*b);
    return std::nullopt;
}

std::optional<RegisterWrite> volumeReset(int reg) {
    if (reg != commandRegister(1) && reg != commandRegister(2)) return std::nullopt;
    return RegisterWrite{reg, 1, enc::u16Bytes(ResetVolumes)};
}

std::optional<RegisterWrite> checkShiftZero(const QString& text) {
    const Field* f = field(QStringLiteral("EditShiftZeroPov"));
    const auto value = fieldcheck::single(text, {f->keys, f->commaForDot, std::nullopt, std::nullopt});
    if (!value) return std::nullopt;
    return RegisterWrite{ShiftZeroRegister, 2, enc::f32Bytes(*value)};
}

RegisterWrite pulseModeWrite(int index) {
    return RegisterWrite{PulseModeRegister, 1, enc::u16Bytes(std::uint16_t(index))};
}

} // namespace counters
