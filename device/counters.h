#pragma once
// The measurements and counters ("Измерения") map: which layout the device's work mode calls for,
// the reads of each layout, one row per field with its register, how it is shown or edited and where
// it sits, the volume sums, and the writes of the view's buttons and editors. The panel is built from
// these rows, the readers fill through them and the editors check and encode with them.
#include "device/itemlists.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

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
// Where a row's register is counted from: register 0, or the channel's measurement block (202, 227).
enum class Base { Absolute, Measurement };

enum class Value {
    Date,          // device time, "dd.mm.yyyy"
    ShortTime,     // device time, "    hh:nn"
    Formatted,     // register float through MyFormatFloat
    Fixed,         // register float with `decimals`
    ForwardVolume, // two-part float at the row's register
    ReverseVolume, // two-part float at the row's register
    TotalVolume,   // forward plus reverse volume, the forward one at the row's register
    ItemIndex,     // register byte as a list's item
};

enum class Control { DisplayOnly, Edit, List };

// A field's place in its group; its caption stands at captionY, left-aligned with the field.
struct Place {
    int x = 0, y = 0, width = 0, height = 21;
    int captionY = 0;
};

struct Field {
    const char* name = "";
    QString caption{};
    Group group = Group::Channel;
    Base base = Base::Measurement;
    int reg = 0;
    Value value = Value::Formatted;
    int decimals = 4;
    Control control = Control::DisplayOnly;
    int tag = -1;   // -1: the control carries no Tag
    QString keys{}; // typed characters accepted besides Backspace
    bool commaForDot = false;
    items::List list = items::List::None;
    Place place{};
};

const std::vector<Field>& fields();
const Field* field(const QString& name); // by its name in the table (without the channel)
// The control's object name: channel rows end in the channel ("EditVPlusCh2").
QString objectName(const Field& field, int channel);
// The register a field shows on a channel.
int registerOf(const Field& field, int channel);

// Text of a display or edit field; nothing when the block does not hold what it needs.
std::optional<QString> fieldText(const Field& field, const RegisterBlock& block, int channel);
// The item of a list; nothing when the block does not hold its register.
std::optional<int> itemIndex(const Field& field, const RegisterBlock& block, int channel);
// A two-part volume (forward, reverse or their sum), in double precision.
std::optional<double> volume(Value value, const RegisterBlock& block, int channel);

// The volume reset of the command register a button carries; nothing for any other register, so a
// button whose Tag was never set writes nowhere.
std::optional<RegisterWrite> volumeReset(int commandRegister);
// The zero shift typed in the verification layout, written as a register float; nothing when the
// text is not a finite number made of the field's keys.
std::optional<RegisterWrite> checkShiftZero(const QString& text);
RegisterWrite pulseModeWrite(int index);

} // namespace counters
