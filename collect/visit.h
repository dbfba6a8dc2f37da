#pragma once
// One visit of one meter: who it is, what its archives hold that the database does not, its
// journals, all stored in one transaction.
#include "collect/meterlist.h"
#include "store/store.h"

#include <functional>

class TModBus;

namespace collect {

// Told while a visit reads: the archive or journal ("hour", "faults", ...), requests done and due.
using VisitProgress = std::function<void(const QString& what, int done, int due)>;

// The meter's clock may drift; this far from the PC's it is reported.
constexpr std::int64_t ClockWarningSeconds = 600;

// Reads the meter on the engine's line (already set to its port and speed) and stores what is new.
store::Outcome visitMeter(TModBus& bus, store::VisitStore& store, const MeterEntry& meter,
                          const VisitProgress& progress = {});

// The first period of an archive that still has to be read: the first one, from the oldest the
// meter keeps, that the database lacks or holds marked not read (`notRead`, among `stored`);
// `current` (the meter's own period now) when none is missing. Nothing when the database holds none
// of the archive: the whole archive is due.
std::optional<std::int64_t> firstMissing(int archive, const QList<std::int64_t>& stored, std::int64_t oldest,
                                         std::int64_t current, const QList<std::int64_t>& notRead = {});

} // namespace collect
