// What the archive chart makes of a reading: bars per period, the periods without a row as marked
// gaps, the downtime line broken at them, and dates on round periods.
#include "fakemeter.h"

#include "archives/archivechart.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using archives::ChartGap;
using archives::ChartMark;
using archives::Kind;
using State = archives::Period::State;

namespace {

const QDateTime Now = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9), Qt::LocalTime);

// Hours 10 to 13 of 05.03.2024: hour 11 not recorded, so the row of hour 12 covers it.
archives::ArchiveReading hours(bool withBase) {
    FakeMeter meter;
    if (withBase) meter.records[at("05.03.2024 09:00")] = record("05.03.2024 09:59:59", 100, 5, 1000);
    meter.records[at("05.03.2024 10:00")] = record("05.03.2024 10:59:59", 101.5f, 5.25f, 1600);
    meter.records[at("05.03.2024 12:00")] = record("05.03.2024 12:20:00", 104, 5.25f, 5501);
    meter.records[at("05.03.2024 13:00")] = record("05.03.2024 13:59:59", 105, 6, 8100);
    return archives::readArchive(Kind::Hour, {false, at("05.03.2024 10:00"), at("05.03.2024 14:00")}, 0, Now,
                                 meter.fn());
}

TEST(ArchiveChart, PeriodsWithoutARowAreMarkedGapsAndBreakTheDowntime) {
    const archives::ArchiveReading reading = hours(true);
    ASSERT_EQ(reading.periods.size(), 4);
    EXPECT_EQ(reading.periods[1].start, at("05.03.2024 11:00"));
    EXPECT_EQ(reading.periods[1].state, State::NotRecorded);

    const archives::ArchiveChart chart = archives::chartOf(reading);
    EXPECT_EQ(chart.plus, (QList<float>{1.5f, 0, 2.5f, 1}));
    EXPECT_EQ(chart.minus, (QList<float>{0.25f, 0, 0, 0.75f}));
    EXPECT_EQ(chart.gaps, (QList<ChartGap>{{1, 1, ChartMark::NotRecorded}}));
    EXPECT_EQ(chart.downtimeTitle, "Простой, мин");
    // The rows' downtimes: 00:10:00, 00:45:00, 00:03:20.
    EXPECT_EQ(chart.downtime, (QList<QList<QPointF>>{{{0, 10}}, {{2, 45}, {3, 200 / 60.0}}}));
    EXPECT_EQ(chart.low, 0);
    EXPECT_EQ(chart.high, 2.5f);

    // Without a base the first period has no volumes to show: a gap of its own kind.
    EXPECT_EQ(archives::chartOf(hours(false)).gaps,
              (QList<ChartGap>{{0, 0, ChartMark::NoBase}, {1, 1, ChartMark::NotRecorded}}));
}

// Hours 10 to 13 of 05.03.2024, each with a volume "+" of 1, changed by `edit` before the reading.
archives::ArchiveChart everyHour(const std::function<void(FakeMeter&)>& edit) {
    FakeMeter meter;
    for (int h = 9; h <= 13; ++h)
        meter.records[at("05.03.2024 00:00").addSecs(h * 3600)] = record("05.03.2024 00:00", float(h), 0, 0);
    for (auto it = meter.records.begin(); it != meter.records.end(); ++it)
        it->time = enc::DateToSec(it.key()) + 3599;
    edit(meter);
    return archives::chartOf(archives::readArchive(
        Kind::Hour, {false, at("05.03.2024 10:00"), at("05.03.2024 14:00")}, 0, Now, meter.fn()));
}

