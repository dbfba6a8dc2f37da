#pragma once
// One parameter field of a panel: where its value lives in the device and how it is encoded, how it
// is shown, what the operator may type into it and what the device accepts, what an Enter does
// around the write, and where the control sits. Every panel's map is a constexpr table of these,
// one row per control written like the register map it comes from; panels are built, filled and
// checked from the rows alone, so a new parameter is one more row.
#include "device/itemlists.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace param {

enum class Encoding {
    None, // typed for the program's own arithmetic, never read or written
    DeviceTime,
    U32,
    U16,
    S16,
    RegisterByte,
    RegisterFloat,
};
// How many registers a value of the encoding takes.
int registersOf(Encoding encoding);

enum class Shown {
    Number,    // the encoding's integer, or a float in the row's pattern
    Date,      // "dd.mm.yyyy"
    Time,      // "hh:nn:ss"
    ShortTime, // "    hh:nn"
    Formatted, // a float the way the device's own display writes it
    ItemText,  // the text of the row's coded list for the register's byte; none for a code without
    Derived,   // worked out by the panel's map from more than the row's register
};

enum class Control {
    Edit,    // the operator types and commits with Enter
    Display, // shows a device value; every key is discarded
    List,    // a drop-down list of items
    Radio,   // a radio group that carries its own title
    Cells,   // one picture per bit of a mask
    Scratch, // an edit nothing reads: the operator may type there freely (a calculator's result)
};

// How a register value picks a list item.
enum class ItemFill {
    Listed,  // code - codeOffset names an item; any other code leaves the selection alone
    NonZero, // 0 is item 0, every other value item 1
    Direct,  // the value is the item index, in range or not
};

// What an Enter does to the field's text when the value is refused.
enum class Refusal { Clear, KeepText };

// The poll timer around an edit.
enum class Poll {
    Untouched,
    StopsOnEnter,      // stopped on Enter and left so
    PausedWhileTyping, // any typed key stops it so it does not overwrite the text; Enter starts it
                       // again unless the refused text is kept for mending
};

// How the lower limit meets the typed value, which is always converted to single precision first.
enum class Compare {
    Single,       // with the limit in single precision
    ExactDecimal, // with the exact decimal: 0,0001 in single precision lies below 0.0001
};

inline constexpr int NoTag = -1;
inline constexpr int TagIsRegister = -2;

// A control's place in its parent. The caption stands `captionAbove` pixels above the control
// unless a place of its own is given.
struct Place {
    int x = 0, y = 0, width = 0, height = 21;
    int captionAbove = 16;
    int captionX = -1, captionY = -1;
    int captionHeight = 16;
};

struct Field {
    const char* name = "";    // object name (panels with channels add the channel)
    const char* caption = ""; // UTF-8; none when empty
    int reg = -1;             // channel 1's register; none when negative
    int channelStride = 0;    // channel 2's register lies this far from channel 1's (0: one for both)
    Encoding encoding = Encoding::RegisterFloat;
    Shown shown = Shown::Number;
    const char* pattern = "0.00"; // decimals of a float shown as a number
    Control control = Control::Display;
    int tag = NoTag; // the control's Tag: none, the register on the channel, or a number of its own

    // Lists and radio groups: their own items or one of the device's coded lists.
    std::span<const char* const> items{};
    items::List list = items::List::None;
    int codeOffset = 0; // code written = item index + codeOffset
    ItemFill fill = ItemFill::Listed;

    // Edits. Where "," is a key, a "." is taken as the decimal comma.
    const char* keys = ""; // typed characters accepted besides Backspace
    std::optional<double> min{};
    std::optional<double> max{};
    Compare minCompare = Compare::Single;
    Refusal refusal = Refusal::Clear;
    bool rereadAfter = false; // the view is read again after an Enter, written or refused
    Poll poll = Poll::Untouched;

    Place place{};

    int registers() const { return registersOf(encoding); }
    bool editable() const { return control == Control::Edit; }
    bool chooses() const { return control == Control::List || control == Control::Radio; }
    int tagOf(int resolvedReg) const { return tag == TagIsRegister ? resolvedReg : tag; }
};

// The register of a row on a channel (1 or 2; any other number is taken as channel 1); -1 for a
// row without one.
constexpr int registerFor(const Field& field, int channel) {
    if (field.reg < 0) return -1;
    return channel == 2 ? field.reg + field.channelStride : field.reg;
}

// The items of a list or radio row.
QStringList itemTexts(const Field& field);
QString captionOf(const Field& field);

// Display text of a row whose register (resolved for the channel) the block holds; empty when it
// does not, and for lists, radio groups, cells and derived values.
std::optional<QString> fieldText(const Field& field, int reg, const RegisterBlock& block);
// A float in the row's pattern.
QString formatValue(const Field& field, float value);
// Item index of a list or radio row; empty when the block lacks the register or the value names no
// item (the control then keeps its selection). Direct rows may return an index outside the list.
std::optional<int> itemIndex(const Field& field, int reg, const RegisterBlock& block);
// The write of choosing item `index`; nothing for an index outside the list.
std::optional<RegisterWrite> itemWrite(const Field& field, int reg, int index);

enum class Verdict {
    Write,           // send `write`
    Refused,         // no write; the row's refusal says what happens to the text
    RefusedSilently, // no write, nothing shown, the text stays (the network number of a known device)
};
struct Checked {
    Verdict verdict = Verdict::Refused;
    double value = 0; // the accepted number, as the device gets it
    RegisterWrite write;
};

// Checks the text committed in an edit row and encodes its write to `reg`. Every character must be
// one of the row's keys, whatever way it got into the field; the number must parse, lie within the
// limits and fit the encoding. A value listed in `refusedSilently` is refused without a sign.
Checked check(const Field& field, int reg, const QString& text, const QList<int>& refusedSilently = {});

} // namespace param
