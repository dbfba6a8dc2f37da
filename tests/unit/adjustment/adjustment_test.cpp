// The adjustment map: the table walk, decoding the three reads, checking typed values, the
// condition decision and the arithmetic of the averaging and the two calculators.
#include "device/adjustment.h"
#include "device/channelcondition.h"
#include "device/encodings.h"

#include "hex.h"
#include "registerhex.h"

#include <QHash>
#include <QSet>
#include <QSize>
#include <cmath>
#include <gtest/gtest.h>

using namespace adjustment;

namespace {

const Row& rowNamed(const char* name) {
    const Row* r = row(QString::fromLatin1(name));
    EXPECT_NE(r, nullptr) << name;
    return *r;
}

int registers(const Row& r) {
    switch (r.where.derived) {
    case Derived::WindowLength:
        return 4;
    case Derived::InternalDiameter:
        return 36; // the circumference, the wall and the U-bend register 34
    default:
        return r.field.registers();
    }
}

QString text(const char* name, const RegisterBlock& b, Context c) {
    return fieldText(rowNamed(name), b, c).value_or("<none>");
}

} // namespace

TEST(AdjustmentTable, EveryControlIsUniqueReadByItsBlockAndInsideItsParent) {
    QSet<QString> names;
    QHash<QString, QSize> parents{{QString(), QSize(673, 457)}};
    for (const Group& g : groups()) {
        parents.insert(QString::fromLatin1(g.name), QSize(g.place.width, g.place.height));
        names.insert(QString::fromLatin1(g.name));
    }
    auto inside = [&](const char* name, const char* parent, const Place& p) {
        EXPECT_FALSE(names.contains(QString::fromLatin1(name))) << name;
        names.insert(QString::fromLatin1(name));
        const QSize size = parents.value(QString::fromLatin1(parent), QSize(-1, -1));
        EXPECT_TRUE(size.isValid()) << name;
        EXPECT_LE(p.x + p.width, size.width()) << name;
        EXPECT_LE(p.y + p.height, size.height()) << name;
    };
    for (const Row& r : rows()) {
        const param::Field& f = r.field;
        inside(f.name, r.where.parent, f.place);
        if (f.encoding == param::Encoding::None) continue;
        for (int channel : {1, 2}) {
            const Read read = reads(channel)[int(r.where.block)];
            const int reg = param::registerFor(r.field, channel);
            EXPECT_GE(reg, read.first) << f.name;
            EXPECT_LE(reg + registers(r), read.first + read.count) << f.name << " channel " << channel;
        }
    }
    for (const UpDownSpec& u : upDowns()) {
        inside(u.name, u.parent, u.place);
        EXPECT_NE(rowWithTag(u.tag), nullptr) << u.name;
    }
    for (const ButtonSpec& b : buttons())
        inside(b.name, b.parent, b.place);
}

