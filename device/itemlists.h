#pragma once
// The texts of the device's coded settings, in code order (the item index is the value the device
// holds). Lists, reports and read-only fields all show a code through these, so a code reads the
// same everywhere.
#include <QString>
#include <QStringList>
#include <optional>

namespace items {

enum class List {
    None,
    WorkModes,        // register 15
    SensorTypes,      // register 17
    PulseOutputModes, // registers 21 and 26
    InstallSchemes,   // registers 83 and 166
};

const QStringList& texts(List list);
// The text of a code, or nothing when the list has no item for it.
std::optional<QString> textOf(List list, int code);

} // namespace items
