// Every row of every parameter table, walked once: what an edit row accepts at the meter's
// documented limits and just past them, where its write goes, what a list row writes, and what
// display rows refuse.
#include "device/adjustment.h"
#include "device/counters.h"
#include "device/encodings.h"
#include "device/generalparams.h"
#include "device/paramfield.h"
#include "device/sysparams.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace param;

namespace {

struct Placed {
    QString table;
    const Field* field;
    int reg;                // on the channel the row is walked for
    QString family = table; // the table without its channel
};

// The range the meter's documentation gives every edit row and, for floats, the decimals it is
// shown with; written out here rather than taken from the rows, so a wrong limit in a table fails.
// No limit where the meter takes any number that parses (the electronic number is held by the
// parser to what a 32-bit signed number holds).
struct Documented {
    const char* family;
    const char* name;
    std::optional<double> min, max;
    int decimals = 2; // floats only
};
constexpr std::nullopt_t None = std::nullopt;
// clang-format off
const Documented DocumentedRanges[] = {
    {"system", "EditElNumber", 0, None},
    {"system", "EditNodeAddress", 1, 127},
    {"system", "EditTimeInercias", 0, 300},
    {"system", "EditFrequency", 15, 100},

    {"adjustment", "EditResist1", 0, 255},       {"adjustment", "EditResist2", 0, 255},
    {"adjustment", "EditResist3", 0, 255},       {"adjustment", "Edithst", 0.1, 100},
    {"adjustment", "EditShiftdT", None, None, 5}, {"adjustment", "EditDopPauseUZS", None, None},
    {"adjustment", "EditHighBound", 0, 100000},  {"adjustment", "EditLowBound", 0, 100000},
    {"adjustment", "EditShiftWin", -127, 127},
    // The calculators' sound speeds.
    {"adjustment", "EditSpeedSoundPEA", None, None}, {"adjustment", "EditSpeedSound", None, None},

    {"counters", "EditShiftZeroPov", None, None},

    {"EN", "EditLengthCirc", 30, 30000},         {"EN", "EditExternalDiameter", 10, 10000},
    {"EN", "EditHWall", 0.1, 100},               {"EN", "EditExtDiamPEA", 10, 10000},
    {"EN", "EditAxialBase", 30, 14000},          {"EN", "EditSher", 0.01, 10},
    {"EN", "EditFactorK", 0.001, 1000, 3},       {"EN", "EditViscositi", 0.01, 1000, 4},
    {"EN", "EditLowLimit", 0, 10000},            {"EN", "EditWeigthPulse", 0.0001, 100, 4},
    {"EN", "EditPhaseSpeed", 2, 5},              {"EN", "EditIntervalAverage", 1, 50},
    {"EN", "EditLengthPulse", 1, 1000},

    {"EV", "EditLengthCirc", 30, 30000},         {"EV", "EditExternalDiameter", 10, 10000},
    {"EV", "EditHWall", 0.1, 100},               {"EV", "EditExtDiamPEA", 10, 10000},
    {"EV", "EditBaseDevice", 30, 14000},         {"EV", "EditAxialBase", 10, 10000},
    {"EV", "EditSher", 0.01, 10},                {"EV", "EditFactorK", 0.001, 1000, 3},
    {"EV", "EditViscositi", 0.01, 1000, 4},      {"EV", "EditLowLimit", 0, 10000},
    {"EV", "EditWeigthPulse", 0.0001, 100, 4},   {"EV", "EditIntervalAverage", 1, 50},
    {"EV", "EditLengthPulse", 1, 1000},

    {"EU", "EditInternalDiameter", 10, 100},     {"EU", "EditLowLimit", 0, 10000},
    {"EU", "EditBaseDevice", 10, 2000},          {"EU", "EditAxialBase", 10, 2000},
    {"EU", "EditFactorK", 0.001, 1000, 3},       {"EU", "EditFactorP", 0.001, 10000, 3},
    {"EU", "EditWeigthPulse", 0.0001, 100, 4},   {"EU", "EditIntervalAverage", 1, 50},
    {"EU", "EditLengthPulse", 1, 1000},

    {"PN", "EditLowLimit", 0, 10000},            {"PN", "EditShiftZero", -100, 100},
    {"PN", "EditWeigthPulse", 0.0001, 100, 4},   {"PN", "EditIntervalAverage", 1, 50},
    {"PN", "EditLengthPulse", 1, 1000},
};
// clang-format on

const Documented* documented(const Placed& p) {
    for (const Documented& d : DocumentedRanges)
        if (p.family == QLatin1String(d.family) && qstrcmp(d.name, p.field->name) == 0) return &d;
    return nullptr;
}

QList<Placed> allRows() {
    QList<Placed> out;
    for (const Field& f : sysparams::rows())
        out << Placed{QStringLiteral("system"), &f, f.reg};
    for (const counters::Row& r : counters::rows())
        for (int ch : {1, 2})
            out << Placed{QStringLiteral("counters %1").arg(ch), &r.field, registerFor(r.field, ch),
                          QStringLiteral("counters")};
    for (const adjustment::Row& r : adjustment::rows())
        for (int ch : {1, 2})
            out << Placed{QStringLiteral("adjustment %1").arg(ch), &r.field, registerFor(r.field, ch),
                          QStringLiteral("adjustment")};
    for (const Field& f : genparams::commonRows())
        out << Placed{QStringLiteral("installation"), &f, f.reg};
    for (genparams::Variant v : genparams::Variants) {
        const genparams::Layout& l = genparams::layout(v);
        for (const genparams::Row& r : l.fields)
            for (int ch : {0, 1})
                out << Placed{QString::fromLatin1(l.code) + QString::number(ch + 1), &r.field,
                              registerFor(r.field, ch + 1), QString::fromLatin1(l.code)};
    }
    return out;
}

bool integral(Encoding e) {
    return e == Encoding::U32 || e == Encoding::U16 || e == Encoding::S16 || e == Encoding::RegisterByte;
}

QString typed(double value) {
    return QString::number(value, 'f', 6)
        .remove(QRegularExpression(QStringLiteral("\\.?0+$")))
        .replace('.', ',');
}

} // namespace