TEST(ArchiveChart, AVolumeThatIsNoNumberIsAGapInItsOwnPeriod) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        std::function<void(FakeMeter&)> edit;
        QList<float> plus, minus;
        QList<ChartGap> gaps;
    } cases[] = {
        {"a record's own",
         [&](FakeMeter& m) { m.records[at("05.03.2024 11:00")].volume[0][0] = inf; },
         {1, 0, 0, 1},
         {0, 0, 0, 0},
         {{1, 2, ChartMark::NoNumber}}},
        // The volume "+" of that hour is a number and keeps its bar.
        {"a difference that overflows",
         [](FakeMeter& m) {
             for (auto it = m.records.begin(); it != m.records.end(); ++it)
                 it->volume[0][1] = it.key().time().hour() == 9 ? -3e38f : 3e38f;
         },
         {1, 1, 1, 1},
         {0, 0, 0, 0},
         {{0, 0, ChartMark::NoNumber}}},
    };
    for (const auto& c : cases) {
        const archives::ArchiveChart chart = everyHour(c.edit);
        EXPECT_EQ(chart.plus, c.plus) << c.name;
        EXPECT_EQ(chart.minus, c.minus) << c.name;
        EXPECT_EQ(chart.gaps, c.gaps) << c.name;
        EXPECT_TRUE(std::isfinite(chart.low) && std::isfinite(chart.high)) << c.name;
    }
}

TEST(ArchiveChart, PeriodsNotReadAreGapsOfTheirOwn) {
    archives::ArchiveReading reading;
    for (State state : {State::Row, State::NotRead, State::NotRead, State::NoBase, State::Row})
        reading.periods.append({.start = at("05.03.2024 10:00"), .state = state, .plus = 1});
    EXPECT_EQ(archives::chartOf(reading).gaps,
              (QList<ChartGap>{{1, 2, ChartMark::NotRead}, {3, 3, ChartMark::NoBase}}));
}

archives::ArchiveReading periods(Kind kind, const char* first, int count, QList<int> unrecorded = {}) {
    archives::ArchiveReading reading;
    reading.kind = kind;
    const FakeMeter steps(kind);
    for (int i = 0; i < count; ++i) {
        archives::Period p{.start = steps.periodStart(at(first), i), .plus = 1, .minus = 0};
        if (unrecorded.contains(i)) p.state = State::NotRecorded;
        reading.periods.append(p);
    }
    return reading;
}

TEST(ArchiveChart, DatesStandOnRoundPeriods) {
    const struct {
        const char* name;
        archives::ArchiveReading reading;
        QStringList firstLabels;
        int labels;
    } cases[] = {
        {"a few hours, each", periods(Kind::Hour, "05.03.2024 10:00", 4), {"10:00", "11:00", "12:00"}, 4},
        {"two days of hours, every six, midnight by its date",
         periods(Kind::Hour, "03.03.2024 15:00", 48),
         {"18:00", "04.03", "06:00"},
         8},
        {"the full hour archive, every third midnight",
         periods(Kind::Hour, "06.02.2024 15:00", 671),
         {"07.02", "10.02"},
         10},
        {"the full day archive, Mondays", periods(Kind::Day, "02.01.2024 00:00", 63), {"08.01", "15.01"}, 9},
        {"the full month archive, quarters",
         periods(Kind::Month, "01.04.2022 00:00", 23),
         {"04.2022", "07.2022", "10.2022"},
         8},
    };
    for (const auto& c : cases) {
        const archives::ArchiveChart chart = archives::chartOf(c.reading, 12);
        EXPECT_EQ(chart.labels.size(), c.labels) << c.name;
        EXPECT_LE(chart.labels.size(), 12) << c.name;
        for (int i = 0; i < c.firstLabels.size() && i < chart.labels.size(); ++i)
            EXPECT_EQ(chart.labels[i].text, c.firstLabels[i]) << c.name;
    }
}

TEST(ArchiveChart, NeighbouringGapsJoinAndMonthsKeepNoDowntime) {
    const archives::ArchiveChart chart =
        archives::chartOf(periods(Kind::Month, "01.01.2024 00:00", 6, {2, 3, 5}));
    EXPECT_EQ(chart.gaps, (QList<ChartGap>{{2, 3, ChartMark::NotRecorded}, {5, 5, ChartMark::NotRecorded}}));
    EXPECT_TRUE(chart.downtime.isEmpty());
    EXPECT_TRUE(chart.downtimeTitle.isEmpty());
    EXPECT_EQ(chart.plus, (QList<float>{1, 1, 0, 0, 1, 0}));
}

} // namespace
