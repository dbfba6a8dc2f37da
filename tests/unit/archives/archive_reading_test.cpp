// The archive reader against a scripted meter: which periods it asks for, and which rows, volumes
// and downtimes it makes of the records that come back.
#include "fakemeter.h"

#include <algorithm>
#include <gtest/gtest.h>

using archives::Kind;

namespace {

const QDateTime Now = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9), Qt::LocalTime);

archives::Range selection(const char* from, const char* to) {
    return {false, at(from), at(to)};
}

TEST(ArchivePlan, FullArchivesAskForTheBaseThenBlocksOfEight) {
    const struct {
        Kind kind;
        const char* base;
        int requests;
        int lastCount;
    } cases[] = {
        {Kind::Hour, "06.02.2024 14:00", 85, 7}, // 672 hours before the current one
        {Kind::Day, "01.01.2024 00:00", 9, 7},
        {Kind::Month, "01.03.2022 00:00", 4, 7},
    };
    for (const auto& c : cases) {
        FakeMeter meter(c.kind);
        archives::readArchive(c.kind, {}, 0, Now, meter.fn());
        ASSERT_EQ(meter.sent.size(), c.requests) << int(c.kind);
        EXPECT_EQ(meter.sent[0],
                  (archives::Request{.archive = int(c.kind), .count = 1, .mode = 1, .date = at(c.base)}));
        int periods = 0;
        for (int i = 1; i < c.requests; ++i) {
            EXPECT_EQ(meter.sent[i].date, meter.periodStart(at(c.base), 1 + periods)) << i;
            EXPECT_EQ(meter.sent[i].count, i + 1 < c.requests ? 8 : c.lastCount);
            periods += meter.sent[i].count;
        }
    }
}

TEST(ArchivePlan, SelectionsAreCutToThePastAndToTheArchiveLength) {
    const struct {
        const char* name;
        Kind kind;
        const char* from;
        const char* to;
        const char* start;
        int count;
    } cases[] = {
        {"one hour", Kind::Hour, "05.03.2024 10:20", "05.03.2024 10:50", "05.03.2024 10:00", 0},
        {"ending in the future", Kind::Hour, "05.03.2024 10:00", "09.03.2024 00:00", "05.03.2024 10:00", 4},
        // The difference is unsigned: a start after the current hour reads the last 671 hours.
        {"hours in the future", Kind::Hour, "06.03.2024 00:00", "07.03.2024 00:00", "06.02.2024 15:00", 671},
        {"days in the future", Kind::Day, "06.03.2024", "07.03.2024", "02.01.2024 00:00", 63},
        {"672 hours read whole", Kind::Hour, "01.02.2024 10:00", "29.02.2024 10:59", "01.02.2024 10:00", 672},
        {"673 hours cut", Kind::Hour, "01.02.2024 09:59", "29.02.2024 10:00", "01.02.2024 11:00", 671},
        {"64 days read whole", Kind::Day, "01.01.2024 08:00", "05.03.2024 23:00", "01.01.2024 00:00", 64},
        {"65 days cut", Kind::Day, "31.12.2023", "05.03.2024", "02.01.2024 00:00", 63},
        {"24 months read whole", Kind::Month, "15.03.2022", "05.03.2024", "01.03.2022 00:00", 24},
        {"25 months cut", Kind::Month, "15.02.2022", "05.03.2024", "01.04.2022 00:00", 23},
        {"months in the future", Kind::Month, "01.05.2024", "01.06.2024", "01.05.2024 00:00", 0},
    };
    for (const auto& c : cases) {
        const archives::ArchivePlan plan = archives::planArchive(c.kind, selection(c.from, c.to), Now);
        EXPECT_EQ(plan.start, at(c.start)) << c.name;
        EXPECT_EQ(plan.count, c.count) << c.name;
        FakeMeter meter(c.kind);
        const archives::Reading reading =
            archives::readArchive(c.kind, selection(c.from, c.to), 0, Now, meter.fn());
        EXPECT_EQ(meter.sent.size(), plan.requests()) << c.name;
        EXPECT_EQ(meter.sent[0].date, meter.periodStart(at(c.start), -1)) << c.name;
        if (c.count == 0) {
            EXPECT_EQ(archives::gridRows(reading).size(), 2) << c.name; // the title and an empty row
        }
    }
}

