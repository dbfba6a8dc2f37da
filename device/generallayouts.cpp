// The four installation-parameter layouts, one table each. Channel 2's registers lie 83 above
// channel 1's, except the shared pulse-output mode and the pulse durations (22, 23); in
// verification both boxes show the same registers.
#include "device/generalparams.h"

namespace genparams {

namespace {

using enum Editor;
using enum Column;
using E = Encoding;
using L = items::List;

constexpr const char* ConditionCaption = "Условия срабатывания дискретного выхода \"Статус\"";

// One row per field, as the device's register map lists them; kept two lines a row by hand.
// clang-format off

// Operational, clamp-on sensors.
constexpr Field EN[] = {
    {.caption = "Режим работы имп. вых.", .name = "ComboBoxWorkModePulseExit", .reg = {21, 21},
     .encoding = E::RegisterByte, .editor = List, .list = L::PulseOutputModes, .column = Left, .row = 6},
    {.caption = "Длительность имп., мс", .name = "EditLengthPulse", .reg = {22, 23}, .encoding = E::U16,
     .editor = Whole, .min = 1, .max = 1000, .column = Right, .row = 7},
    {.caption = "Длина окружности, мм", .name = "EditLengthCirc", .reg = {36, 119}, .pattern = "0.00",
     .editor = Circumference, .min = 30, .max = 30000, .column = Left, .row = 0},
    {.caption = "Наружный диаметр, мм", .name = "EditExternalDiameter", .reg = {36, 119}, .pattern = "0.00",
     .editor = Diameter, .min = 10, .max = 10000, .tag = {0, 1}, .column = Right, .row = 0},
    {.caption = "Толщина стенки, мм", .name = "EditHWall", .reg = {38, 121}, .pattern = "0.00", .min = 0.1,
     .max = 100, .column = Left, .row = 1},
    {.caption = "Наружный диаметр в", .caption2 = "плоск. установки ПЭА", .name = "EditExtDiamPEA",
     .reg = {40, 123}, .pattern = "0.00", .min = 10, .max = 10000, .column = Right, .row = 1},
    {.caption = "Осевая база, мм", .name = "EditAxialBase", .reg = {42, 125}, .pattern = "0.00", .min = 30,
     .max = 14000, .column = Left, .row = 3},
    {.caption = "Шероховатость, мм", .name = "EditSher", .reg = {44, 127}, .pattern = "0.00", .min = 0.01,
     .max = 10, .column = Right, .row = 3},
    {.caption = "Коэффициент К", .name = "EditFactorK", .reg = {48, 131}, .pattern = "0.000", .min = 0.001,
     .max = 1000, .column = Right, .row = 5},
    {.caption = "Вязкость, сСт", .name = "EditViscositi", .reg = {56, 139}, .pattern = "0.0000", .min = 0.01,
     .max = 1000, .column = Left, .row = 4},
    {.caption = "Нижний порог, м3/ч", .name = "EditLowLimit", .reg = {60, 143}, .pattern = "0.00", .min = 0,
     .max = 10000, .column = Left, .row = 5},
    {.caption = "Вес импульса, м3/имп.", .name = "EditWeigthPulse", .reg = {62, 145}, .pattern = "0.0000",
     .min = 0.0001, .max = 100, .column = Left, .row = 7},
    {.caption = "Фазов. скорость, км/с", .name = "EditPhaseSpeed", .reg = {66, 149}, .pattern = "0.00",
     .min = 2, .max = 5, .column = Right, .row = 2},
    {.caption = ConditionCaption, .name = "Image", .reg = {80, 163}, .encoding = E::RegisterByte,
     .editor = Cells},
    {.caption = "Схема установки", .name = "ComboBoxSchemeInstall", .reg = {83, 166},
     .encoding = E::RegisterByte, .editor = List, .list = L::InstallSchemes, .column = Left, .row = 2},
    {.caption = "Интервал усреднения", .name = "EditIntervalAverage", .reg = {88, 171}, .encoding = E::U16,
     .editor = Whole, .min = 1, .max = 50, .column = Right, .row = 4},
    {.caption = PulseWeightDesignCaption, .name = "EditWeigthPulseF", .reg = {109, 192}, .pattern = "0.00",
     .editor = Display, .captionName = {"StaticText40", "StaticText59"}, .column = Right, .row = 6},
};

// Operational, insertion sensors: clamp-on without the scheme and the phase speed, with the device
// base, and with another range for the axial base.
constexpr Field EV[] = {
    {.caption = "Режим работы имп. вых.", .name = "ComboBoxWorkModePulseExit", .reg = {21, 21},
     .encoding = E::RegisterByte, .editor = List, .list = L::PulseOutputModes, .column = Left, .row = 6},
    {.caption = "Длительность имп., мс", .name = "EditLengthPulse", .reg = {22, 23}, .encoding = E::U16,
     .editor = Whole, .min = 1, .max = 1000, .column = Right, .row = 6},
    {.caption = "Длина окружности, мм", .name = "EditLengthCirc", .reg = {36, 119}, .pattern = "0.00",
     .editor = Circumference, .min = 30, .max = 30000, .column = Left, .row = 0},
    {.caption = "Наружный диаметр, мм", .name = "EditExternalDiameter", .reg = {36, 119}, .pattern = "0.00",
     .editor = Diameter, .min = 10, .max = 10000, .tag = {0, 1}, .column = Right, .row = 0},
    {.caption = "Толщина стенки, мм", .name = "EditHWall", .reg = {38, 121}, .pattern = "0.00", .min = 0.1,
     .max = 100, .column = Left, .row = 1},
    {.caption = "Наружный диаметр в", .caption2 = "плоск. установки ПЭА", .name = "EditExtDiamPEA",
     .reg = {40, 123}, .pattern = "0.00", .min = 10, .max = 10000, .column = Right, .row = 1},
    {.caption = "Осевая база, мм", .name = "EditAxialBase", .reg = {42, 125}, .pattern = "0.00", .min = 10,
     .max = 10000, .column = Left, .row = 3},
    {.caption = "Шероховатость, мм", .name = "EditSher", .reg = {44, 127}, .pattern = "0.00", .min = 0.01,
     .max = 10, .column = Right, .row = 2},
    {.caption = "Коэффициент К", .name = "EditFactorK", .reg = {48, 131}, .pattern = "0.000", .min = 0.001,
     .max = 1000, .column = Right, .row = 4},
    {.caption = "Вязкость, сСт", .name = "EditViscositi", .reg = {56, 139}, .pattern = "0.0000", .min = 0.01,
     .max = 1000, .column = Left, .row = 4},
    {.caption = "Нижний порог, м3/ч", .name = "EditLowLimit", .reg = {60, 143}, .pattern = "0.00", .min = 0,
     .max = 10000, .column = Left, .row = 5},
    {.caption = "Вес импульса, м3/имп.", .name = "EditWeigthPulse", .reg = {62, 145}, .pattern = "0.0000",
     .min = 0.0001, .max = 100, .column = Left, .row = 7},
    {.caption = "База прибора, мм", .name = "EditBaseDevice", .reg = {68, 151}, .pattern = "0.00", .min = 30,
     .max = 14000, .column = Left, .row = 2},
    {.caption = ConditionCaption, .name = "Image", .reg = {80, 163}, .encoding = E::RegisterByte,
     .editor = Cells},
    {.caption = "Интервал усреднения", .name = "EditIntervalAverage", .reg = {88, 171}, .encoding = E::U16,
     .editor = Whole, .min = 1, .max = 50, .column = Right, .row = 3},
    {.caption = PulseWeightDesignCaption, .name = "EditWeigthPulseF", .reg = {109, 192}, .pattern = "0.00",
     .editor = Display, .captionName = {"StaticText93", "StaticText108"}, .column = Right, .row = 5},
};

// Operational, U-bend measuring section: no pipe-wall geometry; inner diameter and two factors.
constexpr Field EU[] = {
    {.caption = "Режим работы имп. вых.", .name = "ComboBoxWorkModePulseExit", .reg = {21, 21},
     .encoding = E::RegisterByte, .editor = List, .list = L::PulseOutputModes, .column = Left, .row = 3},
    {.caption = "Длительность имп. мс", .name = "EditLengthPulse", .reg = {22, 23}, .encoding = E::U16,
     .editor = Whole, .min = 1, .max = 1000, .column = Centre, .row = 5},
    {.caption = "Коэффициент К", .name = "EditFactorK", .reg = {48, 131}, .pattern = "0.000", .min = 0.001,
     .max = 1000, .column = Left, .row = 2},
    {.caption = "Коэффициент P", .name = "EditFactorP", .reg = {50, 133}, .pattern = "0.000", .min = 0.001,
     .max = 10000, .column = Right, .row = 2},
    {.caption = "Нижний порог, м3/ч", .name = "EditLowLimit", .reg = {60, 143}, .pattern = "0.00", .min = 0,
     .max = 10000, .column = Right, .row = 0},
    {.caption = "Вес импульса, м3/имп.", .name = "EditWeigthPulse", .reg = {62, 145}, .pattern = "0.0000",
     .min = 0.0001, .max = 100, .column = Left, .row = 4},
    {.caption = "База прибора, мм", .name = "EditBaseDevice", .reg = {68, 151}, .pattern = "0.00", .min = 10,
     .max = 2000, .column = Left, .row = 1},
    {.caption = "Внутр. диаметр, мм", .name = "EditInternalDiameter", .reg = {70, 153}, .pattern = "0.00",
     .min = 10, .max = 100, .column = Left, .row = 0},
    {.caption = "Аксиальная база, мм", .name = "EditAxialBase", .reg = {72, 155}, .pattern = "0.00",
     .min = 10, .max = 2000, .column = Right, .row = 1},
    {.caption = ConditionCaption, .name = "Image", .reg = {80, 163}, .encoding = E::RegisterByte,
     .editor = Cells},
    {.caption = "Интервал усреднения", .name = "EditIntervalAverage", .reg = {88, 171}, .encoding = E::U16,
     .editor = Whole, .min = 1, .max = 50, .column = Right, .row = 3},
    {.caption = PulseWeightDesignCaption, .name = "EditWeigthPulseF", .reg = {109, 192}, .pattern = "0.00",
     .editor = Display, .captionName = {"StaticText125", "StaticText132"}, .column = Right, .row = 4},
};

// Verification, clamp-on sensors: one set of output parameters shown in both boxes; the pipe and
// the medium are those of the verification rig, fixed texts of the layout.
constexpr Field PN[] = {
    {.caption = "Длительность имп., мс", .name = "EditLengthPulse", .reg = {22, 23}, .encoding = E::U16,
     .editor = Whole, .min = 1, .max = 1000, .column = Centre, .row = 5},
    {.caption = "Смещение нуля, м3/ч", .name = "EditShiftZero", .reg = {24, 24}, .pattern = "0.00",
     .editor = SignedFloat, .min = -100, .max = 100, .column = Right, .row = 1},
    {.caption = "Режим работы имп. вых.", .name = "ComboBoxWorkModePulseExit", .reg = {26, 26},
     .encoding = E::RegisterByte, .editor = List, .list = L::PulseOutputModes, .column = Left, .row = 3},
    {.caption = "Нижний порог, м3/ч", .name = "EditLowLimit", .reg = {31, 31}, .pattern = "0.00", .min = 0,
     .max = 10000, .column = Right, .row = 0},
    {.caption = "Интервал усреднения", .name = "EditIntervalAverage", .reg = {33, 33},
     .encoding = E::RegisterByte, .editor = Whole, .min = 1, .max = 50, .column = Right, .row = 3},
    {.caption = "Вес импульса, м3/имп.", .name = "EditWeigthPulse", .reg = {34, 34}, .pattern = "0.0000",
     .min = 0.0001, .max = 100, .minCompare = Compare::ExactDecimal, .column = Left, .row = 4},
    {.caption = PulseWeightDesignCaption, .name = "EditWeigthPulseF", .reg = {109, 192}, .pattern = "0.00",
     .editor = Display, .captionName = {"StaticText144", "StaticText156"}, .column = Right, .row = 4},
    {.caption = "Внутр. диаметр, мм", .name = "EditInternalDiameter", .editor = Fixed, .fixedText = "100",
     .column = Left, .row = 0},
    {.caption = "Гидродинамич. коэффиц.", .name = "EditGidroDinam", .editor = Fixed, .fixedText = "1",
     .column = Left, .row = 1},
    {.caption = "Скорость звука, км/с", .name = "EditSpeedSound", .editor = Fixed, .fixedText = "2,2",
     .column = Left, .row = 2},
    {.caption = "Фазов. скорость, км/с", .name = "EditPhaseSpeed", .editor = Fixed, .fixedText = "3,85",
     .column = Right, .row = 2},
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
