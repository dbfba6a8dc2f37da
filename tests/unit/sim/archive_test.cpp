// Archives and journals of the meter: coverage, agreement with the counters, the gaps a meter that
// was switched off leaves, and function 65 in both modes.
#include "simtestutil.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

using namespace simtest;
using sim::ArchiveKind;
using sim::ArchiveRecord;
using sim::ArchiveStore;
using sim::DeviceModel;
using sim::JournalEntry;

namespace {

ArchiveRecord parseRecord(const QByteArray& b) {
    ArchiveRecord r;
    r.time = u32At(b, 0);
    for (int i = 0; i < 4; ++i) {
        const quint32 bits = u32At(b, 4 + 4 * i);
        std::memcpy(&r.volume[i / 2][i % 2], &bits, 4);
    }
    r.downtime[0] = u32At(b, 20);
    r.downtime[1] = u32At(b, 24);
    return r;
}

std::uint8_t checkByteOf(const QByteArray& b, int count) {
    return records::checkByte(reinterpret_cast<const std::uint8_t*>(b.constData()), count);
}

QByteArray archiveByDate(int archive, int count, const QDateTime& at) {
    QByteArray req = hex("01 41 00");
    req += char(archive);
    req += char(0);
    req += char(count);
    req += hex("01 00 00");
    req += char(at.time().hour());
    req += char(at.date().day());
    req += char(at.date().month());
    req += char(at.date().year() % 100);
    return crc16::appended(req);
}

struct KindCase {
    ArchiveKind kind;
    int periods; // what a full reading needs, the base period included
    qint64 length;
};

// Every period in the list, newest first (period 0 is the current one, never read).
qint64 periodStartBack(ArchiveKind kind, qint64 now, int back) {
    return ArchiveStore::periodStart(kind, ArchiveStore::periodOf(kind, now) - back);
}

class Archives : public ::testing::TestWithParam<KindCase> {};

TEST_P(Archives, CoverTheFullReadingWithSomeGaps) {
    auto m = meter();
    const auto [kind, periods, length] = GetParam();
    int missing = 0;
    for (int back = 1; back <= periods; ++back)
        if (!m.archiveRecord(kind, periodStartBack(kind, startTime(), back))) ++missing;
    EXPECT_GE(missing, 1) << "a meter that was switched off leaves gaps";
    EXPECT_LE(missing, periods / 10 + 1);
}

TEST_P(Archives, DowntimeAndVolumesPerPeriodFitThePeriod) {
    auto m = meter();
    const auto [kind, periods, length] = GetParam();
    std::optional<ArchiveRecord> prev;
    int skipped = 0, rows = 0;
    for (int back = periods; back >= 1; --back) {
        const qint64 start = periodStartBack(kind, startTime(), back);
        const auto r = m.archiveRecord(kind, start);
        if (!r) {
            ++skipped;
            continue;
        }
        const qint64 end = periodStartBack(kind, startTime(), back - 1);
        ASSERT_GE(r->time, start);
        ASSERT_LT(r->time, end);
        if (prev) {
            for (int ch = 0; ch < 2; ++ch) {
                // The reader's rule: the seconds from the record to the period's end count as down.
                const qint64 prevEnd =
                    ArchiveStore::periodStart(kind, ArchiveStore::periodOf(kind, prev->time) + 1);
                const qint64 downtime = (end - 1 - r->time + r->downtime[ch]) -
                                        (prevEnd - 1 - prev->time + prev->downtime[ch]) -
                                        (kind == ArchiveKind::Month ? 0 : qint64(skipped) * length);
                if (kind != ArchiveKind::Month) {
                    EXPECT_GE(downtime, -1) << "channel " << ch << " period " << back;
                    EXPECT_LE(downtime, length + 1) << "channel " << ch << " period " << back;
                }
                for (int dir = 0; dir < 2; ++dir) {
                    const double grown = double(r->volume[ch][dir]) - double(prev->volume[ch][dir]);
                    EXPECT_GE(grown, -0.1) << "counters only grow";
                    EXPECT_LE(grown, 60.0 * double(end - prevEnd) / 3600.0 + 0.1);
                }
            }
            ++rows;
        }
        prev = r;
        skipped = 0;
    }
    EXPECT_GE(rows, periods - periods / 10 - 3);
}

INSTANTIATE_TEST_SUITE_P(Sim, Archives,
                         ::testing::Values(KindCase{ArchiveKind::Hour, 673, 3600},
                                           KindCase{ArchiveKind::Day, 65, 86400},
                                           KindCase{ArchiveKind::Month, 25, 0}),
                         [](const auto& info) {
                             return std::string(info.param.kind == ArchiveKind::Hour  ? "Hour"
                                                : info.param.kind == ArchiveKind::Day ? "Day"
                                                                                      : "Month");
                         });

TEST(ArchiveAgreement, DayAndMonthRecordsAreTheLastHoursSnapshot) {
    auto m = meter();
    int compared = 0;
    for (int back = 1; back <= 20; ++back) {
        const qint64 dayStart = periodStartBack(ArchiveKind::Day, startTime(), back);
        const auto day = m.archiveRecord(ArchiveKind::Day, dayStart);
        const auto hour = m.archiveRecord(ArchiveKind::Hour, dayStart + 23 * 3600);
        if (!day || !hour || day->time != dayStart + 86399) continue;
        EXPECT_EQ(records::encodeArchiveRecord(*day), records::encodeArchiveRecord(*hour));
        ++compared;
    }
    EXPECT_GE(compared, 15);
    const qint64 monthStart = periodStartBack(ArchiveKind::Month, startTime(), 1);
    const auto month = m.archiveRecord(ArchiveKind::Month, monthStart);
    const auto lastDay =
        m.archiveRecord(ArchiveKind::Day, periodStartBack(ArchiveKind::Month, startTime(), 0) - 1);
    ASSERT_TRUE(month && lastDay);
    EXPECT_EQ(records::encodeArchiveRecord(*month), records::encodeArchiveRecord(*lastDay));
}

TEST(ArchiveAgreement, NewRecordIsTheCountersAtThePeriodEnd) {
    auto m = meter();
    const qint64 toEnd = 3600 - startTime() % 3600;
    m.advanceClock(toEnd - 1); // hh:59:59
    m.advanceClock(1);
    const auto r = m.archiveRecord(ArchiveKind::Hour, startTime());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->time, startTime() + toEnd - 1);
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(r->volume[ch][0], float(m.volume(ch, 0)));
        EXPECT_EQ(r->volume[ch][1], float(m.volume(ch, 1)));
        EXPECT_EQ(r->downtime[ch], quint32(m.downtime(ch)));
    }
    // A month later every archive has gone on recording, none stood still.
    m.advanceClock(31 * 86400);
    EXPECT_TRUE(m.archiveRecord(ArchiveKind::Hour, m.deviceTime() - 3600));
    EXPECT_TRUE(m.archiveRecord(ArchiveKind::Day, m.deviceTime() - 86400));
    EXPECT_TRUE(m.archiveRecord(ArchiveKind::Month, periodStartBack(ArchiveKind::Month, m.deviceTime(), 1)));
}

