#include "device/adjustment.h"

#include "device/channelcondition.h"
#include "device/encodings.h"

#include <cmath>

namespace adjustment {

namespace {

using namespace param;
using E = Encoding;

constexpr const char* Digits = "0123456789";
constexpr const char* Fraction = "0123456789,.";
constexpr const char* SignedFraction = "0123456789,-.";
constexpr const char* SignedDigits = "0123456789-";
constexpr const char* OffOnF[] = {"Выключена", "Включена"};

// Columns of the panel; captions sit 16 pixels above their fields.
constexpr int MeasureX = 368, MeasureWidth = 137;
constexpr int RightX = 520, RightWidth = 145;
constexpr int BoundX = 232, BoundWidth = 105;

constexpr int ChannelBlockCount = 72;
constexpr int WindowShiftTag = 4;

// A row of the channel block, its register written from the channel base.
constexpr Field inChannelBlock(Field f) {
    f.reg += channelBase(1);
    f.channelStride = channelBase(2) - channelBase(1);
    return f;
}
// A row of the measurement block, its register written from the block's first.
constexpr Field inMeasurementBlock(Field f) {
    f.reg += measurementFirst(1);
    f.channelStride = measurementFirst(2) - measurementFirst(1);
    return f;
}

constexpr Where System{.block = Block::System};
constexpr Where Regulation{.parent = "GroupRegulation", .block = Block::System};
constexpr Where Measurement{.block = Block::Measurement};

// A gain field: the channels' registers do not follow the channel blocks, and the Tag numbers the
// field instead.
constexpr Field gain(const char* name, const char* caption, int tag, int channel1, int channel2,
                     Place place) {
    return {.name = name,
            .caption = caption,
            .reg = channel1,
            .channelStride = channel2 - channel1,
            .encoding = E::RegisterByte,
            .control = Control::Edit,
            .tag = tag,
            .keys = Digits,
            .min = 0,
            .max = 255,
            .poll = Poll::PausedWhileTyping,
            .place = place};
}
// An edited float of the channel block; its Tag is the register from the channel base, which the
// editor adds.
constexpr Field edited(const char* name, const char* caption, int reg, const char* keys, Place place) {
    return inChannelBlock({.name = name,
                           .caption = caption,
                           .reg = reg,
                           .control = Control::Edit,
                           .tag = reg,
                           .keys = keys,
                           .poll = Poll::PausedWhileTyping,
                           .place = place});
}
constexpr Field radio(const char* name, const char* caption, int reg, std::span<const char* const> items,
                      Place place) {
    return inChannelBlock({.name = name,
                           .caption = caption,
                           .reg = reg,
                           .encoding = E::RegisterByte,
                           .control = Control::Radio,
                           .tag = reg,
                           .items = items,
                           .fill = ItemFill::Direct,
                           .place = place});
}
constexpr Field measured(const char* name, const char* caption, int reg, Place place) {
    return inMeasurementBlock({.name = name, .caption = caption, .reg = reg, .place = place});
}

constexpr const char* Directions[] = {"прямое", "обратное"};
constexpr const char* Channel[] = {"Выключен", "Включен"};
constexpr const char* Forms[] = {"1", "2"};

constexpr Field with(Field f, const char* pattern) {
    f.pattern = pattern;
    return f;
}
constexpr Field limited(Field f, double min, double max) {
    f.min = min;
    f.max = max;
    return f;
}

// One row per control, laid out to read like a table.
// clang-format off
constexpr Row Rows[] = {
    // Block A: registers 0-17.
    {{.name = "EditDateAdj", .caption = "Дата", .reg = 0, .encoding = E::DeviceTime, .shown = Shown::Date,
      .place = {.x = 40, .y = 416, .width = 73, .captionX = 8, .captionY = 419}}, System},
    {{.name = "EditTimeAdj", .caption = "Время", .reg = 0, .encoding = E::DeviceTime, .shown = Shown::ShortTime,
      .place = {.x = 168, .y = 416, .width = 57, .captionX = 128, .captionY = 419}}, System},
    {gain("EditResist1", "Амплитуда", 1, 7, 6, {.x = 16, .y = 80, .width = 45, .captionX = 10, .captionY = 106}),
     Regulation},
    {gain("EditResist2", "Усиление", 2, 2, 4, {.x = 76, .y = 80, .width = 45, .captionX = 73, .captionY = 106}),
     Regulation},
    {gain("EditResist3", "Порог", 3, 3, 5, {.x = 136, .y = 80, .width = 45, .captionX = 143, .captionY = 106}),
     Regulation},

    // Block B: the channel block from its base.
    {inChannelBlock({.name = "EditInternalDiameter", .caption = "Внутренний диаметр, мм", .reg = 0,
      .shown = Shown::Derived, .place = {.x = RightX, .y = 176, .width = RightWidth}}),
     {.derived = Derived::InternalDiameter}},
    {limited(edited("Edithst", "h ст. калибров., мм", CalibrationWallReg, Fraction, {.x = 168, .y = 76, .width = 137}),
             0.1, 100), {.parent = "GroupBox1"}},
    {with(edited("EditShiftdT", "Смещение dT, мкс", OffsetReg, SignedFraction, {.x = 8, .y = 26, .width = 113}),
          "0.00000"), {.parent = "GroupBoxShiftdT"}},
    {edited("EditDopPauseUZS", "Доп. задерж. УЗС, мкс", DelayReg, Fraction, {.x = 168, .y = 32, .width = 137}),
     {.parent = "GroupBox1"}},
    {limited(edited("EditHighBound", "Верхняя уставка, м3/ч", 38, SignedFraction,
                    {.x = BoundX, .y = 88, .width = BoundWidth}), 0, 100000)},
    {limited(edited("EditLowBound", "Нижняя уставка, м3/ч", 40, SignedFraction,
                    {.x = BoundX, .y = 128, .width = BoundWidth}), 0, 100000)},
    {inChannelBlock({.name = "EditShiftWin", .reg = 42, .encoding = E::S16, .control = Control::Edit,
      .tag = WindowShiftTag, .keys = SignedDigits, .min = -127, .max = 127, .poll = Poll::PausedWhileTyping,
      .place = {.x = 8, .y = 20, .width = 65}}), {.parent = "GroupBoxShiftWin"}},
    {radio("RadioGroupRevers", "Направление потока", 46, Directions, {.x = 216, .y = 152, .width = 129, .height = 57})},
    {radio("RadioEnabledChannel", " Включение канала ", 48, Channel, {.x = 232, .y = 8, .width = 113, .height = 57})},
    {radio("RadioGroupFlowSpeedCorr", "Коррекция скорости потока", 49, OffOnF,
           {.x = 8, .y = 344, .width = 193, .height = 57})},
    {radio("RadioGroupFormZI", " Форма ЗИ ", 50, Forms, {.x = 8, .y = 256, .width = 89, .height = 65})},
    {radio("RadioGroupInversZI", " Инверсия ЗИ ", 51, OffOnF, {.x = 104, .y = 256, .width = 97, .height = 65})},
    {inChannelBlock({.name = "EditAutoCycles", .caption = "Число цикл. автоцирк.", .reg = 71,
      .encoding = E::RegisterByte, .shown = Shown::Derived, .place = {.x = RightX, .y = 80, .width = RightWidth}}),
     {.derived = Derived::Cycles}},

    // Block C: the measurement block from its first register.
    {with(measured("EditTimeDifference", "Время разности, мкс", 0, {.x = MeasureX, .y = 32, .width = MeasureWidth}),
          "0.00000"), Measurement},
    {measured("EditTimePolSum", "Время полусуммы, мкс", 2, {.x = MeasureX, .y = 80, .width = MeasureWidth}),
     Measurement},
    {inMeasurementBlock({.name = "EditTimeWin", .caption = "Длина окна, мкс", .reg = 2, .shown = Shown::Derived,
      .place = {.x = MeasureX, .y = 128, .width = MeasureWidth}}),
     {.block = Block::Measurement, .derived = Derived::WindowLength}},
    {measured("EditTimeStartWin", "Время начала окна, мкс", 4, {.x = MeasureX, .y = 176, .width = MeasureWidth}),
     Measurement},
    {measured("EditPauseZI", "Задержка ЗИ, мкс", 6, {.x = RightX, .y = 128, .width = RightWidth}), Measurement},
    {inMeasurementBlock({.name = "EditConsuption", .caption = "Расход, м3/ч", .reg = 8, .shown = Shown::Formatted,
      .place = {.x = RightX, .y = 32, .width = RightWidth}}), Measurement},

    // The calculators' fields: typed by the operator, never read; a sound speed that does not parse
    // is kept for mending.
    {{.name = "EditSpeedSoundPEA", .caption = "Скорость звука, км/с", .encoding = E::None, .control = Control::Edit,
      .keys = Fraction, .refusal = Refusal::KeepText, .poll = Poll::PausedWhileTyping,
      .place = {.x = 16, .y = 32, .width = 137}}, {.parent = "GroupBoxPEA"}},
    // The result of the spacing calculator; what is typed there is never used.
    {{.name = "EditAxialBase", .caption = "Осевая база, мм", .encoding = E::None, .control = Control::Scratch,
      .place = {.x = 168, .y = 32, .width = 137}}, {.parent = "GroupBoxPEA"}},
    {{.name = "EditSpeedSound", .caption = "Скорость звука, км/с", .encoding = E::None, .control = Control::Edit,
      .keys = Fraction, .refusal = Refusal::KeepText, .poll = Poll::PausedWhileTyping,
      .place = {.x = 16, .y = 32, .width = 137}}, {.parent = "GroupBox1"}},
};
// clang-format on

} // namespace

std::array<Read, 3> reads(int channel) {
    const int first = measurementFirst(channel);
    // Each channel's block ends with its own condition byte, and both hold the failure byte 252.
    const int last = condition::conditionRegister(channel);
    return {Read{0, 18}, Read{channelBase(channel), ChannelBlockCount}, Read{first, last - first + 1}};
}

std::span<const Row> rows() {
    return Rows;
}

const Row* row(const QString& name) {
    for (const Row& r : Rows) {
        if (name == QLatin1String(r.field.name)) return &r;
    }
    return nullptr;
}

const Row* rowWithTag(int tag) {
    for (const Row& r : Rows) {
        if (r.field.tag == tag && r.field.editable()) return &r;
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
    const Row* r = rowWithTag(tag);
    if (!r) return std::nullopt;
    return param::registerFor(r->field, channel);
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

std::optional<QString> fieldText(const Row& r, const RegisterBlock& block, const Context& context) {
    const int reg = param::registerFor(r.field, context.channel);
    if (reg < 0) return std::nullopt;
    switch (r.where.derived) {
    case Derived::None:
        return param::fieldText(r.field, reg, block);
    case Derived::Cycles:
        if (const auto n = fieldNumber(r, block, context)) return QString::number(*n);
        return std::nullopt;
    case Derived::InternalDiameter: {
        if (!context.sensorType) return std::nullopt;
        if (const auto d = internalDiameter(block, channelBase(context.channel), *context.sensorType))
            return formatValue(r.field, *d);
        return std::nullopt;
    }
    case Derived::WindowLength:
        if (const auto length = windowLength(block, reg)) return formatValue(r.field, *length);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> fieldNumber(const Row& r, const RegisterBlock& block, const Context& context) {
    const int reg = param::registerFor(r.field, context.channel);
    if (reg < 0) return std::nullopt;
    if (r.where.derived == Derived::Cycles) {
        if (const auto b = block.byte(reg)) return int(*b) * 8;
        return std::nullopt;
    }
    switch (r.field.encoding) {
    case E::RegisterByte:
        if (const auto b = block.byte(reg)) return int(*b);
        return std::nullopt;
    case E::S16:
        if (const auto v = block.s16(reg)) return int(*v);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<RegisterWrite> checkEdit(const Row& r, const QString& text, int channel) {
    const int reg = param::registerFor(r.field, channel);
    if (reg < 0) return std::nullopt;
    const param::Checked checked = param::check(r.field, reg, text);
    if (checked.verdict != param::Verdict::Write) return std::nullopt;
    return checked.write;
}

std::optional<RegisterWrite> upDownWrite(int tag, int position, int channel) {
    const auto reg = taggedRegister(tag, channel);
    if (!reg) return std::nullopt;
    return RegisterWrite{*reg, 1, enc::u16Bytes(std::uint16_t(std::int16_t(position)))};
}

RegisterWrite radioWrite(const Row& group, int index, int channel) {
    return RegisterWrite{param::registerFor(group.field, channel), 1, enc::u16Bytes(std::uint16_t(index))};
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