TEST(AdjustmentDecode, FieldsOfTheThreeBlocks) {
    // 05.03.2024 14:07:09; gains 2..7 = 120 40 112 38 176 181.
    const RegisterBlock system =
        registerBlock(0, 18, {{0, "65E7270D"}, {2, "0078 0028 0070 0026 00B0 12B5"}, {17, "0000"}});
    const Context ch1{1, 0}, ch2{2, 0};
    EXPECT_EQ(text("EditDateAdj", system, ch1), "05.03.2024");
    EXPECT_EQ(text("EditTimeAdj", system, ch1), "    14:07");
    const std::pair<const char*, QString> gains[] = {
        {"EditResist1", "181"}, {"EditResist2", "120"}, {"EditResist3", "40"}};
    for (const auto& [name, shown] : gains)
        EXPECT_EQ(text(name, system, ch1), shown) << name;
    EXPECT_EQ(text("EditResist1", system, ch2), "176");
    EXPECT_EQ(text("EditResist2", system, ch2), "112");
    EXPECT_EQ(fieldNumber(rowNamed("EditResist3"), system, ch2), 38);

    // Channel 2's block: circumference 314.159, wall 5, U-bend diameter 42.5, window shift 0xFF85,
    // auto-circulation 5 (high byte ignored), flow direction 1, offset -0.0125.
    const RegisterBlock channel = registerBlock(119, 72,
                                                {{119, "439D145A"},
                                                 {121, "40A00000"},
                                                 {135, "BC4CCCCD"},
                                                 {153, "422A0000"},
                                                 {161, "FF85"},
                                                 {165, "0001"},
                                                 {190, "1205"}});
    EXPECT_EQ(text("EditInternalDiameter", channel, ch2), "90,00");
    EXPECT_EQ(text("EditInternalDiameter", channel, Context{2, 2}), "42,50");
    EXPECT_EQ(fieldText(rowNamed("EditInternalDiameter"), channel, Context{2, std::nullopt}), std::nullopt);
    EXPECT_EQ(text("EditShiftWin", channel, ch2), "-123");
    EXPECT_EQ(fieldNumber(rowNamed("EditShiftWin"), channel, ch2), -123);
    EXPECT_EQ(text("EditAutoCycles", channel, ch2), "40");
    EXPECT_EQ(text("EditShiftdT", channel, ch2), "-0,01250");
    EXPECT_EQ(fieldNumber(rowNamed("RadioGroupRevers"), channel, ch2), 1);
    // Read for channel 2, the block holds nothing of channel 1.
    EXPECT_EQ(fieldText(rowNamed("EditShiftWin"), channel, ch1), std::nullopt);

    // Channel 1's measurements: 1.0, 200.0, 186.5, NaN, 1000.
    const RegisterBlock live = registerBlock(
        202, 53,
        {{202, "3F800000"}, {204, "43480000"}, {206, "433A8000"}, {208, "7FC00000"}, {210, "447A0000"}});
    EXPECT_EQ(text("EditTimeDifference", live, ch1), "1,00000");
    EXPECT_EQ(text("EditTimePolSum", live, ch1), "200,00");
    EXPECT_EQ(text("EditTimeStartWin", live, ch1), "186,50");
    EXPECT_EQ(text("EditTimeWin", live, ch1), "13,50");
    EXPECT_EQ(text("EditPauseZI", live, ch1), "NAN");
    EXPECT_EQ(text("EditConsuption", live, ch1), "1000,0");
}

