#include "device/adjustment.h"

#include "device/channelcondition.h"
#include "device/encodings.h"
#include "device/fieldcheck.h"

#include <cmath>

namespace adjustment {

namespace {

const QString Digits = QStringLiteral("0123456789");
const QString Fraction = QStringLiteral("0123456789,.");
const QString SignedFraction = QStringLiteral("0123456789,-.");
const QString SignedDigits = QStringLiteral("0123456789-");

// Columns of the panel; captions sit 16 pixels above their fields.
constexpr int MeasureX = 368, MeasureWidth = 137;
constexpr int RightX = 520, RightWidth = 145;
constexpr int BoundX = 232, BoundWidth = 105;

constexpr int ChannelCount = 2;
constexpr int Bases[ChannelCount] = {36, 119};
constexpr int MeasurementFirsts[ChannelCount] = {202, 227};
constexpr int ChannelBlockCount = 72;

// Tag -> register of the gain fields and their up-downs, and of the window shift.
struct TaggedRegister {
    int tag;
    int channel1;
    int channel2;
};
constexpr TaggedRegister TaggedRegisters[] = {
    {.tag = 1, .channel1 = 7, .channel2 = 6},    // amplitude
    {.tag = 2, .channel1 = 2, .channel2 = 4},    // gain
    {.tag = 3, .channel1 = 3, .channel2 = 5},    // threshold
    {.tag = 4, .channel1 = 78, .channel2 = 161}, // window shift, channel base + 42
};
constexpr int WindowShiftTag = 4;

int channelIndex(int channel) {
    return channel == 2 ? 1 : 0;
}

// One row per control, laid out to read like a table.
// clang-format off
const std::vector<Field>& table() {
    static const std::vector<Field> rows{
        // Block A: registers 0-17.
        {.name = "EditDateAdj", .caption = "Дата", .block = Block::System, .reg = 0, .value = Value::Date,
         .place = {.x = 40, .y = 416, .width = 73, .captionX = 8, .captionY = 419}},
        {.name = "EditTimeAdj", .caption = "Время", .block = Block::System, .reg = 0,
         .value = Value::ShortTime, .place = {.x = 168, .y = 416, .width = 57, .captionX = 128, .captionY = 419}},
        {.name = "EditResist1", .caption = "Амплитуда", .parent = "GroupRegulation", .block = Block::System,
         .value = Value::Byte, .control = Control::Edit, .tag = 1, .editor = Editor::Resist, .keys = Digits,
         .min = 0, .max = 255, .place = {.x = 16, .y = 80, .width = 45, .captionX = 10, .captionY = 106}},
        {.name = "EditResist2", .caption = "Усиление", .parent = "GroupRegulation", .block = Block::System,
         .value = Value::Byte, .control = Control::Edit, .tag = 2, .editor = Editor::Resist, .keys = Digits,
         .min = 0, .max = 255, .place = {.x = 76, .y = 80, .width = 45, .captionX = 73, .captionY = 106}},
        {.name = "EditResist3", .caption = "Порог", .parent = "GroupRegulation", .block = Block::System,
         .value = Value::Byte, .control = Control::Edit, .tag = 3, .editor = Editor::Resist, .keys = Digits,
         .min = 0, .max = 255, .place = {.x = 136, .y = 80, .width = 45, .captionX = 143, .captionY = 106}},

        // Block B: the channel block from its base.
        {.name = "EditInternalDiameter", .caption = "Внутренний диаметр, мм", .reg = 0,
         .value = Value::InternalDiameter, .place = {.x = RightX, .y = 176, .width = RightWidth}},
        {.name = "Edithst", .caption = "h ст. калибров., мм", .parent = "GroupBox1", .reg = CalibrationWallReg,
         .value = Value::Float, .control = Control::Edit, .tag = CalibrationWallReg,
         .editor = Editor::DopPauseUZS, .keys = Fraction, .commaForDot = true, .min = 0.1, .max = 100,
         .place = {.x = 168, .y = 76, .width = 137}},
        {.name = "EditShiftdT", .caption = "Смещение dT, мкс", .parent = "GroupBoxShiftdT", .reg = OffsetReg,
         .value = Value::Float, .decimals = 5, .control = Control::Edit, .tag = OffsetReg,
         .editor = Editor::ShiftdT, .keys = SignedFraction, .commaForDot = true,
         .place = {.x = 8, .y = 26, .width = 113}},
        {.name = "EditDopPauseUZS", .caption = "Доп. задерж. УЗС, мкс", .parent = "GroupBox1", .reg = DelayReg,
         .value = Value::Float, .control = Control::Edit, .tag = DelayReg, .editor = Editor::DopPauseUZS,
         .keys = Fraction, .commaForDot = true, .place = {.x = 168, .y = 32, .width = 137}},
        {.name = "EditHighBound", .caption = "Верхняя уставка, м3/ч", .reg = 38, .value = Value::Float,
         .control = Control::Edit, .tag = 38, .editor = Editor::ShiftdT, .keys = SignedFraction,
         .commaForDot = true, .min = 0, .max = 100000, .place = {.x = BoundX, .y = 88, .width = BoundWidth}},
        {.name = "EditLowBound", .caption = "Нижняя уставка, м3/ч", .reg = 40, .value = Value::Float,
         .control = Control::Edit, .tag = 40, .editor = Editor::ShiftdT, .keys = SignedFraction,
         .commaForDot = true, .min = 0, .max = 100000, .place = {.x = BoundX, .y = 128, .width = BoundWidth}},
        {.name = "EditShiftWin", .parent = "GroupBoxShiftWin", .reg = 42, .value = Value::S16,
         .control = Control::Edit, .tag = WindowShiftTag, .editor = Editor::ShiftWin, .keys = SignedDigits,
         .min = -127, .max = 127, .place = {.x = 8, .y = 20, .width = 65}},
        {.name = "RadioGroupRevers", .caption = "Направление потока", .reg = 46, .value = Value::ItemIndex,
         .control = Control::RadioGroup, .tag = 46, .items = {"прямое", "обратное"},
         .place = {.x = 216, .y = 152, .width = 129, .height = 57}},
        {.name = "RadioEnabledChannel", .caption = " Включение канала ", .reg = 48, .value = Value::ItemIndex,
         .control = Control::RadioGroup, .tag = 48, .items = {"Выключен", "Включен"},
         .place = {.x = 232, .y = 8, .width = 113, .height = 57}},
        {.name = "RadioGroupFlowSpeedCorr", .caption = "Коррекция скорости потока", .reg = 49,
         .value = Value::ItemIndex, .control = Control::RadioGroup, .tag = 49,
         .items = {"Выключена", "Включена"}, .place = {.x = 8, .y = 344, .width = 193, .height = 57}},
        {.name = "RadioGroupFormZI", .caption = " Форма ЗИ ", .reg = 50, .value = Value::ItemIndex,
         .control = Control::RadioGroup, .tag = 50, .items = {"1", "2"},
         .place = {.x = 8, .y = 256, .width = 89, .height = 65}},
        {.name = "RadioGroupInversZI", .caption = " Инверсия ЗИ ", .reg = 51, .value = Value::ItemIndex,
         .control = Control::RadioGroup, .tag = 51, .items = {"Выключена", "Включена"},
         .place = {.x = 104, .y = 256, .width = 97, .height = 65}},
        {.name = "EditAutoCycles", .caption = "Число цикл. автоцирк.", .reg = 71, .value = Value::Cycles,
         .place = {.x = RightX, .y = 80, .width = RightWidth}},

        // Block C: the measurement block from its first register.
        {.name = "EditTimeDifference", .caption = "Время разности, мкс", .block = Block::Measurement, .reg = 0,
         .value = Value::Float, .decimals = 5, .place = {.x = MeasureX, .y = 32, .width = MeasureWidth}},
        {.name = "EditTimePolSum", .caption = "Время полусуммы, мкс", .block = Block::Measurement, .reg = 2,
         .value = Value::Float, .place = {.x = MeasureX, .y = 80, .width = MeasureWidth}},
        {.name = "EditTimeWin", .caption = "Длина окна, мкс", .block = Block::Measurement, .reg = 2,
         .value = Value::WindowLength, .place = {.x = MeasureX, .y = 128, .width = MeasureWidth}},
        {.name = "EditTimeStartWin", .caption = "Время начала окна, мкс", .block = Block::Measurement,
         .reg = 4, .value = Value::Float, .place = {.x = MeasureX, .y = 176, .width = MeasureWidth}},
        {.name = "EditPauseZI", .caption = "Задержка ЗИ, мкс", .block = Block::Measurement, .reg = 6,
         .value = Value::Float, .place = {.x = RightX, .y = 128, .width = RightWidth}},
        {.name = "EditConsuption", .caption = "Расход, м3/ч", .block = Block::Measurement, .reg = 8,
         .value = Value::Formatted, .place = {.x = RightX, .y = 32, .width = RightWidth}},

        // The calculators' fields: typed by the operator, never read.
        {.name = "EditSpeedSoundPEA", .caption = "Скорость звука, км/с", .parent = "GroupBoxPEA",
         .control = Control::Edit, .editor = Editor::SpeedSoundPEA, .keys = Fraction, .commaForDot = true,
         .place = {.x = 16, .y = 32, .width = 137}},
        // The result of the spacing calculator; what is typed there is never used.
        {.name = "EditAxialBase", .caption = "Осевая база, мм", .parent = "GroupBoxPEA",
         .control = Control::Edit, .place = {.x = 168, .y = 32, .width = 137}},
        {.name = "EditSpeedSound", .caption = "Скорость звука, км/с", .parent = "GroupBox1",
         .control = Control::Edit, .editor = Editor::SpeedSound, .keys = Fraction, .commaForDot = true,
         .place = {.x = 16, .y = 32, .width = 137}},
    };
    return rows;
}
// clang-format on

} // namespace

int channelBase(int channel) {
    return Bases[channelIndex(channel)];
}

int measurementFirst(int channel) {
    return MeasurementFirsts[channelIndex(channel)];
}

std::array<Read, 3> reads(int channel) {
    const int first = measurementFirst(channel);
    // Each channel's block ends with its own condition byte, and both hold the failure byte 252.
    const int last = condition::conditionRegister(channel);
    return {Read{0, 18}, Read{channelBase(channel), ChannelBlockCount}, Read{first, last - first + 1}};
}

const std::vector<Field>& fields() {
    return table();
}

const Field* field(const QString& name) {
    for (const Field& f : table()) {
        if (name == QLatin1String(f.name)) return &f;
    }
    return nullptr;
}

const Field* fieldWithTag(int tag) {
    for (const Field& f : table()) {
        if (f.tag == tag && f.control == Control::Edit) return &f;
    }
    return nullptr;
}

// clang-format off
const std::vector<Group>& groups() {
    static const std::vector<Group> list{
        {"GroupRegulation", " Регулировка ", {.x = 8, .y = 80, .width = 193, .height = 153}},
        {"GroupBoxShiftWin", " Смещение окна ", {.x = 216, .y = 216, .width = 129, .height = 49}},
        {"GroupBoxShiftdT", "", {.x = 216, .y = 272, .width = 129, .height = 81}},
        {"GroupBoxPEA", " Установка накладных ПЭА", {.x = 352, .y = 208, .width = 313, .height = 60}},
        // The calibration: the sound speed typed on the left, what it gives on the right.
        {"GroupBox1", "", {.x = 352, .y = 272, .width = 313, .height = 105}},
    };
    return list;
}

const std::vector<UpDownSpec>& upDowns() {
    static const std::vector<UpDownSpec> list{
        {"UpDownResist1", "GroupRegulation", 1, 0, 255, false, {.x = 29, .y = 20, .width = 19, .height = 54}},
        {"UpDownResist2", "GroupRegulation", 2, 0, 255, false, {.x = 89, .y = 20, .width = 19, .height = 54}},
        {"UpDownResist3", "GroupRegulation", 3, 0, 255, false, {.x = 149, .y = 20, .width = 19, .height = 54}},
        {"UpDownShiftWin", "GroupBoxShiftWin", WindowShiftTag, -127, 127, true,
         {.x = 80, .y = 20, .width = 38, .height = 21}},
    };
    return list;
}

const std::vector<ButtonSpec>& buttons() {
    static const std::vector<ButtonSpec> list{
        {"ButtonShiftdTStart", "Начало", "GroupBoxShiftdT", 1, true, {.x = 8, .y = 52, .width = 55, .height = 23}},
        {"ButtonShiftdTEnd", "Конец", "GroupBoxShiftdT", -1, false, {.x = 66, .y = 52, .width = 55, .height = 23}},
    };
    return list;
}

// clang-format on

Place conditionPlace() {
    return {.x = 8, .y = 8, .width = 209, .height = 49};
}

std::optional<int> taggedRegister(int tag, int channel) {
    for (const TaggedRegister& t : TaggedRegisters) {
        if (t.tag == tag) return channel == 2 ? t.channel2 : t.channel1;
    }
    return std::nullopt;
}

int absoluteRegister(const Field& f, int channel) {
    switch (f.block) {
    case Block::System:
        return f.reg >= 0 ? f.reg : taggedRegister(f.tag, channel).value_or(-1);
    case Block::Channel:
        return f.reg >= 0 ? channelBase(channel) + f.reg : -1;
    case Block::Measurement:
        return f.reg >= 0 ? measurementFirst(channel) + f.reg : -1;
    }
    return -1;
}

std::optional<float> internalDiameter(const RegisterBlock& channelBlock, int base, int sensorType) {
    if (sensorType == UBendSensor) return channelBlock.f32(base + 34);
    const auto circumference = channelBlock.f32(base + 0);
    const auto wall = channelBlock.f32(base + WallReg);
    if (!circumference || !wall) return std::nullopt;
    // The device's own value of pi, in extended precision, then stored as single.
    const long double d = (long double)*circumference / 3.14159L - 2.0L * (long double)*wall;
    return float(d);
}

std::optional<float> windowLength(const RegisterBlock& block, int halfSumReg) {
    const auto halfSum = block.f32(halfSumReg);
    const auto start = block.f32(halfSumReg + 2);
    if (!halfSum || !start) return std::nullopt;
    return *halfSum - *start;
}

std::optional<QString> fieldText(const Field& f, const RegisterBlock& block, const Context& context) {
    const int reg = absoluteRegister(f, context.channel);
    if (reg < 0) return std::nullopt;
    switch (f.value) {
    case Value::None:
    case Value::ItemIndex:
        return std::nullopt;
    case Value::Date:
        return block.timeText(reg, enc::formatDate);
    case Value::ShortTime:
        return block.timeText(reg, enc::formatShortTime);
    case Value::Byte:
    case Value::S16:
    case Value::Cycles:
        if (const auto n = fieldNumber(f, block, context)) return QString::number(*n);
        return std::nullopt;
    case Value::Float:
        if (const auto v = block.f32(reg)) return enc::formatFixed(*v, f.decimals);
        return std::nullopt;
    case Value::Formatted:
        if (const auto v = block.f32(reg)) return enc::MyFormatFloat(*v);
        return std::nullopt;
    case Value::InternalDiameter: {
        if (!context.sensorType) return std::nullopt;
        if (const auto d = internalDiameter(block, channelBase(context.channel), *context.sensorType))
            return enc::formatFixed(*d, f.decimals);
        return std::nullopt;
    }
    case Value::WindowLength:
        if (const auto length = windowLength(block, reg)) return enc::formatFixed(*length, f.decimals);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> fieldNumber(const Field& f, const RegisterBlock& block, const Context& context) {
    const int reg = absoluteRegister(f, context.channel);
    if (reg < 0) return std::nullopt;
    switch (f.value) {
    case Value::Byte:
    case Value::ItemIndex:
        if (const auto b = block.byte(reg)) return int(*b);
        return std::nullopt;
    case Value::S16:
        if (const auto v = block.s16(reg)) return int(*v);
        return std::nullopt;
    case Value::Cycles:
        if (const auto b = block.byte(reg)) return int(*b) * 8;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

namespace {
fieldcheck::Rule rule(const Field& f) {
    return {f.keys, f.commaForDot, f.min, f.max};
}
} // namespace

std::optional<RegisterWrite> checkEdit(const Field& f, const QString& text, int channel) {
    const int reg = absoluteRegister(f, channel);
    if (f.control != Control::Edit || reg < 0) return std::nullopt;
    switch (f.value) {
    case Value::Byte:
    case Value::S16: {
        const auto value = fieldcheck::integer(text, rule(f));
        if (!value) return std::nullopt;
        return RegisterWrite{reg, 1, enc::u16Bytes(std::uint16_t(std::int16_t(*value)))};
    }
    case Value::Float: {
        const auto value = fieldcheck::single(text, rule(f));
        if (!value) return std::nullopt;
        return floatWrite(reg, *value);
    }
    default:
        return std::nullopt;
    }
}

std::optional<float> typedSpeed(const Field& f, const QString& text) {
    return fieldcheck::single(text, rule(f));
}

std::optional<RegisterWrite> upDownWrite(int tag, int position, int channel) {
    const auto reg = taggedRegister(tag, channel);
    if (!reg) return std::nullopt;
    return RegisterWrite{*reg, 1, enc::u16Bytes(std::uint16_t(std::int16_t(position)))};
}

RegisterWrite radioWrite(const Field& group, int index, int channel) {
    return RegisterWrite{absoluteRegister(group, channel), 1, enc::u16Bytes(std::uint16_t(index))};
}

float averaged(float average, int samples, float sample) {
    return (average * float(samples) + sample) / float(samples + 1);
}

RegisterWrite floatWrite(int reg, float value) {
    return RegisterWrite{reg, 2, enc::f32Bytes(value)};
}

std::optional<float> axialBase(int scheme, double diameter, double c, double phaseSpeed, double wall) {
    // A device value that is not a number (an infinite phase speed) gives no geometry either.
    if (!std::isfinite(diameter) || !std::isfinite(c) || !std::isfinite(phaseSpeed) || !std::isfinite(wall))
        return std::nullopt;
    const long double m = scheme + 1;
    const long double root = (long double)phaseSpeed * phaseSpeed - (long double)c * c;
    if (!(root > 0)) return std::nullopt;
    const long double base = m * diameter * c / std::sqrt(root) + 3.0L * wall;
    const float result = float(base);
    if (!std::isfinite(result)) return std::nullopt;
    return result;
}

std::optional<float> additionalDelay(float halfSum, float path, float c) {
    const float delay = halfSum - path / c;
    if (!std::isfinite(delay)) return std::nullopt;
    return delay;
}

} // namespace adjustment
