#pragma once
// The command line of kastari-sim, parsed into simulator options (kept apart from main() so the
// parsing is tested).
#include "sim/simoptions.h"

#include <QString>
#include <QStringList>

namespace sim {

struct SimCommandLine {
    SimOptions options;
    QString link;
    bool verbose = false;
    bool help = false;
    QString error; // non-empty: the command line is refused with this text
};

// args without the program name.
SimCommandLine parseSimCommandLine(const QStringList& args);
std::optional<DeviceOptions> parseDeviceSpec(const QString& text, QString* error);
std::optional<FaultSpec> parseFaultSpec(const QString& text, QString* error);
QString simUsage();

} // namespace sim
