// The measurements map (the table walk, decoding the reads, the volume sums, the writes of the
// buttons and editors) and the legend's markers.
#include "device/counters.h"
#include "device/failurelegend.h"

#include "hex.h"
#include "registerhex.h"

#include <QSet>
#include <QSize>
#include <gtest/gtest.h>

using namespace counters;

namespace {

QString text(const char* name, const RegisterBlock& b, int channel) {
    return fieldText(*row(QString::fromLatin1(name)), b, channel).value_or("<none>");
}

int registers(const Row& r) {
    switch (r.where.volume) {
    case Volume::Forward:
    case Volume::Reverse:
        return 4;
    case Volume::Total:
        return 8;
    case Volume::None:
        return r.field.registers();
    }
    return 2;
}

} // namespace

TEST(CountersTable, EveryFieldIsUniqueInsideItsGroupAndReadByItsLayout) {
    QSet<QString> names;
    for (const Row& r : rows()) {
        const param::Field& f = r.field;
        const QSize group = r.where.group == Group::Panel     ? QSize(673, 457)
                            : r.where.group == Group::Channel ? QSize(321, 353)
                                                              : QSize(650, 305);
        EXPECT_LE(f.place.x + f.place.width, group.width()) << f.name;
        EXPECT_LE(f.place.y + f.place.height, group.height()) << f.name;
        EXPECT_GE(f.place.captionAbove, 16) << f.name;
        for (int channel : {1, 2}) {
            names.insert(objectName(r, channel));
            const Read read = r.where.group == Group::Panel     ? SystemRead
                              : r.where.group == Group::Channel ? OperationRead
                              : r.field.channelStride == 0      ? SettingsRead
                                                                : verificationRead(channel);
            const int reg = param::registerFor(r.field, channel);
            EXPECT_GE(reg, read.first) << f.name << channel;
            EXPECT_LE(reg + registers(r), read.first + read.count) << f.name << channel;
        }
    }
    // Channel rows come twice, the others once.
    EXPECT_EQ(names.size(), 18);
}

TEST(CountersDecode, VolumesAreSummedInDoublePrecision) {
    // Channel 1: V+ 100.0 + 0.5, V- 10.0 + 0.25, sound speed 1.5, flow speed -0.125, flow 12.5.
    // Channel 2: flow NaN, V+ the largest single twice (beyond single precision), V- 0.
    const RegisterBlock live = registerBlock(210, 46,
                                             {{210, "41480000"},
                                              {212, "3FC00000"},
                                              {214, "BE000000"},
                                              {219, "42C80000 3F000000 41200000 3E800000"},
                                              {235, "7FC00000"},
                                              {244, "7F7FFFFF 7F7FFFFF"}});
    const std::tuple<const char*, int, const char*> cases[] = {
        {"EditVPlus", 1, "100,50"},      {"EditVMinus", 1, "10,250"},     {"EditVSum", 1, "110,75"},
        {"EditConsuption", 1, "12,500"}, {"EditSpeedSound", 1, "1,5000"}, {"EditSpeedFlow", 1, "-0,1250"},
        {"EditConsuption", 2, "NAN"},    {"EditVPlus", 2, "INF"},         {"EditVSum", 2, "INF"},
        {"EditVMinus", 2, "0,0000"},
    };
    for (const auto& [name, channel, shown] : cases)
        EXPECT_EQ(text(name, live, channel), shown) << name << channel;
    EXPECT_DOUBLE_EQ(*volume(Volume::Total, live, 1), 110.75);

    // Verification reads the checked channel's flow and forward volume (235-247 for channel 2).
    const RegisterBlock pov = registerBlock(235, 13, {{235, "41480000"}, {244, "42C80000 3F000000"}});
    EXPECT_EQ(text("EditConsuptionPov", pov, 2), "12,500");
    EXPECT_EQ(text("EditVPov", pov, 2), "100,50");
    // A block that stops short of what a field needs fills nothing.
    EXPECT_EQ(text("EditVPov", registerBlock(235, 12, {}), 2), "<none>");
    EXPECT_EQ(text("EditVSum", registerBlock(210, 16, {}), 1), "<none>");
    const RegisterBlock settings = registerBlock(24, 3, {{24, "C0200000"}, {26, "1201"}});
    EXPECT_EQ(text("EditShiftZeroPov", settings, 2), "-2,50");
    const Row& mode = *row(QStringLiteral("ComboBoxWorkModePulseExitPov"));
    EXPECT_EQ(param::itemIndex(mode.field, param::registerFor(mode.field, 2), settings), 1);
}

TEST(CountersWrites, ResetsShiftAndPulseMode) {
    EXPECT_EQ(volumeReset(27), (RegisterWrite{27, 1, hex("0002")}));
    EXPECT_EQ(volumeReset(28), (RegisterWrite{28, 1, hex("0002")}));
    // A Tag never set, or any other register, is no command of a channel.
    for (int reg : {0, 26, 29})
        EXPECT_EQ(volumeReset(reg), std::nullopt) << reg;

    const std::pair<const char*, std::optional<RegisterWrite>> typed[] = {
        {"-1.5", RegisterWrite{24, 2, hex("BFC00000")}},
        {"1000", RegisterWrite{24, 2, hex("447A0000")}}, // no limit on the shift
        // Pasted: outside the field's keys.
        {"1e5", std::nullopt},
        {" 1", std::nullopt},
    };
    const Row& shift = *row(QStringLiteral("EditShiftZeroPov"));
    for (const auto& [text, write] : typed) {
        const param::Checked checked =
            param::check(shift.field, param::registerFor(shift.field, 1), QString::fromLatin1(text));
        EXPECT_EQ(checked.verdict == param::Verdict::Write ? std::optional(checked.write) : std::nullopt,
                  write)
            << text;
    }
}

TEST(Legend, MarkersFollowTheBitsAndTheChannelMode) {
    struct Case {
        const char* bytes; // registers 252-255
        int tag;
        bool twoChannelMode;
        std::array<bool, 7> failures;
        std::array<bool, 8> conditions;
        bool twoBeamRows;
    };
    const Case cases[] = {
        {"0085 0000 0000 0000", 1, false, {1, 0, 1, 0, 0, 0, 0}, {}, true},     // bit 7 names no failure
        {"0000 0000 00FF 0021", 0, false, {}, {1, 0, 0, 0, 0, 1, 0, 0}, false}, // not 1: channel 2
    };
    for (const Case& c : cases) {
        const auto m = legend::markers(registerBlock(252, 4, {{252, c.bytes}}), c.tag, c.twoChannelMode);
        ASSERT_TRUE(m) << c.bytes;
        EXPECT_EQ(m->failures, c.failures) << c.bytes;
        EXPECT_EQ(m->conditions, c.conditions) << c.bytes << " tag " << c.tag;
        EXPECT_EQ(m->twoBeamRows, c.twoBeamRows) << c.bytes;
    }
    EXPECT_EQ(legend::markers(registerBlock(252, 3, {}), 2, true), std::nullopt);
}
