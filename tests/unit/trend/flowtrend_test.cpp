// The flow trend's ring and what it hands the chart: gaps where polls failed, stopped or went to
// another meter (never zeros), and few points over a long span without losing a peak.
#include "device/encodings.h"
#include "device/flowtrend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using trend::FlowTrend;
using trend::Point;
using trend::Poll;

namespace {

constexpr int Meter = 1;
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

Poll flows(std::optional<float> ch1, std::optional<float> ch2) {
    return {.failed = false, .flow = {ch1, ch2}};
}
const Poll Failed{.failed = true};

using Runs = std::vector<std::vector<Point>>;

TEST(FlowTrend, KeepsTheNewestByCountAndByAgeInOrder) {
    FlowTrend byCount(3, FlowTrend::DayMs);
    for (int i = 0; i < 5; ++i)
        byCount.add(i * 1000, Meter, flows(float(i), 0));
    ASSERT_EQ(byCount.size(), 3u);
    EXPECT_EQ(byCount.at(0).ms, 2000);
    EXPECT_EQ(byCount.at(2).flow[0], 4.0f);

    FlowTrend byAge(100, 1000);
    byAge.add(0, Meter, flows(1, 1));
    byAge.add(500, Meter, flows(2, 2));
    byAge.add(1600, Meter, flows(3, 3));
    ASSERT_EQ(byAge.size(), 1u);
    // A clock set back cannot put a sample before the newest.
    byAge.add(1200, Meter, flows(4, 4));
    EXPECT_EQ(byAge.at(1).ms, 1600);
}

TEST(FlowTrend, PollsThatReadNothingAreGapsNeverZeros) {
    const struct {
        const char* name;
        std::vector<std::pair<int, Poll>> polls; // (address, poll) at 0, 10, 20, ...
        Runs ch1, ch2;
        std::vector<std::int64_t> failures;
    } cases[] = {
        {"a failed poll breaks both lines and is marked",
         {{Meter, flows(5, 1)}, {Meter, flows(6, 2)}, {Meter, Failed}, {Meter, flows(7, 3)}},
         {{{0, 5}, {10, 6}}, {{30, 7}}},
         {{{0, 1}, {10, 2}}, {{30, 3}}},
         {20}},
        {"a channel the poll did not read breaks only its own line",
         {{Meter, flows(5, 1)}, {Meter, flows(std::nullopt, 2)}, {Meter, flows(7, 3)}},
         {{{0, 5}}, {{20, 7}}},
         {{{0, 1}, {10, 2}, {20, 3}}},
         {}},
        {"a value the meter could not measure is a gap",
         {{Meter, flows(5, 1)}, {Meter, flows(NaN, 2)}, {Meter, flows(7, 3)}},
         {{{0, 5}}, {{20, 7}}},
         {{{0, 1}, {10, 2}, {20, 3}}},
         {}},
        {"another meter's polls cut the line without a mark",
         {{Meter, flows(5, 1)}, {Meter + 1, flows(50, 10)}, {Meter, flows(7, 3)}},
         {{{0, 5}}, {{20, 7}}},
         {{{0, 1}}, {{20, 3}}},
         {}},
    };
    for (const auto& c : cases) {
        FlowTrend trend;
        for (std::size_t i = 0; i < c.polls.size(); ++i)
            trend.add(std::int64_t(i) * 10, c.polls[i].first, c.polls[i].second);
        const trend::Plot plot = trend.plot(Meter, 0, 99, 100, 15);
        EXPECT_EQ(plot.lines[0], c.ch1) << c.name;
        EXPECT_EQ(plot.lines[1], c.ch2) << c.name;
        EXPECT_EQ(plot.failures, c.failures) << c.name;
    }
}

TEST(FlowTrend, PollingThatStoppedLeavesAGap) {
    FlowTrend trend;
    for (std::int64_t ms : {0, 10, 20, 200, 210})
        trend.add(ms, Meter, flows(1, 2));
    const trend::Plot plot = trend.plot(Meter, 0, 299, 300, 50);
    ASSERT_EQ(plot.lines[0].size(), 2u);
    EXPECT_EQ(plot.lines[0][1].front().ms, 200);
    EXPECT_TRUE(plot.failures.empty());
}

TEST(FlowTrend, ADayFitsInTwoPointsPerBucketAndKeepsItsPeaks) {
    FlowTrend trend;
    constexpr int Polls = 30000;
    for (int i = 0; i < Polls; ++i)
        trend.add(std::int64_t(i) * 2000, Meter, flows(i == 12345 ? 99.0f : 10.0f + float(i % 7), -3));
    const trend::Plot plot = trend.plot(Meter, 0, std::int64_t(Polls) * 2000, 400, 10000);
    ASSERT_EQ(plot.lines[0].size(), 1u);
    EXPECT_LE(plot.lines[0][0].size(), 800u);
    ASSERT_TRUE(plot.range);
    EXPECT_EQ(plot.range->first, -3);
    EXPECT_EQ(plot.range->second, 99);
    const auto& run = plot.lines[0][0];
    EXPECT_TRUE(
        std::is_sorted(run.begin(), run.end(), [](const Point& a, const Point& b) { return a.ms < b.ms; }));
}

TEST(FlowTrend, ABucketHoldingAFailedPollDrawsNoLine) {
    // Two buckets of 50 ms: the failure at 20 takes the whole first bucket, so the gap stays wider
    // than a pixel however long the span.
    FlowTrend trend;
    for (std::int64_t ms = 0; ms < 100; ms += 10)
        trend.add(ms, Meter, ms == 20 ? Failed : flows(float(ms), 1));
    const trend::Plot plot = trend.plot(Meter, 0, 99, 2, 1000);
    EXPECT_EQ(plot.lines[0], (Runs{{{50, 50}, {90, 90}}}));
    EXPECT_EQ(plot.failures, (std::vector<std::int64_t>{20}));
}

TEST(FlowTrend, PollsTakeTheFlowsTheirBlockHolds) {
    const auto block = [](int first, int count) {
        QByteArray data(count * 2, '\0');
        for (int c = 0; c < trend::ChannelCount; ++c) {
            const int at = (trend::FlowRegister[c] - first) * 2;
            if (at >= 0 && at + 4 <= data.size()) data.replace(at, 4, enc::f32Bytes(c == 0 ? 28.5f : -7.25f));
        }
        return RegisterBlock(first, data);
    };
    const struct {
        int first, count;
        std::optional<float> ch1, ch2;
    } cases[] = {
        {202, 53, 28.5f, -7.25f},        // the adjustment view, channel 1
        {227, 29, std::nullopt, -7.25f}, // the adjustment view, channel 2
        {210, 46, 28.5f, -7.25f},        // the measurements of both channels
        {235, 13, std::nullopt, -7.25f},
    };
    for (const auto& c : cases) {
        const Poll poll = trend::pollOf(block(c.first, c.count));
        EXPECT_FALSE(poll.failed);
        EXPECT_EQ(poll.flow[0], c.ch1) << c.first;
        EXPECT_EQ(poll.flow[1], c.ch2) << c.first;
    }
}

} // namespace
