// The installation-parameter layouts: every row against the device's register map (response byte
// of each channel, display pattern, range edges), and the decoding and checking built on them.
#include "device/encodings.h"
#include "device/generalparams.h"

#include "hex.h"

#include <gtest/gtest.h>
#include <limits>
#include <set>

using namespace genparams;

namespace {

const Field& field(Variant v, const char* name) {
    const Field* f = fieldNamed(layout(v), name);
    EXPECT_NE(f, nullptr) << name;
    return *f;
}

// Where the device's reply carries a value: block 1 or 2 of the layout's reads, and the response
// byte counted from the frame's address byte (the low byte for one-byte values).
struct Place {
    int block;
    int byte;
};
struct MapRow {
    Variant layout;
    const char* name;
    Place ch1, ch2;
    const char* pattern; // floats only
};

constexpr Variant EN = Variant::EN, EV = Variant::EV, EU = Variant::EU, PN = Variant::PN;

// The register maps of the four layouts, as the device documents them.
const MapRow Map[] = {
    {EN, "ComboBoxWorkModePulseExit", {1, 4}, {1, 4}, nullptr},
    {EN, "EditLengthPulse", {1, 5}, {1, 7}, nullptr},
    {EN, "EditLengthCirc", {1, 33}, {1, 199}, "0.00"},
    {EN, "EditExternalDiameter", {1, 33}, {1, 199}, "0.00"},
    {EN, "EditHWall", {1, 37}, {1, 203}, "0.00"},
    {EN, "EditExtDiamPEA", {1, 41}, {1, 207}, "0.00"},
    {EN, "EditAxialBase", {1, 45}, {1, 211}, "0.00"},
    {EN, "EditSher", {1, 49}, {1, 215}, "0.00"},
    {EN, "EditFactorK", {1, 57}, {1, 223}, "0.000"},
    {EN, "EditViscositi", {1, 73}, {1, 239}, "0.0000"},
    {EN, "EditLowLimit", {1, 81}, {1, 247}, "0.00"},
    {EN, "EditWeigthPulse", {1, 85}, {2, 3}, "0.0000"},
    {EN, "EditPhaseSpeed", {1, 93}, {2, 11}, "0.00"},
    {EN, "Image", {1, 122}, {2, 40}, nullptr},
    {EN, "ComboBoxSchemeInstall", {1, 128}, {2, 46}, nullptr},
    {EN, "EditIntervalAverage", {1, 137}, {2, 55}, nullptr},
    {EN, "EditWeigthPulseF", {1, 179}, {2, 97}, "0.00"},

    {EV, "ComboBoxWorkModePulseExit", {1, 4}, {1, 4}, nullptr},
    {EV, "EditLengthPulse", {1, 5}, {1, 7}, nullptr},
    {EV, "EditLengthCirc", {1, 33}, {1, 199}, "0.00"},
    {EV, "EditExternalDiameter", {1, 33}, {1, 199}, "0.00"},
    {EV, "EditHWall", {1, 37}, {1, 203}, "0.00"},
    {EV, "EditExtDiamPEA", {1, 41}, {1, 207}, "0.00"},
    {EV, "EditAxialBase", {1, 45}, {1, 211}, "0.00"},
    {EV, "EditSher", {1, 49}, {1, 215}, "0.00"},
    {EV, "EditFactorK", {1, 57}, {1, 223}, "0.000"},
    {EV, "EditViscositi", {1, 73}, {1, 239}, "0.0000"},
    {EV, "EditLowLimit", {1, 81}, {1, 247}, "0.00"},
    {EV, "EditWeigthPulse", {1, 85}, {2, 3}, "0.0000"},
    {EV, "EditBaseDevice", {1, 97}, {2, 15}, "0.00"},
    {EV, "Image", {1, 122}, {2, 40}, nullptr},
    {EV, "EditIntervalAverage", {1, 137}, {2, 55}, nullptr},
    {EV, "EditWeigthPulseF", {1, 179}, {2, 97}, "0.00"},

    {EU, "ComboBoxWorkModePulseExit", {1, 4}, {1, 4}, nullptr},
    {EU, "EditLengthPulse", {1, 5}, {1, 7}, nullptr},
    {EU, "EditFactorK", {1, 57}, {1, 223}, "0.000"},
    {EU, "EditFactorP", {1, 61}, {1, 227}, "0.000"},
    {EU, "EditLowLimit", {1, 81}, {1, 247}, "0.00"},
    {EU, "EditWeigthPulse", {1, 85}, {2, 3}, "0.0000"},
    {EU, "EditBaseDevice", {1, 97}, {2, 15}, "0.00"},
    {EU, "EditInternalDiameter", {1, 101}, {2, 19}, "0.00"},
    {EU, "EditAxialBase", {1, 105}, {2, 23}, "0.00"},
    {EU, "Image", {1, 122}, {2, 40}, nullptr},
    {EU, "EditIntervalAverage", {1, 137}, {2, 55}, nullptr},
    {EU, "EditWeigthPulseF", {1, 179}, {2, 97}, "0.00"},

    {PN, "EditLengthPulse", {1, 3}, {1, 5}, nullptr},
    {PN, "EditShiftZero", {1, 7}, {1, 7}, "0.00"},
    {PN, "ComboBoxWorkModePulseExit", {1, 12}, {1, 12}, nullptr},
    {PN, "EditLowLimit", {1, 21}, {1, 21}, "0.00"},
    {PN, "EditIntervalAverage", {1, 26}, {1, 26}, nullptr},
    {PN, "EditWeigthPulse", {1, 27}, {1, 27}, "0.0000"},
    {PN, "EditWeigthPulseF", {2, 3}, {2, 169}, "0.00"},
};

Place placeOf(const Layout& l, const Field& f, int channel) {
    const int reg = f.reg[channel];
    for (int b = 0; b < 2; ++b) {
        const Read& read = l.blocks[b];
        if (reg >= read.first && reg + f.registers() <= read.first + read.count)
            return {b + 1, 3 + 2 * (reg - read.first) + (f.encoding == Encoding::RegisterByte ? 1 : 0)};
    }
    return {0, 0};
}

} // namespace

