// The system parameter map: decoding the three reads, checking edited texts, list writes.
#include "device/encodings.h"
#include "device/sysparams.h"

#include "hex.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace sysparams;
using param::Verdict;

namespace {

const Field& row(const char* name) {
    const Field* r = rowByName(QString::fromLatin1(name));
    EXPECT_NE(r, nullptr) << name;
    return *r;
}

// Registers 0..20 of a device: 2024-03-05 14:07:09, serial 12345678, made 2020-01-02, address 7,
// speed code 7 (19200), RTS code 2, work mode 0, pulse 1, sensor 2, inertia 60, quartz 28.5 MHz.
RegisterBlock systemBlock() {
    return RegisterBlock(0, hex("65E7270D"                      // 0-1 time 1709647629
                                "0000 0000 0000 0000 0000 0000" // 2-7
                                "00BC614E"                      // 8-9
                                "5E0D3280"                      // 10-11
                                "0007 0007 0002 0000 0001 0002 003C"
                                "41E40000")); // 19-20 28.5
}

std::optional<QString> fieldText(const Field& r, const RegisterBlock& b) {
    return param::fieldText(r, r.reg, b);
}
std::optional<int> itemIndex(const Field& r, const RegisterBlock& b) {
    return param::itemIndex(r, r.reg, b);
}
QString text(const char* name, const RegisterBlock& b) {
    return fieldText(row(name), b).value_or("<none>");
}

} // namespace

TEST(SysParamsTable, EveryRowHasAUniqueControlAndTheReadsCoverIt) {
    QStringList names;
    for (const Field& r : rows()) {
        EXPECT_FALSE(names.contains(r.name)) << r.name;
        names << r.name;
        bool covered = false;
        for (const Read& read : reads())
            covered |= r.reg >= read.first && r.reg + r.registers() <= read.first + read.count;
        EXPECT_TRUE(covered) << r.name;
        // Every control lies inside the 673 x 393 panel.
        EXPECT_LE(r.place.x + r.place.width, 673 - 2) << r.name;
        EXPECT_LE(r.place.y + r.place.height, 393 - 2) << r.name;
    }
    EXPECT_EQ(names.size(), 14);
}

TEST(SysParamsDecode, FieldsOfTheSystemBlock) {
    const RegisterBlock b = systemBlock();
    EXPECT_EQ(text("EditDate", b), "05.03.2024");
    EXPECT_EQ(text("EditDateFabrications", b), "02.01.2020");
    EXPECT_EQ(text("EditTime", b), "14:07:09");
    EXPECT_EQ(text("EditElNumber", b), "12345678");
    EXPECT_EQ(text("EditNodeAddress", b), "7");
    EXPECT_EQ(text("EditTimeInercias", b), "60");
    EXPECT_EQ(text("EditFrequency", b), "28,50");
    EXPECT_EQ(itemIndex(row("ComboSpeedRS"), b), 5);
    EXPECT_EQ(itemIndex(row("ComboBoxRTS"), b), 2);
    EXPECT_EQ(itemIndex(row("ComboWorkMode"), b), 0);
    EXPECT_EQ(itemIndex(row("ComboBoxConditionsWorkPulseExit"), b), 1);
    EXPECT_EQ(itemIndex(row("ComboTypeSensor"), b), 2);
}

TEST(SysParamsDecode, ExtremeValues) {
    RegisterBlock b(0,
                    hex("00000000 0000 0000 0000 0000 0000 0000 FFFFFFFF FFFFFFFF 12FF 0000 0000 0000 0000 "
                        "0000 FFFF 42C80000"));
    EXPECT_EQ(text("EditDate", b), "01.01.1970");
    EXPECT_EQ(text("EditTime", b), "00:00:00");
    EXPECT_EQ(text("EditElNumber", b), "4294967295");
    EXPECT_EQ(text("EditDateFabrications", b), "07.02.2106");
    // A register byte ignores the high byte.
    EXPECT_EQ(text("EditNodeAddress", b), "255");
    EXPECT_EQ(text("EditTimeInercias", b), "65535");
    EXPECT_EQ(text("EditFrequency", b), "100,00");
}

TEST(SysParamsDecode, ShortBlockDecodesNothingPastItsEnd) {
    // Only registers 0..9 arrived: the electronic number is there, the manufacturing date is not.
    RegisterBlock b(0, hex("00000000 0000 0000 0000 0000 0000 0000 00000001"));
    EXPECT_EQ(text("EditElNumber", b), "1");
    EXPECT_EQ(fieldText(row("EditDateFabrications"), b), std::nullopt);
    EXPECT_EQ(fieldText(row("EditFrequency"), b), std::nullopt);
    EXPECT_EQ(itemIndex(row("ComboSpeedRS"), b), std::nullopt);
}

