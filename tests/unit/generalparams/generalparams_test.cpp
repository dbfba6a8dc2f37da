// The installation-parameter layouts: every row against the device's register map (response byte
// of each channel, display pattern, range edges), and the decoding and checking built on them.
#include "device/encodings.h"
#include "device/generalparams.h"

#include "hex.h"
#include "registerhex.h"

#include <gtest/gtest.h>
#include <set>

using namespace genparams;

namespace {

const Row& field(Variant v, const char* name) {
    const Row* r = rowNamed(layout(v), name);
    EXPECT_NE(r, nullptr) << name;
    return *r;
}

param::Checked checkEdit(const Row& r, int channel, const QString& text) {
    return param::check(r.field, param::registerFor(r.field, channel + 1), text);
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

Place placeOf(const Layout& l, const param::Field& f, int reg) {
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
        for (const Row& r : l.fields) {
            const param::Field& f = r.field;
            SCOPED_TRACE(std::string(l.code) + " " + f.name);
            if (f.control != param::Control::Cells) {
                EXPECT_TRUE(cells.insert({int(r.extra.column), r.extra.row}).second)
                    << "two fields in one place";
            }
            if (r.extra.fixedText) continue;
            ++rows;
            const MapRow* golden = nullptr;
            for (const MapRow& m : Map)
                if (m.layout == v && qstrcmp(m.name, f.name) == 0) golden = &m;
            ASSERT_NE(golden, nullptr) << "a field the device map does not have";
            for (int ch = 0; ch < 2; ++ch) {
                const Place want = ch == 0 ? golden->ch1 : golden->ch2;
                const Place got = placeOf(l, f, param::registerFor(r.field, ch + 1));
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

TEST(GeneralLayouts, ChoiceByTheLowBytesOfWorkModeAndSensorType) {
    EXPECT_EQ(variantOf(registerBlock(0, 18, {{15, "0101"}, {17, "0700"}})), PN);
    EXPECT_EQ(variantOf(registerBlock(0, 17, {{15, "0101"}})), std::nullopt) << "short common block";
    EXPECT_EQ(variantFor(1, 1), std::nullopt);
    EXPECT_EQ(variantFor(0, 3), std::nullopt);
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
        const Row& f = field(e.layout, e.name);
        for (int ch = 0; ch < 2; ++ch) {
            for (const char* text : e.accepted) {
                const param::Checked check = checkEdit(f, ch, QString::fromUtf8(text));
                EXPECT_EQ(check.verdict, Verdict::Write)
                    << layout(e.layout).code << " " << e.name << " " << text;
                EXPECT_EQ(check.write.reg, param::registerFor(f.field, ch + 1));
                EXPECT_EQ(check.write.count, f.field.keys == QLatin1String("0123456789") ? 1 : 2);
            }
            for (const char* text : e.refused)
                EXPECT_EQ(checkEdit(f, ch, QString::fromUtf8(text)).verdict, Verdict::Refused)
                    << layout(e.layout).code << " " << e.name << " " << text;
        }
    }
}

TEST(GeneralEdits, KeysOfEachEditorAndRowsThatNeverWrite) {
    // A minus sign is a key only of the zero shift, a comma none of the whole numbers.
    const std::pair<const char*, const char*> refused[] = {{"EditLowLimit", "-0"},
                                                           {"EditLowLimit", "nan"},
                                                           {"EditLowLimit", "inf"},
                                                           {"EditLengthPulse", "1,5"},
                                                           {"EditWeigthPulseF", "1"},
                                                           {"ComboBoxWorkModePulseExit", "1"},
                                                           {"Image", "1"}};
    for (const auto& [name, text] : refused)
        EXPECT_EQ(checkEdit(field(EN, name), 0, QString::fromUtf8(text)).verdict, Verdict::Refused)
            << name << text;
    EXPECT_EQ(checkEdit(field(PN, "EditShiftZero"), 0, "-2").write, (RegisterWrite{24, 2, hex("c0000000")}));
    // The pair is checked with the ranges of its rows, and either value typed writes both.
    for (const char* text : {"9,99", "10000,01"})
        EXPECT_EQ(checkEdit(field(EN, "EditExternalDiameter"), 0, text).verdict, Verdict::Refused) << text;
    for (const char* text : {"29,99", "30000,01"})
        EXPECT_EQ(checkEdit(field(EV, "EditLengthCirc"), 1, text).verdict, Verdict::Refused) << text;
    const PairEdit pair = pairOf(field(EV, "EditLengthCirc"), 1, 30000.0f);
    EXPECT_EQ(pair.writes, (QList<RegisterWrite>{{119, 2, enc::f32Bytes(30000.0f)},
                                                 {123, 2, enc::f32Bytes(30000.0f / PairPi)}}));
    EXPECT_EQ(pairOf(field(EN, "EditExternalDiameter"), 0, 100.0f).circumference, 100.0f * PairPi);
}

TEST(GeneralDecode, WhatTheDeviceSendsIsShownAsItIs) {
    // The PN interval is the low byte of its register, the operational one the whole register.
    EXPECT_EQ(fieldText(field(PN, "EditIntervalAverage"), 1, RegisterBlock(33, hex("012c"))), "44");
    EXPECT_EQ(fieldText(field(EN, "EditIntervalAverage"), 0, RegisterBlock(88, hex("012c"))), "300");
    EXPECT_EQ(fieldText(field(EN, "EditLowLimit"), 0, RegisterBlock(60, hex("7fc00000"))), "NAN");
    // Half a float is no value.
    EXPECT_EQ(fieldText(field(EN, "EditLowLimit"), 0, RegisterBlock(60, hex("4148"))), std::nullopt);
    EXPECT_EQ(itemIndex(field(EN, "ComboBoxWorkModePulseExit"), 0, RegisterBlock(21, hex("0002"))),
              std::nullopt);
}

TEST(GeneralCells, ShownBitsAndToggle) {
    using enum Cell;
    const Row& cellsEN = field(EN, "Image");
    EXPECT_EQ(cells(cellsEN, 0, 0xC1, true), (QList<Cell>{Cross, Bar, Bar, Bar, Bar, Bar, Hidden, Hidden}));
    EXPECT_EQ(cells(cellsEN, 0, 0xC1, false), (QList<Cell>{Cross, Bar, Bar, Bar, Bar, Bar, Cross, Cross}));
    EXPECT_EQ(cells(cellsEN, 1, 0xFF, false), (QList<Cell>(6, Cross))) << "channel 2 has bits 0 to 5";

    const Control bit7{&layout(EV), &field(EV, "Image"), 0, 7};
    EXPECT_EQ(toggleWrite(bit7, RegisterBlock(80, hex("ab94"))), (RegisterWrite{80, 1, hex("0014")}));
    const Control bit0ch2{&layout(EU), &field(EU, "Image"), 1, 0};
    EXPECT_EQ(toggleWrite(bit0ch2, RegisterBlock(163, hex("0030"))), (RegisterWrite{163, 1, hex("0031")}));
    EXPECT_EQ(toggleWrite(bit0ch2, RegisterBlock(80, hex("0030"))), std::nullopt) << "another register";
}
