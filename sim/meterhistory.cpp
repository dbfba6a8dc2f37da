#include "sim/meterhistory.h"

#include "sim/archivestore.h"
#include "sim/seededrandom.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr qint64 Hour = 3600;
constexpr qint64 Day = 86400;
constexpr double TwoPi = 6.283185307179586;

bool overlaps(const QList<TimeSpan>& spans, qint64 start, qint64 end, qint64 margin) {
    for (const auto& s : spans)
        if (start < s.end + margin && s.start < end + margin) return true;
    return false;
}
} // namespace

MeterHistory::MeterHistory(std::uint64_t seed, int address, qint64 historyStart, qint64 now)
    : m_seed(SeededRandom::mix(seed, std::uint64_t(address))) {
    SeededRandom rng(m_seed);

    // Channel 1: a busy pipe with a daily rhythm that now and then tops 40 m3/h. Channel 2: a smaller
    // pipe whose flow turns back for a few hours every night, so its reverse counter moves too.
    m_mean[0] = 28.0 * rng.uniform(0.85, 1.15);
    m_waves[0] = {{9.0, double(Day), rng.uniform(0, TwoPi)},
                  {3.0, 5400.0, rng.uniform(0, TwoPi)},
                  {2.0, 7.0 * Day, rng.uniform(0, TwoPi)}};
    m_mean[1] = 7.0 * rng.uniform(0.9, 1.1);
    m_waves[1] = {{8.0, double(Day), rng.uniform(0, TwoPi)}, {1.5, 4300.0, rng.uniform(0, TwoPi)}};

    initialVolume[0][0] = std::floor(rng.uniform(15000, 25000)) + 0.375;
    initialVolume[0][1] = std::floor(rng.uniform(5, 40));
    initialVolume[1][0] = std::floor(rng.uniform(3000, 8000)) + 0.5;
    initialVolume[1][1] = std::floor(rng.uniform(400, 1200)) + 0.25;
    initialDowntime[0] = double(rng.range(0, 40) * Hour);
    initialDowntime[1] = double(rng.range(0, 40) * Hour);

    // Outages chosen so that every archive shows a gap: a few hours in the last four weeks, a whole
    // day in the last two months, a whole month in the last two years, and a short one that leaves
    // no gap but some downtime.
    QList<TimeSpan> candidates;
    auto minute = [](qint64 t) { return t - t % 60; };
    {
        // At least 150 minutes, so one whole hour (end included) passes while the meter is off.
        const qint64 start = minute(now - rng.range(3, 10) * Day - rng.range(0, Day - 1));
        candidates.append({start, start + rng.range(150, 300) * 60});
    }
    {
        const qint64 start = minute(now - rng.range(12, 25) * Day - rng.range(0, Day - 1));
        candidates.append({start, start + rng.range(5, 30) * 60});
    }
    {
        const qint64 day = (now - rng.range(35, 55) * Day) / Day * Day;
        const qint64 start = day + rng.range(18, 21) * Hour + rng.range(0, 59) * 60;
        candidates.append({start, start + rng.range(30, 44) * Hour + rng.range(0, 59) * 60});
    }
    {
        const qint64 month = ArchiveStore::periodOf(ArchiveKind::Month, now) - rng.range(13, 16);
        const qint64 start = minute(ArchiveStore::periodStart(ArchiveKind::Month, month) -
                                    rng.range(3, 8) * Day - rng.range(0, Day - 1));
        const qint64 end = minute(ArchiveStore::periodStart(ArchiveKind::Month, month + 1) +
                                  rng.range(2, 7) * Day + rng.range(0, Day - 1));
        candidates.append({start, end});
    }
    for (int i = 0; i < 6; ++i) {
        const qint64 start =
            minute(historyStart + 2 * Day +
                   rng.range(0, std::max<qint64>(1, now - 70 * Day - historyStart - 2 * Day)));
        candidates.append({start, start + rng.range(10, 20 * 60) * 60});
    }
    // The four deliberate gaps come first, so a random outage never pushes one of them out.
    for (const auto& c : candidates)
        if (c.start > historyStart && c.end < now - 600 && !overlaps(outages, c.start, c.end, Hour))
            outages.append(c);
    std::sort(outages.begin(), outages.end(),
              [](const TimeSpan& a, const TimeSpan& b) { return a.start < b.start; });

    for (int ch = 0; ch < 2; ++ch) {
        QList<TimeSpan> spans;
        auto add = [&](qint64 from, qint64 to) {
            if (to <= from) return;
            const qint64 start = minute(from + rng.range(0, to - from));
            const qint64 end = start + rng.range(5, 90) * 60;
            if (end < now - 600 && !overlaps(outages, start, end, Hour) && !overlaps(spans, start, end, Hour))
                spans.append({start, end});
        };
        for (int i = 0; i < 3; ++i)
            add(now - 27 * Day, now - Day);
        for (int i = 0; i < 5; ++i)
            add(historyStart + Day, now - 30 * Day);
        std::sort(spans.begin(), spans.end(),
                  [](const TimeSpan& a, const TimeSpan& b) { return a.start < b.start; });
        noSignal[ch] = spans;
    }

    // Faults: the clock loses its data in the long outages (the meter cannot tell since when), a
    // clock error now and then at power-up, and a few short failures of the pulse hardware.
    for (int i = 0; i < outages.size(); ++i) {
        const auto& o = outages[i];
        if (o.end - o.start > 24 * Hour) {
            const qint64 end = o.end + rng.range(2, 20);
            faults.append({3, 0, end, end});
        } else if (rng.uniform() < 0.5) {
            const qint64 start = o.end + 1;
            faults.append({1, start, start + rng.range(5, 120), start});
        }
    }
    for (int i = 0; i < 3; ++i) {
        const qint64 start = minute(now - rng.range(2, 400) * Day);
        if (start <= historyStart || overlaps(outages, start, start + 600, 0)) continue;
        faults.append({int(rng.range(4, 7)), start, start + rng.range(10, 600), start});
    }
    std::sort(faults.begin(), faults.end(),
              [](const PlannedEvent& a, const PlannedEvent& b) { return a.loggedAt < b.loggedAt; });

    // Operator: the clock set every month or two, the write-enable line unlocked for service now
    // and then, and unlocked again a few days ago (still open).
    for (qint64 t = historyStart + rng.range(5, 20) * Day; t < now - 7 * Day; t += rng.range(40, 80) * Day) {
        if (overlaps(outages, t, t + 60, 0)) continue;
        const qint64 at = t + rng.range(8 * Hour, 17 * Hour);
        operatorActions.append({1, at, at + rng.range(-90, 90), at});
    }
    for (int i = 0; i < 5; ++i) {
        const qint64 start =
            minute(historyStart + rng.range(Day, std::max<qint64>(Day + 1, now - 30 * Day - historyStart)));
        if (overlaps(outages, start, start + 4 * Hour, 0)) continue;
        operatorActions.append({2, start, start + rng.range(1, 4) * Hour, start});
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        const qint64 start = minute(now - rng.range(2 * Day, 6 * Day));
        if (overlaps(outages, start, start + 60, Hour)) continue;
        operatorActions.append({2, start, 0, start});
        break;
    }
    std::sort(operatorActions.begin(), operatorActions.end(),
              [](const PlannedEvent& a, const PlannedEvent& b) { return a.loggedAt < b.loggedAt; });

    // A pulse-generator fault that began a day or two ago and still goes on, so the fault journal
    // shows an open event beside those whose start the meter lost. Drawn last, so that it leaves
    // the rest of the plan as it was.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const qint64 start = minute(now - rng.range(Day, 2 * Day));
        if (overlaps(outages, start, start + 60, Hour)) continue;
        faults.append({4, start, 0, start});
        std::sort(faults.begin(), faults.end(),
                  [](const PlannedEvent& a, const PlannedEvent& b) { return a.loggedAt < b.loggedAt; });
        break;
    }
}

double MeterHistory::flow(int channel, double t) const {
    double q = m_mean[channel];
    for (const auto& w : m_waves[channel])
        q += w.amplitude * std::sin(TwoPi * t / w.period + w.phase);
    return q;
}

double MeterHistory::ripple(int channel, qint64 second) const {
    const auto h = SeededRandom::mix(m_seed, std::uint64_t(channel) + 7, std::uint64_t(second));
    return (double(h % 10001) / 10000.0 - 0.5) * 0.01;
}

double MeterHistory::soundSpeed(int channel, double t) const {
    return 1.482 + 0.003 * channel + 0.004 * std::sin(TwoPi * t / Day + m_waves[channel][0].phase);
}

} // namespace sim