TEST(SysParamsDecode, ListCodes) {
    struct Case {
        const char* control;
        int reg;
        std::uint16_t value;
        std::optional<int> index;
    };
    const Case cases[] = {
        {"ComboSpeedRS", 13, 1, std::nullopt},
        {"ComboSpeedRS", 13, 2, 0},
        {"ComboSpeedRS", 13, 9, 7},
        {"ComboSpeedRS", 13, 10, std::nullopt},
        {"ComboBoxRTS", 14, 3, 3},
        {"ComboBoxRTS", 14, 4, std::nullopt},
        {"ComboWorkMode", 15, 0, 0},
        {"ComboWorkMode", 15, 5, 1},
        {"ComboWorkMode", 15, 0x0100, 0},
        {"ComboBoxConditionsWorkPulseExit", 16, 2, std::nullopt},
        {"ComboTypeSensor", 17, 3, std::nullopt},
        {"RadioGroupDopUsil", 114, 1, 1},
        {"RadioGroupDopUsil", 114, 7, 7},
        {"ComboBoxModeLine", 96, 0, 0},
        {"ComboBoxModeLine", 96, 1, 1},
    };
    for (const Case& c : cases) {
        RegisterBlock b(c.reg, enc::u16Bytes(c.value));
        EXPECT_EQ(itemIndex(row(c.control), b), c.index) << c.control << " " << c.value;
    }
    EXPECT_TRUE(twoChannelMode(0));
    EXPECT_FALSE(twoChannelMode(1));
    EXPECT_FALSE(twoChannelMode(-1));
}

TEST(SysParamsLists, TheChannelModeReadAloneTellsTheMode) {
    // The discovery, the command line and the view read the mode alone; the view's list is its row.
    EXPECT_EQ(ChannelModeRead.first, row("ComboBoxModeLine").reg);
    EXPECT_EQ(ChannelModeRead.count, 1);
    struct Case {
        const char* data;
        std::optional<bool> twoChannels;
    };
    // Only the low byte counts; a block of another register tells nothing.
    for (const Case c : {Case{"0000", true}, Case{"0001", false}, Case{"0005", false}, Case{"0100", true}})
        EXPECT_EQ(twoChannelMode(RegisterBlock(96, hex(c.data))), c.twoChannels) << c.data;
    EXPECT_EQ(twoChannelMode(RegisterBlock(95, hex("0000"))), std::nullopt);
}

TEST(SysParamsLists, WritesOfAChoice) {
    EXPECT_EQ(listWrites(row("ComboSpeedRS"), 7), (QList<RegisterWrite>{{13, 1, hex("0009")}}));
    EXPECT_EQ(listWrites(row("ComboSpeedRS"), 0), (QList<RegisterWrite>{{13, 1, hex("0002")}}));
    EXPECT_EQ(listWrites(row("ComboWorkMode"), 1),
              (QList<RegisterWrite>{{15, 1, hex("0001")}, {17, 1, hex("0000")}}));
    EXPECT_EQ(listWrites(row("ComboWorkMode"), 0), (QList<RegisterWrite>{{15, 1, hex("0000")}}));
    EXPECT_EQ(listWrites(row("RadioGroupDopUsil"), 1), (QList<RegisterWrite>{{114, 1, hex("0001")}}));
    EXPECT_EQ(listWrites(row("ComboBoxModeLine"), 1), (QList<RegisterWrite>{{96, 1, hex("0001")}}));
    // No item selected: nothing to send.
    EXPECT_TRUE(listWrites(row("ComboBoxRTS"), -1).isEmpty());
    EXPECT_TRUE(listWrites(row("ComboBoxRTS"), 4).isEmpty());
}

