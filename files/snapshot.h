#pragma once
// The binary parameter snapshot (Param.bin): the meter's electronic number, then its register image,
// and the plan by which a snapshot is loaded back: six block writes of the configuration registers
// with pauses between them. The clock, the electronic number, the command registers and the measured
// values are never written.
#include "device/registerwrite.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace snapshot {

constexpr int FileBytes = 655;

// The electronic number (registers 8-9 of the image, most significant byte first), then the image.
QByteArray encode(const QByteArray& image);

struct Snapshot {
    std::uint32_t electronicNumber = 0;
    QByteArray image;
};
// Nothing unless the file is exactly FileBytes long, as a save writes it: no write may come from
// part of an image, nor from a file that something was added to.
std::optional<Snapshot> decode(const QByteArray& file);
// The snapshot in a file; nothing, with the reason, for a folder, a device, FIFO or socket, a file
// that cannot be read, and any file not exactly FileBytes long. At most one byte past FileBytes is
// read.
std::optional<Snapshot> read(const QString& path, QString* reason = nullptr);

// Whether the snapshot is the meter's whose electronic number reads `electronicNumber`. The texts are
// compared, so a meter whose number is not known (an empty text) owns no snapshot.
bool belongsTo(const Snapshot& snapshot, const QString& electronicNumber);
// Why a snapshot that does not belong to the meter is refused, naming both numbers, so the operator
// sees which meter's file was picked.
QString ownerMismatch(const Snapshot& snapshot, const QString& electronicNumber);

// The snapshot's path beside the report's: "Param.txt" gives "Param.bin" (the last three characters
// of the name replaced); a name that would give no other file gets ".bin" added.
QString binaryName(const QString& reportPath);

struct LoadBlock {
    int first;
    int count;
    int pauseBeforeMs;
};
const std::array<LoadBlock, 6>& loadPlan();
// The write of a block, its data taken from the image.
RegisterWrite blockWrite(const LoadBlock& block, const QByteArray& image);
// Whether a load writes the register.
bool loaded(int reg);

// Sends the plan in order, each block after its pause; a block that got no valid reply does not
// stop the rest. Gives each block's outcome, in plan order.
using Write = std::function<bool(const RegisterWrite&)>;
using Pause = std::function<void(int ms)>;
std::array<bool, 6> load(const QByteArray& image, const Write& write, const Pause& pause);

} // namespace snapshot
