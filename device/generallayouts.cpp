// The four installation-parameter layouts. The operational layouts share one register map (channel
// 2's registers 83 above channel 1's, except the shared pulse-output mode and the pulse durations
// 22 and 23); each takes its rows from it and places them. Verification has a map of its own, one
// set of registers shown in both boxes.
#include "device/generalparams.h"

namespace genparams {

namespace {

using namespace param;
using enum Column;
using E = Encoding;
using L = items::List;

constexpr const char* FloatKeys = "0123456789,";
constexpr const char* SignedKeys = "0123456789,-";
constexpr const char* WholeKeys = "0123456789";

// Channel 2's register of an operational parameter lies this far above channel 1's.
constexpr int PerChannel = 83;

// A value the operator edits: a float unless the row says otherwise, its register its Tag; a
// refused text is cleared and the layout read again either way.
constexpr Field edited(Field f, const char* keys = FloatKeys) {
    f.control = param::Control::Edit;
    f.tag = TagIsRegister;
    f.keys = keys;
    f.rereadAfter = true;
    return f;
}
constexpr Field whole(Field f) {
    f.encoding = f.encoding == E::RegisterFloat ? E::U16 : f.encoding;
    return edited(f, WholeKeys);
}
// A coded list; the choice is written, then the layout read again.
constexpr Field chosen(Field f) {
    f.encoding = E::RegisterByte;
    f.control = param::Control::List;
    f.tag = TagIsRegister;
    f.rereadAfter = true;
    return f;
}

// A row of a map at its place in a layout's boxes.
constexpr Row at(Row row, Column column, int line) {
    row.extra.column = column;
    row.extra.row = line;
    return row;
}
// The pulse-weight (f) field with the names its caption labels have in a layout.
constexpr Row weightF(Row row, const char* channel1Caption, const char* channel2Caption, Column column,
                      int line) {
    row.extra.captionName = {channel1Caption, channel2Caption};
    return at(row, column, line);
}

// One row per field, as the device's register map lists it (channel 1's register); kept two lines a
// row by hand.
// clang-format off

// The operational register map.
constexpr Row PulseOutputMode{chosen({.name = "ComboBoxWorkModePulseExit", .caption = "Режим работы имп. вых.",
    .reg = 21, .list = L::PulseOutputModes})};
constexpr Row PulseDuration{whole({.name = "EditLengthPulse", .caption = "Длительность имп., мс", .reg = 22,
    .channelStride = 1, .min = 1, .max = 1000})};
constexpr Row PipeCircumference{edited({.name = "EditLengthCirc", .caption = "Длина окружности, мм", .reg = 36,
    .channelStride = PerChannel, .min = 30, .max = 30000}), {.pair = Pair::Circumference}};
// No register of its own: shown as the circumference over pi, its Tag a channel selector.
constexpr Row OuterDiameter{edited({.name = "EditExternalDiameter", .caption = "Наружный диаметр, мм", .reg = 36,
    .channelStride = PerChannel, .shown = Shown::Derived, .min = 10, .max = 10000}), {.pair = Pair::Diameter}};
constexpr Row WallThickness{edited({.name = "EditHWall", .caption = "Толщина стенки, мм", .reg = 38,
    .channelStride = PerChannel, .min = 0.1, .max = 100})};
constexpr Row PlaneDiameter{edited({.name = "EditExtDiamPEA", .caption = "Наружный диаметр в", .reg = 40,
    .channelStride = PerChannel, .min = 10, .max = 10000}), {.caption2 = "плоск. установки ПЭА"}};
constexpr Row AxialBaseClampOn{edited({.name = "EditAxialBase", .caption = "Осевая база, мм", .reg = 42,
    .channelStride = PerChannel, .min = 30, .max = 14000})};
constexpr Row AxialBaseInsertion{edited({.name = "EditAxialBase", .caption = "Осевая база, мм", .reg = 42,
    .channelStride = PerChannel, .min = 10, .max = 10000})};
constexpr Row Roughness{edited({.name = "EditSher", .caption = "Шероховатость, мм", .reg = 44,
    .channelStride = PerChannel, .min = 0.01, .max = 10})};
constexpr Row FactorK{edited({.name = "EditFactorK", .caption = "Коэффициент К", .reg = 48,
    .channelStride = PerChannel, .pattern = "0.000", .min = 0.001, .max = 1000})};
constexpr Row FactorP{edited({.name = "EditFactorP", .caption = "Коэффициент P", .reg = 50,
    .channelStride = PerChannel, .pattern = "0.000", .min = 0.001, .max = 10000})};
constexpr Row Viscosity{edited({.name = "EditViscositi", .caption = "Вязкость, сСт", .reg = 56,
    .channelStride = PerChannel, .pattern = "0.0000", .min = 0.01, .max = 1000})};
constexpr Row LowThreshold{edited({.name = "EditLowLimit", .caption = "Нижний порог, м3/ч", .reg = 60,
    .channelStride = PerChannel, .min = 0, .max = 10000})};
constexpr Row PulseWeight{edited({.name = "EditWeigthPulse", .caption = "Вес импульса, м3/имп.", .reg = 62,
    .channelStride = PerChannel, .pattern = "0.0000", .min = 0.0001, .max = 100})};
constexpr Row PhaseSpeed{edited({.name = "EditPhaseSpeed", .caption = "Фазов. скорость, км/с", .reg = 66,
    .channelStride = PerChannel, .min = 2, .max = 5})};
constexpr Row DeviceBaseInsertion{edited({.name = "EditBaseDevice", .caption = "База прибора, мм", .reg = 68,
    .channelStride = PerChannel, .min = 30, .max = 14000})};
constexpr Row DeviceBaseUBend{edited({.name = "EditBaseDevice", .caption = "База прибора, мм", .reg = 68,
    .channelStride = PerChannel, .min = 10, .max = 2000})};
constexpr Row InnerDiameter{edited({.name = "EditInternalDiameter", .caption = "Внутр. диаметр, мм", .reg = 70,
    .channelStride = PerChannel, .min = 10, .max = 100})};
constexpr Row AxialBaseUBend{edited({.name = "EditAxialBase", .caption = "Аксиальная база, мм", .reg = 72,
    .channelStride = PerChannel, .min = 10, .max = 2000})};
constexpr Row Conditions{{.name = "Image", .caption = "Условия срабатывания дискретного выхода \"Статус\"",
    .reg = 80, .channelStride = PerChannel, .encoding = E::RegisterByte, .control = param::Control::Cells}};
constexpr Row Scheme{chosen({.name = "ComboBoxSchemeInstall", .caption = "Схема установки", .reg = 83,
    .channelStride = PerChannel, .list = L::InstallSchemes})};
constexpr Row Interval{whole({.name = "EditIntervalAverage", .caption = "Интервал усреднения", .reg = 88,
    .channelStride = PerChannel, .min = 1, .max = 50})};
constexpr Row PulseWeightF{{.name = "EditWeigthPulseF", .caption = PulseWeightDesignCaption, .reg = 109,
    .channelStride = PerChannel}};

// Operational, clamp-on sensors.
constexpr Row EN[] = {
    at(PipeCircumference, Left, 0),  at(OuterDiameter, Right, 0),
    at(WallThickness, Left, 1),      at(PlaneDiameter, Right, 1),
    at(Scheme, Left, 2),             at(PhaseSpeed, Right, 2),
    at(AxialBaseClampOn, Left, 3),   at(Roughness, Right, 3),
    at(Viscosity, Left, 4),          at(Interval, Right, 4),
    at(LowThreshold, Left, 5),       at(FactorK, Right, 5),
    at(PulseOutputMode, Left, 6),    weightF(PulseWeightF, "StaticText40", "StaticText59", Right, 6),
    at(PulseWeight, Left, 7),        at(PulseDuration, Right, 7),
    Conditions,
};

// Operational, insertion sensors: clamp-on without the scheme and the phase speed, with the device
// base, and with another range for the axial base.
constexpr Row EV[] = {
    at(PipeCircumference, Left, 0),   at(OuterDiameter, Right, 0),
    at(WallThickness, Left, 1),       at(PlaneDiameter, Right, 1),
    at(DeviceBaseInsertion, Left, 2), at(Roughness, Right, 2),
    at(AxialBaseInsertion, Left, 3),  at(Interval, Right, 3),
    at(Viscosity, Left, 4),           at(FactorK, Right, 4),
    at(LowThreshold, Left, 5),        weightF(PulseWeightF, "StaticText93", "StaticText108", Right, 5),
    at(PulseOutputMode, Left, 6),     at(PulseDuration, Right, 6),
    at(PulseWeight, Left, 7),
    Conditions,
};

// Operational, U-bend measuring section: no pipe-wall geometry; inner diameter and two factors.
constexpr Row PulseDurationUBend{whole({.name = "EditLengthPulse", .caption = "Длительность имп. мс", .reg = 22,
    .channelStride = 1, .min = 1, .max = 1000})};
constexpr Row EU[] = {
    at(InnerDiameter, Left, 0),       at(LowThreshold, Right, 0),
    at(DeviceBaseUBend, Left, 1),     at(AxialBaseUBend, Right, 1),
    at(FactorK, Left, 2),             at(FactorP, Right, 2),
    at(PulseOutputMode, Left, 3),     at(Interval, Right, 3),
    at(PulseWeight, Left, 4),         weightF(PulseWeightF, "StaticText125", "StaticText132", Right, 4),
    at(PulseDurationUBend, Centre, 5),
    Conditions,
};

// Verification, clamp-on sensors: one set of output parameters shown in both boxes; the pipe and
// the medium are those of the verification rig, fixed texts of the layout.
constexpr Row PN[] = {
    {{.name = "EditInternalDiameter", .caption = "Внутр. диаметр, мм"}, {.column = Left, .row = 0, .fixedText = "100"}},
    {edited({.name = "EditLowLimit", .caption = "Нижний порог, м3/ч", .reg = 31, .min = 0, .max = 10000}),
     {.column = Right, .row = 0}},
    {{.name = "EditGidroDinam", .caption = "Гидродинамич. коэффиц."}, {.column = Left, .row = 1, .fixedText = "1"}},
    {edited({.name = "EditShiftZero", .caption = "Смещение нуля, м3/ч", .reg = 24, .min = -100, .max = 100},
            SignedKeys), {.column = Right, .row = 1}},
    {{.name = "EditSpeedSound", .caption = "Скорость звука, км/с"}, {.column = Left, .row = 2, .fixedText = "2,2"}},
    {{.name = "EditPhaseSpeed", .caption = "Фазов. скорость, км/с"}, {.column = Right, .row = 2, .fixedText = "3,85"}},
    {chosen({.name = "ComboBoxWorkModePulseExit", .caption = "Режим работы имп. вых.", .reg = 26,
             .list = L::PulseOutputModes}), {.column = Left, .row = 3}},
    {whole({.name = "EditIntervalAverage", .caption = "Интервал усреднения", .reg = 33, .encoding = E::RegisterByte,
            .min = 1, .max = 50}), {.column = Right, .row = 3}},
    {edited({.name = "EditWeigthPulse", .caption = "Вес импульса, м3/имп.", .reg = 34, .pattern = "0.0000",
             .min = 0.0001, .max = 100, .minCompare = Compare::ExactDecimal}), {.column = Left, .row = 4}},
    weightF(PulseWeightF, "StaticText144", "StaticText156", Right, 4),
    at(PulseDuration, Centre, 5),
};

// Above the boxes, lined up with their columns.
constexpr Place top(int x, int width) {
    return {.x = x, .y = 20, .width = width, .captionAbove = 16, .captionHeight = 14};
}
constexpr Field Common[] = {
    {.name = "EditDateGeneralParam", .caption = "Дата", .reg = 0, .encoding = E::DeviceTime, .shown = Shown::Date,
     .place = top(16, 70)},
    {.name = "EditTimeGeneralParam", .caption = "Время", .reg = 0, .encoding = E::DeviceTime,
     .shown = Shown::ShortTime, .place = top(96, 60)},
    {.name = "EditWorkModeGeneralParam", .caption = "Режим работы", .reg = WorkModeRegister,
     .encoding = E::RegisterByte, .shown = Shown::ItemText, .list = L::WorkModes, .place = top(348, 121)},
    {.name = "EditTypeSensorsGeneralParam", .caption = "Тип датчиков", .reg = SensorTypeRegister,
     .encoding = E::RegisterByte, .shown = Shown::ItemText, .list = L::SensorTypes, .place = top(532, 121)},
};

// clang-format on

// Flow-speed correction off in both channels (relative register 49 of each adjustment block):
// verification measures without it.
constexpr CommandStep PNAfterRead[] = {{168, 0, false}, {85, 0, false}};

constexpr Read OperationalBlocks[2] = {{21, 124}, {145, 49}};

const Layout Layouts[] = {
    {Variant::EN, "EN", 0, 0, {OperationalBlocks[0], OperationalBlocks[1]}, 401, EN, {}},
    {Variant::EV, "EV", 0, 1, {OperationalBlocks[0], OperationalBlocks[1]}, 401, EV, {}},
    {Variant::EU, "EU", 0, 2, {OperationalBlocks[0], OperationalBlocks[1]}, 401, EU, {}},
    {Variant::PN, "PN", 1, 0, {Read{22, 14}, Read{109, 85}}, 345, PN, PNAfterRead},
};

} // namespace

std::span<const Field> commonRows() {
    return Common;
}

const Layout& layout(Variant variant) {
    return Layouts[int(variant)];
}

} // namespace genparams
