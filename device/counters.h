#pragma once
// The measurements and counters ("Измерения") map: which layout the device's work mode calls for,
// the reads of each layout, one row per field with its register, how it is shown or edited and where
// it sits, the volume sums, and the writes of the view's buttons and editors. The panel is built from
// these rows, the readers fill through them and the editors check and encode with them.
#include "device/itemlists.h"
#include "device/paramfield.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

namespace counters {

constexpr int WorkModeRegister = 15;
constexpr int ShiftZeroRegister = 24;
constexpr int PulseModeRegister = 26;
constexpr int SimulatorCoil = 3;
// Writing this code to a channel's command register (27, 28) resets its volume counters.
constexpr std::uint16_t ResetVolumes = 2;

enum class Layout { Operation, Verification };
// Operation for work mode 0, verification for 1; any other mode has no layout.
std::optional<Layout> layoutOf(std::uint8_t workMode);

struct Read {
    int first;
    int count;
    bool operator==(const Read&) const = default;
};
// The clock and the work mode.
constexpr Read SystemRead{0, 16};
// Operation: both channels' measurements up to the condition bytes, with the failure byte.
constexpr Read OperationRead{210, 46};
// Verification: the zero shift and the pulse-output mode, then the channel's flow up to its
// forward volume.
constexpr Read SettingsRead{24, 3};
Read verificationRead(int channel);

// The channel's command register (27 or 28).
int commandRegister(int channel);

// Where a control sits: on the panel itself, in each channel's group (GroupBox4, GroupBox5; the
// object name ends in Ch1 or Ch2) or in the verification group (GroupBox2).
enum class Group { Panel, Channel, Verification };
// The two-part volumes a derived row shows.
enum class Volume { None, Forward, Reverse, Total };

// What the panel needs besides the field: where the row sits, and the volume a derived row sums.
struct Where {
    Group group = Group::Channel;
    Volume volume = Volume::None;
};

struct Row {
    param::Field field;
    Where where{};
};

std::span<const Row> rows();
const Row* row(const QString& name); // by its name in the table (without the channel)
// The control's object name: channel rows end in the channel ("EditVPlusCh2").
QString objectName(const Row& row, int channel);

// Text of a display or edit field; nothing when the block does not hold what it needs.
std::optional<QString> fieldText(const Row& row, const RegisterBlock& block, int channel);
// A two-part volume (forward, reverse or their sum), in double precision.
std::optional<double> volume(Volume volume, const RegisterBlock& block, int channel);

// The volume reset of the command register a button carries; nothing for any other register, so a
// button whose Tag was never set writes nowhere.
std::optional<RegisterWrite> volumeReset(int commandRegister);

} // namespace counters
