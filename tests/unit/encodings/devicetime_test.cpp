// Device seconds <-> calendar, checked against Qt's own epoch arithmetic.
#include "device/encodings.h"

#include <gtest/gtest.h>

namespace {

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

TEST(DeviceTime, SecToDateShowsTheWallClock) {
    struct Row {
        std::uint32_t seconds;
        const char* text;
    } rows[] = {
        {0, "01.01.1970 00:00:00"},         {86399, "01.01.1970 23:59:59"},
        {86400, "02.01.1970 00:00:00"},     {946684800, "01.01.2000 00:00:00"},
        {951782400, "29.02.2000 00:00:00"}, {4294967295u, "07.02.2106 06:28:15"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(enc::formatDateTime(enc::SecToDate(r.seconds)), r.text) << r.seconds;

    const QDateTime t = enc::SecToDate(13 * 3600 + 5 * 60 + 9);
    EXPECT_EQ(enc::formatDate(t), "01.01.1970");
    EXPECT_EQ(enc::formatTime(t), "13:05:09");
    EXPECT_EQ(enc::formatShortTime(t), "    13:05");
    EXPECT_EQ(enc::formatDateTime(QDateTime()), "");
}

TEST(DeviceTime, DateToSecRoundsHalvesToEvenAndClampsTheRange) {
    const std::int64_t epoch = enc::UnixEpochDayNumber;
    struct Row {
        std::int64_t day;
        double ms;
        std::uint32_t seconds;
    } rows[] = {
        {epoch - 1, 86399000, 0}, // 31.12.1969 23:59:59
        {epoch - 1, 86399999, 0},
        {epoch, 0, 0},
        {epoch, 1000, 1},
        {epoch, 499, 0},
        {epoch, 500, 0},
        {epoch, 1500, 2},
        {epoch, 2500, 2},
        {epoch, 2501, 3},
        {epoch, 86398500, 86398},
        {epoch, 86399500, 86400}, // 23:59:59.5 belongs to the next day
        {epoch + 49710, 23295000, 4294967295u},
        {epoch + 49710, 23295500, 4294967295u},
        {epoch + 49710, 23296000, 4294967295u}, // past the last device second: no wrap to 1970
        {epoch + 100000, 0, 4294967295u},
        {INT64_MAX, 0, 4294967295u},
    };
    for (const Row& r : rows)
        EXPECT_EQ(enc::DateToSec(r.day, r.ms), r.seconds) << r.day << " " << r.ms;
}

TEST(DeviceTime, DateToSecReadsTheCalendarFieldsOfAnyTimeSpec) {
    EXPECT_EQ(enc::dayNumber(QDate(1, 1, 1)), 1);
    EXPECT_EQ(enc::dayNumber(QDate(1970, 1, 1)), 719163);
    EXPECT_EQ(enc::DateToSec(utc(1969, 12, 31, 23, 59, 59)), 0u);
    EXPECT_EQ(enc::DateToSec(utc(1970, 1, 1, 0, 0, 1)), 1u);
    EXPECT_EQ(enc::DateToSec(utc(2000, 1, 1)), 946684800u);
    EXPECT_EQ(enc::DateToSec(utc(1970, 1, 1, 0, 0, 1, 500)), 2u);
    // The PC's local clock is sent as the device's wall clock, not converted to UTC.
    EXPECT_EQ(enc::DateToSec(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, 3 * 3600)),
              946684800u);
    EXPECT_EQ(enc::DateToSec(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::LocalTime)), 946684800u);
    EXPECT_EQ(enc::DateToSec(QDateTime()), 0u);
}

TEST(DeviceTime, RoundTripOverTheWholeRange) {
    auto check = [](std::uint32_t s) {
        const QDateTime t = enc::SecToDate(s);
        ASSERT_EQ(t, QDateTime::fromSecsSinceEpoch(s, Qt::UTC)) << s;
        ASSERT_EQ(enc::DateToSec(t), s) << s;
        const std::int64_t day = enc::dayNumber(t.date());
        const double ms = t.time().msecsSinceStartOfDay();
        ASSERT_EQ(enc::DateToSec(day, ms + 499.0), s) << s;
        ASSERT_EQ(enc::DateToSec(day, ms + 500.0), s % 2 == 0 ? s : s + 1) << s;
    };
    for (std::uint64_t s = 0; s <= 0xFFFFFFFFu && !HasFailure(); s += 9973)
        check(std::uint32_t(s));
    for (std::uint32_t s : {0u, 1u, 86399u, 86400u, 4294967294u})
        check(s);
    EXPECT_EQ(enc::DateToSec(enc::SecToDate(4294967295u)), 4294967295u);
}

} // namespace
