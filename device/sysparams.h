#pragma once
// The device-wide ("system") parameter map: one row per shown value, with its registers, how it
// is shown, how it is edited and checked, and where its control sits on the panel. The panel builds
// its controls from these rows, the reader fills them and the editors check and encode with them.
#include "device/registerblock.h"
#include "device/registerwrite.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace sysparams {

enum class Encoding { DeviceTime, U32, U16, RegisterByte, RegisterFloat };
// How many registers a value of the encoding takes.
int registersOf(Encoding encoding);
enum class Shown { Date, Time, Unsigned, Fixed2, ListItem };
enum class Control { Edit, DisplayOnly, List, RadioGroup };

// How a register value picks a list item.
enum class ItemFill {
    Listed,   // code - codeOffset names an item; any other code leaves the selection alone
    NonZero,  // 0 is item 0, every other value item 1
    Direct,   // the value is the item index, in range or not
};

// What an editor does to its field when it refuses the text.
enum class Refusal { KeepText, Clear };

using RegisterWrite = ::RegisterWrite;

using CommandStep = ::CommandStep;

struct Geometry {
    int x = 0;
    int captionY = 0; // -1: no caption label (the radio group carries its own)
    int fieldY = 0;
    int width = 0;
    int height = 21;
};

struct Row {
    QString objectName;
    QString caption;
    int reg = 0;           // first register; also the control's Tag where it has one
    Encoding encoding = Encoding::RegisterByte;
    Shown shown = Shown::Unsigned;
    Control control = Control::Edit;
    bool tagged = true;    // the radio group writes its register without carrying a Tag

    // Lists
    QStringList items;
    int codeOffset = 0;    // code written = item index + codeOffset
    ItemFill fill = ItemFill::Listed;
    // A second write that goes with choosing a given item (verification mode forces clamp-on sensors).
    int companionIndex = -1;
    RegisterWrite companion;

    // Edit fields
    QString keys;          // typed characters accepted besides Backspace
    bool commaForDot = false;
    std::optional<double> min;
    std::optional<double> max;
    bool refusesAddressInUse = false;
    Refusal refusal = Refusal::KeepText;

    // After an edit or a list change
    bool rereadAfter = false;  // the whole view is read again, also after a refused text
    bool stopsPolling = false; // the poll timer is stopped on Enter

    Geometry geometry;

    int registers() const;
    bool editable() const { return control == Control::Edit; }
};

// All rows in the order the reader fills them.
const QList<Row>& rows();
const Row* rowByName(const QString& objectName);

// The three reads of the view: first register and count, in order.
struct Read {
    int first;
    int count;
};
const QList<Read>& reads();

// Display text of an edit row from a block that holds its registers; empty when it does not.
std::optional<QString> fieldText(const Row& row, const RegisterBlock& block);
// Item index of a list row; empty when the block lacks the register or the value names no item
// (the control then keeps its selection). Direct rows may return an index outside the list.
std::optional<int> itemIndex(const Row& row, const RegisterBlock& block);

// Writes for choosing item `index` of a list row, in the order they are sent.
QList<RegisterWrite> listWrites(const Row& row, int index);

enum class Verdict {
    Write,           // send `write`
    Refused,         // no write; the field is focused, cleared when the row says so
    RefusedSilently, // no write, nothing shown, the text stays (the network number of a known device)
};
struct EditCheck {
    Verdict verdict = Verdict::Refused;
    RegisterWrite write;
};

// Checks the text committed in an edit row and encodes it. Every character must come from the
// row's key set, whatever way it got into the field.
EditCheck checkEdit(const Row& row, const QString& text, const QList<int>& addressesInUse = {});

// "Совместная работа каналов": item 0 is the two-channel mode.
inline bool twoChannelMode(int modeLineIndex) { return modeLineIndex == 0; }

// The clock write for a moment of the PC clock; the fraction of the second is dropped.
RegisterWrite clockWrite(const QDateTime& localNow);

const QList<CommandStep>& initialisationSteps();
const QList<CommandStep>& clearArchivesSteps();
const QList<CommandStep>& clearJournalsSteps();

} // namespace sysparams
