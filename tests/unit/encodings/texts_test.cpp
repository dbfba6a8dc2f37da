// Number texts shown to the operator and the parsing of typed texts.
#include "device/encodings.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(NumberText, MyFormatFloatBands) {
    struct Row {
        float value;
        const char* text;
    } rows[] = {
        {3.14159f, "3,1416"},    {12.5f, "12,500"},     {123.456f, "123,46"},   {1000.0f, "1000,0"},
        {9.99996f, "10,0000"},   {9.9999f, "9,9999"},   {10.0f, "10,000"},      {99.9999f, "100,000"},
        {100.0f, "100,00"},      {999.999f, "1000,00"}, {-5.0f, "-5,0000"},     {0.0f, "0,0000"},
        {-9.99996f, "-10,0000"}, {-1000.0f, "-1000,0"}, {12345.67f, "12345,7"}, {1e7f, "10000000,0"},
        {-0.00004f, "0,0000"},   {-0.0f, "0,0000"},     {0.03125f, "0,0313"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(enc::MyFormatFloat(r.value), r.text) << r.value;
}

TEST(NumberText, FixedPatternsRoundHalfAwayFromZero) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        double value;
        int decimals;
        const char* text;
    } rows[] = {
        {15.0, 2, "15,00"},       {0.125, 2, "0,13"},
        {-0.125, 2, "-0,13"},     {2.5, 0, "3"},
        {1.005, 2, "1,01"},       {99.995, 2, "100,00"},
        {-0.004, 2, "0,00"},      {0.015625, 5, "0,01563"},
        {123.4567, 3, "123,457"}, {1e20, 1, "100000000000000000000,0"},
        {std::nan(""), 2, "NAN"}, {inf, 2, "INF"},
        {-inf, 4, "-INF"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(enc::formatFixed(r.value, r.decimals), r.text) << r.value << " " << r.decimals;
}

TEST(NumberText, IgnoresTheDefaultLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(enc::formatFixed(12345.5, 2), "12345,50");
    EXPECT_EQ(enc::parseFloat("1,5"), 1.5);
    QLocale::setDefault(saved);
}

TEST(TypedText, Integers) {
    struct Row {
        const char* text;
        std::optional<std::int32_t> value;
    } rows[] = {
        {"0", 0},
        {"300", 300},
        {" 42 ", 42},
        {"+7", 7},
        {"-15", -15},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"0000000000000000000012", 12},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"4 2", std::nullopt},
        {"12a", std::nullopt},
        {"1,0", std::nullopt},
    };
    for (const Row& r : rows)
        EXPECT_EQ(enc::parseInt(QString::fromUtf8(r.text)), r.value) << r.text;
    EXPECT_EQ(enc::parseInt(QString::fromUtf8("\u0663")), std::nullopt); // a non-ASCII digit
}

TEST(TypedText, Fractions) {
    struct Row {
        const char* text;
        std::optional<double> value;
    } rows[] = {
        {"15", 15.0},
        {"14,99", 14.99},
        {"100.01", 100.01},
        {"-2,5", -2.5},
        {" 3,5 ", 3.5},
        {",5", 0.5},
        {"5,", 5.0},
        {"", std::nullopt},
        {",", std::nullopt},
        {"1,2,3", std::nullopt},
        {"1.2,3", std::nullopt},
        {"abc", std::nullopt},
        {"1e5", std::nullopt},
        {"--1", std::nullopt},
        {"1 000", std::nullopt},
    };
    for (const Row& r : rows)
        EXPECT_EQ(enc::parseFloat(QString::fromUtf8(r.text)), r.value) << r.text;

    const auto huge = enc::parseFloat("1" + QString(400, QLatin1Char('0')) + ",5");
    ASSERT_TRUE(huge);
    EXPECT_GT(*huge, 100.0);
    EXPECT_EQ(enc::parseFloat("0," + QString(400, QLatin1Char('0')) + "1"), 0.0);
}

TEST(TypedText, DateTimes) {
    struct Row {
        const char* text;
        const char* shown;  // nullptr: refused
        bool formed = true; // refused for its numbers only: a date or time that does not exist
    } rows[] = {
        {"01.02.2024", "01.02.2024 00:00:00"},
        {"1.2.2024", "01.02.2024 00:00:00"},
        {"29.02.2024", "29.02.2024 00:00:00"},
        {"15.06.24", "15.06.2024 00:00:00"},
        {"15.06.2024 12:30", "15.06.2024 12:30:00"},
        {" 15.06.2024 9:05:07 ", "15.06.2024 09:05:07"},
        {"31.12.2099 23:59:59", "31.12.2099 23:59:59"},
        {"29.02.2023", nullptr},
        {"31.02.2024", nullptr},
        {"00.01.2024", nullptr},
        {"15.13.2024", nullptr},
        {"15.06.2024 25:00", nullptr},
        {"15.06.2024 23:60", nullptr},
        {"15.06.2024 12", nullptr, false},
        {"15.06.2024x", nullptr, false},
        {"15/06/2024", nullptr, false},
        {"12:30", nullptr, false},
        {"", nullptr, false},
    };
    for (const Row& r : rows) {
        const auto t = enc::parseDateTime(QString::fromUtf8(r.text));
        if (r.shown) {
            ASSERT_TRUE(t) << r.text;
            EXPECT_EQ(enc::formatDateTime(*t), r.shown) << r.text;
        } else {
            EXPECT_FALSE(t) << r.text;
        }
        EXPECT_EQ(enc::hasDateTimeForm(QString::fromUtf8(r.text)), r.formed) << r.text;
    }
    EXPECT_EQ(enc::DateToSec(*enc::parseDateTime("01.01.2000 00:00:00")), 946684800u);
}

} // namespace
