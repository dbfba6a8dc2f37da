// Typed access to a block of registers never reads past the received bytes.
#include "device/registerblock.h"
#include "link/crc16.h"
#include "link/tmodbus.h"
#include "support/fakecomm.h"
#include "support/hex.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>

namespace {

TEST(RegisterBlock, DecodesEachEncodingAtItsRegister) {
    const RegisterBlock b(10, hex("12 FF 80 00 41 20 00 00 3F 00 00 00"));
    EXPECT_EQ(b.count(), 6);
    EXPECT_EQ(b.byte(10), 255);
    EXPECT_EQ(b.u16(10), 0x12FF);
    EXPECT_EQ(b.s16(11), -32768);
    EXPECT_EQ(b.f32(12), 10.0f);
    EXPECT_EQ(b.u32(12), 0x41200000u);
    EXPECT_EQ(b.time(14), 0x3F000000u);
    EXPECT_EQ(b.twoPart(12), 10.5);
}

TEST(RegisterBlock, RefusesRegistersOutsideTheBlock) {
    const RegisterBlock b(10, hex("12 FF 80 00 41 20 00 00 3F 00 00 00"));
    struct Row {
        int reg;
        int registers;
        bool inside;
    } rows[] = {
        {10, 1, true},  {15, 1, true},  {10, 6, true},  {12, 4, true},  {9, 1, false},   {16, 1, false},
        {15, 2, false}, {13, 4, false}, {10, 7, false}, {10, 0, false}, {10, -1, false}, {INT_MIN, 1, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(b.has(r.reg, r.registers), r.inside) << r.reg << " " << r.registers;

    EXPECT_FALSE(b.byte(9));
    EXPECT_FALSE(b.u16(16));
    EXPECT_FALSE(b.f32(15));
    EXPECT_FALSE(b.time(15));
    EXPECT_FALSE(b.twoPart(13));
    EXPECT_TRUE(b.twoPart(12));

    const RegisterBlock empty;
    EXPECT_FALSE(empty.byte(0));
    EXPECT_FALSE(empty.has(0));

    // A block ending at INT_MAX: one register past it must not wrap around.
    const RegisterBlock top(INT_MAX - 1, hex("00 01 00 02"));
    EXPECT_EQ(top.u16(INT_MAX), 2);
    EXPECT_FALSE(top.u32(INT_MAX));
}

TEST(RegisterBlock, ReportImageIgnoresItsOddTrailingByte) {
    QByteArray image(651, '\0');
    image[2 * 308 + 1] = char(0x7F);
    const RegisterBlock b(0, image);
    EXPECT_EQ(b.count(), 325);
    EXPECT_EQ(b.byte(308), 0x7F);
    EXPECT_TRUE(b.has(324));
    EXPECT_FALSE(b.has(325));
}

struct ReplyCase {
    const char* name;
    std::function<void(TModBus&)> send;
    QByteArray reply;
    QByteArray data; // empty: no block
};

class FromReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(FromReply, TakesOnlyTheDataOfAnAcceptedRead) {
    FakeComm comm;
    TModBus bus(&comm);
    bus.setModbusSilenceMs(20);
    comm.script = {{{1, crc16::appended(GetParam().reply)}}};
    GetParam().send(bus);
    const std::optional<RegisterBlock> block = RegisterBlock::fromReply(bus, 96);
    ASSERT_EQ(block.has_value(), !GetParam().data.isEmpty());
    if (block) {
        EXPECT_EQ(block->first(), 96);
        EXPECT_EQ(block->data(), GetParam().data);
    }
}

auto readTwoFrom96 = [](TModBus& b) { b.ReadHoldingRegisters(1, 2, 96); };

const ReplyCase kReplies[] = {
    {"Read", readTwoFrom96, hex("01 03 04 00 01 00 02"), hex("00 01 00 02")},
    {"Exception", readTwoFrom96, hex("01 83 02"), {}},
    {"FewerRegisters", readTwoFrom96, hex("01 03 02 00 01"), {}},
    {"OddByteCount", readTwoFrom96, hex("01 03 03 00 01 00"), {}},
    {"AnotherDevice", readTwoFrom96, hex("02 03 04 00 01 00 02"), {}},
    {"ReplyToACoilRead", [](TModBus& b) { b.ReadCoils(1, 3, 1); }, hex("01 01 01 01"), {}},
    {"ReplyToAWrite", [](TModBus& b) { b.WriteRegister(1, 96, 0); }, hex("01 06 00 60 00 00"), {}},
};

INSTANTIATE_TEST_SUITE_P(RegisterBlock, FromReply, ::testing::ValuesIn(kReplies),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