TEST(Function65, ByDateAnswersOneRecordPerPeriodFromTheDatesPeriod) {
    auto m = meter();
    // The 8 hours before 10:00, asked from 02:xx.
    const QDateTime from(QDate(2024, 3, 15), QTime(2, 17), Qt::UTC);
    const QByteArray reply = m.answer(archiveByDate(0, 8, from));
    ASSERT_EQ(reply.size(), 3 + 8 * 29 + 2);
    EXPECT_EQ(quint8(reply[1]), 65);
    EXPECT_EQ(quint8(reply[2]), 8 * 29);
    EXPECT_EQ(crc16::compute(reply), 0);
    for (int i = 0; i < 8; ++i) {
        const QByteArray rec = reply.mid(3 + 29 * i, 29);
        EXPECT_EQ(quint8(rec[28]), checkByteOf(rec, 28)) << i;
        const qint64 hourStart = enc::DateToSec(QDateTime(QDate(2024, 3, 15), QTime(2 + i, 0), Qt::UTC));
        const auto stored = m.archiveRecord(ArchiveKind::Hour, hourStart);
        if (stored) {
            EXPECT_EQ(rec, records::encodeArchiveRecord(*stored)) << i;
            EXPECT_EQ(parseRecord(rec).time, hourStart + 3599) << i;
        } else {
            EXPECT_FALSE(ArchiveStore::samePeriod(ArchiveKind::Hour, parseRecord(rec).time, hourStart)) << i;
        }
    }
}