// The meter's own arithmetic divides by 3.14159, not by pi; over a circumference of 31415.9 mm the
// two differ in the second decimal that the field shows.
TEST(AdjustmentDecode, TheInnerDiameterDividesBy314159) {
    TestRegisters block(36, 72);
    block.f32(36, 31415.9f).f32(38, 1);
    const std::optional<float> d = adjustment::internalDiameter(block.block(), 36, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(QString::number(*d, 'f', 2), "9998.00");
}

TEST(AdjustmentEdits, TypedValuesBecomeWritesOrAreRefused) {
    struct Case {
        const char* field;
        const char* typed;
        int channel;
        std::optional<RegisterWrite> write;
    };
    auto one = [](int reg, const char* bytes) { return RegisterWrite{reg, 1, hex(bytes)}; };
    auto two = [](int reg, const char* bytes) { return RegisterWrite{reg, 2, hex(bytes)}; };
    const Case cases[] = {
        {"EditResist1", "255", 1, one(7, "00FF")},
        {"EditResist1", "256", 1, std::nullopt},
        {"EditResist3", "-1", 1, std::nullopt},
        {"EditShiftWin", "-123", 1, one(78, "FF85")},
        {"EditShiftWin", "-128", 1, std::nullopt},
        {"EditShiftWin", "1-2", 1, std::nullopt},
        {"EditHighBound", "100000", 1, two(74, "47C35000")},
        {"EditHighBound", "100001", 1, std::nullopt},
        {"EditLowBound", "-1", 2, std::nullopt},
        {"EditShiftdT", "-0,0125", 1, two(52, "BC4CCCCD")},
        {"Edithst", "0,1", 1, two(46, "3DCCCCCD")},
        {"Edithst", "100", 2, two(129, "42C80000")},
        {"Edithst", "0,09", 1, std::nullopt},
        // Pasted texts outside the key set, nothing, and numbers too large for single precision.
        {"EditDopPauseUZS", "-4,75", 1, std::nullopt},
        {"EditShiftdT", "nan", 1, std::nullopt},
        {"EditShiftdT", "inf", 1, std::nullopt},
        {"EditShiftdT", "1e5", 1, std::nullopt},
        {"EditShiftdT", "", 1, std::nullopt},
        {"EditShiftdT", "-", 1, std::nullopt},
        {"EditDopPauseUZS", "1000000000000000000000000000000000000000", 1, std::nullopt},
        {"EditResist1", "99999999999", 1, std::nullopt},
        {"EditTimeDifference", "1", 1, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkEdit(rowNamed(c.field), QString::fromUtf8(c.typed), c.channel), c.write)
            << c.field << " '" << c.typed << "' channel " << c.channel;
    EXPECT_EQ(upDownWrite(4, -3, 2), one(161, "FFFD"));
    EXPECT_EQ(upDownWrite(1, 255, 1), one(7, "00FF"));
    EXPECT_EQ(radioWrite(rowNamed("RadioEnabledChannel"), 0, 2), one(167, "0000"));
}

TEST(ChannelCondition, FailureOverridesAndTheMaskFollowsTheChannelMode) {
    using condition::State;
    struct Case {
        int failure, conditionByte, channel;
        bool twoChannelMode;
        State state;
    };
    const Case cases[] = {
        {0x80, 0x00, 1, true, State::Normal},    {0x00, 0x00, 2, false, State::Normal},
        {0x01, 0x00, 1, true, State::Failure},   {0x81, 0xFF, 2, true, State::Failure},
        {0x40, 0x00, 1, false, State::Failure},  {0x00, 0x40, 1, true, State::Normal},
        {0x00, 0x40, 1, false, State::Abnormal}, {0x00, 0x80, 1, false, State::Abnormal},
        {0x00, 0xC0, 2, false, State::Normal},   {0x80, 0x10, 2, true, State::Abnormal},
    };
    for (const Case& c : cases)
        EXPECT_EQ(condition::state(c.failure, c.conditionByte, c.channel, c.twoChannelMode), c.state)
            << std::hex << c.failure << " " << c.conditionByte << " channel " << c.channel;
}

TEST(AdjustmentTools, SpacingAndCalibration) {
    // 1 × 90 × 1.5 / √(2.5² − 1.5²) + 3 × 5 = 82.5; the V-scheme doubles the path.
    EXPECT_FLOAT_EQ(*axialBase(0, 90, 1.5, 2.5, 5), 82.5f);
    EXPECT_FLOAT_EQ(*axialBase(1, 90, 1.5, 2.5, 5), 150.0f);
    for (double c : {2.5, 2.6})
        EXPECT_EQ(axialBase(0, 90, c, 2.5, 5), std::nullopt) << c;
    EXPECT_EQ(axialBase(0, std::nan(""), 1.5, 2.5, 5), std::nullopt);
    EXPECT_EQ(axialBase(0, 90, 1.5, INFINITY, 5), std::nullopt);
    EXPECT_EQ(axialBase(0, 1e38, 1.5, 1.5000001, 5), std::nullopt); // beyond single precision

    EXPECT_FLOAT_EQ(*additionalDelay(200.0f, 150.0f, 1.5f), 100.0f);
    EXPECT_EQ(additionalDelay(200.0f, 150.0f, 0.0f), std::nullopt);
    EXPECT_EQ(additionalDelay(200.0f, NAN, 1.5f), std::nullopt);
    EXPECT_EQ(additionalDelay(200.0f, 0.0f, 0.0f), std::nullopt);
}
