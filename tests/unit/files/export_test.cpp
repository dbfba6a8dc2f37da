// The export file's bytes and names, and the writing that never leaves half a file behind.
#include "files/exportfile.h"
#include "files/paramreport.h"
#include "files/textfile.h"
#include "hex.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

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

// The names a write may be given besides a plain file, each in the state it must be left in.
TEST(TextFile, ALinkIsFollowedAndADeviceFifoOrSocketIsWrittenToNeverReplaced) {
    QTemporaryDir dir;
    const QString target = dir.filePath("target.txt");
    ASSERT_TRUE(textfile::write(target, "old"));
    const QString link = dir.filePath("link.txt");
    const QString dangling = dir.filePath("dangling.txt");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(QFile::link(dir.filePath("new.txt"), dangling));
    for (const QString& name : {link, dangling}) {
        ASSERT_TRUE(textfile::write(name, "through " + name.toUtf8())) << name.toStdString();
        EXPECT_TRUE(QFileInfo(name).isSymLink()) << "the link stays a link";
        EXPECT_EQ(readAll(name), "through " + name.toUtf8());
    }
    EXPECT_EQ(readAll(target), "through " + link.toUtf8());
    EXPECT_EQ(readAll(dir.filePath("new.txt")), "through " + dangling.toUtf8());

    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    EXPECT_TRUE(textfile::writable(QString::fromUtf8(fifo))) << "answered without waiting for a reader";
    // Held open for reading, so that the writer's open need not wait for a reader.
    const int reader = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(textfile::write(QString::fromUtf8(fifo), "through the pipe"));
    char got[64] = {};
    EXPECT_EQ(QByteArray(got, int(::read(reader, got, sizeof got))), "through the pipe");
    ::close(reader);
    struct stat st {};
    ASSERT_EQ(::stat(fifo.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced";

    // A device that takes nothing, like /dev/full, made here rather than risking the system's.
    const QByteArray full = QFile::encodeName(dir.filePath("full"));
    const bool device = mknod(full.constData(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const QByteArray socketName = QFile::encodeName(dir.filePath("socket"));
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketName.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const struct {
        QByteArray name;
        mode_t kind;
    } refused[] = {{full, S_IFCHR}, {socketName, S_IFSOCK}};
    for (const auto& r : refused) {
        if (r.kind == S_IFCHR && !device) continue; // no right to make device nodes here
        QString error;
        EXPECT_FALSE(textfile::write(QString::fromUtf8(r.name), "lost", &error)) << r.name.constData();
        EXPECT_FALSE(error.isEmpty());
        ASSERT_EQ(::stat(r.name.constData(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, r.kind) << r.name.constData() << " was replaced";
    }
    ::close(listening);
}

TEST(TextFile, TextsFromTheMeterAddNeitherLinesNorCells) {
    const struct {
        const char* caption;
        const char* line;
    } cases[] = {
        {"KASTARI-DK   v3.12 адрес:   1", "KASTARI-DK   v3.12"},
        {"KASTARI\r\nDK v3\n1", "KASTARI??DK v3?1"},
        {"A#B\tC\x7f\x01"
         "D",
         "A?B?C??D"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textfile::versionLine(QString::fromUtf8(c.caption)).toStdString(),
                  "Расходомер-счетчик КАСТАРИ ДК, версия " + std::string(c.line));
    // Both files that carry it keep their line count.
    const QString caption = QStringLiteral("A\r\nB#C\r\n");
    EXPECT_EQ(exportfile::contents({.deviceCaption = caption}, {{"a", "b"}}).count("\r\n"), 5);
    EXPECT_EQ(paramreport::fileBytes(caption, {"x#1#2"}).count("\r\n"), 4);
    EXPECT_EQ(paramreport::fileBytes(caption, {"x#1#2"}).count('#'), 2);
}

} // namespace