TEST(Function65, AMissingPeriodComesWithAForeignTime) {
    auto m = meter();
    qint64 gap = 0;
    for (int back = 1; back <= 672 && !gap; ++back) {
        const qint64 start = periodStartBack(ArchiveKind::Hour, startTime(), back);
        if (!m.archiveRecord(ArchiveKind::Hour, start)) gap = start;
    }
    ASSERT_NE(gap, 0);
    const QByteArray reply = m.answer(archiveByDate(0, 1, enc::SecToDate(quint32(gap))));
    ASSERT_EQ(reply.size(), 3 + 29 + 2);
    const ArchiveRecord r = parseRecord(reply.mid(3, 29));
    EXPECT_FALSE(ArchiveStore::samePeriod(ArchiveKind::Hour, r.time, gap));
    // The meter was off then: both abnormal-situation journals say so.
    for (int j : {2, 3}) {
        bool covered = false;
        for (const auto& e : m.journal(j))
            covered |= e.code == 16 && e.start <= gap && e.end >= gap + 3600;
        EXPECT_TRUE(covered) << "journal " << j;
    }
}

TEST(Function65, MonthAndDayRequestsIgnoreTheFinerFields) {
    auto m = meter();
    const QByteArray a = m.answer(archiveByDate(2, 3, QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC)));
    const QByteArray b = m.answer(archiveByDate(2, 3, QDateTime(QDate(2024, 1, 20), QTime(13, 0), Qt::UTC)));
    ASSERT_EQ(a.size(), 3 + 3 * 29 + 2);
    EXPECT_EQ(a, b);
    const ArchiveRecord jan = parseRecord(a.mid(3, 29));
    EXPECT_EQ(enc::SecToDate(jan.time), QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59), Qt::UTC));
    const QByteArray d1 = m.answer(archiveByDate(1, 1, QDateTime(QDate(2024, 3, 10), QTime(0, 0), Qt::UTC)));
    const QByteArray d2 = m.answer(archiveByDate(1, 1, QDateTime(QDate(2024, 3, 10), QTime(22, 0), Qt::UTC)));
    EXPECT_EQ(d1, d2);
}

TEST(Function65, ByRecordNumberGivesJournalEntriesAndZeroSlots) {
    auto m = meter();
    for (int archive = 3; archive <= 6; ++archive) {
        const auto entries = m.journal(archive - 3);
        const int capacity = DeviceModel::JournalCapacity[archive - 3];
        for (int first = 0; first < capacity; first += 25) {
            const int count = std::min(25, capacity - first);
            QByteArray req = hex("01 41 00");
            req += char(archive);
            req += char(0);
            req += char(count);
            req += char(0);
            req += enc::u16Bytes(quint16(first));
            const QByteArray reply = m.answer(crc16::appended(req));
            ASSERT_EQ(reply.size(), 3 + 10 * count + 2) << archive << " " << first;
            for (int i = 0; i < count; ++i) {
                const QByteArray e = reply.mid(3 + 10 * i, 10);
                EXPECT_EQ(quint8(e[9]), checkByteOf(e, 9));
                const int index = first + i;
                if (index < entries.size())
                    EXPECT_EQ(e, records::encodeJournalEntry(entries[index])) << archive << " " << index;
                else
                    EXPECT_EQ(e, QByteArray(10, '\0')) << archive << " " << index;
            }
        }
    }
}

