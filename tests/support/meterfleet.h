#pragma once
// Meters in every state a database can show them in, built from one healthy meter: the state
// tests of the store and the windows that show those states start from the same rows.
#include "store/store.h"

#include <cstdint>

namespace meterfleet {

constexpr std::int64_t Hour = 3600, Day = 86400;
constexpr std::int64_t Newest = 800 * Day; // the newest hour every meter below has stored

// A meter with ten days of hours and days on both channels, all recorded, no downtime, and one
// closed fault; a test then changes it into what it needs.
store::MeterVisit healthy(std::uint32_t number);

// Replaces the period of that archive, channel and start with `change`.
void setPeriod(store::MeterVisit& v, int archive, int channel, std::int64_t start, store::PeriodRow change);

} // namespace meterfleet
