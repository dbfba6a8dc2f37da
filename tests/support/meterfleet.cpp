#include "meterfleet.h"

namespace meterfleet {

store::MeterVisit healthy(std::uint32_t number) {
    using store::PeriodRow;
    store::MeterVisit v{.number = number,
                        .line = "/dev/ttyS0",
                        .name = QString("Узел %1").arg(number),
                        .address = int(number)};
    for (int ch = 1; ch <= 2; ++ch) {
        for (std::int64_t t = Newest - 10 * Day; t <= Newest; t += Hour)
            v.periods << PeriodRow{.archive = 0, .channel = ch, .start = t, .plus = 1, .downtime = 0};
        for (std::int64_t t = Newest - 10 * Day; t < Newest; t += Day)
            v.periods << PeriodRow{.archive = 1, .channel = ch, .start = t, .plus = 24, .downtime = 0};
    }
    v.entries << store::EntryRow{
        .journal = 3, .code = 1, .started = Newest - 5 * Day, .ended = Newest - 4 * Day};
    return v;
}

void setPeriod(store::MeterVisit& v, int archive, int channel, std::int64_t start, store::PeriodRow change) {
    for (store::PeriodRow& p : v.periods)
        if (p.archive == archive && p.channel == channel && p.start == start) {
            change.archive = archive, change.channel = channel, change.start = start;
            p = change;
        }
}

} // namespace meterfleet