TEST(Journals, HoldPlausibleEvents) {
    auto m = meter();
    const QList<int> allowed[4] = {{1, 2, 3, 4, 5, 6, 7}, {1, 2}, {3, 4, 5, 6, 16}, {3, 4, 5, 6, 16}};
    for (int j = 0; j < 4; ++j) {
        const auto entries = m.journal(j);
        ASSERT_FALSE(entries.isEmpty()) << j;
        EXPECT_LE(entries.size(), DeviceModel::JournalCapacity[j]);
        for (const auto& e : entries) {
            EXPECT_TRUE(allowed[j].contains(e.code)) << "journal " << j << " code " << e.code;
            EXPECT_LE(e.start, startTime());
            if (e.start && e.end) {
                EXPECT_GE(e.end + 120, e.start); // clock corrections may go back
            }
        }
    }
    auto any = [&](int j, auto pred) {
        const auto entries = m.journal(j);
        return std::any_of(entries.begin(), entries.end(), pred);
    };
    EXPECT_TRUE(any(0, [](const JournalEntry& e) { return e.start == 0 && e.end != 0; })) << "unknown start";
    EXPECT_TRUE(any(0, [](const JournalEntry& e) { return e.start != 0 && e.end == 0; })) << "ongoing fault";
    EXPECT_TRUE(any(1, [](const JournalEntry& e) { return e.start != 0 && e.end == 0; })) << "ongoing";
    EXPECT_TRUE(any(2, [](const JournalEntry& e) { return e.code == 16; }));
    // The abnormal journals are full: 128 entries for a full reading.
    EXPECT_EQ(m.journal(2).size(), 128);
}

TEST(Journals, ConditionBytesFollowTheSetPoints) {
    auto m = meter();
    const float flow = m.holdingFloat(210);
    ASSERT_GT(flow, 2.0f);
    // Upper set point of channel 1 below the flow: bit 4 and an ongoing "above upper" event.
    QByteArray req = hex("01 10 00 4a 00 02 04");
    req += enc::f32Bytes(flow / 2);
    m.answer(crc16::appended(req));
    m.advanceClock(1);
    EXPECT_EQ(m.holding(254) & 0x10, 0x10);
    ASSERT_FALSE(m.journal(2).isEmpty());
    EXPECT_EQ(m.journal(2).last().code, 5);
    EXPECT_EQ(m.journal(2).last().end, 0u);
    req = hex("01 10 00 4a 00 02 04");
    req += enc::f32Bytes(1000.0f);
    m.answer(crc16::appended(req));
    m.advanceClock(1);
    EXPECT_EQ(m.holding(254) & 0x10, 0);
    EXPECT_EQ(m.journal(2).last().end, m.deviceTime());
}

} // namespace

TEST(ArchiveAgreement, AFastClockRecordsNewPeriodsAndKeepsTheHistory) {
    sim::DeviceModel slow({}, 1, startTime(), false);
    sim::DeviceModel fast({}, 1, startTime(), true);
    fast.setClockRate(3600);
    // An hour of the meter's passes in a second of the PC's: wait until one has (no bound on how long).
    QElapsedTimer waited;
    waited.start();
    while (fast.deviceTime() < startTime() + 3600 && waited.elapsed() < 60000)
        QThread::msleep(50);
    ASSERT_GE(fast.deviceTime(), startTime() + 3600);
    EXPECT_TRUE(fast.archiveRecord(ArchiveKind::Hour, startTime()));
    EXPECT_FALSE(slow.archiveRecord(ArchiveKind::Hour, startTime()));
    const auto before = [](sim::DeviceModel& m) {
        return m.archiveRecord(ArchiveKind::Hour, startTime() - 7200);
    };
    ASSERT_TRUE(before(slow) && before(fast));
    EXPECT_EQ(before(slow)->time, before(fast)->time);
    EXPECT_EQ(before(slow)->volume[0][0], before(fast)->volume[0][0]);
}
