// Request frames, compared with golden frames from the published ModBus examples (written as hex).
#include "fakecomm.h"
#include "hex.h"
#include "link/crc16.h"
#include "link/tmodbus.h"

#include <QDateTime>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct FrameCase {
    const char* name;
    std::function<void(TModBus&)> send;
    const char* frame;
};

class Frames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(Frames, SendsExactlyTheGoldenBytes) {
    FakeComm comm;
    TModBus bus(&comm);
    bus.setModbusSilenceMs(1);
    GetParam().send(bus);
    ASSERT_EQ(comm.sent.size(), 1);
    EXPECT_EQ(toHex(comm.sent[0]), toHex(hex(GetParam().frame)));
    EXPECT_EQ(bus.requestFrame().bytes(), comm.sent[0]);
    EXPECT_FALSE(bus.replyFrame().crcOk());
}

const FrameCase kFrames[] = {
    {"ReadHolding_ModbusGuideExample", [](TModBus& b) { b.ReadHoldingRegisters(0x11, 3, 0x006B); },
     "11 03 00 6B 00 03 76 87"},
    {"ReadHolding_SystemBlock", [](TModBus& b) { b.ReadHoldingRegisters(1, 21, 0); },
     "01 03 00 00 00 15 84 05"},
    {"ReadCoils_ModbusGuideExample", [](TModBus& b) { b.ReadCoils(0x11, 0x13, 0x25); },
     "11 01 00 13 00 25 0E 84"},
    {"ReadCoils_Imitator", [](TModBus& b) { b.ReadCoils(1, 3, 1); }, "01 01 00 03 00 01 0D CA"},
    {"WriteRegister_ModbusGuideExample", [](TModBus& b) { b.WriteRegister(0x11, 1, 3); },
     "11 06 00 01 00 03 9A 9B"},
    {"WriteRegister_WorkModeZero", [](TModBus& b) { b.WriteRegister(1, 15, 0); }, "01 06 00 0F 00 00 B9 C9"},
    {"WriteRegisters_ModbusGuideExample",
     [](TModBus& b) { b.WriteRegisters(0x11, 2, 1, hex("00 0A 01 02")); },
     "11 10 00 01 00 02 04 00 0A 01 02 C6 F0"},
    {"WriteRegisters_FloatFrequency", [](TModBus& b) { b.WriteRegisters(1, 2, 19, hex("41 70 00 00")); },
     "01 10 00 13 00 02 04 41 70 00 00 A7 51"},
    {"SetCoil_ModbusGuideExample", [](TModBus& b) { b.SetCoil(0x11, 0xAC); }, "11 05 00 AC FF 00 4E 8B"},
    {"SetCoil_Channel2", [](TModBus& b) { b.SetCoil(1, 2); }, "01 05 00 02 FF 00 2D FA"},
    {"ClearCoil_AdjustmentMode", [](TModBus& b) { b.ClearCoil(1, 4); }, "01 05 00 04 00 00 8C 0B"},
    {"ReportSlaveId_Address1", [](TModBus& b) { b.ReportSlaveId(1); }, "01 11 C0 2C"},
    {"ReportSlaveId_Address5", [](TModBus& b) { b.ReportSlaveId(5); }, "05 11 C2 EC"},
    {"ReadArchive_ByDate_NewYearsEve2009",
     [](TModBus& b) { b.ReadArchiveByDate(1, 0, 1, QDateTime(QDate(2009, 12, 31), QTime(23, 0))); },
     "01 41 00 00 00 01 01 00 00 17 1F 0C 09 DD EE"},
    {"ReadArchive_ByRecord_FaultJournal", [](TModBus& b) { b.ReadArchiveByRecord(1, 3, 25, 25.0); },
     "01 41 00 03 00 19 00 00 19 04 39"},
};

INSTANTIATE_TEST_SUITE_P(Link, Frames, ::testing::ValuesIn(kFrames),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Frames, ArchiveDateSendsOnlyHourDayMonthAndTwoDigitYear) {
    FakeComm comm;
    TModBus bus(&comm);
    bus.setModbusSilenceMs(1);
    bus.ReadArchiveByDate(7, 2, 8, QDateTime(QDate(2007, 3, 4), QTime(5, 59, 58)));
    const QByteArray f = comm.sent.value(0);
    ASSERT_EQ(f.size(), 15);
    EXPECT_EQ(toHex(f.mid(0, 13)), toHex(hex("07 41 00 02 00 08 01 00 00 05 04 03 07")));
}

TEST(Frames, ArchiveRecordNumberIsRoundedAndCutTo16Bits) {
    const struct {
        double number;
        const char* hiLo;
    } cases[] = {{0.0, "00 00"},           {2.5, "00 02"},   {3.5, "00 04"},      {100.4, "00 64"},
                 {65536.0 + 258, "01 02"}, {-1.0, "FF FF"},  {-65537.0, "FF FF"}, {65535.6, "00 00"},
                 {15000000003.0, "D6 03"}, {1e300, "00 00"}, {-1e300, "00 00"}};
    for (const auto& c : cases) {
        FakeComm comm;
        TModBus bus(&comm);
        bus.setModbusSilenceMs(1);
        bus.ReadArchiveByRecord(1, 4, 25, c.number);
        ASSERT_EQ(comm.sent.size(), 1);
        EXPECT_EQ(toHex(comm.sent[0].mid(7, 2)), toHex(hex(c.hiLo))) << c.number;
    }
}

