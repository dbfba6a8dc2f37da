// The four installation-parameter layouts. The operational layouts share one register map (channel
// 2's registers 83 above channel 1's, except the shared pulse-output mode and the pulse durations
// 22 and 23); each takes its rows from it and places them. Verification has a map of its own, one
// set of registers shown in both boxes.
#include "device/generalparams.h"

namespace genparams {

namespace {

using enum Editor;
using enum Column;
using E = Encoding;
using L = items::List;

// A row of a map at its place in a layout's boxes.
constexpr Field at(Field field, Column column, int row) {
    field.column = column;
    field.row = row;
    return field;
}
// The pulse-weight (f) field with the names its caption labels have in a layout.
constexpr Field weightF(Field field, const char* channel1Caption, const char* channel2Caption, Column column,
                        int row) {
    field.captionName = {channel1Caption, channel2Caption};
    return at(field, column, row);
}

// One row per field, as the device's register map lists it; kept two lines a row by hand.
// clang-format off

// The operational register map.
constexpr Field PulseOutputMode{.caption = "Режим работы имп. вых.", .name = "ComboBoxWorkModePulseExit",
    .reg = {21, 21}, .encoding = E::RegisterByte, .editor = List, .list = L::PulseOutputModes};
constexpr Field PulseDuration{.caption = "Длительность имп., мс", .name = "EditLengthPulse", .reg = {22, 23},
    .encoding = E::U16, .editor = Whole, .min = 1, .max = 1000};
constexpr Field PipeCircumference{.caption = "Длина окружности, мм", .name = "EditLengthCirc", .reg = {36, 119},
    .pattern = "0.00", .editor = Circumference, .min = 30, .max = 30000};
// No register of its own: shown as the circumference over pi, its Tag a channel selector.
constexpr Field OuterDiameter{.caption = "Наружный диаметр, мм", .name = "EditExternalDiameter",
    .reg = {36, 119}, .pattern = "0.00", .editor = Diameter, .min = 10, .max = 10000, .tag = {0, 1}};
constexpr Field WallThickness{.caption = "Толщина стенки, мм", .name = "EditHWall", .reg = {38, 121},
    .pattern = "0.00", .min = 0.1, .max = 100};
constexpr Field PlaneDiameter{.caption = "Наружный диаметр в", .caption2 = "плоск. установки ПЭА",
    .name = "EditExtDiamPEA", .reg = {40, 123}, .pattern = "0.00", .min = 10, .max = 10000};
constexpr Field AxialBaseClampOn{.caption = "Осевая база, мм", .name = "EditAxialBase", .reg = {42, 125},
    .pattern = "0.00", .min = 30, .max = 14000};
constexpr Field AxialBaseInsertion{.caption = "Осевая база, мм", .name = "EditAxialBase", .reg = {42, 125},
    .pattern = "0.00", .min = 10, .max = 10000};
constexpr Field Roughness{.caption = "Шероховатость, мм", .name = "EditSher", .reg = {44, 127},
    .pattern = "0.00", .min = 0.01, .max = 10};
constexpr Field FactorK{.caption = "Коэффициент К", .name = "EditFactorK", .reg = {48, 131},
    .pattern = "0.000", .min = 0.001, .max = 1000};
constexpr Field FactorP{.caption = "Коэффициент P", .name = "EditFactorP", .reg = {50, 133},
    .pattern = "0.000", .min = 0.001, .max = 10000};
constexpr Field Viscosity{.caption = "Вязкость, сСт", .name = "EditViscositi", .reg = {56, 139},
    .pattern = "0.0000", .min = 0.01, .max = 1000};
constexpr Field LowThreshold{.caption = "Нижний порог, м3/ч", .name = "EditLowLimit", .reg = {60, 143},
    .pattern = "0.00", .min = 0, .max = 10000};
constexpr Field PulseWeight{.caption = "Вес импульса, м3/имп.", .name = "EditWeigthPulse", .reg = {62, 145},
    .pattern = "0.0000", .min = 0.0001, .max = 100};
constexpr Field PhaseSpeed{.caption = "Фазов. скорость, км/с", .name = "EditPhaseSpeed", .reg = {66, 149},
    .pattern = "0.00", .min = 2, .max = 5};
constexpr Field DeviceBaseInsertion{.caption = "База прибора, мм", .name = "EditBaseDevice", .reg = {68, 151},
    .pattern = "0.00", .min = 30, .max = 14000};
constexpr Field DeviceBaseUBend{.caption = "База прибора, мм", .name = "EditBaseDevice", .reg = {68, 151},
    .pattern = "0.00", .min = 10, .max = 2000};
constexpr Field InnerDiameter{.caption = "Внутр. диаметр, мм", .name = "EditInternalDiameter",
    .reg = {70, 153}, .pattern = "0.00", .min = 10, .max = 100};
constexpr Field AxialBaseUBend{.caption = "Аксиальная база, мм", .name = "EditAxialBase", .reg = {72, 155},
    .pattern = "0.00", .min = 10, .max = 2000};
constexpr Field Conditions{.caption = "Условия срабатывания дискретного выхода \"Статус\"", .name = "Image",
    .reg = {80, 163}, .encoding = E::RegisterByte, .editor = Cells};
constexpr Field Scheme{.caption = "Схема установки", .name = "ComboBoxSchemeInstall", .reg = {83, 166},
    .encoding = E::RegisterByte, .editor = List, .list = L::InstallSchemes};
constexpr Field Interval{.caption = "Интервал усреднения", .name = "EditIntervalAverage", .reg = {88, 171},
    .encoding = E::U16, .editor = Whole, .min = 1, .max = 50};
constexpr Field PulseWeightF{.caption = PulseWeightDesignCaption, .name = "EditWeigthPulseF",
    .reg = {109, 192}, .pattern = "0.00", .editor = Display};

// Operational, clamp-on sensors.
constexpr Field EN[] = {
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
constexpr Field EV[] = {
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
constexpr Field PulseDurationUBend{.caption = "Длительность имп. мс", .name = "EditLengthPulse",
    .reg = {22, 23}, .encoding = E::U16, .editor = Whole, .min = 1, .max = 1000};
constexpr Field EU[] = {
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
constexpr Field PN[] = {
    {.caption = "Внутр. диаметр, мм", .name = "EditInternalDiameter", .editor = Fixed, .fixedText = "100",
     .column = Left, .row = 0},
    {.caption = "Нижний порог, м3/ч", .name = "EditLowLimit", .reg = {31, 31}, .pattern = "0.00", .min = 0,
     .max = 10000, .column = Right, .row = 0},
    {.caption = "Гидродинамич. коэффиц.", .name = "EditGidroDinam", .editor = Fixed, .fixedText = "1",
     .column = Left, .row = 1},
    {.caption = "Смещение нуля, м3/ч", .name = "EditShiftZero", .reg = {24, 24}, .pattern = "0.00",
     .editor = SignedFloat, .min = -100, .max = 100, .column = Right, .row = 1},
    {.caption = "Скорость звука, км/с", .name = "EditSpeedSound", .editor = Fixed, .fixedText = "2,2",
     .column = Left, .row = 2},
    {.caption = "Фазов. скорость, км/с", .name = "EditPhaseSpeed", .editor = Fixed, .fixedText = "3,85",
     .column = Right, .row = 2},
    {.caption = "Режим работы имп. вых.", .name = "ComboBoxWorkModePulseExit", .reg = {26, 26},
     .encoding = E::RegisterByte, .editor = List, .list = L::PulseOutputModes, .column = Left, .row = 3},
    {.caption = "Интервал усреднения", .name = "EditIntervalAverage", .reg = {33, 33},
     .encoding = E::RegisterByte, .editor = Whole, .min = 1, .max = 50, .column = Right, .row = 3},
    {.caption = "Вес импульса, м3/имп.", .name = "EditWeigthPulse", .reg = {34, 34}, .pattern = "0.0000",
     .min = 0.0001, .max = 100, .minCompare = Compare::ExactDecimal, .column = Left, .row = 4},
    {.caption = PulseWeightDesignCaption, .name = "EditWeigthPulseF", .reg = {109, 192}, .pattern = "0.00",
     .editor = Display, .captionName = {"StaticText144", "StaticText156"}, .column = Right, .row = 4},
    at(PulseDuration, Centre, 5),
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

const Layout& layout(Variant variant) {
    return Layouts[int(variant)];
}

} // namespace genparams
