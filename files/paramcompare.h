#pragma once
// What loading a snapshot would change in a meter: every parameter, named as the report names it,
// whose registers a load writes and whose value in the snapshot differs from the meter's.
#include "device/registerblock.h"

#include <QList>
#include <QString>

namespace paramcompare {

struct Difference {
    QString name;   // the report line's name, or "Регистр N" for a register no line shows
    QString inFile; // the values after the name, channel 1 and 2 joined by "#"
    QString inDevice;
    bool operator==(const Difference&) const = default;
};

// Both images as the report reads them. The lines of either image's layout are compared, so a
// snapshot of another work mode or sensor type shows what it would change in both.
QList<Difference> differences(const RegisterBlock& file, const RegisterBlock& device);

} // namespace paramcompare
