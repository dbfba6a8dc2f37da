#pragma once
// The meter's whole register image as the parameter files hold it: holding registers 0-308 in
// order, two bytes each, high byte first, padded with zeros to 651 bytes. Read in three requests.
#include "device/registerblock.h"

#include <QByteArray>
#include <array>
#include <functional>
#include <optional>

namespace image {

constexpr int Bytes = 651;
constexpr int Registers = 309;

struct Read {
    int first;
    int count;
};
// The three reads of a save, in order; together they cover registers 0-308.
const std::array<Read, 3>& reads();

// One function-3 request: the block when a usable reply came, nothing otherwise.
using ReadRequest = std::function<std::optional<RegisterBlock>(int first, int count)>;

struct ImageRead {
    QByteArray bytes{Bytes, '\0'}; // zeros where nothing was read
    int readsDone = 0;             // reads that succeeded, in order
    bool complete() const { return readsDone == int(reads().size()); }
};
// Runs the reads in order; each only after the previous one succeeded.
ImageRead read(const ReadRequest& request);

// The image as a block from register 0 (its last byte, padding, is not a register of its own).
RegisterBlock block(const QByteArray& bytes);

} // namespace image
