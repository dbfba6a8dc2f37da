// Register value decoding and encoding, checked against hand-assembled bytes.
#include "device/encodings.h"
#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

const std::uint8_t* bytes(const QByteArray& a) {
    return reinterpret_cast<const std::uint8_t*>(a.constData());
}

TEST(RegisterValues, FloatsDecodeWithoutScaling) {
    struct Row {
        const char* bytes;
        float value;
    } rows[] = {
        {"41 20 00 00", 10.0f}, {"42 7A 00 00", 62.5f},       {"C0 00 00 00", -2.0f},
        {"00 00 00 00", 0.0f},  {"3F 80 00 01", 1.00000012f},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bytes);
        EXPECT_EQ(enc::f32(bytes(hex(r.bytes))), r.value);
        EXPECT_EQ(toHex(enc::f32Bytes(r.value)), toHex(hex(r.bytes)));
    }
}

TEST(RegisterValues, IntegersAreBigEndian) {
    const QByteArray data = hex("12 FF 80 00 FF FF FF FF 01 02 03 04");
    EXPECT_EQ(enc::registerByte(enc::u16(bytes(data))), 0xFF);
    EXPECT_EQ(enc::u16(bytes(data)), 0x12FF);
    EXPECT_EQ(enc::s16(bytes(data) + 2), -32768);
    EXPECT_EQ(enc::s16(bytes(data) + 4), -1);
    EXPECT_EQ(enc::u16(bytes(data) + 4), 65535);
    EXPECT_EQ(enc::u32(bytes(data) + 4), 4294967295u);
    EXPECT_EQ(enc::u32(bytes(data) + 8), 0x01020304u);

    EXPECT_EQ(toHex(enc::u16Bytes(0x00AB)), "00 ab");
    EXPECT_EQ(toHex(enc::u16Bytes(0xFE01)), "fe 01");
    EXPECT_EQ(toHex(enc::u32Bytes(0x01020304u)), "01 02 03 04");
    EXPECT_EQ(toHex(enc::u32Bytes(4294967295u)), "ff ff ff ff");
}

TEST(RegisterValues, TwoPartFloatAddsInDoublePrecision) {
    EXPECT_EQ(enc::twoPart(bytes(hex("41 20 00 00 3F 00 00 00"))), 10.5);
    EXPECT_EQ(enc::MyFormatFloat(float(enc::twoPart(bytes(hex("41 20 00 00 3F 00 00 00"))))), "10,500");
    // 2^24 + 1 is lost if the halves are added in single precision.
    EXPECT_EQ(enc::twoPart(bytes(hex("4B 80 00 00 3F 80 00 00"))), 16777217.0);
}

} // namespace