// Hours 10 to 13 of 05.03.2024 with the base at hour 9.
class HourRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        meter.records[at("05.03.2024 09:00")] = record("05.03.2024 09:59:59", 100, 5, 1000);
        meter.records[at("05.03.2024 10:00")] = record("05.03.2024 10:59:59", 101.5f, 5.25f, 1600);
        // Hour 11 the meter did not record; it went off at 12:20 and came back in hour 13.
        meter.records[at("05.03.2024 12:00")] = record("05.03.2024 12:20:00", 104, 5.25f, 5501);
        meter.records[at("05.03.2024 13:00")] = record("05.03.2024 13:59:59", 105, 6, 8100);
    }
    archives::Reading read(int channel = 0) {
        return archives::readArchive(Kind::Hour, selection("05.03.2024 10:00", "05.03.2024 14:00"), channel,
                                     Now, meter.fn());
    }
    FakeMeter meter;
};

TEST_F(HourRecords, RowsShowEachPeriodsVolumesAndDowntime) {
    const archives::Reading reading = read();
    EXPECT_EQ(meter.sent.size(), 2);
    EXPECT_EQ(reading.header[0], "Дата и время архивации");
    ASSERT_EQ(reading.rows.size(), 3);
    EXPECT_EQ(reading.rows[0],
              (QStringList{"   05.03.2024    10 час.", "1,5000", "0,2500", "1,7500", "00:10:00"}));
    // The missing hour 11: the volumes of row 12 cover it, its downtime belongs to no row, and the
    // rest of hour 12 after the record counts as downtime.
    EXPECT_EQ(reading.rows[1],
              (QStringList{"   05.03.2024    12 час.", "2,5000", "0,0000", "2,5000", "00:45:00"}));
    EXPECT_EQ(reading.rows[2][4], "00:03:20");
    EXPECT_EQ(read(1).rows[0].mid(1, 3), (QStringList{"15,000", "2,5000", "17,500"}));
}

TEST_F(HourRecords, AMissingOrForeignBaseMakesTheFirstRecordTheBase) {
    for (const char* baseTime : {"", "04.03.2024 09:59:59"}) {
        meter.records[at("05.03.2024 09:00")] = *baseTime ? record(baseTime, 1, 1, 1) : ArchiveRecord{};
        const archives::Reading reading = read();
        ASSERT_EQ(reading.rows.size(), 2) << baseTime;
        EXPECT_TRUE(reading.rows[0][0].contains("12 час.")) << baseTime;
    }
}

// Hours 10 to 21 of 05.03.2024 (a block of 8 and one of 4), each with a volume of 1, and the base at
// hour 9. A period that cannot be read never passes for one the meter did not record, and the
// periods after it keep their own volumes.
TEST(ArchiveRecords, AnUnreadableRecordIsMarkedInItsOwnPeriod) {
    using Tamper = std::function<void(int request, QByteArray& data)>;
    const auto spoil = [](int request, int position) -> Tamper {
        return [=](int r, QByteArray& data) {
            const int at = position * records::ArchiveRecordSize + records::ArchiveRecordSize - 1;
            if (r == request) data[at] = char(data[at] ^ 1);
        };
    };
    const struct {
        const char* name;
        Tamper tamper;
        const char* missing; // a period the meter did not record
        const char* states;  // R row, X not read, N no base, U not recorded; from hour 10
    } cases[] = {
        {"inside a block", spoil(1, 2), "", "RRXXRRRRRRRR"},
        {"last of a block", spoil(1, 7), "", "RRRRRRRXXRRR"},
        {"the base", spoil(0, 0), "", "XRRRRRRRRRRR"},
        {"the archive's last period", spoil(2, 3), "", "RRRRRRRRRRRX"},
        {"a short reply and a stray byte",
         [](int r, QByteArray& data) {
             if (r == 1) data.truncate(5 * records::ArchiveRecordSize + 5);
         },
         "", "RRRRRXXXXRRR"},
        {"then a period not recorded", spoil(1, 2), "05.03.2024 13:00", "RRXUXRRRRRRR"},
        {"no base is not a loss", {}, "05.03.2024 09:00", "NRRRRRRRRRRR"},
    };
    for (const auto& c : cases) {
        FakeMeter meter;
        for (int h = 9; h <= 21; ++h)
            meter.records[at("05.03.2024 00:00").addSecs(h * 3600)] =
                record("05.03.2024 00:00", float(h), 0, 0);
        for (auto it = meter.records.begin(); it != meter.records.end(); ++it)
            it->time = enc::DateToSec(it.key()) + 3599;
        if (*c.missing) meter.records.remove(at(c.missing));
        meter.tamper = c.tamper;
        const archives::ArchiveReading reading =
            archives::readArchive(Kind::Hour, selection("05.03.2024 10:00", "05.03.2024 22:00"), 0,
                                  at("06.03.2024 08:00"), meter.fn());
        ASSERT_EQ(meter.sent.size(), 3) << c.name;
        std::string states;
        for (const archives::Period& p : reading.periods)
            states += "RUNX"[int(p.state)];
        EXPECT_EQ(states, c.states) << c.name;
        EXPECT_EQ(reading.notRead(), std::count(states.begin(), states.end(), 'X')) << c.name;
        EXPECT_FALSE(reading.linkFailed()) << c.name;

        // Every period read or not has its row; a row of volumes shows its own hour's.
        QList<QStringList> expected;
        for (int i = 0; i < int(states.size()); ++i) {
            const QString hour = QStringLiteral("   05.03.2024    %1 час.").arg(10 + i);
            if (states[i] == 'X') expected.append({hour, archives::NotReadText, "", "", ""});
            if (states[i] == 'R') expected.append({hour, "1,0000", "0,0000", "1,0000", "00:00:00"});
        }
        EXPECT_EQ(reading.rows, expected) << c.name;
    }
}

