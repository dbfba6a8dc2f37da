#include "device/flowtrend.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trend {

namespace {

constexpr float NoValue = std::numeric_limits<float>::quiet_NaN();

// Builds one channel's runs bucket by bucket.
class LineBuilder {
  public:
    LineBuilder(std::vector<std::vector<Point>>& runs, std::int64_t maxStepMs)
        : m_runs(runs), m_maxStepMs(maxStepMs) {}

    void add(std::int64_t bucket, std::int64_t ms, double value) {
        if (bucket != m_bucket) {
            flush();
            m_bucket = bucket;
            m_broken = false;
        }
        if (!std::isfinite(value)) {
            // What the bucket gathered before the gap goes too: a gap narrower than a bucket would
            // vanish under the line.
            m_broken = true;
            m_has = false;
            cut();
            return;
        }
        if (m_broken) return;
        if (m_lastMs && ms - *m_lastMs > m_maxStepMs) {
            flush();
            cut();
        }
        m_lastMs = ms;
        const Point p{ms, value};
        if (!m_has) {
            m_low = m_high = p;
            m_has = true;
        } else if (value < m_low.value) {
            m_low = p;
        } else if (value > m_high.value) {
            m_high = p;
        }
    }

    // Another meter's sample: no line runs across it, and nothing is marked.
    void interrupt() {
        flush();
        cut();
    }

    void finish() {
        flush();
        cut();
    }

  private:
    void flush() {
        if (!m_has) return;
        m_has = false;
        const bool lowFirst = m_low.ms <= m_high.ms;
        m_run.push_back(lowFirst ? m_low : m_high);
        if (!(m_low == m_high)) m_run.push_back(lowFirst ? m_high : m_low);
    }
    void cut() {
        if (!m_run.empty()) m_runs.push_back(std::move(m_run));
        m_run.clear();
        m_lastMs.reset();
    }

    std::vector<std::vector<Point>>& m_runs;
    std::int64_t m_maxStepMs;
    std::vector<Point> m_run;
    std::optional<std::int64_t> m_lastMs;
    std::int64_t m_bucket = -1;
    bool m_broken = false;
    bool m_has = false;
    Point m_low, m_high;
};

} // namespace

Poll pollOf(const RegisterBlock& block) {
    Poll poll;
    for (int c = 0; c < ChannelCount; ++c)
        poll.flow[c] = block.f32(FlowRegister[c]);
    return poll;
}

FlowTrend::FlowTrend(std::size_t capacity, std::int64_t keepMs)
    : m_capacity(std::max<std::size_t>(1, capacity)), m_keepMs(keepMs) {}

void FlowTrend::add(std::int64_t ms, int address, const Poll& poll) {
    Sample s{.ms = ms, .address = address, .failed = poll.failed};
    if (!m_samples.empty()) s.ms = std::max(s.ms, m_samples.back().ms);
    for (int c = 0; c < ChannelCount; ++c)
        s.flow[c] = poll.failed ? NoValue : poll.flow[c].value_or(NoValue);
    m_samples.push_back(s);
    while (m_samples.size() > m_capacity || m_samples.front().ms < s.ms - m_keepMs)
        m_samples.pop_front();
}

Plot FlowTrend::plot(int address, std::int64_t from, std::int64_t to, int buckets,
                     std::int64_t maxStepMs) const {
    Plot plot;
    if (to < from) return plot;
    const std::int64_t span = to - from + 1;
    const std::int64_t width = std::max<std::int64_t>(1, (span + buckets - 1) / std::max(1, buckets));
    const auto first = std::lower_bound(m_samples.begin(), m_samples.end(), from,
                                        [](const Sample& s, std::int64_t t) { return s.ms < t; });

    std::array<LineBuilder, ChannelCount> lines{LineBuilder(plot.lines[0], maxStepMs),
                                                LineBuilder(plot.lines[1], maxStepMs)};
    std::int64_t markedBucket = -1;
    for (auto it = first; it != m_samples.end() && it->ms <= to; ++it) {
        const std::int64_t bucket = (it->ms - from) / width;
        if (it->address != address) {
            for (LineBuilder& line : lines)
                line.interrupt();
            continue;
        }
        if (it->failed && bucket != markedBucket) {
            plot.failures.push_back(it->ms);
            markedBucket = bucket;
        }
        for (int c = 0; c < ChannelCount; ++c)
            lines[c].add(bucket, it->ms, it->failed ? NoValue : double(it->flow[c]));
    }
    for (LineBuilder& line : lines)
        line.finish();

    for (const auto& runs : plot.lines)
        for (const auto& run : runs)
            for (const Point& p : run) {
                if (!plot.range) plot.range = {p.value, p.value};
                plot.range->first = std::min(plot.range->first, p.value);
                plot.range->second = std::max(plot.range->second, p.value);
            }
    return plot;
}

} // namespace trend
