#include "collect/meterlist.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace collect;

TEST(MeterList, Lines) {
    struct Row {
        const char* text;
        const char* line;
        const char* port;
        const char* dial;
        int address, speed;
        const char* name;
    };
    const Row rows[] = {
        {"/dev/ttyUSB0 5", "/dev/ttyUSB0", "/dev/ttyUSB0", "", 5, 9600, ""},
        {"  /dev/ttyS1\t12  38400  Котельная  №3   # осмотр в мае", "/dev/ttyS1", "/dev/ttyS1", "", 12, 38400,
         "Котельная  №3"},
        {"tcp://127.0.0.1:4001 1 Насосная", "tcp://127.0.0.1:4001", "tcp://127.0.0.1:4001", "", 1, 9600,
         "Насосная"},
        {"modem:/dev/ttyACM0:84951234567 3 2400 ЦТП-2\r", "modem:/dev/ttyACM0:84951234567", "/dev/ttyACM0",
         "84951234567", 3, 2400, "ЦТП-2"},
        {"/dev/ttyS0 127 9600 1-й корпус", "/dev/ttyS0", "/dev/ttyS0", "", 127, 9600, "1-й корпус"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        QString error;
        const auto list = parseMeterList(QString::fromUtf8(r.text), "meters", &error);
        ASSERT_TRUE(list) << error.toStdString();
        ASSERT_EQ(list->size(), 1);
        const MeterEntry& m = list->first();
        EXPECT_EQ(m.line, QString::fromUtf8(r.line));
        EXPECT_EQ(m.port, QString::fromUtf8(r.port));
        EXPECT_EQ(m.dial, QString::fromUtf8(r.dial));
        EXPECT_EQ(m.address, r.address);
        EXPECT_EQ(m.speed, r.speed);
        EXPECT_EQ(m.name, QString::fromUtf8(r.name));
    }
}

TEST(MeterList, ErrorsNameFileLineAndColumn) {
    const struct {
        const char* text;
        const char* error;
    } rows[] = {
        {"# header\n\n/dev/ttyS0\n", "m.txt:3:11: the meter's address is missing"},
        {"/dev/ttyS0 0", "m.txt:1:12: address \"0\" is not a number from 1 to 127"},
        {"/dev/ttyS0 x12", "m.txt:1:12: address \"x12\" is not a number from 1 to 127"},
        {"/dev/ttyS0  128", "m.txt:1:13: address \"128\" is not a number from 1 to 127"},
        {"/dev/ttyS0 1 9601 Имя",
         "m.txt:1:14: speed 9601 is not one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200"},
        {"tcp://127.0.0.1 1", "m.txt:1:1: expected tcp://HOST:PORT, got \"tcp://127.0.0.1\""},
        {"tcp://127.0.0.1:70000 1", "m.txt:1:1: expected tcp://HOST:PORT, got \"tcp://127.0.0.1:70000\""},
        {"  modem:/dev/ttyACM0 1", "m.txt:1:3: expected modem:PATH:NUMBER, got \"modem:/dev/ttyACM0\""},
        {"modem::123 1", "m.txt:1:1: expected modem:PATH:NUMBER, got \"modem::123\""},
        {"modem:/dev/m:555-12x3 1", "m.txt:1:1: expected modem:PATH:NUMBER, got \"modem:/dev/m:555-12x3\""},
        {"modem:/dev/m: 1", "m.txt:1:1: expected modem:PATH:NUMBER, got \"modem:/dev/m:\""},
        {"/dev/ttyS0 1\n  modem:/dev/ttyS0:123 2", "m.txt:2:3: /dev/ttyS0 is a direct line at line 1"},
        {"modem:/dev/m:1 1\nmodem:/dev/m:2 1\n/dev/m 3", "m.txt:3:1: /dev/m is a modem line at line 1"},
        {"modem:/dev/m:1 4\nmodem:/dev/m:1 4",
         "m.txt:2:16: address 4 on modem:/dev/m:1 is listed already at line 1"},
        {"udp://127.0.0.1:5 1", "m.txt:1:1: unknown kind of line \"udp://127.0.0.1:5\""},
        {"/dev/ttyS0 1\n/dev/ttyS1 1\n/dev/ttyS0 1 again",
         "m.txt:3:12: address 1 on /dev/ttyS0 is listed already at line 1"},
        // one line written two ways is still one line
        {"/dev/ttyS0 1\n/dev/../dev/ttyS0 1",
         "m.txt:2:19: address 1 on /dev/../dev/ttyS0 is listed already at line 1 as /dev/ttyS0"},
        {"tcp://localhost:4001 1\ntcp://127.0.0.1:4001 1",
         "m.txt:2:22: address 1 on tcp://127.0.0.1:4001 is listed already at line 1 as tcp://localhost:4001"},
        {"/dev/ttyS0 1\nmodem:/dev/./ttyS0:5 2", "m.txt:2:1: /dev/./ttyS0 is a direct line at line 1"},
        {"/dev/ttyS0 1 Котельная\n/dev/ttyS0 2 9600 ABCDEFGHIJ",
         "m.txt:2:19: the name is 210 characters long, more than 200"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        QString error;
        QString text = QString::fromUtf8(r.text);
        text.replace("ABCDEFGHIJ", QString(210, u'я'));
        EXPECT_FALSE(parseMeterList(text, "m.txt", &error));
        EXPECT_EQ(error.toStdString(), r.error);
    }
}

TEST(MeterList, GroupedByPortInListOrder) {
    QString error;
    const auto list =
        parseMeterList("/dev/a 1\ntcp://127.0.0.1:9 1\n/dev/a 2\nmodem:/dev/m:1 4\nmodem:/dev/m:2 4\n"
                       "/dev/a 3\n",
                       "m", &error);
    ASSERT_TRUE(list) << error.toStdString();
    const QList<QList<MeterEntry>> groups = byPort(*list);
    ASSERT_EQ(groups.size(), 3);
    const auto lines = [](const QList<MeterEntry>& g) {
        QList<int> n;
        for (const MeterEntry& m : g)
            n << m.lineNumber;
        return n;
    };
    EXPECT_EQ(lines(groups[0]), (QList<int>{1, 3, 6}));
    EXPECT_EQ(lines(groups[1]), (QList<int>{2}));
    // one modem, dialled to two numbers in turn: the same address on each is two meters
    EXPECT_EQ(lines(groups[2]), (QList<int>{4, 5}));
}

TEST(MeterList, OneCallPerNumberInListOrder) {
    QString error;
    const auto list = parseMeterList("modem:/dev/m:22 1\nmodem:/dev/m:11 1\nmodem:/dev/m:22 2\n"
                                     "modem:/dev/m:33 1\nmodem:/dev/m:11 2\n",
                                     "m", &error);
    ASSERT_TRUE(list) << error.toStdString();
    QList<QList<int>> calls;
    for (const QList<MeterEntry>& call : byCall(*list)) {
        calls.append(QList<int>());
        for (const MeterEntry& m : call)
            calls.last() << m.lineNumber;
    }
    EXPECT_EQ(calls, (QList<QList<int>>{{1, 3}, {2, 5}, {4}}));
}

// A link to a device is the device: its meters are one line's, and one address there is one meter.
TEST(MeterList, ALinkAndItsTargetAreOneLine) {
    QTemporaryDir dir;
    QFile real(dir.filePath("ttyUSB0"));
    ASSERT_TRUE(real.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(real.fileName(), dir.filePath("meters-north")));
    const QString list =
        QStringLiteral("%1/meters-north 1\n%1/ttyUSB0 2 %2\n").arg(dir.path(), QString(200, u'я'));
    QString error;
    const auto meters = parseMeterList(list, "m", &error);
    ASSERT_TRUE(meters) << error.toStdString();
    EXPECT_EQ(byPort(*meters).size(), 1);
    EXPECT_FALSE(parseMeterList(list + dir.path() + "/ttyUSB0 1\n", "m", &error));
    EXPECT_EQ(error,
              QStringLiteral("m:3:%1: address 1 on %2/ttyUSB0 is listed already at line 1 as %2/meters-north")
                  .arg(dir.path().size() + 10)
                  .arg(dir.path()));
}