TEST(GeneralLayouts, EveryRowMatchesTheDeviceRegisterMap) {
    int rows = 0;
    for (Variant v : Variants) {
        const Layout& l = layout(v);
        std::set<std::pair<int, int>> cells;
        for (const Field& f : l.fields) {
            SCOPED_TRACE(std::string(l.code) + " " + f.name);
            if (f.editor != Editor::Cells) {
                EXPECT_TRUE(cells.insert({int(f.column), f.row}).second) << "two fields in one place";
            }
            if (f.editor == Editor::Fixed) continue;
            ++rows;
            const MapRow* golden = nullptr;
            for (const MapRow& m : Map)
                if (m.layout == v && qstrcmp(m.name, f.name) == 0) golden = &m;
            ASSERT_NE(golden, nullptr) << "a field the device map does not have";
            for (int ch = 0; ch < 2; ++ch) {
                const Place want = ch == 0 ? golden->ch1 : golden->ch2;
                const Place got = placeOf(l, f, ch);
                EXPECT_EQ(got.block, want.block) << "channel " << ch + 1;
                EXPECT_EQ(got.byte, want.byte) << "channel " << ch + 1;
            }
            if (golden->pattern) {
                EXPECT_STREQ(f.pattern, golden->pattern);
            }
        }
    }
    EXPECT_EQ(rows, int(std::size(Map)));
}

