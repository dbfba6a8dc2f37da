#pragma once
// The installation ("Основные") parameters: which of four layouts a device shows, and one table of
// fields per layout. Each row says for both channels which register a field shows, how it is shown
// and edited and where it sits; the panel is built, filled and checked from these rows alone.
#include "device/itemlists.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"
#include "device/sysparams.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <span>

namespace genparams {

using sysparams::EditCheck;
using sysparams::Encoding;
using sysparams::Read;
using sysparams::Verdict;

// The layouts by work mode and sensor type: operational clamp-on, insertion, U-bend, and
// verification clamp-on.
enum class Variant { EN, EV, EU, PN };
inline constexpr Variant Variants[] = {Variant::EN, Variant::EV, Variant::EU, Variant::PN};

enum class Editor {
    Float,         // limits of its row
    SignedFloat,   // the zero shift: a minus sign is a key too
    Whole,         // averaging interval, pulse duration: one register
    Circumference, // the circumference/diameter pair: writes the circumference and the
    Diameter,      // transducer-plane diameter, whichever of the two is typed
    List,          // writes the item index, then command 1 to both channels
    Cells,         // the status-output condition mask, one cell per bit
    Display,       // read-only device value
    Fixed,         // read-only text of the layout itself, never read from the device
};

// How the lower limit meets the typed value (always converted to single precision first).
enum class Compare {
    Single,       // with the limit in single precision
    ExactDecimal, // with the exact decimal: 0,0001 in single precision lies below 0.0001
};

enum class Column { Left, Right, Centre };

struct Field {
    const char* caption = "";       // above the field; for the pulse weight (f) the design-time text
    const char* caption2 = nullptr; // a second caption line under the first
    const char* name = "";          // object name without the layout code and channel
    std::array<int, 2> reg{};       // per channel; the same register twice where the boxes share it
    Encoding encoding = Encoding::RegisterFloat;
    const char* pattern = "0.00"; // display of a float
    Editor editor = Editor::Float;
    double min = 0;
    double max = 0;
    Compare minCompare = Compare::Single;
    items::List list = items::List::None;
    std::array<int, 2> tag{-1, -1};           // a Tag that is not the register (the diameter's selectors)
    std::array<const char*, 2> captionName{}; // caption labels with names of their own (pulse weight f)
    const char* fixedText = nullptr;
    Column column = Column::Left;
    int row = 0;
    std::array<int, 2> bits{8, 6}; // condition cells per channel: bits 0 .. bits-1

    int registers() const;
    // Whether the operator edits the field (and it carries its register in its Tag).
    bool editable() const;
    int tagOf(int channel) const { return tag[channel] >= 0 ? tag[channel] : reg[channel]; }
};

struct Layout {
    Variant variant;
    const char* code;
    int workMode;
    int sensorType;
    std::array<Read, 2> blocks;
    int boxHeight;
    std::span<const Field> fields;
    // Sent after every successful read of the layout.
    std::span<const CommandStep> afterRead;
};

const Layout& layout(Variant variant);
// The layout of a work mode and sensor type (the low bytes of registers 15 and 17); none for the
// combinations the device has no layout for.
std::optional<Variant> variantFor(int workMode, int sensorType);

// Registers 0 to 17: the clock, the work mode and the sensor type.
inline constexpr Read CommonRead{0, 18};
inline constexpr int WorkModeRegister = 15;
inline constexpr int SensorTypeRegister = 17;
// The layout a block of the common read asks for.
std::optional<Variant> variantOf(const RegisterBlock& common);

// Object names: "EditLowLimitEUCh2", "GroupBoxChannel1EN", "Image0_ENCh1" / "Image0xENCh1".
QString controlName(const Layout& layout, const Field& field, int channel);
QString boxName(const Layout& layout, int channel);
QString pictureName(const Layout& layout, int channel, int bit, bool cross);
// The caption label of a field: its own name where the row gives one, else "Label" + the control.
QString captionName(const Layout& layout, const Field& field, int channel);
// Bit value of a cell picture (its Tag).
inline int bitValue(int bit) {
    return 1 << bit;
}

// What a control name stands for: a field of a box, or one picture of a condition cell.
struct Control {
    const Layout* layout = nullptr;
    const Field* field = nullptr;
    int channel = 0;
    int bit = -1; // the cell's bit for a picture
};
std::optional<Control> findControl(const QString& objectName);
// A field of the same layout by its name (the pair editor shows its results in its neighbours).
const Field* fieldNamed(const Layout& layout, const char* name);

inline constexpr const char* CircumferenceName = "EditLengthCirc";
inline constexpr const char* DiameterName = "EditExternalDiameter";
inline constexpr const char* PlaneDiameterName = "EditExtDiamPEA";

// Display text of a field from a block holding its registers; empty when the block does not hold
// them, and always for fixed texts, lists and cells.
std::optional<QString> fieldText(const Field& field, int channel, const RegisterBlock& block);
// A float in the field's display pattern.
QString formatValue(const Field& field, float value);
// Item index of a list field; empty when the block lacks it or the code names no item (the list
// then keeps its selection).
std::optional<int> itemIndex(const Field& field, int channel, const RegisterBlock& block);
// Caption of the pulse-weight (f) fields for a pulse-output mode; empty for a code without one.
std::optional<QString> pulseWeightCaption(int pulseOutputMode);
inline constexpr const char* PulseWeightDesignCaption = "Вес имп. (f), м3/имп";

// What the cell of one bit shows.
enum class Cell { Hidden, Bar, Cross };
// The cells of a channel's mask (bit 0 first). In two-channel mode bits 6 and 7 of channel 1 are
// not shown; they tell only a two-beam device's conditions.
QList<Cell> cells(const Field& field, int channel, std::uint8_t mask, bool twoChannelMode);

// The write that toggles a cell's bit in the mask the device holds now (the register read just
// before); the high byte goes as 0. Empty when the block does not hold the mask.
std::optional<RegisterWrite> toggleWrite(const Control& cell, const RegisterBlock& current);

// Characters the operator may type into an editor besides Backspace.
QString keysOf(Editor editor);

// Checks a committed text of a plain editor (float, signed float, whole) and encodes its write.
// Every character must be one of the editor's keys, whatever way it reached the field.
EditCheck checkEdit(const Field& field, int channel, const QString& text);

// The circumference/diameter pair: a typed diameter gives the circumference, a typed circumference
// the diameter, both with the device's constant 3.14159 in single precision. Both values go to the
// device: the circumference and the diameter in the transducer plane.
inline constexpr float PairPi = 3.14159f;
struct PairEdit {
    float circumference = 0;
    float diameter = 0;
    QList<RegisterWrite> writes;
};
std::optional<PairEdit> checkPair(const Field& field, int channel, const QString& text);

// The writes of choosing a list item, with the pause after each: the item, then command 1 to the
// command registers of both channels so the device takes the new mode or scheme.
QList<CommandStep> listSteps(const Field& field, int channel, int index);

} // namespace genparams
