// Where every row of the per-channel tables reads and writes on each channel, written out: the
// rule that moves a register with the channel lives in the rows, so a wrong stride in one row, or a
// wrong channel number handed to the rule, shows here as a register that moved.
#include "device/adjustment.h"
#include "device/counters.h"
#include "device/generalparams.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

struct Pinned {
    const char* table; // "adjustment", "counters" or a layout's code
    const char* name;
    int channel1, channel2;
};

// clang-format off
constexpr Pinned Registers[] = {
    {"adjustment", "EditDateAdj", 0, 0},                     {"adjustment", "EditTimeAdj", 0, 0},
    {"adjustment", "EditResist1", 7, 6},                     {"adjustment", "EditResist2", 2, 4},
    {"adjustment", "EditResist3", 3, 5},                     {"adjustment", "EditInternalDiameter", 36, 119},
    {"adjustment", "Edithst", 46, 129},                      {"adjustment", "EditShiftdT", 52, 135},
    {"adjustment", "EditDopPauseUZS", 54, 137},              {"adjustment", "EditHighBound", 74, 157},
    {"adjustment", "EditLowBound", 76, 159},                 {"adjustment", "EditShiftWin", 78, 161},
    {"adjustment", "RadioGroupRevers", 82, 165},             {"adjustment", "RadioEnabledChannel", 84, 167},
    {"adjustment", "RadioGroupFlowSpeedCorr", 85, 168},      {"adjustment", "RadioGroupFormZI", 86, 169},
    {"adjustment", "RadioGroupInversZI", 87, 170},           {"adjustment", "EditAutoCycles", 107, 190},
    {"adjustment", "EditTimeDifference", 202, 227},          {"adjustment", "EditTimePolSum", 204, 229},
    {"adjustment", "EditTimeWin", 204, 229},                 {"adjustment", "EditTimeStartWin", 206, 231},
    {"adjustment", "EditPauseZI", 208, 233},                 {"adjustment", "EditConsuption", 210, 235},
    {"adjustment", "EditSpeedSoundPEA", -1, -1},             {"adjustment", "EditAxialBase", -1, -1},
    {"adjustment", "EditSpeedSound", -1, -1},
    {"counters", "EditDateCounters", 0, 0},                  {"counters", "EditTimeCounters", 0, 0},
    {"counters", "EditConsuption", 210, 235},                {"counters", "EditVSum", 219, 244},
    {"counters", "EditVPlus", 219, 244},                     {"counters", "EditVMinus", 223, 248},
    {"counters", "EditSpeedFlow", 214, 239},                 {"counters", "EditSpeedSound", 212, 237},
    {"counters", "EditConsuptionPov", 210, 235},             {"counters", "EditVPov", 219, 244},
    {"counters", "EditShiftZeroPov", 24, 24},                {"counters", "ComboBoxWorkModePulseExitPov", 26, 26},
    {"EN", "EditLengthCirc", 36, 119},                       {"EN", "EditExternalDiameter", 36, 119},
    {"EN", "EditHWall", 38, 121},                            {"EN", "EditExtDiamPEA", 40, 123},
    {"EN", "ComboBoxSchemeInstall", 83, 166},                {"EN", "EditPhaseSpeed", 66, 149},
    {"EN", "EditAxialBase", 42, 125},                        {"EN", "EditSher", 44, 127},
    {"EN", "EditViscositi", 56, 139},                        {"EN", "EditIntervalAverage", 88, 171},
    {"EN", "EditLowLimit", 60, 143},                         {"EN", "EditFactorK", 48, 131},
    {"EN", "ComboBoxWorkModePulseExit", 21, 21},             {"EN", "EditWeigthPulseF", 109, 192},
    {"EN", "EditWeigthPulse", 62, 145},                      {"EN", "EditLengthPulse", 22, 23},
    {"EN", "Image", 80, 163},
    {"EV", "EditLengthCirc", 36, 119},                       {"EV", "EditExternalDiameter", 36, 119},
    {"EV", "EditHWall", 38, 121},                            {"EV", "EditExtDiamPEA", 40, 123},
    {"EV", "EditBaseDevice", 68, 151},                       {"EV", "EditSher", 44, 127},
    {"EV", "EditAxialBase", 42, 125},                        {"EV", "EditIntervalAverage", 88, 171},
    {"EV", "EditViscositi", 56, 139},                        {"EV", "EditFactorK", 48, 131},
    {"EV", "EditLowLimit", 60, 143},                         {"EV", "EditWeigthPulseF", 109, 192},
    {"EV", "ComboBoxWorkModePulseExit", 21, 21},             {"EV", "EditLengthPulse", 22, 23},
    {"EV", "EditWeigthPulse", 62, 145},                      {"EV", "Image", 80, 163},
    {"EU", "EditInternalDiameter", 70, 153},                 {"EU", "EditLowLimit", 60, 143},
    {"EU", "EditBaseDevice", 68, 151},                       {"EU", "EditAxialBase", 72, 155},
    {"EU", "EditFactorK", 48, 131},                          {"EU", "EditFactorP", 50, 133},
    {"EU", "ComboBoxWorkModePulseExit", 21, 21},             {"EU", "EditIntervalAverage", 88, 171},
    {"EU", "EditWeigthPulse", 62, 145},                      {"EU", "EditWeigthPulseF", 109, 192},
    {"EU", "EditLengthPulse", 22, 23},                       {"EU", "Image", 80, 163},
    {"PN", "EditInternalDiameter", -1, -1},                  {"PN", "EditLowLimit", 31, 31},
    {"PN", "EditGidroDinam", -1, -1},                        {"PN", "EditShiftZero", 24, 24},
    {"PN", "EditSpeedSound", -1, -1},                        {"PN", "EditPhaseSpeed", -1, -1},
    {"PN", "ComboBoxWorkModePulseExit", 26, 26},             {"PN", "EditIntervalAverage", 33, 33},
    {"PN", "EditWeigthPulse", 34, 34},                       {"PN", "EditWeigthPulseF", 109, 192},
    {"PN", "EditLengthPulse", 22, 23},
};
// clang-format on