TEST(GeneralLayouts, ChoiceByWorkModeAndSensorType) {
    struct Case {
        int mode, sensor;
        std::optional<Variant> variant;
    };
    const Case cases[] = {{0, 0, EN},           {0, 1, EV},           {0, 2, EU},
                          {1, 0, PN},           {1, 1, std::nullopt}, {1, 2, std::nullopt},
                          {0, 3, std::nullopt}, {2, 0, std::nullopt}, {255, 255, std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(variantFor(c.mode, c.sensor), c.variant) << c.mode << "/" << c.sensor;
    // Only the low bytes of registers 15 and 17 count.
    QByteArray common(36, '\0');
    common.replace(30, 2, hex("0101")).replace(34, 2, hex("0700"));
    EXPECT_EQ(variantOf(RegisterBlock(0, common)), PN);
    EXPECT_EQ(variantOf(RegisterBlock(0, QByteArray(30, '\0'))), std::nullopt) << "short common block";
}

TEST(GeneralLayouts, RangeEdgesOfEveryEditor) {
    struct Edge {
        Variant layout;
        const char* name;
        const char* accepted[2];
        const char* refused[2];
    };
    const Edge edges[] = {
        {EN, "EditHWall", {"0,1", "100"}, {"0,09", "100,01"}},
        {EN, "EditExtDiamPEA", {"10", "10000"}, {"9,99", "10000,01"}},
        {EN, "EditAxialBase", {"30", "14000"}, {"20", "14000,1"}},
        {EN, "EditSher", {"0,01", "10"}, {"0,009", "10,01"}},
        {EN, "EditFactorK", {"0,001", "1000"}, {"0,0009", "1000,01"}},
        {EN, "EditViscositi", {"0,01", "1000"}, {"0,0099", "1000,01"}},
        {EN, "EditLowLimit", {"0", "10000"}, {"-1", "10000,01"}},
        {EN, "EditWeigthPulse", {"0,0001", "100"}, {"0,00009", "100,01"}},
        {EN, "EditPhaseSpeed", {"2", "5"}, {"1,99", "5,01"}},
        {EN, "EditIntervalAverage", {"1", "50"}, {"0", "51"}},
        {EN, "EditLengthPulse", {"1", "1000"}, {"0", "1001"}},
        {EV, "EditAxialBase", {"10", "20"}, {"9,99", "10000,01"}},
        {EV, "EditBaseDevice", {"30", "2500"}, {"29,99", "14000,01"}},
        {EV, "EditWeigthPulse", {"0,0001", "100"}, {"0,00009", "100,01"}},
        {EU, "EditFactorP", {"0,001", "10000"}, {"0,0009", "10000,01"}},
        {EU, "EditBaseDevice", {"10", "2000"}, {"9,99", "2500"}},
        {EU, "EditInternalDiameter", {"10", "100"}, {"9,99", "150"}},
        {EU, "EditAxialBase", {"10", "2000"}, {"9,99", "2000,01"}},
        {PN, "EditShiftZero", {"-100", "100"}, {"-100,5", "100,01"}},
        {PN, "EditLowLimit", {"0", "10000"}, {"-0,01", "10000,01"}},
        {PN, "EditIntervalAverage", {"1", "50"}, {"0", "51"}},
        // Compared with the exact decimal 0.0001, which 0,0001 in single precision falls short of.
        {PN, "EditWeigthPulse", {"0,0002", "100"}, {"0,0001", "100,01"}},
    };
    for (const Edge& e : edges) {
        const Field& f = field(e.layout, e.name);
        for (int ch = 0; ch < 2; ++ch) {
            for (const char* text : e.accepted) {
                const EditCheck check = checkEdit(f, ch, QString::fromUtf8(text));
                EXPECT_EQ(check.verdict, Verdict::Write)
                    << layout(e.layout).code << " " << e.name << " " << text;
                EXPECT_EQ(check.write.reg, f.reg[ch]);
                EXPECT_EQ(check.write.count, f.editor == Editor::Whole ? 1 : 2);
            }
            for (const char* text : e.refused)
                EXPECT_EQ(checkEdit(f, ch, QString::fromUtf8(text)).verdict, Verdict::Refused)
                    << layout(e.layout).code << " " << e.name << " " << text;
        }
    }
}

TEST(GeneralEdits, WhatIsWrittenAndWhatNeverIs) {
    const Field& low = field(PN, "EditLowLimit");
    EXPECT_EQ(checkEdit(low, 1, "12.5").write, (RegisterWrite{31, 2, hex("41480000")}))
        << "a point is a comma";
    EXPECT_EQ(checkEdit(field(PN, "EditShiftZero"), 0, "-2").write, (RegisterWrite{24, 2, hex("c0000000")}));
    EXPECT_EQ(checkEdit(field(EN, "EditIntervalAverage"), 1, "50").write,
              (RegisterWrite{171, 1, hex("0032")}));
    EXPECT_EQ(checkEdit(field(EU, "EditLengthPulse"), 1, "1000").write, (RegisterWrite{23, 1, hex("03e8")}));
    const char* garbage[] = {"",    ",",   "1,2,3", "abc",
                             "nan", "inf", "1e3",   "-",
                             "--1", "+5",  " 5x",   "99999999999999999999999999999999999999999999999",
                             "\t"};
    for (const char* text : garbage) {
        EXPECT_EQ(checkEdit(low, 0, QString::fromUtf8(text)).verdict, Verdict::Refused) << text;
        EXPECT_EQ(checkEdit(field(EN, "EditIntervalAverage"), 0, QString::fromUtf8(text)).verdict,
                  Verdict::Refused)
            << text;
    }
    // A minus sign is a key only of the zero shift.
    EXPECT_EQ(checkEdit(field(EN, "EditLowLimit"), 0, "-0").verdict, Verdict::Refused);
    EXPECT_EQ(checkEdit(field(EN, "EditLengthPulse"), 0, "1,5").verdict, Verdict::Refused);
    // Read-only, fixed, list and cell rows never write through the text editor.
    for (const char* name : {"EditWeigthPulseF", "ComboBoxWorkModePulseExit", "Image"})
        EXPECT_EQ(checkEdit(field(EN, name), 0, "1").verdict, Verdict::Refused) << name;
    EXPECT_EQ(checkEdit(field(PN, "EditInternalDiameter"), 0, "100").verdict, Verdict::Refused);
}

TEST(GeneralEdits, CircumferenceDiameterPair) {
    struct Case {
        Variant layout;
        const char* name;
        int channel;
        const char* typed;
        const char* circumference; // data of the write to the circumference register
        const char* diameter;      // data of the write to the transducer-plane diameter
        int first;
    };
    const Case cases[] = {
        // 10000 x 3.14159 = 31415.9 in single precision; the diameter goes as typed.
        {EN, "EditExternalDiameter", 0, "10000", "46f56fcd", "461c4000", 36},
        {EV, "EditExternalDiameter", 1, "100", "439d145a", "42c80000", 119},
        // 30000 / 3.14159 = 9549.3 (30000 / pi would be 9549.297).
        {EN, "EditLengthCirc", 1, "30000", "46ea6000", "46153538", 119},
        {EV, "EditLengthCirc", 0, "30", "41f00000", "4118c9f3", 36},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(layout(c.layout).code) + " " + c.name + " " + c.typed);
        const auto pair = checkPair(field(c.layout, c.name), c.channel, QString::fromUtf8(c.typed));
        ASSERT_TRUE(pair);
        EXPECT_EQ(pair->writes, (QList<RegisterWrite>{{c.first, 2, hex(c.circumference)},
                                                      {c.first + 4, 2, hex(c.diameter)}}));
        // The diameter in the transducer plane is the register of its own field.
        EXPECT_EQ(c.first + 4, field(c.layout, PlaneDiameterName).reg[c.channel]);
    }
    for (const char* refused : {"9,99", "10000,01", "abc", ""})
        EXPECT_FALSE(checkPair(field(EN, "EditExternalDiameter"), 0, QString::fromUtf8(refused))) << refused;
    for (const char* refused : {"29,99", "30000,01"})
        EXPECT_FALSE(checkPair(field(EN, "EditLengthCirc"), 0, QString::fromUtf8(refused))) << refused;
    EXPECT_FALSE(checkPair(field(EN, "EditHWall"), 0, "10"));
}

TEST(GeneralDecode, TextsFromTheBlocks) {
    // The diameter is shown from the circumference with pi at full precision: a diameter written as
    // 10000 through 3.14159 reads back as 9999,99.
    const RegisterBlock circumference(36, hex("46f56fcd"));
    EXPECT_EQ(fieldText(field(EN, "EditExternalDiameter"), 0, circumference), "9999,99");
    EXPECT_EQ(fieldText(field(EN, "EditLengthCirc"), 0, circumference), "31415,90");
    // The PN interval is the low byte only: 300 (0x012C) shows as 44.
    EXPECT_EQ(fieldText(field(PN, "EditIntervalAverage"), 1, RegisterBlock(33, hex("012c"))), "44");
    EXPECT_EQ(fieldText(field(EN, "EditIntervalAverage"), 0, RegisterBlock(88, hex("012c"))), "300");
    EXPECT_EQ(fieldText(field(EN, "EditViscositi"), 1, RegisterBlock(139, hex("3f80c49c"))), "1,0060");
    EXPECT_EQ(fieldText(field(EN, "EditLowLimit"), 0, RegisterBlock(60, hex("7fc00000"))), "NAN");
    // Half a float is no value.
    EXPECT_EQ(fieldText(field(EN, "EditLowLimit"), 0, RegisterBlock(60, hex("4148"))), std::nullopt);
    EXPECT_EQ(fieldText(field(PN, "EditInternalDiameter"), 0, RegisterBlock(0, QByteArray(400, '\0'))),
              std::nullopt);

    const Field& mode = field(EN, "ComboBoxWorkModePulseExit");
    EXPECT_EQ(itemIndex(mode, 1, RegisterBlock(21, hex("0101"))), 1);
    EXPECT_EQ(itemIndex(mode, 0, RegisterBlock(21, hex("0002"))), std::nullopt);
    EXPECT_EQ(itemIndex(field(EN, "ComboBoxSchemeInstall"), 1, RegisterBlock(166, hex("0000"))), 0);
    EXPECT_EQ(pulseWeightCaption(0), QString::fromUtf8("Вес имп. (f), имп./м3"));
    EXPECT_EQ(pulseWeightCaption(1), QString::fromUtf8("Вес имп. (f), м3/имп."));
    EXPECT_EQ(pulseWeightCaption(2), std::nullopt);
}

TEST(GeneralCells, ShownBitsAndToggle) {
    using enum Cell;
    const Field& cellsEN = field(EN, "Image");
    EXPECT_EQ(cells(cellsEN, 0, 0xC1, true), (QList<Cell>{Cross, Bar, Bar, Bar, Bar, Bar, Hidden, Hidden}));
    EXPECT_EQ(cells(cellsEN, 0, 0xC1, false), (QList<Cell>{Cross, Bar, Bar, Bar, Bar, Bar, Cross, Cross}));
    EXPECT_EQ(cells(cellsEN, 1, 0xFF, false), (QList<Cell>(6, Cross))) << "channel 2 has bits 0 to 5";

    const Control bit7{&layout(EV), &field(EV, "Image"), 0, 7};
    EXPECT_EQ(toggleWrite(bit7, RegisterBlock(80, hex("ab94"))), (RegisterWrite{80, 1, hex("0014")}));
    const Control bit0ch2{&layout(EU), &field(EU, "Image"), 1, 0};
    EXPECT_EQ(toggleWrite(bit0ch2, RegisterBlock(163, hex("0030"))), (RegisterWrite{163, 1, hex("0031")}));
    EXPECT_EQ(toggleWrite(bit0ch2, RegisterBlock(80, hex("0030"))), std::nullopt) << "another register";
}

TEST(GeneralNames, ControlsAndPicturesAreFoundByName) {
    EXPECT_EQ(controlName(layout(EU), field(EU, "EditLowLimit"), 1), "EditLowLimitEUCh2");
    EXPECT_EQ(boxName(layout(PN), 0), "GroupBoxChannel1PN");
    EXPECT_EQ(pictureName(layout(EN), 0, 7, false), "Image0_ENCh1");
    EXPECT_EQ(pictureName(layout(EU), 1, 0, true), "Image7xEUCh2");
    EXPECT_EQ(captionName(layout(EV), field(EV, "EditWeigthPulseF"), 1), "StaticText108");

    const auto picture = findControl("Image2xEVCh2");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->layout->variant, EV);
    EXPECT_EQ(picture->channel, 1);
    EXPECT_EQ(picture->bit, 5);
    EXPECT_FALSE(findControl("Image0_ENCh2")) << "channel 2 has no bit 7";
    EXPECT_FALSE(findControl("Image0_PNCh1")) << "verification has no cells";
    const auto diameter = findControl("EditExternalDiameterENCh2");
    ASSERT_TRUE(diameter);
    EXPECT_EQ(diameter->field->tagOf(diameter->channel), 1);
    EXPECT_FALSE(findControl("EditPhaseSpeedEVCh1"));
}

TEST(GeneralLists, ItemThenCommandOneToBothChannels) {
    const QList<CommandStep> steps = listSteps(field(EN, "ComboBoxSchemeInstall"), 1, 1);
    ASSERT_EQ(steps.size(), 3);
    const std::tuple<int, int, bool> want[] = {{166, 1, true}, {27, 1, true}, {28, 1, true}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::tuple(steps[i].reg, int(steps[i].value), steps[i].pauseAfter), want[i]);
    EXPECT_EQ(listSteps(field(PN, "ComboBoxWorkModePulseExit"), 1, 0).first().reg, 26);
    EXPECT_TRUE(listSteps(field(EN, "ComboBoxWorkModePulseExit"), 0, -1).isEmpty());
    EXPECT_TRUE(listSteps(field(EN, "ComboBoxWorkModePulseExit"), 0, 2).isEmpty());
}