TEST(ArchiveRecords, DowntimePast24Hours) {
    // 25:01:01 within one period: the hour archive shows it as a time of day, the day archive whole.
    const struct {
        Kind kind;
        const char* base;
        const char* time;
        const char* from;
        const char* to;
        QStringList row;
    } cases[] = {
        {Kind::Hour,
         "04.03.2024 09:00",
         "04.03.2024 10:59:59",
         "04.03.2024 10:00",
         "04.03.2024 11:00",
         {"   04.03.2024    10 час.", "1,0000", "0,0000", "1,0000", "01:01:01"}},
        {Kind::Day,
         "03.03.2024 00:00",
         "04.03.2024 23:59:59",
         "04.03.2024",
         "05.03.2024",
         {"       04.03.2024 ", "1,0000", "0,0000", "1,0000", "25:01:01"}},
    };
    for (const auto& c : cases) {
        FakeMeter meter(c.kind);
        meter.records[at(c.base)] = record(c.base, 10, 0, 0);
        meter.records[meter.periodStart(at(c.base), 1)] = record(c.time, 11, 0, 90061);
        meter.records[at(c.base)].time = enc::DateToSec(meter.periodStart(at(c.base), 1)) - 1;
        const archives::Reading reading =
            archives::readArchive(c.kind, selection(c.from, c.to), 0, Now, meter.fn());
        ASSERT_EQ(reading.rows.size(), 1) << int(c.kind);
        EXPECT_EQ(reading.rows[0], c.row) << int(c.kind);
    }
}

TEST(ArchiveRecords, ALinkFailureKeepsTheRowsReadAndTheWaitingRow) {
    FakeMeter meter(Kind::Month);
    for (int m = 0; m < 24; ++m)
        meter.records[at("01.03.2022").addMonths(m)] = record("01.03.2022 00:00:00", float(m), 0, 0);
    for (auto it = meter.records.begin(); it != meter.records.end(); ++it)
        it->time = enc::DateToSec(it.key());
    meter.silentAt = {2};
    std::vector<std::pair<int, int>> progress;
    const archives::Reading reading =
        archives::readArchive(Kind::Month, {}, 0, Now, meter.fn(), [&](int done, int of) {
            progress.push_back({done, of});
        });
    EXPECT_EQ(reading.failedRequest, 2);
    EXPECT_EQ(meter.sent.size(), 3);
    ASSERT_EQ(reading.rows.size(), 8);
    EXPECT_EQ(reading.rows[0], (QStringList{"       01.04.2022 ", "1,0000", "0,0000", "1,0000"}));
    EXPECT_EQ(archives::gridRows(reading).size(), 10);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}}));
}

} // namespace
