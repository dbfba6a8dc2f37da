// Every row of every parameter table, walked once: what an edit row accepts at its limits and just
// past them, where its write goes, what a list row writes, and what display rows refuse.
#include "device/adjustment.h"
#include "device/counters.h"
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
    int reg; // on the channel the row is walked for
};

QList<Placed> allRows() {
    QList<Placed> out;
    for (const Field& f : sysparams::rows())
        out << Placed{QStringLiteral("system"), &f, f.reg};
    for (const counters::Row& r : counters::rows())
        for (int ch : {1, 2})
            out << Placed{QStringLiteral("counters %1").arg(ch), &r.field, registerFor(r.field, ch)};
    for (const adjustment::Row& r : adjustment::rows())
        for (int ch : {1, 2})
            out << Placed{QStringLiteral("adjustment %1").arg(ch), &r.field, registerFor(r.field, ch)};
    for (const Field& f : genparams::commonRows())
        out << Placed{QStringLiteral("installation"), &f, f.reg};
    for (genparams::Variant v : genparams::Variants) {
        const genparams::Layout& l = genparams::layout(v);
        for (const genparams::Row& r : l.fields)
            for (int ch : {0, 1})
                out << Placed{QString::fromLatin1(l.code) + QString::number(ch + 1), &r.field,
                              registerFor(r.field, ch + 1)};
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

TEST(ParameterTables, EditRowsTakeTheirLimitsAndRefuseWhatLiesPastThem) {
    int walked = 0;
    for (const Placed& p : allRows()) {
        const Field& f = *p.field;
        if (!f.editable() || f.encoding == Encoding::DeviceTime) continue;
        SCOPED_TRACE((p.table + ' ' + QString::fromLatin1(f.name)).toStdString());
        ++walked;
        for (const std::optional<double>& limit : {f.min, f.max}) {
            if (!limit) continue;
            const double step = integral(f.encoding) ? 1 : std::max(0.001, std::abs(*limit) * 1e-5);
            // 0,0001 in single precision lies below the exact decimal lower limit it is compared with.
            const bool inexact =
                limit == f.min && f.minCompare == Compare::ExactDecimal && float(*limit) < *limit;
            const Checked at = check(f, p.reg, typed(*limit));
            EXPECT_EQ(at.verdict, inexact ? Verdict::Refused : Verdict::Write) << typed(*limit).toStdString();
            if (at.verdict == Verdict::Write && f.encoding != Encoding::None) {
                EXPECT_EQ(at.write.reg, p.reg);
                EXPECT_EQ(at.write.count, f.registers());
                EXPECT_EQ(at.write.data.size(), 2 * f.registers());
            }
            const double past = limit == f.min ? *limit - step : *limit + step;
            EXPECT_EQ(check(f, p.reg, typed(past)).verdict, Verdict::Refused) << typed(past).toStdString();
        }
        // Pasted texts outside every key set: exponents, hex, blanks.
        for (const char* foreign : {"1e1", "0x1", " 1", "1 "})
            EXPECT_EQ(check(f, p.reg, QString::fromLatin1(foreign)).verdict, Verdict::Refused) << foreign;
        EXPECT_EQ(check(f, p.reg, QString()).verdict, Verdict::Refused);
    }
    EXPECT_GT(walked, 40);
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
