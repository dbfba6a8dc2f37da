#pragma once
// The adjustment ("Настройка") map of one channel: the three blocks the view reads (the system
// block, the channel's adjustment block and its measurement block), one row per control with how it
// is shown, edited, checked and placed, the Tag -> register table of the gain fields and the window
// shift, and the arithmetic of the zero-offset averaging and the two calculators. The panel is built
// from these rows, the reader fills through them and the editors check and encode with them.
#include "device/paramfield.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace adjustment {

constexpr int SensorTypeRegister = 17;
constexpr int UBendSensor = 2;

// Registers of the channel block used by the calculators and the averaging, from the channel base.
constexpr int WallReg = 2;             // pipe wall thickness h
constexpr int CalibrationWallReg = 10; // wall thickness of the calibration pipe
constexpr int OffsetReg = 16;          // time-difference offset
constexpr int DelayReg = 18;           // additional delay of the ultrasonic signal
constexpr int PhaseSpeedReg = 30;      // phase speed
constexpr int SchemeReg = 47;          // 0 Z-scheme, 1 V-scheme
constexpr int CalibrationPathReg = 65; // calibration path value X
constexpr int CalibrationReadCount = 65;

// The first register of a channel's adjustment block and of its measurement block.
constexpr int channelBase(int channel) {
    return channel == 2 ? 119 : 36;
}
constexpr int measurementFirst(int channel) {
    return channel == 2 ? 227 : 202;
}

struct Read {
    int first;
    int count;
    bool operator==(const Read&) const = default;
};
// The reader's requests, in order: the system block, the channel block, the measurement block (up
// to the channel's condition byte).
std::array<Read, 3> reads(int channel);

enum class Block { System, Channel, Measurement };

using Place = param::Place;

// Values worked out from more than a row's own register.
enum class Derived {
    None,
    InternalDiameter, // from the channel block and the sensor type
    WindowLength,     // half-sum time minus window start time
    Cycles,           // register byte: auto-circulation cycles divided by 8
};

// What the panel needs besides the field: the group box it sits in, the read that holds its
// register, and a derived value.
struct Where {
    const char* parent = nullptr;
    Block block = Block::Channel;
    Derived derived = Derived::None;
};

struct Row {
    param::Field field;
    Where where{};
};

struct Group {
    const char* name;
    QString caption;
    Place place;
};

struct UpDownSpec {
    const char* name;
    const char* parent;
    int tag; // the field of the same Tag shows its position
    int min, max;
    bool horizontal;
    Place place;
};

struct ButtonSpec {
    const char* name;
    QString caption{};
    const char* parent;
    int tag; // -1: none
    bool enabled;
    Place place;
};

std::span<const Row> rows();
const Row* row(const QString& name);
// The edit field that carries `tag` (the gain fields 1..3, the window shift 4).
const Row* rowWithTag(int tag);
const std::vector<Group>& groups();
const std::vector<UpDownSpec>& upDowns();
const std::vector<ButtonSpec>& buttons();
// The condition display of the channel, a group of its own.
Place conditionPlace();

// The register of a gain field or up-down (Tag 1..3) or of the window shift (Tag 4) on a channel.
std::optional<int> taggedRegister(int tag, int channel);

struct Context {
    int channel = 1;
    std::optional<int> sensorType; // from the system block, for the internal diameter
};

// Text of an edit or display field from the block of its read; empty when the block does not hold
// what the field needs.
std::optional<QString> fieldText(const Row& row, const RegisterBlock& block, const Context& context);
// The position of the up-down that goes with a field.
std::optional<int> fieldNumber(const Row& row, const RegisterBlock& block, const Context& context);

// L / 3.14159 - 2h from the circumference and wall thickness, or the U-bend sensors' own register.
std::optional<float> internalDiameter(const RegisterBlock& channelBlock, int base, int sensorType);
// The half-sum time at halfSumReg minus the window start that follows it, in single precision.
std::optional<float> windowLength(const RegisterBlock& block, int halfSumReg);

// The write an Enter in an edit field makes on a channel; nothing when the text is refused.
std::optional<RegisterWrite> checkEdit(const Row& row, const QString& text, int channel);
// The write of an up-down's position (the window shift as s16).
std::optional<RegisterWrite> upDownWrite(int tag, int position, int channel);
// The write of a radio group's item.
RegisterWrite radioWrite(const Row& group, int index, int channel);

// One sample more in the running average of n samples, in single precision.
float averaged(float average, int samples, float sample);
RegisterWrite floatWrite(int reg, float value);

// Axial base of clamp-on transducers, mm: m × D × c / √(cφ² − c²) + 3h with m = scheme + 1. Nothing
// when the geometry is impossible (c ≥ cφ) or the numbers give no finite result.
std::optional<float> axialBase(int scheme, double diameter, double c, double phaseSpeed, double wall);

// Additional delay from a calibration: half-sum time − X / c in single precision; nothing when
// that is not a finite number.
std::optional<float> additionalDelay(float halfSum, float path, float c);

} // namespace adjustment
