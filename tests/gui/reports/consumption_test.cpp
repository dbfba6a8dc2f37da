// The consumption report: which days it counts, and the PDF it makes, read back as text by an
// independent reader (pdftotext) and its pages counted.
#include "files/consumptionpdf.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

using namespace consumption;
using State = Day::State;

namespace {

Heading march() {
    Heading h{.electronicNumber = "633190",
              .deviceText = "KASTARI-DK   v3.12",
              .name = "Насосная №2",
              .address = "/dev/ttyUSB0, адрес 5",
              .channel = 2,
              .from = {},
              .to = {},
              .made = QDate(2026, 4, 2)};
    return month(h, 2026, 3);
}

Day recorded(int day, double plus, double minus, std::int64_t downtime = 0) {
    return {.date = QDate(2026, 3, day),
            .state = State::Recorded,
            .plus = plus,
            .minus = minus,
            .downtime = downtime};
}

TEST(ConsumptionReport, CountsOnlyTheDaysTheMeterRecorded) {
    const Report r = build(march(), {recorded(1, 10.5, 0.25, 3600), recorded(2, 20, 1, 90),
                                     Day{.date = QDate(2026, 3, 3), .state = State::NotRecorded},
                                     recorded(31, 1, 0.5), recorded(31, 2, 0.5), // the later one wins
                                     recorded(32, 99, 0),                        // 1 April: outside
                                     recorded(5, std::numeric_limits<double>::infinity(), 0), // unknown
                                     Day{.date = QDate(2026, 2, 28), .state = State::Recorded, .plus = 99}});
    ASSERT_EQ(r.days.size(), 31);
    EXPECT_EQ(r.days.first().date, QDate(2026, 3, 1));
    EXPECT_EQ(r.days.last().date, QDate(2026, 3, 31));
    EXPECT_EQ(r.recorded, 3);
    EXPECT_EQ(r.notRecorded, 1);
    EXPECT_EQ(r.noData, 27);
    EXPECT_EQ(r.days[4].state, State::NoData);
    EXPECT_DOUBLE_EQ(r.plus, 32.5);
    EXPECT_DOUBLE_EQ(r.minus, 1.75);
    EXPECT_EQ(r.downtime, 3690);
    EXPECT_EQ(totalCells(r), (QStringList{"Итого", "32,500", "1,750", "30,750", "01:01"}));
    EXPECT_EQ(cells(r.days[2]), (QStringList{"03.03.2026", "не записан прибором", "", "", ""}));
    EXPECT_EQ(cells(r.days[3]), (QStringList{"04.03.2026", "нет данных", "", "", ""}));
    EXPECT_EQ(footnoteLines(r), (QStringList{"Суток, не записанных прибором (не учтены в итогах): 1",
                                             "Суток без данных (не учтены в итогах): 27"}));
}

TEST(ConsumptionReport, TheDowntimeTotalIsTheSumOfTheDaysAsPrinted) {
    const struct {
        const char* name;
        QList<std::int64_t> seconds; // of the days from the 1st on
        const char* total;
    } cases[] = {
        {"seconds left over every day", {59, 59, 125}, "00:02"},
        // Twelve days whose 55 s each would add up to another 11 minutes.
        {"a dozen days", QList<std::int64_t>(12, 5 * 3600 + 31 * 60 + 55), "66:12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QList<Day> days;
        for (int d = 0; d < c.seconds.size(); ++d)
            days << recorded(d + 1, 1, 0, c.seconds[d]);
        const Report r = build(march(), days);
        int printedMinutes = 0;
        for (const Day& day : r.days)
            if (const QStringList hm = cells(day).value(4).split(u':'); hm.size() == 2)
                printedMinutes += hm[0].toInt() * 60 + hm[1].toInt();
        EXPECT_EQ(totalCells(r).value(4), c.total);
        EXPECT_EQ(downtimeText(printedMinutes * 60), c.total);
    }
}

TEST(ConsumptionReport, MonthsHaveTheirOwnLengthAndDowntimePassesADay) {
    EXPECT_EQ(build(month({}, 2024, 2), {}).days.size(), 29);
    EXPECT_EQ(build(month({}, 2026, 2), {}).days.size(), 28);
    EXPECT_EQ(build(month({}, 2026, 13), {}).days.size(), 0);
    EXPECT_EQ(downtimeText(26 * 3600 + 5 * 60 + 59), "26:05");
    EXPECT_EQ(volumeText(-0.0004), "-0,000");
}

// One whole calendar month keeps the short name; every other range names both of its days.
TEST(ConsumptionReport, ThePdfIsNamedForItsDays) {
    const struct {
        QDate from, to;
        int channel;
        const char* name;
    } cases[] = {
        {QDate(2026, 10, 1), QDate(2026, 10, 31), 1, "Report_ch1_2026-10.pdf"},
        {QDate(2024, 2, 1), QDate(2024, 2, 29), 2, "Report_ch2_2024-02.pdf"},
        {QDate(2024, 2, 1), QDate(2024, 2, 28), 1, "Report_ch1_2024-02-01_2024-02-28.pdf"},
        {QDate(2026, 10, 6), QDate(2026, 12, 7), 1, "Report_ch1_2026-10-06_2026-12-07.pdf"},
        {QDate(2026, 10, 1), QDate(2026, 11, 30), 1, "Report_ch1_2026-10-01_2026-11-30.pdf"},
        {QDate(2026, 12, 2), QDate(2027, 1, 1), 1, "Report_ch1_2026-12-02_2027-01-01.pdf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pdfName({.channel = c.channel, .from = c.from, .to = c.to}), c.name) << c.name;
}

class ConsumptionPdf : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) missing";
    }
    // The text of the PDF, page by page, as pdftotext reads it.
    QStringList pages(const QByteArray& pdfBytes) {
        const QString path = dir.filePath("report.pdf");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(pdfBytes);
        f.close();
        QProcess reader;
        reader.start("pdftotext", {"-layout", path, "-"});
        EXPECT_TRUE(reader.waitForFinished(30000));
        QStringList out = QString::fromUtf8(reader.readAllStandardOutput()).split(u'\f');
        if (!out.isEmpty() && out.last().trimmed().isEmpty()) out.removeLast();
        return out;
    }
    QTemporaryDir dir;
};

TEST_F(ConsumptionPdf, AMonthOnOnePageWithEveryDayTheTotalsAndTheDaysNotRecorded) {
    QList<Day> days;
    for (int d = 1; d <= 31; ++d)
        if (d != 14) days << recorded(d, 100 + d + 0.125, d * 0.5, d == 20 ? 7200 : 0);
    days << Day{.date = QDate(2026, 3, 14), .state = State::NotRecorded};
    const QByteArray bytes = pdf(build(march(), days));
    if (qEnvironmentVariableIsSet("KASTARI_KEEP_PDF")) {
        QFile keep(qEnvironmentVariable("KASTARI_KEEP_PDF"));
        keep.open(QIODevice::WriteOnly);
        keep.write(bytes);
    }
    const QStringList text = pages(bytes);
    ASSERT_EQ(text.size(), 1);
    const QString page = text[0];
    for (const char* expected :
         {"Отчёт о потреблении", "Электронный номер прибора: 633190", "Насосная №2", "Канал: 2",
          "01.03.2026 – 31.03.2026", "Дата отчёта: 02.04.2026", "Представитель потребителя"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(expected))) << expected;
    for (int d = 1; d <= 31; ++d) {
        const QString date = QDate(2026, 3, d).toString("dd.MM.yyyy");
        const QString line = page.split('\n').filter(QRegularExpression("^\\s*" + date)).value(0);
        if (d == 14)
            EXPECT_TRUE(line.contains("не записан прибором")) << line.toStdString();
        else
            EXPECT_TRUE(line.contains(volumeText(100 + d + 0.125))) << line.toStdString();
    }
    const QString totals = page.split('\n').filter("Итого").value(0);
    EXPECT_TRUE(totals.contains("3485,750")) << totals.toStdString(); // 30 days of 100 + d + 0.125
    EXPECT_TRUE(totals.contains("02:00")) << totals.toStdString();
}

TEST_F(ConsumptionPdf, AMonthWithoutDataSaysSoAndPrintsNoZeros) {
    const QString page = pages(pdf(build(march(), {}))).value(0);
    EXPECT_TRUE(page.contains("Нет данных за период"));
    EXPECT_FALSE(page.contains("Итого"));
    EXPECT_FALSE(page.contains("0,000"));
}

TEST_F(ConsumptionPdf, ALongRangeRepeatsTheTableHeadingOnEveryPage) {
    Heading h = march();
    h.to = QDate(2026, 5, 31);
    QList<Day> days;
    for (QDate d = h.from; d <= h.to; d = d.addDays(1))
        days << Day{.date = d, .state = State::Recorded, .plus = 1};
    const QStringList text = pages(pdf(build(h, days)));
    ASSERT_GT(text.size(), 1);
    for (const QString& page : text) {
        EXPECT_TRUE(page.contains("Объем +, м3"));
        EXPECT_TRUE(page.contains(QStringLiteral("из %1").arg(text.size())));
    }
    EXPECT_TRUE(text.last().contains("Итого"));
}

} // namespace
