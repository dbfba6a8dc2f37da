#pragma once
// The flows of both channels as the live views poll them, kept for the trend window: one sample per
// poll, the last day of them, where a failed poll (or a channel the poll did not read) is a gap in
// the line, never a zero.
#include "device/registerblock.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace trend {

constexpr int ChannelCount = 2;
// The flow (register float, m3/h) of channel 1 and 2 in the measurement blocks.
constexpr int FlowRegister[ChannelCount] = {210, 235};

// What one poll of a live view read.
struct Poll {
    bool failed = false; // no usable reply: both lines break there, and the failure is marked
    std::array<std::optional<float>, ChannelCount> flow{};
};

// The flows a poll's block holds: the adjustment view's block of channel 2 has no flow of channel 1.
Poll pollOf(const RegisterBlock& block);

struct Sample {
    std::int64_t ms = 0; // when the poll ended, ms since 1970 UTC
    int address = 0;     // the meter polled
    bool failed = false;
    std::array<float, ChannelCount> flow{}; // NaN where the poll read none
};

struct Point {
    std::int64_t ms = 0;
    double value = 0;
    bool operator==(const Point&) const = default;
};

// What the window draws of one meter over a stretch of time.
struct Plot {
    // Per channel, the unbroken runs of its line, oldest first.
    std::array<std::vector<std::vector<Point>>, ChannelCount> lines;
    std::vector<std::int64_t> failures; // where polls failed, at most one mark per bucket
    // The least and the greatest value drawn; nothing when no line has a point.
    std::optional<std::pair<double, double>> range;
};

class FlowTrend {
  public:
    static constexpr std::int64_t DayMs = 24LL * 3600 * 1000;
    // A poll a second for a whole day: more than polls can deliver, each being three requests that
    // wait for the line's silence.
    static constexpr std::size_t DefaultCapacity = 86400;

    explicit FlowTrend(std::size_t capacity = DefaultCapacity, std::int64_t keepMs = DayMs);

    // A time before the newest sample's (the computer's clock set back) is taken as the newest's, so
    // the samples stay in order.
    void add(std::int64_t ms, int address, const Poll& poll);
    std::size_t size() const { return m_samples.size(); }
    const Sample& at(std::size_t i) const { return m_samples[i]; } // oldest first

    // The samples of one meter from `from` to `to`. Each line is cut where a poll failed or did not
    // read its channel, and where polls stopped for longer than maxStepMs (another view, another
    // meter); a stretch is cut into `buckets` and a run keeps only the lowest and highest value of
    // each, so the points stay few over a day and no peak is lost. A bucket with a failed poll draws
    // no line at all, so the gap shows at any span.
    Plot plot(int address, std::int64_t from, std::int64_t to, int buckets, std::int64_t maxStepMs) const;

  private:
    std::size_t m_capacity;
    std::int64_t m_keepMs;
    std::deque<Sample> m_samples;
};

} // namespace trend
