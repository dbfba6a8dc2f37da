// The export file's bytes and names, and the writing that never leaves half a file behind.
#include "files/exportfile.h"
#include "files/textfile.h"
#include "hex.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(ExportFile, AMonthArchiveHasThreeSeparatorsPerLine) {
    const QList<QStringList> grid{
        {"      Дата архивации", "          Объем +", "          Объем -", "   Суммарный объем"},
        {"       01.02.2024 ", "1,5000", "0,0000", "1,5000"}};
    const QByteArray bytes = exportfile::contents({.deviceCaption = "KASTARI-DK   v3.12 адрес:   1",
                                                   .electronicNumber = "123",
                                                   .archiveNumber = 2,
                                                   .channelCaption = "2 - канал"},
                                                  grid);
    // "Р" of the first word in Windows-1251, and CR LF after every line, the last included.
    EXPECT_TRUE(bytes.startsWith(hex("D0 E0 F1 F5 EE E4")));
    EXPECT_TRUE(bytes.endsWith("1,5000#0,0000#1,5000\r\n"));
    const QStringList lines = QString(QStringDecoder("windows-1251")(bytes)).split("\r\n");
    EXPECT_EQ(lines,
              (QStringList{"Расходомер-счетчик КАСТАРИ ДК, версия KASTARI-DK   v3.12",
                           "Электронный номер прибора :123", "Месячный архив 2 - канал", "",
                           "      Дата архивации#          Объем +#          Объем -#   Суммарный объем",
                           "       01.02.2024 #1,5000#0,0000#1,5000", ""}));
}

TEST(ExportFile, AnEmptyGridAndAnEmptyNumber) {
    exportfile::Heading heading;
    heading.archiveNumber = 3;
    const QStringList lines =
        exportfile::lines(heading, {{"a", "b", "c", "d", "e"}, QStringList(5, QString())});
    EXPECT_EQ(lines, (QStringList{"Расходомер-счетчик КАСТАРИ ДК, версия ",
                                  "Электронный номер прибора :", "Журнал отказов", "", "a#b#c#d#e", "####"}));
}

TEST(ExportFile, TheThirdLineNamesWhatWasRead) {
    const struct {
        int archiveNumber;
        const char* line;
    } cases[] = {
        {0, "Часовой архив 2 - канал"},
        {1, "Суточный архив 2 - канал"},
        {4, "Журнал оператора"}, // one journal for both channels
        {5, "Журнал нештатных ситуаций 2 - канал"},
        {6, "Журнал нештатных ситуаций 2 - канал"},
    };
    for (const auto& c : cases) {
        const exportfile::Heading heading{.archiveNumber = c.archiveNumber, .channelCaption = "2 - канал"};
        EXPECT_EQ(exportfile::lines(heading, {}).value(2), c.line) << c.archiveNumber;
    }
}

TEST(ExportFile, DefaultNames) {
    EXPECT_EQ(exportfile::defaultName(0, true), "Archive0_ch1.txt");
    EXPECT_EQ(exportfile::defaultName(2, false), "Archive2_ch2.txt");
    EXPECT_EQ(exportfile::defaultName(3, false), "Archive3.txt");
    EXPECT_EQ(exportfile::defaultName(4, true), "Archive4.txt");
    EXPECT_EQ(exportfile::defaultName(6, false), "Archive5_ch2.txt");
}

TEST(TextFile, AFailedWriteKeepsWhatWasThere) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Archive0_ch1.txt");
    ASSERT_TRUE(textfile::write(path, "old"));
    ASSERT_TRUE(textfile::write(path, "new"));
    EXPECT_EQ(readAll(path), "new");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Archive0_ch1.txt"}); // no temporary left

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    QString error;
    EXPECT_FALSE(textfile::write(dir.filePath("folder"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath("folder")).isDir());
    EXPECT_FALSE(textfile::write(dir.filePath("missing/file.txt"), "x", &error));
    EXPECT_EQ(readAll(path), "new");
}

} // namespace
