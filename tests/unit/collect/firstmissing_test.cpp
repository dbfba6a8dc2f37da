#include "collect/visit.h"
#include "device/encodings.h"

#include <gtest/gtest.h>

using collect::firstMissing;

namespace {
std::int64_t at(int year, int month, int day, int hour = 0) {
    return enc::DateToSec(QDateTime(QDate(year, month, day), QTime(hour, 0), Qt::UTC));
}
} // namespace

TEST(FirstMissing, WhereTheNextReadingStarts) {
    const std::int64_t h = 3600, base = at(2026, 3, 1, 10);
    const struct {
        const char* what;
        int archive;
        QList<std::int64_t> stored;
        std::int64_t oldest, current;
        std::optional<std::int64_t> expected;
        QList<std::int64_t> notRead{};
    } rows[] = {
        {"nothing stored: the whole archive", 0, {}, base, base + 5 * h, std::nullopt},
        {"all stored: nothing before the current hour",
         0,
         {base, base + h, base + 2 * h},
         base,
         base + 3 * h,
         base + 3 * h},
        {"the hours after the newest", 0, {base, base + h}, base, base + 5 * h, base + 2 * h},
        {"a hole left by a damaged record is read again",
         0,
         {base, base + 2 * h, base + 3 * h},
         base,
         base + 5 * h,
         base + h},
        {"a hole older than the meter keeps is not",
         0,
         {base, base + 2 * h, base + 3 * h},
         base + 2 * h,
         base + 5 * h,
         base + 4 * h},
        {"history before the first stored period is not wanted",
         0,
         {base + 3 * h},
         base,
         base + 5 * h,
         base + 4 * h},
        {"a period stored as not read is read again",
         0,
         {base, base + h, base + 2 * h},
         base,
         base + 3 * h,
         base + h,
         {base + h, base + 2 * h}},
        {"so is the first one stored, when it was not read",
         0,
         {base + h, base + 2 * h},
         base,
         base + 3 * h,
         base + h,
         {base + h}},
        {"days", 1, {at(2026, 2, 27), at(2026, 2, 28)}, at(2026, 2, 27), at(2026, 3, 2), at(2026, 3, 1)},
        {"months step by the calendar",
         2,
         {at(2026, 1, 1), at(2026, 2, 1)},
         at(2026, 1, 1),
         at(2026, 4, 1),
         at(2026, 3, 1)},
        {"a stored period past the meter's clock (set back) reads nothing",
         0,
         {base, base + h},
         base,
         base + h,
         base + h},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(firstMissing(r.archive, r.stored, r.oldest, r.current, r.notRead), r.expected);
    }
}