TEST(Frames, RequestsThatCannotMakeAFrameAreRefusedUnsent) {
    const struct {
        const char* name;
        std::function<void(TModBus&)> send;
    } cases[] = {
        {"124 registers", [](TModBus& b) { b.WriteRegisters(1, 124, 0, QByteArray(248, 0)); }},
        {"128 registers", [](TModBus& b) { b.WriteRegisters(1, 128, 0, QByteArray(256, 0)); }},
        {"no registers", [](TModBus& b) { b.WriteRegisters(1, 0, 0, {}); }},
        {"data short of the count", [](TModBus& b) { b.WriteRegisters(1, 2, 0, hex("00 01 02")); }},
        {"data past the count", [](TModBus& b) { b.WriteRegisters(1, 1, 0, hex("00 01 02 03")); }},
        {"record NaN", [](TModBus& b) { b.ReadArchiveByRecord(1, 3, 25, std::nan("")); }},
        {"record infinity", [](TModBus& b) { b.ReadArchiveByRecord(1, 3, 25, HUGE_VAL); }},
        {"record minus infinity", [](TModBus& b) { b.ReadArchiveByRecord(1, 3, 25, -HUGE_VAL); }},
    };
    for (const auto& c : cases) {
        FakeComm comm;
        TModBus bus(&comm);
        bus.setModbusSilenceMs(1);
        comm.script = {{{0, crc16::appended(hex("01 06 00 0F 00 00"))}}};
        bus.WriteRegister(1, 15, 0);
        ASSERT_TRUE(bus.replyOk());
        // A caller that tests the result must not see the previous reply as this one's.
        c.send(bus);
        EXPECT_EQ(comm.sent.size(), 1) << c.name;
        EXPECT_FALSE(bus.replyFrame().crcOk()) << c.name;
        EXPECT_EQ(bus.replyFrame().size(), 0) << c.name;
        EXPECT_EQ(bus.replyStatus(), ReplyStatus::Refused) << c.name;
    }
}

TEST(Frames, TheLargestWriteFillsTheFrame) {
    FakeComm comm;
    TModBus bus(&comm);
    bus.setModbusSilenceMs(1);
    bus.WriteRegisters(1, TModBus::MaxWriteRegisters, 0, QByteArray(2 * TModBus::MaxWriteRegisters, '\x11'));
    ASSERT_EQ(comm.sent.size(), 1);
    EXPECT_EQ(comm.sent[0].size(), 255);
    EXPECT_EQ(quint8(comm.sent[0][6]), 246);
    EXPECT_EQ(crc16::compute(comm.sent[0]), 0);
}

TEST(Frames, CommandLineSendsTextAndTwoCarriageReturns) {
    FakeComm comm;
    TModBus bus(&comm);
    EXPECT_TRUE(bus.SendCommandLine(QStringLiteral("ATZ0"), 1));
    ASSERT_EQ(comm.sent.size(), 1);
    EXPECT_EQ(comm.sent[0], QByteArray("ATZ0\r\r"));
    EXPECT_FALSE(bus.commandMode());
}

TEST(Frames, CommandLineCarriesItsTextInWindows1251) {
    FakeComm comm;
    TModBus bus(&comm);
    EXPECT_TRUE(bus.SendCommandLine(QStringLiteral("ATZ тест"), 1));
    ASSERT_EQ(comm.sent.size(), 1);
    EXPECT_EQ(toHex(comm.sent[0]), toHex(hex("41 54 5A 20 F2 E5 F1 F2 0D 0D")));
    // The limit counts the bytes on the line, one per letter.
    EXPECT_TRUE(bus.SendCommandLine(QString(100, u'ж'), 1));
    EXPECT_FALSE(bus.SendCommandLine(QString(101, u'ж'), 1));
}

TEST(Frames, CommandLineOverHundredCharactersIsRefusedUnsent) {
    FakeComm comm;
    TModBus bus(&comm);
    EXPECT_TRUE(bus.SendCommandLine(QString(100, u'9'), 1));
    EXPECT_FALSE(bus.SendCommandLine(QString(101, u'9'), 1));
    EXPECT_EQ(comm.sent.size(), 1);
    EXPECT_FALSE(bus.commandMode());
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::Refused);
}

TEST(Crc16, Vectors) {
    const struct {
        const char* bytes;
        std::uint16_t crc;
    } cases[] = {
        {"01 03 00 00 00 01", 0x0A84},
        {"11 03 00 6B 00 03", 0x8776},
        {"", 0xFFFF},
        {"01 03 00 00 00 01 84 0A", 0x0000},
        {"01", 0x807E},
    };
    for (const auto& c : cases)
        EXPECT_EQ(crc16::compute(hex(c.bytes)), c.crc) << c.bytes;
}

} // namespace
