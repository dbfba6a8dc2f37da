// The meter model behind the slave: registers, coils, identification, command registers and the
// exceptions it answers, request by request.
#include "simtestutil.h"

#include <gtest/gtest.h>

using namespace simtest;
using sim::DeviceModel;
using sim::DeviceOptions;

namespace {

struct GoldenCase {
    const char* name;
    const char* request; // with CRC
    const char* reply;   // with CRC
};

// Frames whose reply does not depend on the meter's measured values, CRCs computed independently.
const GoldenCase goldenCases[] = {
    {"coil 3 off", "01 01 00 03 00 01 0d ca", "01 01 01 00 51 88"},
    {"set coil 3", "01 05 00 03 ff 00 7c 3a", "01 05 00 03 ff 00 7c 3a"},
    {"write work mode", "01 06 00 0f 00 01 78 09", "01 06 00 0f 00 01 78 09"},
    {"reset volume ch1 by function 16", "01 10 00 1b 00 01 02 00 02 24 7a", "01 10 00 1b 00 01 71 ce"},
    {"read past 308", "01 03 01 35 00 01 95 f8", "01 83 02 c0 f1"},
    {"read 126 registers", "01 03 00 00 00 7e c5 ea", "01 83 03 01 31"},
    {"read 0 registers", "01 03 00 00 00 00 45 ca", "01 83 03 01 31"},
    {"write a measurement", "01 06 00 c8 00 01 c9 f4", "01 86 02 c3 a1"},
    {"write past 308", "01 06 01 35 00 00 98 38", "01 86 02 c3 a1"},
    {"unknown command code", "01 06 00 1b 00 03 b9 cc", "01 86 03 02 61"},
    {"coil 7 is not writable", "01 05 00 07 ff 00 3d fb", "01 85 02 c3 51"},
    {"coil value neither on nor off", "01 05 00 03 12 34 30 bd", "01 85 03 02 91"},
    {"unknown function 43", "01 2b 0e 01 00 70 77", "01 ab 01 9e f0"},
    {"9 archive records", "01 41 00 00 00 09 01 00 00 0a 0f 03 18 1e 1d", "01 c1 03 31 91"},
    {"archive 7", "01 41 00 07 00 01 00 00 00 c2 d7", "01 c1 02 f0 51"},
    {"26 journal entries", "01 41 00 03 00 1a 00 00 00 c5 b7", "01 c1 03 31 91"},
    {"journal by date", "01 41 00 03 00 01 01 00 00 0a 0f 03 18 ef b4", "01 c1 03 31 91"},
    {"archive date 32nd", "01 41 00 00 00 01 01 00 00 0a 20 03 18 2e 72", "01 c1 03 31 91"},
    {"archive mode 2", "01 41 00 00 00 01 02 00 00 62 a0", "01 c1 03 31 91"},
};

class GoldenFrames : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFrames, ReplyIsExactly) {
    auto m = meter();
    EXPECT_EQ(toHex(m.answer(hex(GetParam().request))), toHex(hex(GetParam().reply)));
}