TEST(SysParamsEdit, LimitsAndTexts) {
    struct Case {
        const char* control;
        const char* text;
        Verdict verdict;
        const char* writeHex; // data of the write when accepted
    };
    const QList<int> inUse{3, 7};
    const Case cases[] = {
        // Quartz frequency: 15..100 MHz after rounding to single precision.
        {"EditFrequency", "15", Verdict::Write, "41700000"},
        {"EditFrequency", "100", Verdict::Write, "42C80000"},
        {"EditFrequency", "100,0", Verdict::Write, "42C80000"},
        {"EditFrequency", "28,5", Verdict::Write, "41E40000"},
        {"EditFrequency", "28.5", Verdict::Write, "41E40000"},
        {"EditFrequency", "14,99", Verdict::Refused, ""},
        {"EditFrequency", "100,01", Verdict::Refused, ""},
        {"EditFrequency", "", Verdict::Refused, ""},
        {"EditFrequency", ",", Verdict::Refused, ""},
        {"EditFrequency", "1,2,3", Verdict::Refused, ""},
        {"EditFrequency", "2e1", Verdict::Refused, ""},
        {"EditFrequency", "-20", Verdict::Refused, ""},
        {"EditFrequency", "99999999999999999999999999999999999999999999", Verdict::Refused, ""},
        // Inertia time: 0..300 s.
        {"EditTimeInercias", "0", Verdict::Write, "0000"},
        {"EditTimeInercias", "300", Verdict::Write, "012C"},
        {"EditTimeInercias", "301", Verdict::Refused, ""},
        {"EditTimeInercias", "12a", Verdict::Refused, ""},
        {"EditTimeInercias", "+5", Verdict::Refused, ""},
        {"EditTimeInercias", "99999999999", Verdict::Refused, ""},
        // Network number: 1..127 and not a device of the menu.
        {"EditNodeAddress", "1", Verdict::Write, "0001"},
        {"EditNodeAddress", "127", Verdict::Write, "007F"},
        {"EditNodeAddress", "0", Verdict::Refused, ""},
        {"EditNodeAddress", "128", Verdict::Refused, ""},
        {"EditNodeAddress", "7", Verdict::RefusedSilently, ""},
        {"EditNodeAddress", "007", Verdict::RefusedSilently, ""},
        {"EditNodeAddress", "", Verdict::Refused, ""},
        // Electronic number: a signed 32-bit decimal, written as u32.
        {"EditElNumber", "0", Verdict::Write, "00000000"},
        {"EditElNumber", "2147483647", Verdict::Write, "7FFFFFFF"},
        {"EditElNumber", "2147483648", Verdict::Refused, ""},
        {"EditElNumber", "4294967295", Verdict::Refused, ""},
        {"EditElNumber", "-1", Verdict::Refused, ""},
        {"EditElNumber", "$FF", Verdict::Refused, ""},
        {"EditElNumber", "12 34", Verdict::Refused, ""},
        // Manufacturing date, optionally with a time.
        {"EditDateFabrications", "01.01.2000", Verdict::Write, "386D4380"},
        {"EditDateFabrications", "01.01.2000 00:00:01", Verdict::Write, "386D4381"},
        {"EditDateFabrications", "29.02.2024", Verdict::Write, "65DFC900"},
        {"EditDateFabrications", "31.02.2024", Verdict::Refused, ""},
        {"EditDateFabrications", "29.02.2023", Verdict::Refused, ""},
        {"EditDateFabrications", "01.13.2024", Verdict::Refused, ""},
        {"EditDateFabrications", "01.01.2000 25:00", Verdict::Refused, ""},
        {"EditDateFabrications", "2024-01-01", Verdict::Refused, ""},
        {"EditDateFabrications", "01.01.2200", Verdict::Refused, ""},
        {"EditDateFabrications", "07.02.2106 06:28:15", Verdict::Write, "FFFFFFFF"},
        {"EditDateFabrications", "07.02.2106 06:28:16", Verdict::Refused, ""},
        {"EditDateFabrications", "", Verdict::Refused, ""},
        // Display-only fields never write.
        {"EditDate", "01.01.2000", Verdict::Refused, ""},
    };
    for (const Case& c : cases) {
        const Field& r = row(c.control);
        const param::Checked check =
            param::check(r, r.reg, QString::fromUtf8(c.text), refusesAddressInUse(r) ? inUse : QList<int>());
        EXPECT_EQ(check.verdict, c.verdict) << c.control << " '" << c.text << "'";
        if (c.verdict == Verdict::Write) {
            EXPECT_EQ(check.write.reg, row(c.control).reg) << c.control;
            EXPECT_EQ(toHex(check.write.data), toHex(hex(c.writeHex))) << c.control << " '" << c.text << "'";
            EXPECT_EQ(check.write.count, check.write.data.size() / 2);
        }
    }
}

TEST(SysParamsClock, FractionOfTheSecondIsDropped) {
    const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9, 999));
    EXPECT_EQ(clockWrite(t), (RegisterWrite{0, 2, hex("65E7270D")}));
    const QDateTime midnight(QDate(1970, 1, 1), QTime(23, 59, 59, 600));
    EXPECT_EQ(clockWrite(midnight), (RegisterWrite{0, 2, hex("0001517F")}));
}