const Pinned* pinned(const char* table, const char* name) {
    for (const Pinned& p : Registers)
        if (qstrcmp(p.table, table) == 0 && qstrcmp(p.name, name) == 0) return &p;
    return nullptr;
}

} // namespace

TEST(ChannelRegisters, EveryRowKeepsItsRegisterOnBothChannels) {
    QSet<const Pinned*> seen;
    auto expect = [&](const char* table, const param::Field& f, int channel1, int channel2) {
        const Pinned* p = pinned(table, f.name);
        ASSERT_NE(p, nullptr) << table << " " << f.name << " is not pinned";
        seen.insert(p);
        EXPECT_EQ(channel1, p->channel1) << table << " " << f.name << " channel 1";
        EXPECT_EQ(channel2, p->channel2) << table << " " << f.name << " channel 2";
    };
    for (const adjustment::Row& r : adjustment::rows())
        expect("adjustment", r.field, param::registerFor(r.field, 1), param::registerFor(r.field, 2));
    for (const counters::Row& r : counters::rows())
        expect("counters", r.field, param::registerFor(r.field, 1), param::registerFor(r.field, 2));
    for (genparams::Variant v : genparams::Variants) {
        const genparams::Layout& l = genparams::layout(v);
        for (const genparams::Row& r : l.fields)
            expect(l.code, r.field, param::registerFor(r.field, 1), param::registerFor(r.field, 2));
    }
    EXPECT_EQ(seen.size(), std::size(Registers)) << "a pinned row is gone from its table";
}

TEST(ChannelRegisters, UpDownsWriteTheRegistersOfTheirFields) {
    struct Case {
        int tag, channel1, channel2;
    };
    // Amplitude, gain, threshold, then the window shift.
    for (const Case c : {Case{1, 7, 6}, Case{2, 2, 4}, Case{3, 3, 5}, Case{4, 78, 161}}) {
        EXPECT_EQ(adjustment::upDownWrite(c.tag, 1, 1)->reg, c.channel1) << c.tag;
        EXPECT_EQ(adjustment::upDownWrite(c.tag, 1, 2)->reg, c.channel2) << c.tag;
    }
    EXPECT_FALSE(adjustment::upDownWrite(5, 1, 1));
}