INSTANTIATE_TEST_SUITE_P(Model, GoldenFrames, ::testing::ValuesIn(goldenCases), [](const auto& info) {
    std::string n = info.param.name;
    for (auto& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
});

TEST(Model, ReadsEveryRegisterUpTo308InBlocks) {
    auto m = meter();
    // The three reads of the parameter report cover 0..308 exactly.
    for (auto [first, count] : {std::pair{0, 125}, {125, 77}, {202, 107}}) {
        QByteArray req = hex("01 03");
        req += char(first >> 8);
        req += char(first & 0xFF);
        req += char(0);
        req += char(count);
        const QByteArray reply = m.answer(crc16::appended(req));
        ASSERT_EQ(reply.size(), 5 + 2 * count) << first;
        EXPECT_EQ(quint8(reply[2]), 2 * count);
        EXPECT_EQ(crc16::compute(reply), 0);
        for (int i = 0; i < count; ++i) {
            const quint16 v = quint16((quint8(reply[3 + 2 * i]) << 8) | quint8(reply[4 + 2 * i]));
            EXPECT_EQ(v, m.holding(first + i)) << "register " << first + i;
        }
    }
}

TEST(Model, SystemBlockIsPlausible) {
    auto m = meter();
    EXPECT_EQ(quint32(m.holding(0)) << 16 | m.holding(1), startTime());
    const quint32 number = quint32(m.holding(8)) << 16 | m.holding(9);
    EXPECT_GE(number, 100000u);
    EXPECT_LT(number, 1000000u);
    const quint32 made = quint32(m.holding(10)) << 16 | m.holding(11);
    EXPECT_LT(made, startTime());
    EXPECT_EQ(made % 86400, 0u);
    EXPECT_EQ(m.holding(12), 1);
    EXPECT_EQ(m.holding(13), 7); // 9600
    EXPECT_EQ(m.holding(15), 0);
    EXPECT_EQ(m.holding(17), 0);
    const float quartz = m.holdingFloat(19);
    EXPECT_GE(quartz, 15.0f);
    EXPECT_LE(quartz, 100.0f);
    EXPECT_EQ(m.holding(96), 0);
    EXPECT_EQ(m.holding(114), 0);
    // Pipe geometry: an inner diameter that makes sense for both channels.
    for (int base : {36, 119}) {
        const double inner = m.holdingFloat(base) / 3.14159 - 2 * m.holdingFloat(base + 2);
        EXPECT_GT(inner, 50.0) << base;
        EXPECT_LT(inner, 1000.0) << base;
        EXPECT_EQ(m.holding(base + 48), 1) << "channel switched on";
    }
}

TEST(Model, FactoryRegistersAsShipped) {
    // Registers 2 to 201 of a new meter (seed 1): every test and picture starts from these, so a
    // default that moves, or two that swap, shows here first.
    const QByteArray want =
        hex("0078 0028 0070 0026 00b0 00b5 0009 a966 5fe5 2b80 0001 0007 0000 0000 0000 0000"
            "000a 41a0 0000 0001 0032 0032 0000 0000 0001 0000 0000 0000 0000 3dcc cccd 000a"
            "3c23 d70a 442c 0000 40c0 0000 435a ff49 4318 0000 3dcc cccd 40a0 0000 3f80 0000"
            "3f80 0000 3c4c cccd 4090 0000 3f80 c49c 0000 0000 3d4c cccd 3c23 d70a 0000 0000"
            "402c cccd 437a 0000 4248 0000 42f0 0000 4220 0000 0000 0000 0003 0000 0094 0000"
            "0000 0001 0001 0001 0000 0000 000a 0000 0000 0000 0000 0000 0000 0000 0000 0000"
            "0000 0000 0000 4385 d99a 0000 0000 0000 0000 0004 0000 3c23 d70a 0000 0000 0000"
            "0000 0000 0000 0000 0000 43f9 c000 4090 0000 431e feec 42ec 0000 3dcc cccd 40a0"
            "0000 3f80 0000 3f80 0000 bc07 fcb9 4086 6666 3f80 c49c 0000 0000 3d4c cccd 3c23"
            "d70a 0000 0000 402c cccd 4348 0000 4220 0000 42c8 0000 41f0 0000 3e99 999a fffe"
            "0000 0030 0000 0000 0000 0001 0001 0001 0000 000a 0000 0000 0000 0000 0000 0000"
            "0000 0000 0000 0000 0000 0000 434a 3333 0000 0000 0000 0000 0004 0000 3c23 d70a"
            "0000 0000 0000 0000 0000 0000 0000 0000");
    auto m = meter();
    QByteArray got;
    for (int r = 2; r < 202; ++r)
        got += char(m.holding(r) >> 8), got += char(m.holding(r) & 0xFF);
    EXPECT_EQ(toHex(got), toHex(want));
}

TEST(Model, OptionsChooseModeSensorChannelsAndNumber) {
    DeviceOptions o;
    o.address = 7;
    o.workMode = 1;
    o.sensorType = 2;
    o.channelMode = 1;
    o.electronicNumber = 4000000001u;
    auto m = meter(o);
    EXPECT_EQ(m.holding(12), 7);
    EXPECT_EQ(m.holding(15), 1);
    EXPECT_EQ(m.holding(17), 2);
    EXPECT_EQ(m.holding(96), 1);
    EXPECT_EQ(quint32(m.holding(8)) << 16 | m.holding(9), 4000000001u);
}

TEST(Model, SeedMakesEverythingReproducible) {
    auto a = meter({}, 42);
    auto b = meter({}, 42);
    auto c = meter({}, 43);
    bool differs = false;
    for (int r = 0; r < DeviceModel::RegisterCount; ++r) {
        EXPECT_EQ(a.holding(r), b.holding(r)) << r;
        differs |= a.holding(r) != c.holding(r);
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(a.journal(2), b.journal(2));
    const auto req = request("01 41 00 00 00 08 01 00 00 0a 0e 03 18");
    EXPECT_EQ(a.answer(req), b.answer(req));
    // Two meters on one line differ too.
    DeviceOptions second;
    second.address = 2;
    auto d = meter(second, 42);
    EXPECT_NE(quint32(a.holding(8)) << 16 | a.holding(9), quint32(d.holding(8)) << 16 | d.holding(9));
}

TEST(Model, ClockRunsAndCanBeSet) {
    auto m = meter();
    m.advanceClock(3661);
    EXPECT_EQ(quint32(m.holding(0)) << 16 | m.holding(1), startTime() + 3661);

    const quint32 set = enc::DateToSec(QDateTime(QDate(2024, 3, 20), QTime(8, 0), Qt::UTC));
    QByteArray req = hex("01 10 00 00 00 02 04");
    req += enc::u32Bytes(set);
    EXPECT_EQ(toHex(m.answer(crc16::appended(req))), toHex(request("01 10 00 00 00 02")));
    EXPECT_EQ(m.deviceTime(), set);
    const auto ops = m.journal(1);
    ASSERT_FALSE(ops.isEmpty());
    EXPECT_EQ(ops.last().code, 1); // clock corrected
    EXPECT_EQ(ops.last().start, startTime() + 3661);
    EXPECT_EQ(ops.last().end, set);
}

TEST(Model, RealClockStartsAtLocalWallTime) {
    DeviceModel m(DeviceOptions{}, 1); // start from the PC clock
    const quint32 before = enc::DateToSec(QDateTime::currentDateTime());
    const quint32 t = m.deviceTime();
    EXPECT_LE(t, before + 2);
    EXPECT_GE(t + 2, before);
}

TEST(Model, MeasurementsFollowTheFlows) {
    auto m = meter();
    for (int ch = 0; ch < 2; ++ch) {
        const int mb = DeviceModel::measurementBase(ch);
        const float flow = m.holdingFloat(mb + 8);
        const float sound = m.holdingFloat(mb + 10);
        const float speed = m.holdingFloat(mb + 12);
        EXPECT_GT(sound, 1.4f);
        EXPECT_LT(sound, 1.6f);
        EXPECT_LT(std::abs(flow), 60.0f);
        // Flow speed is the flow over the pipe's cross section.
        const int base = DeviceModel::channelBase(ch);
        const double inner = m.holdingFloat(base) / 3.14159265 - 2 * m.holdingFloat(base + 2);
        EXPECT_NEAR(speed, flow / 3600.0 / (3.14159265 * inner * inner / 4e6), 1e-3);
        // Two-part volumes add up to the counters.
        const double forward = double(m.holdingFloat(mb + 17)) + double(m.holdingFloat(mb + 19));
        EXPECT_NEAR(forward, m.volume(ch, 0), 1e-3);
        const double reverse = double(m.holdingFloat(mb + 21)) + double(m.holdingFloat(mb + 23));
        EXPECT_NEAR(reverse, m.volume(ch, 1), 1e-3);
    }
    // An hour later the forward counter of channel 1 grew by roughly its flow.
    const double before = m.volume(0, 0);
    m.advanceClock(3600);
    const double grown = m.volume(0, 0) - before;
    EXPECT_GT(grown, 5.0);
    EXPECT_LT(grown, 60.0);
}

TEST(Model, VolumeResetClearsOnlyThatChannel) {
    for (bool multiple : {false, true}) {
        auto m = meter();
        const double other = m.volume(0, 0);
        // Register 28 value 2, as the counters view sends it (function 16) or by function 6.
        m.answer(multiple ? request("01 10 00 1c 00 01 02 00 02") : request("01 06 00 1c 00 02"));
        EXPECT_EQ(m.volume(1, 0), 0.0);
        EXPECT_EQ(m.volume(1, 1), 0.0);
        EXPECT_EQ(m.volume(0, 0), other);
        EXPECT_EQ(m.holding(244), 0);
        EXPECT_EQ(m.holding(28), 0) << "a command register reads back idle";
        m.advanceClock(1800);
        EXPECT_GT(m.volume(1, 0) + m.volume(1, 1), 0.0) << "counting goes on";
    }
}

TEST(Model, InitialisationCodesAreAccepted) {
    auto m = meter();
    for (const char* req : {"01 06 00 1d 00 08", "01 06 00 1d 00 04", "01 06 00 1b 00 08",
                            "01 06 00 1c 00 08", "01 06 00 1b 00 01", "01 06 00 1c 00 01"}) {
        const QByteArray r = request(req);
        EXPECT_EQ(toHex(m.answer(r)), toHex(r)) << req;
    }
    EXPECT_FALSE(m.journal(0).isEmpty());
    EXPECT_EQ(m.holding(29), 0);
}

TEST(Model, ClearingArchivesAndJournals) {
    auto m = meter();
    const qint64 lastHour = startTime() - 3600;
    ASSERT_TRUE(m.archiveRecord(sim::ArchiveKind::Hour, lastHour));
    m.answer(request("01 06 00 1d 00 01"));
    EXPECT_FALSE(m.archiveRecord(sim::ArchiveKind::Hour, lastHour));
    EXPECT_FALSE(m.archiveRecord(sim::ArchiveKind::Day, lastHour - 86400));
    EXPECT_FALSE(m.archiveRecord(sim::ArchiveKind::Month, lastHour - 40 * 86400));
    EXPECT_FALSE(m.journal(0).isEmpty()) << "journals stay";
    m.advanceClock(3600); // the meter archives again from the next hour on
    EXPECT_TRUE(m.archiveRecord(sim::ArchiveKind::Hour, startTime()));

    m.answer(request("01 06 00 1d 00 02"));
    EXPECT_TRUE(m.journal(0).isEmpty());
    EXPECT_TRUE(m.journal(1).isEmpty());
    EXPECT_FALSE(m.journal(2).isEmpty());
    m.answer(request("01 06 00 1b 00 04"));
    EXPECT_TRUE(m.journal(2).isEmpty());
    EXPECT_FALSE(m.journal(3).isEmpty());
    m.answer(request("01 06 00 1c 00 04"));
    EXPECT_TRUE(m.journal(3).isEmpty());
}

TEST(Model, CoilsSwitchAndReadBack) {
    auto m = meter();
    EXPECT_EQ(toHex(m.answer(request("01 05 00 02 ff 00"))), toHex(request("01 05 00 02 ff 00")));
    EXPECT_EQ(toHex(m.answer(request("01 05 00 04 ff 00"))), toHex(request("01 05 00 04 ff 00")));
    // Coils 0..7 read as bits, lowest first: 2 and 4 on.
    EXPECT_EQ(toHex(m.answer(request("01 01 00 00 00 08"))), toHex(request("01 01 01 14")));
    EXPECT_EQ(toHex(m.answer(request("01 01 00 00 00 09"))), toHex(request("01 81 02")));
    m.answer(request("01 05 00 04 00 00"));
    EXPECT_FALSE(m.coil(4));
    EXPECT_TRUE(m.coil(2));
}

TEST(Model, ImitatorGivesItsFixedFlow) {
    auto m = meter();
    m.answer(request("01 05 00 03 ff 00"));
    EXPECT_NEAR(m.holdingFloat(210), 12.5, 0.1);
    EXPECT_NEAR(m.holdingFloat(235), 6.25, 0.05);
    const double before = m.volume(0, 0);
    m.advanceClock(3600);
    EXPECT_NEAR(m.volume(0, 0) - before, 12.5, 1e-6);
    m.answer(request("01 05 00 03 00 00"));
    EXPECT_FALSE(m.coil(3));
}

TEST(Model, ReportSlaveIdGivesTwoZeroEndedTexts) {
    auto m = meter();
    const QByteArray reply = m.answer(hex("01 11 c0 2c"));
    ASSERT_GE(reply.size(), 5);
    EXPECT_EQ(crc16::compute(reply), 0);
    const QByteArray data = reply.mid(3, quint8(reply[2]));
    EXPECT_EQ(data, QByteArray("KASTARI-DK") + '\0' + "v3.12" + '\0');

    DeviceOptions o;
    o.address = 5;
    o.idText1 = QStringLiteral("КАСТАРИ");
    o.idText2 = QStringLiteral("2.0");
    auto named = meter(o);
    const QByteArray r5 = named.answer(hex("05 11 c2 ec"));
    // The texts go out in the Windows code page of the program.
    EXPECT_EQ(r5.mid(3, quint8(r5[2])), hex("ca c0 d1 d2 c0 d0 c8 00") + "2.0" + '\0');
}

TEST(Model, SilentForOtherAddressesBadFramesAndBroadcasts) {
    auto m = meter();
    EXPECT_TRUE(m.answer(hex("09 03 00 00 00 01 85 42")).isEmpty());
    EXPECT_TRUE(m.answer(hex("01 03 00 00 00 01 84 0b")).isEmpty()) << "bad CRC";
    EXPECT_TRUE(m.answer(hex("01 03 00")).isEmpty()) << "truncated";
    EXPECT_TRUE(m.answer(hex("00 03 00 00 00 01 85 db")).isEmpty()) << "broadcast read";
    // A broadcast write is carried out without a reply.
    EXPECT_TRUE(m.answer(hex("00 06 00 0f 00 01 79 d8")).isEmpty());
    EXPECT_EQ(m.holding(15), 1);
}

TEST(Model, WritesReachEveryConfigurationRegisterOfTheSnapshot) {
    auto m = meter();
    // The blocks a parameter snapshot writes back.
    for (auto [first, count] : {std::pair{2, 6}, {15, 12}, {31, 29}, {60, 29}, {119, 26}, {145, 27}}) {
        QByteArray req;
        req += char(1);
        req += char(16);
        req += char(first >> 8);
        req += char(first & 0xFF);
        req += char(0);
        req += char(count);
        req += char(2 * count);
        for (int i = 0; i < count; ++i)
            req += enc::u16Bytes(quint16(first + i));
        const QByteArray reply = m.answer(crc16::appended(req));
        ASSERT_EQ(reply.size(), 8) << first;
        EXPECT_EQ(quint8(reply[1]), 16) << first;
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(m.holding(first + i), first + i);
    }
}

TEST(Model, RefusedMultipleWriteChangesNothing) {
    auto m = meter();
    const quint16 before = m.holding(107);
    // 107 is writable, 108 is not: the whole write is refused.
    EXPECT_EQ(toHex(m.answer(request("01 10 00 6b 00 02 04 12 34 56 78"))), toHex(request("01 90 02")));
    EXPECT_EQ(m.holding(107), before);
    // Byte count that does not match the register count.
    EXPECT_EQ(toHex(m.answer(request("01 10 00 10 00 02 02 00 01"))), toHex(request("01 90 03")));
}

TEST(Model, NetworkNumberWriteMovesTheMeter) {
    auto m = meter();
    EXPECT_FALSE(m.answer(request("01 06 00 0c 00 05")).isEmpty());
    EXPECT_EQ(m.address(), 5);
    EXPECT_TRUE(m.answer(request("01 03 00 00 00 01")).isEmpty());
    EXPECT_FALSE(m.answer(request("05 03 00 00 00 01")).isEmpty());
}

TEST(Model, PinnedLiveRegistersKeepTheirValue) {
    auto m = meter();
    m.setHolding(252, 0x81);
    m.setHolding(254, 0xC0);
    m.advanceClock(60);
    EXPECT_EQ(m.holding(252), 0x81);
    EXPECT_EQ(m.holding(254), 0xC0);
    m.unpinAll();
    m.advanceClock(60);
    EXPECT_EQ(m.holding(252), 0);
}

} // namespace