TEST(ParameterTables, EveryRowIsUniqueInItsTableAndEditsOnlyWithKeys) {
    QSet<QString> seen;
    for (const Placed& p : allRows()) {
        const Field& f = *p.field;
        SCOPED_TRACE((p.table + ' ' + QString::fromLatin1(f.name)).toStdString());
        EXPECT_FALSE(seen.contains(p.table + f.name)) << "twice in one table";
        seen.insert(p.table + f.name);
        EXPECT_EQ(f.editable(), *f.keys != 0);
        if (f.chooses() || f.shown == Shown::ItemText) EXPECT_FALSE(itemTexts(f).isEmpty());
        if (!f.editable() && f.control != Control::Scratch)
            EXPECT_EQ(check(f, p.reg, QStringLiteral("1")).verdict, Verdict::Refused)
                << "a display row wrote";
        if (f.editable() || f.chooses())
            EXPECT_TRUE(f.encoding == Encoding::None || p.reg >= 0) << "an editor without a register";
    }
}

TEST(ParameterTables, EditRowsTakeTheDocumentedLimitsAndRefuseWhatLiesPastThem) {
    int walked = 0;
    QSet<const Documented*> seen;
    for (const Placed& p : allRows()) {
        const Field& f = *p.field;
        if (!f.editable() || f.encoding == Encoding::DeviceTime) continue;
        SCOPED_TRACE((p.table + ' ' + QString::fromLatin1(f.name)).toStdString());
        ++walked;
        const Documented* d = documented(p);
        ASSERT_NE(d, nullptr) << "an edit row without a documented range";
        seen.insert(d);
        EXPECT_EQ(f.min, d->min);
        EXPECT_EQ(f.max, d->max);
        if (f.encoding == Encoding::RegisterFloat)
            EXPECT_EQ(formatValue(f, 1.5f), enc::formatFixed(1.5f, d->decimals)) << f.pattern;
        for (const std::optional<double>& limit : {d->min, d->max}) {
            if (!limit) continue;
            const double step = integral(f.encoding) ? 1 : std::max(0.001, std::abs(*limit) * 1e-5);
            // 0,0001 in single precision lies below the exact decimal lower limit it is compared with.
            const bool inexact =
                limit == d->min && f.minCompare == Compare::ExactDecimal && float(*limit) < *limit;
            const Checked at = check(f, p.reg, typed(*limit));
            EXPECT_EQ(at.verdict, inexact ? Verdict::Refused : Verdict::Write) << typed(*limit).toStdString();
            if (at.verdict == Verdict::Write && f.encoding != Encoding::None) {
                EXPECT_EQ(at.write.reg, p.reg);
                EXPECT_EQ(at.write.count, f.registers());
                EXPECT_EQ(at.write.data.size(), 2 * f.registers());
            }
            const double past = limit == d->min ? *limit - step : *limit + step;
            EXPECT_EQ(check(f, p.reg, typed(past)).verdict, Verdict::Refused) << typed(past).toStdString();
        }
        // Pasted texts outside every key set: exponents, hex, blanks.
        for (const char* foreign : {"1e1", "0x1", " 1", "1 "})
            EXPECT_EQ(check(f, p.reg, QString::fromLatin1(foreign)).verdict, Verdict::Refused) << foreign;
        EXPECT_EQ(check(f, p.reg, QString()).verdict, Verdict::Refused);
    }
    EXPECT_GT(walked, 40);
    EXPECT_EQ(seen.size(), std::size(DocumentedRanges)) << "a documented field has no edit row";
}

TEST(ParameterTables, ListRowsWriteEveryItemAndNothingElse) {
    for (const Placed& p : allRows()) {
        const Field& f = *p.field;
        if (!f.chooses()) continue;
        SCOPED_TRACE((p.table + ' ' + QString::fromLatin1(f.name)).toStdString());
        const int count = int(itemTexts(f).size());
        for (int index = 0; index < count; ++index) {
            const auto write = itemWrite(f, p.reg, index);
            ASSERT_TRUE(write);
            EXPECT_EQ(write->reg, p.reg);
            EXPECT_EQ(write->value(), index + f.codeOffset);
            // What was written reads back as the same item.
            EXPECT_EQ(itemIndex(f, p.reg, RegisterBlock(p.reg, write->data)),
                      f.fill == ItemFill::NonZero ? std::min(index, 1) : index);
        }
        EXPECT_FALSE(itemWrite(f, p.reg, -1));
        EXPECT_FALSE(itemWrite(f, p.reg, count));
    }
}
