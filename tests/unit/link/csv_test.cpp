// One way to write a CSV cell, for the exchange log and the collector's export alike: a spreadsheet
// must read back exactly the text that went in, one row per row.
#include "link/csv.h"

#include <gtest/gtest.h>

namespace {

TEST(Csv, QuotesWhatWouldSplitACellOrARow) {
    const struct {
        QString text;
        const char* written;
    } cases[] = {
        {"", ""},
        {"01 03 00 00", "01 03 00 00"},
        // Blanks are part of the value and a reader keeps them: nothing to quote.
        {"  leading and trailing  ", "  leading and trailing  "},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"carriage\rreturn", "\"carriage\rreturn\""},
        {"crlf\r\n", "\"crlf\r\n\""},
        {QStringLiteral("Нет ответа"), "Нет ответа"},
        {QStringLiteral("Счётчик, \"Кастари\""), "\"Счётчик, \"\"Кастари\"\"\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(csv::field(c.text), QString::fromUtf8(c.written)) << c.text.toStdString();
        EXPECT_EQ(csv::row({c.text}), QByteArray(c.written) + "\r\n") << c.text.toStdString();
    }
}

TEST(Csv, RowJoinsItsCellsInUtf8) {
    EXPECT_EQ(csv::row({"1", "", QStringLiteral("канал, 2"), "x\ry"}),
              QByteArray("1,,\"канал, 2\",\"x\ry\"\r\n"));
    EXPECT_EQ(csv::row({}), QByteArray("\r\n"));
}

} // namespace
