// Sens.cfg: the exact bytes written, reading by position, and what a damaged file leaves taken.
#include "files/senscfg.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QByteArray lines(std::initializer_list<const char*> parts) {
    QByteArrayList list;
    for (const char* p : parts)
        list.append(p);
    return list.join("\r\n");
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

TEST(SensCfgFormat, EightLinesCrLfWithoutFinalLineEnd) {
    SensConfig config;
    config.link.CommPort = 2;
    config.link.Settings = QStringLiteral("19200,n,8,1");
    config.pollMs = 5000;
    config.link.RtsMode = true;
    config.link.UseModem = false;
    config.link.ModemInitString = QStringLiteral("ATZ");
    config.link.DialPrefix = QStringLiteral("ATDP");
    config.link.PhoneNumber = QStringLiteral("1234567");
    config.link.ModemDelay = 45;
    EXPECT_EQ(senscfg::format(config),
              QByteArray("2 19200,n,8,1\r\n5000\r\nTrue\r\nFalse\r\nATZ\r\nATDP\r\n1234567\r\n45"));
}

TEST(SensCfgFormat, TextsAreWindows1251) {
    SensConfig config;
    config.link.PhoneNumber = QStringLiteral("доб");
    const QByteArray bytes = senscfg::format(config);
    EXPECT_TRUE(bytes.contains(QByteArray("\r\n\xE4\xEE\xE1\r\n"))) << bytes.toHex(' ').toStdString();
    EXPECT_EQ(*senscfg::parse(bytes).phoneNumber, QStringLiteral("доб"));
}

TEST(SensCfgParse, RoundTripKeepsEveryValue) {
    SensConfig config;
    config.link.CommPort = 3;
    config.link.Settings = QStringLiteral("38400,n,8,1");
    config.pollMs = 0;
    config.link.RtsMode = false;
    config.link.UseModem = true;
    config.link.ModemInitString = QStringLiteral("AT&F E1");
    config.link.DialPrefix = QString();
    config.link.PhoneNumber = QStringLiteral("8,495,123");
    config.link.ModemDelay = 60;
    const SensLoad load = senscfg::parse(senscfg::format(config));
    ASSERT_TRUE(load.ok()) << load.error.toStdString();
    SensConfig back;
    back.link.UseModem = false;
    load.applyTo(back);
    EXPECT_EQ(back.link, config.link);
    EXPECT_EQ(back.pollMs, config.pollMs);
}

TEST(SensCfgParse, LineOneIsSplitByPosition) {
    struct Row {
        const char* line1;
        int port;
        const char* settings;
    };
    const Row rows[] = {
        {"2 19200,n,8,1", 2, "19200,n,8,1"},
        {"4x9600,n,8,1", 4, "9600,n,8,1"}, // the second character is skipped whatever it is
        {"1 300,n,8,1", 1, "300,n,8,1"},
    };
    for (const Row& row : rows) {
        const SensLoad load = senscfg::parse(lines({row.line1, "10000", "False", "False", "", "", "", "0"}));
        ASSERT_TRUE(load.ok()) << row.line1;
        EXPECT_EQ(*load.commPort, row.port) << row.line1;
        EXPECT_EQ(*load.settings, QString::fromLatin1(row.settings)) << row.line1;
    }
}

TEST(SensCfgParse, OnlyExactTrueIsTrue) {
    const char* values[] = {"True", "true", "TRUE", "True ", "1", ""};
    const bool expected[] = {true, false, false, false, false, false};
    for (int i = 0; i < 6; ++i) {
        const SensLoad load =
            senscfg::parse(lines({"1 9600,n,8,1", "10000", values[i], values[i], "", "", "", "0"}));
        EXPECT_EQ(*load.rtsMode, expected[i]) << values[i];
        EXPECT_EQ(*load.useModem, expected[i]) << values[i];
    }
}

TEST(SensCfgParse, LfOnlyLinesAreAccepted) {
    const SensLoad load = senscfg::parse("1 9600,n,8,1\n2000\nTrue\nFalse\nATZ\nATD\n555\n30");
    ASSERT_TRUE(load.ok()) << load.error.toStdString();
    EXPECT_EQ(*load.pollMs, 2000);
    EXPECT_EQ(*load.phoneNumber, QStringLiteral("555"));
    EXPECT_EQ(*load.modemDelay, 30);
}

