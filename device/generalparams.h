#pragma once
// The installation ("Основные") parameters: which of four layouts a device shows, and one table of
// fields per layout. Each row says for both channels which register a field shows, how it is shown
// and edited and where it sits; the panel is built, filled and checked from these rows alone.
#include "device/itemlists.h"
#include "device/paramfield.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"
#include "device/sysparams.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <span>

namespace genparams {

using param::Encoding;
using param::Verdict;
using sysparams::Read;

// The layouts by work mode and sensor type: operational clamp-on, insertion, U-bend, and
// verification clamp-on.
enum class Variant { EN, EV, EU, PN };
inline constexpr Variant Variants[] = {Variant::EN, Variant::EV, Variant::EU, Variant::PN};

enum class Column { Left, Right, Centre };

// The circumference/diameter pair: either one typed gives the other, and both go to the device.
enum class Pair { None, Circumference, Diameter };

// What a layout needs besides the field: the place in the box, the caption's second line and own
// label names, a fixed text of the layout, the pair, the condition cells.
struct Extra {
    Column column = Column::Left;
    int row = 0;
    const char* caption2 = nullptr;           // a second caption line under the first
    std::array<const char*, 2> captionName{}; // caption labels with names of their own (pulse weight f)
    const char* fixedText = nullptr;          // read-only text of the layout, never read from the device
    Pair pair = Pair::None;
    std::array<int, 2> bits{8, 6}; // condition cells per channel: bits 0 .. bits-1
};

struct Row {
    param::Field field;
    Extra extra{};

    // The control's Tag on a channel (0 or 1): its register, except the diameter's, which selects
    // the channel.
    int tagOf(int channel) const {
        return extra.pair == Pair::Diameter ? channel : field.tagOf(param::registerFor(field, channel + 1));
    }
};

struct Layout {
    Variant variant;
    const char* code;
    int workMode;
    int sensorType;
    std::array<Read, 2> blocks;
    int boxHeight;
    std::span<const Row> fields;
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
// The fields of the common read above the boxes: the clock, the work mode and the sensor type.
std::span<const param::Field> commonRows();

// Object names: "EditLowLimitEUCh2", "GroupBoxChannel1EN", "Image0_ENCh1" / "Image0xENCh1".
QString controlName(const Layout& layout, const Row& row, int channel);
QString boxName(const Layout& layout, int channel);
QString pictureName(const Layout& layout, int channel, int bit, bool cross);
// The caption label of a field: its own name where the row gives one, else "Label" + the control.
QString captionName(const Layout& layout, const Row& row, int channel);
// Bit value of a cell picture (its Tag).
inline int bitValue(int bit) {
    return 1 << bit;
}

// What a control name stands for: a field of a box, or one picture of a condition cell.
struct Control {
    const Layout* layout = nullptr;
    const Row* row = nullptr;
    int channel = 0;
    int bit = -1; // the cell's bit for a picture
};
std::optional<Control> findControl(const QString& objectName);
// A row of the same layout by its name (the pair editor shows its results in its neighbours).
const Row* rowNamed(const Layout& layout, const char* name);

inline constexpr const char* CircumferenceName = "EditLengthCirc";
inline constexpr const char* DiameterName = "EditExternalDiameter";
inline constexpr const char* PlaneDiameterName = "EditExtDiamPEA";

// Display text of a field from a block holding its registers; empty when the block does not hold
// them, and always for fixed texts, lists and cells.
std::optional<QString> fieldText(const Row& row, int channel, const RegisterBlock& block);
// Item index of a list field; empty when the block lacks it or the code names no item (the list
// then keeps its selection).
std::optional<int> itemIndex(const Row& row, int channel, const RegisterBlock& block);
// Caption of the pulse-weight (f) fields for a pulse-output mode; empty for a code without one.
std::optional<QString> pulseWeightCaption(int pulseOutputMode);
inline constexpr const char* PulseWeightDesignCaption = "Вес имп. (f), м3/имп";

// What the cell of one bit shows.
enum class Cell { Hidden, Bar, Cross };
// The cells of a channel's mask (bit 0 first). In two-channel mode bits 6 and 7 of channel 1 are
// not shown; they tell only a two-beam device's conditions.
QList<Cell> cells(const Row& row, int channel, std::uint8_t mask, bool twoChannelMode);

// The write that toggles a cell's bit in the mask the device holds now (the register read just
// before); the high byte goes as 0. Empty when the block does not hold the mask.
std::optional<RegisterWrite> toggleWrite(const Control& cell, const RegisterBlock& current);

// The circumference/diameter pair: a typed diameter gives the circumference, a typed circumference
// the diameter, both with the device's constant 3.14159 in single precision. Both values go to the
// device: the circumference and the diameter in the transducer plane.
inline constexpr float PairPi = 3.14159f;
struct PairEdit {
    float circumference = 0;
    float diameter = 0;
    QList<RegisterWrite> writes;
};
// The pair of a value accepted in either field.
PairEdit pairOf(const Row& row, int channel, float value);

// The writes of choosing a list item, with the pause after each: the item, then command 1 to the
// command registers of both channels so the device takes the new mode or scheme.
QList<CommandStep> listSteps(const Row& row, int channel, int index);

} // namespace genparams
