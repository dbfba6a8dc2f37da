#pragma once
// The device-wide ("system") parameter map: one row per shown value, with its registers, how it
// is shown, how it is edited and checked, and where its control sits on the panel. The panel builds
// its controls from these rows, the reader fills them and the editors check and encode with them.
#include "device/paramfield.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

namespace sysparams {

using param::Field;

// All rows in the order the reader fills them.
std::span<const Field> rows();
const Field* rowByName(const QString& objectName);

// The three reads of the view: first register and count, in order.
struct Read {
    int first;
    int count;
};
const QList<Read>& reads();

using RegisterWrite = ::RegisterWrite;
using CommandStep = ::CommandStep;

// The network number of a device the program already lists is refused without a sign.
bool refusesAddressInUse(const Field& row);

// Writes for choosing item `index` of a list row, in the order they are sent: the item, and the
// write that goes with it where there is one (verification mode forces clamp-on sensors).
QList<RegisterWrite> listWrites(const Field& row, int index);

// "Совместная работа каналов": its register holds the list's item index, and item 0 is the
// two-channel mode. Read alone wherever a channel's condition bits are judged.
inline constexpr Read ChannelModeRead{96, 1};
inline bool twoChannelMode(int modeLineIndex) {
    return modeLineIndex == 0;
}
// The mode a block holding that register tells; none when it does not hold it.
std::optional<bool> twoChannelMode(const RegisterBlock& block);

// The clock write for a moment of the PC clock; the fraction of the second is dropped.
RegisterWrite clockWrite(const QDateTime& localNow);

const QList<CommandStep>& initialisationSteps();
const QList<CommandStep>& clearArchivesSteps();
const QList<CommandStep>& clearJournalsSteps();

} // namespace sysparams