// A failure stops the taking at its step; what came before stays taken, the rest keeps the start value.
TEST(SensCfgParse, DamagedFileStopsAtTheFailingStep) {
    struct Row {
        const char* name;
        QByteArray bytes;
        bool modemTaken; // lines 3..7 and 8
        bool portTaken;
        bool settingsTaken;
        bool pollTaken;
    };
    const Row rows[] = {
        {"delay not a number", lines({"2 4800,n,8,1", "3000", "True", "True", "ATZ", "ATD", "1", "soon"}),
         false, false, false, false},
        {"file of two lines", lines({"2 4800,n,8,1", "3000"}), false, false, false, false},
        {"empty file", QByteArray(), false, false, false, false},
        {"port not a digit", lines({"x 4800,n,8,1", "3000", "True", "True", "ATZ", "ATD", "1", "5"}), true,
         false, false, false},
        {"port zero", lines({"0 4800,n,8,1", "3000", "True", "True", "ATZ", "ATD", "1", "5"}), true, false,
         false, false},
        {"settings without speed", lines({"2 fast", "3000", "True", "True", "ATZ", "ATD", "1", "5"}), true,
         true, false, false},
        {"poll not a number", lines({"2 4800,n,8,1", "ten", "True", "True", "ATZ", "ATD", "1", "5"}), true,
         true, true, false},
        {"poll negative", lines({"2 4800,n,8,1", "-5", "True", "True", "ATZ", "ATD", "1", "5"}), true, true,
         true, false},
    };
    for (const Row& row : rows) {
        const SensLoad load = senscfg::parse(row.bytes);
        EXPECT_FALSE(load.ok()) << row.name;
        EXPECT_EQ(load.modemDelay.has_value(), row.modemTaken) << row.name;
        EXPECT_TRUE(load.rtsMode.has_value()) << row.name; // lines 3..7 come before the first conversion
        EXPECT_EQ(load.commPort.has_value(), row.portTaken) << row.name;
        EXPECT_EQ(load.settings.has_value(), row.settingsTaken) << row.name;
        EXPECT_EQ(load.pollMs.has_value(), row.pollTaken) << row.name;

        SensConfig config; // start values: port 1, 9600, 10000 ms, modem on
        load.applyTo(config);
        if (!row.portTaken) {
            EXPECT_EQ(config.link.CommPort, 1) << row.name;
        }
        if (!row.pollTaken) {
            EXPECT_EQ(config.pollMs, 10000) << row.name;
        }
    }
}

TEST(SensCfgParse, ConversionErrorNamesTheText) {
    const SensLoad load =
        senscfg::parse(lines({"1 9600,n,8,1", "10000", "False", "False", "", "", "", "abc"}));
    EXPECT_TRUE(load.error.contains(QStringLiteral("'abc'"))) << load.error.toStdString();
}

class SensCfgFile : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Sens.cfg")); }
};

TEST_F(SensCfgFile, MissingFileTakesNothing) {
    const SensLoad load = senscfg::read(path());
    EXPECT_FALSE(load.ok());
    EXPECT_FALSE(load.rtsMode.has_value());
    EXPECT_FALSE(load.commPort.has_value());
}

TEST_F(SensCfgFile, WrittenFileReadsBackUnchanged) {
    SensConfig config;
    config.link.CommPort = 2;
    config.link.Settings = QStringLiteral("1200,n,8,1");
    config.link.ModemDelay = 7;
    ASSERT_TRUE(senscfg::write(path(), config));
    const SensLoad load = senscfg::read(path());
    ASSERT_TRUE(load.ok());
    SensConfig back;
    load.applyTo(back);
    EXPECT_EQ(back.link, config.link);
    EXPECT_EQ(readFile(path()), senscfg::format(config));
}

// The new file replaces the old one by rename: a second name of the old file still holds the old
// bytes, so a write that fails half-way can never leave a cut file behind.
TEST_F(SensCfgFile, OldFileIsReplacedNotRewritten) {
    writeFile(path(), "old contents");
    const QString other = dir.filePath(QStringLiteral("link-to-old"));
    ASSERT_EQ(::link(QFile::encodeName(path()).constData(), QFile::encodeName(other).constData()), 0);
    ASSERT_TRUE(senscfg::write(path(), SensConfig{}));
    EXPECT_EQ(readFile(path()), senscfg::format(SensConfig{}));
    EXPECT_EQ(readFile(other), QByteArray("old contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary file left behind
}

TEST_F(SensCfgFile, FailedWriteReportsAndLeavesNothing) {
    const QString blocked = dir.filePath(QStringLiteral("no-such-folder/Sens.cfg"));
    QString error;
    EXPECT_FALSE(senscfg::write(blocked, SensConfig{}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(blocked));
}
