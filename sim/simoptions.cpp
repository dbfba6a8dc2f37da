#include "sim/simoptions.h"

namespace sim {

namespace {
// One table for the command line and the log notes, so a fault is called the same in both.
const struct {
    const char* name;
    Fault kind;
} FaultNames[] = {
    {"none", Fault::None},           {"silence", Fault::Silence},     {"badcrc", Fault::BadCrc},
    {"chunks", Fault::Chunks},       {"late", Fault::Late},           {"noise", Fault::Noise},
    {"oversize", Fault::Oversize},   {"exception", Fault::Exception}, {"wrongaddress", Fault::WrongAddress},
    {"closeport", Fault::ClosePort}, {"badrecord", Fault::BadRecord}, {"babble", Fault::Babble},
    {"drop", Fault::Drop},
};
} // namespace

QString faultName(Fault kind) {
    for (const auto& n : FaultNames)
        if (n.kind == kind) return QString::fromLatin1(n.name);
    return {};
}

std::optional<Fault> faultByName(const QString& name) {
    for (const auto& n : FaultNames)
        if (name == QLatin1String(n.name)) return n.kind;
    return std::nullopt;
}

} // namespace sim
