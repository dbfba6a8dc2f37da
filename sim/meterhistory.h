#pragma once
// What the pipes of one meter carry and what happened to the meter before the simulation started:
// when it was switched off, when a channel lost its signal, and the faults and operator actions
// it logged. Everything follows from the seed and the address.
#include <QList>
#include <cstdint>

namespace sim {

struct TimeSpan {
    qint64 start = 0;
    qint64 end = 0; // exclusive
};

// A journal event planned in the past; loggedAt orders it (start may be 0: not recorded).
struct PlannedEvent {
    int code = 0;
    qint64 start = 0;
    qint64 end = 0; // 0: still going on
    qint64 loggedAt = 0;
};

class MeterHistory {
  public:
    // now: the device time the simulation starts at; the plan covers historyStart .. now.
    MeterHistory(std::uint64_t seed, int address, qint64 historyStart, qint64 now);

    // m3/h; negative while the flow runs backwards.
    double flow(int channel, double t) const;
    // A small relative wobble of the live reading (about half a percent), fixed per second.
    double ripple(int channel, qint64 second) const;
    // Speed of sound in the liquid, km/s; it follows the daily temperature.
    double soundSpeed(int channel, double t) const;

    QList<TimeSpan> outages;     // switched off; sorted, disjoint, all ended before now
    QList<TimeSpan> noSignal[2]; // a channel without ultrasonic signal while switched on
    QList<PlannedEvent> faults;
    QList<PlannedEvent> operatorActions;
    double initialVolume[2][2] = {{0, 0}, {0, 0}};
    double initialDowntime[2] = {0, 0};

  private:
    struct Wave {
        double amplitude, period, phase;
    };
    std::uint64_t m_seed;
    double m_mean[2];
    QList<Wave> m_waves[2];
};

} // namespace sim
