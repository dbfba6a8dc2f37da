// The parameter report: which lines each work mode and sensor type gives, the values that are not
// plain register reads, and the bytes of Param.txt.
#include "files/paramreport.h"

#include "paramimage.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <gtest/gtest.h>

using paramreport::FormBuffer;

namespace {

constexpr int Mode = 15, Sensor = 17;

// The number of the "Дискретный выход" line (n) and the last line written, by layout.
struct Layout {
    int workMode, sensorType, n, last;
    const char* line19;
    const char* line20;
};

class ReportLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(ReportLayout, PlacesTheVariantBlockAndTheLinesAfterIt) {
    const Layout l = GetParam();
    const QStringList r = FormBuffer(TestImage().u16(Mode, l.workMode).u16(Sensor, l.sensorType).block());
    ASSERT_EQ(r.size(), 309);
    EXPECT_TRUE(r[19].startsWith(QString::fromUtf8(l.line19))) << r[19].toStdString();
    EXPECT_TRUE(r[20].startsWith(QString::fromUtf8(l.line20))) << r[20].toStdString();
    if (l.workMode == 1)
        EXPECT_EQ(r[l.n], "");
    else
        EXPECT_EQ(r[l.n], "Дискретный выход \"Статус\"#0#0");
    EXPECT_EQ(r[l.n + 3], "Параметры настройки");
    EXPECT_EQ(r[l.n + 32], "Счетчик объема по потоку, м3#0,0000#0,0000");
    EXPECT_FALSE(r[l.last].isEmpty());
    for (int i = l.last + 1; i < 309; ++i)
        ASSERT_EQ(r[i], "") << i;
}

INSTANTIATE_TEST_SUITE_P(
    EveryVariant, ReportLayout,
    ::testing::Values(Layout{0, 0, 28, 64, "Коэффициент К#", "Длина окружности, мм#"},
                      Layout{0, 1, 27, 63, "Коэффициент К#", "Длина окружности, мм#"},
                      Layout{0, 2, 24, 60, "Коэффициент К#", "Коэффициент Р#"},
                      Layout{1, 0, 20, 52, "Смещение нуля, м3/ч#", ""},
                      Layout{1, 2, 20, 52, "Смещение нуля, м3/ч#", ""},
                      // Outside the layouts: no sensor block, no measured values beyond the first.
                      Layout{0, 7, 20, 56, "Коэффициент К#", "Дискретный выход"},
                      Layout{3, 0, 28, 60, "Коэффициент К#", "Длина окружности, мм#"}));

TEST(ReportTable, EveryLineOfEveryLayoutReadsTheImageAndNamesItsCodes) {
    for (int mode : {0, 1})
        for (int sensor : {0, 1, 2}) {
            TestImage image;
            image.u16(Mode, mode).u16(Sensor, sensor);
            for (const paramreport::Line& line : paramreport::lines(image.block()))
                if (line.value == paramreport::Value::Item)
                    for (int reg : {line.reg, line.reg2})
                        if (reg >= 0 && reg != Mode && reg != Sensor) image.u16(reg, 1);
            for (const paramreport::Line& line : paramreport::lines(image.block())) {
                const QString name = QString::fromUtf8(line.name);
                EXPECT_LE(line.reg, 308) << name.toStdString();
                EXPECT_LE(line.reg2, 308) << name.toStdString();
                // A control name that has no list would show the code itself.
                if (line.value == paramreport::Value::Item) {
                    EXPECT_FALSE(
                        paramreport::valueText(line, image.block())->contains(QRegularExpression("#1(#|$)")))
                        << name.toStdString();
                }
            }
        }
}

TEST(Report, ValuesOfAClampOnMeter) {
    TestImage image;
    image.u32(0, 1709647629).u32(8, 12345678).u32(10, 1577923200).u16(18, 60).f32(19, 28.5f);
    image.u16(21, 0x0101).u16(22, 10).u16(23, 1000);
    image.u16(2, 11).u16(4, 21).u16(7, 77).u16(6, 66); // channel 1's amplitude in 7, channel 2's in 6
    image.f32(36, 314.159f).f32(38, 2).f32(119, 628.318f).f32(121, 4);
    image.u16(78, 0xFFF6).u16(161, 5).u16(82, 1).u16(165, 0);
    image.f32(204, 30.5f).f32(206, 10.25f).f32(229, 1).f32(231, 2);
    image.f32(219, 10).f32(221, 0.5f).f32(223, 1000).f32(225, 0.25f);
    image.f32(244, 16777216).f32(246, 1).f32(248, 0).f32(250, 1);
    const QStringList r = FormBuffer(image.block());
    EXPECT_EQ(r[2], "Дата и время#05.03.2024 14:07:09");
    EXPECT_EQ(r[3], "Электронный номер прибора#12345678");
    EXPECT_EQ(r[4], "Дата изготовления#02.01.2020");
    EXPECT_EQ(r[5], "Режим работы прибора#Эксплуатационный");
    EXPECT_EQ(r[8], "Частота кварца, МГц#28,50");
    EXPECT_EQ(r[13], "Режим работы импульсного выхода#Импульсный");
    EXPECT_EQ(r[14], "Длительность импульса, мс#10#1000");
    EXPECT_EQ(r[27], "Схема установки#Z - схема#Z - схема");
    EXPECT_EQ(r[28 + 5], "Усиление#11#21");
    EXPECT_EQ(r[28 + 7], "Амплитуда#77#66");
    // Circumference over 3.14159 less twice the wall.
    EXPECT_EQ(r[28 + 10], "Внутренний диаметр, мм#96,00#192,00");
    EXPECT_EQ(r[28 + 13], "Смещение окна#-10#5");
    EXPECT_EQ(r[28 + 14], "Направление потока#обратное#прямое");
    EXPECT_EQ(r[28 + 24], "Длина окна, мкс#20,25#-1,00");
    // Each counter is the double sum of its two floats; 16777216 + 1 is not a float.
    EXPECT_EQ(r[28 + 32], "Счетчик объема по потоку, м3#10,500#16777216,0");
    EXPECT_EQ(r[28 + 33], "Счетчик объема против потока, м3#1000,3#1,0000");
    EXPECT_EQ(r[28 + 34], "Суммарный объем, м3#1010,8#16777218,0");
}

// Every line that shows registers as they are, with a value of its own in each register, so that a
// line reading a neighbour's register, the other channel's or another pattern shows it.
TEST(ReportTable, EachLineShowsItsOwnRegistersInItsOwnPattern) {
    enum Kind { F2, F4, F5, Auto, Word, Low };
    enum Layouts {
        Clamp = 1,
        Insert = 2,
        UBend = 4,
        Check = 8,
        Operation = Clamp | Insert | UBend,
        All = 15
    };
    struct Row {
        int line; // from 0, or from n when `fromN`
        bool fromN;
        const char* name;
        int ch1, ch2; // ch2 < 0: one value only
        Kind kind;
        int layouts;
    };
    static const Row rows[] = {
        {7, false, "Время инерции, сек", 18, -1, Word, All},
        {8, false, "Частота кварца, МГц", 19, -1, F2, All},
        {14, false, "Длительность импульса, мс", 22, 23, Word, All},
        {15, false, "Нижний порог, м3/ч", 60, 143, F2, All},
        {16, false, "Вес импульса, м3/имп.", 62, 145, F4, All},
        {17, false, "Интервал усреднения", 88, 171, Low, All},
        {18, false, "Вес импульса в частотном режиме, м3/имп.", 109, 192, F2, All},
        {19, false, "Смещение нуля, м3/ч", 64, 147, F2, Check},
        {19, false, "Коэффициент К", 48, 131, F2, Operation},
        {20, false, "Коэффициент Р", 50, 133, F2, UBend},
        {21, false, "Внутренний диаметр, мм", 70, 153, F2, UBend},
        {22, false, "База прибора, мм", 68, 151, F2, UBend},
        {23, false, "Аксиальная база, мм", 72, 155, F2, UBend},
        {20, false, "Длина окружности, мм", 36, 119, F2, Clamp | Insert},
        {21, false, "Толщина стенки, мм", 38, 121, F2, Clamp | Insert},
        {22, false, "Наружный диаметр в плоскости установки ПЭА, мм", 40, 123, F2, Clamp | Insert},
        {23, false, "Осевая база, мм", 42, 125, F2, Clamp | Insert},
        {24, false, "Шероховатость, мм", 44, 127, F2, Clamp | Insert},
        {25, false, "Вязкость, сСт", 56, 139, F2, Clamp | Insert},
        {26, false, "Фазовая скорость, км/с", 66, 149, F2, Clamp},
        {26, false, "База прибора, мм", 68, 151, F2, Insert},
        {0, true, "Дискретный выход \"Статус\"", 80, 163, Word, Operation},
        {5, true, "Усиление", 2, 4, Low, All},
        {6, true, "Порог", 3, 5, Low, All},
        {7, true, "Амплитуда", 7, 6, Low, All},
        {8, true, "Смещение dt, мкс", 52, 135, F4, All},
        {9, true, "Дополнительная задержка УЗС, мкс", 54, 137, F2, All},
        {10, true, "Внутренний диаметр, мм", 70, 153, F2, UBend},
        {11, true, "Верхняя уставка, м3/ч", 74, 157, F2, All},
        {12, true, "Нижняя уставка, м3/ч", 76, 159, F2, All},
        {13, true, "Смещение окна", 78, 161, Word, All},
        {19, true, "Толщина стенки калибровочного трубопровода, мм", 46, 129, F2, All},
        {20, true, "Число циклов автоциркуляций", 107, 190, Low, All},
        {21, true, "Время разности, мкс", 202, 227, F5, All},
        {22, true, "Время полусуммы, мкс", 204, 229, F2, All},
        {23, true, "Время начала окна, мкс", 206, 231, F2, All},
        {25, true, "Задержка ЗИ, мкс", 208, 233, F2, All},
        {31, true, "Расход, м3/ч", 210, 235, Auto, All},
        {35, true, "Скорость звука, км/с", 212, 237, Auto, Operation},
        {36, true, "Скорость потока, м/с", 214, 239, Auto, Operation},
    };
    // 15/128 is exact in a float and lies off every rounding boundary of the patterns.
    const auto text = [](int reg, Kind kind) {
        switch (kind) {
        case F2:
        case Auto:
            return QStringLiteral("%1,12").arg(reg);
        case F4:
            return QStringLiteral("%1,1172").arg(reg);
        case F5:
            return QStringLiteral("%1,11719").arg(reg);
        case Word:
        case Low:
            return QString::number(reg);
        }
        return QString();
    };
    const struct {
        int layout, mode, sensor, n;
    } layouts[] = {{Clamp, 0, 0, 28}, {Insert, 0, 1, 27}, {UBend, 0, 2, 24}, {Check, 1, 0, 20}};
    for (const auto& l : layouts) {
        TestImage image;
        for (const Row& row : rows) {
            if (!(row.layouts & l.layout)) continue;
            for (int reg : {row.ch1, row.ch2}) {
                if (reg < 0) continue;
                if (row.kind == Word)
                    image.u16(reg, std::uint16_t(reg));
                else if (row.kind == Low)
                    image.u16(reg, std::uint16_t(0x0500 | reg)); // the high byte is not read
                else
                    image.f32(reg, float(reg) + 15.0f / 128);
            }
        }
        image.u16(Mode, l.mode).u16(Sensor, l.sensor);
        const QStringList r = FormBuffer(image.block());
        for (const Row& row : rows) {
            if (!(row.layouts & l.layout)) continue;
            QString expected = QString::fromUtf8(row.name) + '#' + text(row.ch1, row.kind);
            if (row.ch2 >= 0) expected += '#' + text(row.ch2, row.kind);
            EXPECT_EQ(r[row.fromN ? l.n + row.line : row.line], expected) << "layout " << l.layout;
        }
    }
}

// The computed inner diameter divides by 3.14159, not by pi: over a 31415.9 mm circumference the two
// differ in the second decimal.
TEST(Report, TheInnerDiameterIsTheCircumferenceOver314159LessTwiceTheWall) {
    const QStringList r = FormBuffer(
        TestImage().u16(Sensor, 1).f32(36, 31415.9f).f32(38, 1).f32(119, 31415.9f).f32(121, 0.5f).block());
    EXPECT_EQ(r[27 + 10], "Внутренний диаметр, мм#9998,00#9999,00");
}

TEST(Report, UBendShowsItsInnerDiameterTwiceFromItsOwnRegisters) {
    const QStringList r =
        FormBuffer(TestImage().u16(Sensor, 2).f32(70, 55.5f).f32(153, 60).f32(36, 1000).block());
    EXPECT_EQ(r[21], "Внутренний диаметр, мм#55,50#60,00");
    EXPECT_EQ(r[24 + 10], "Внутренний диаметр, мм#55,50#60,00");
}

TEST(Report, ChannelStateLine) {
    struct Case {
        std::uint16_t failure, first, second;
        const char* text;
    };
    for (const Case& c : {Case{0x80, 0xC0, 0x00, "Состояние канала#Нормальное#Нормальное"},
                          Case{0x00, 0x01, 0x20, "Состояние канала#Нештатная ситуация#Нештатная ситуация"},
                          Case{0x00, 0x00, 0x04, "Состояние канала#Нормальное#Нештатная ситуация"},
                          Case{0x40, 0x00, 0x00, "Состояние канала#Отказ#Отказ"}}) {
        const QStringList r =
            FormBuffer(TestImage().u16(252, c.failure).u16(254, c.first).u16(255, c.second).block());
        EXPECT_EQ(r[28 + 26], QString::fromUtf8(c.text)) << c.failure << " " << c.first << " " << c.second;
    }
}

TEST(Report, ACodeWithoutAnItemIsShownAsItsNumberAndTheReportGoesOn) {
    const QStringList r = FormBuffer(TestImage().u16(Mode, 0).u16(82, 2).u16(165, 1).block());
    EXPECT_EQ(r[28 + 14], "Направление потока#2#обратное");
    EXPECT_EQ(r[64], "Скорость потока, м/с#0,0000#0,0000");
}

TEST(ReportFile, HeadingThenEveryLineInWindows1251WithCrLf) {
    QStringList report(309);
    report[0] = "Общесистемные параметры";
    const QByteArray bytes = paramreport::fileBytes("КАСТАРИ-ДК v2.01   адрес:   5", report);
    EXPECT_EQ(bytes.count("\r\n"), 312);
    const QStringList lines = QStringDecoder("windows-1251")(bytes).operator QString().split("\r\n");
    ASSERT_EQ(lines.size(), 313);
    EXPECT_EQ(lines[0], "Расходомер-счетчик КАСТАРИ ДК, версия КАСТАРИ-ДК v2.01  ");
    EXPECT_EQ(lines[1], "Параметры прибора");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "Общесистемные параметры");
    EXPECT_EQ(bytes.left(4), QByteArray("\xD0\xE0\xF1\xF5"));
}

} // namespace
