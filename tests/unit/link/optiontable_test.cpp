// The suite's command lines read by QCommandLineParser from one table, with their faults told as
// the programs always told them.
#include "link/optiontable.h"
#include "link/portmap.h"

#include <gtest/gtest.h>

namespace {

constexpr cmdline::Option Table[] = {
    {.names = "port", .value = "PORT", .help = "the port"},
    {.names = "baud", .value = "B", .help = "speed\nin bit/s", .refusal = "--baud needs a speed"},
    {.names = "raw", .help = "\nprinted under its syntax"},
    {.names = "modem", .value = "RESULT", .help = "dial", .optionalValue = true},
    {.names = "verbose|v", .help = "chatty"},
    cmdline::portMapOption(nullptr),
    {.names = "help|h"},
};

TEST(OptionTable, SaysTheFirstFaultAsTyped) {
    const struct {
        QStringList args;
        const char* fault; // empty: the line is good
    } cases[] = {
        {{"--port", "1", "cmd", "--raw"}, ""},
        {{"--port=1", "-v", "--modem", "--modem=BUSY"}, ""},
        // The value of an option is taken whatever it looks like.
        {{"--port", "--raw"}, ""},
        {{"--bogus", "--port"}, "unknown option --bogus"},
        {{"--raw=1"}, "unknown option --raw=1"},
        {{"-rts"}, "unknown option -rts"},
        {{"cmd", "-1"}, "unknown option -1"},
        // "--" ends nothing here: the programs have always refused it.
        {{"--", "--raw"}, "unknown option --"},
        {{"cmd", "--port"}, "--port needs a value"},
        {{"--baud"}, "--baud needs a speed"},
        {{"--comm"}, "--comm needs n=PATH or n=tcp://HOST:PORT"},
    };
    for (const auto& c : cases) {
        cmdline::CommandLine line(Table);
        EXPECT_EQ(line.parse(c.args), !*c.fault) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.fault(), QString::fromUtf8(c.fault)) << c.args.join(' ').toStdString();
    }
}

TEST(OptionTable, ReadsValuesAndTheHelpWherever) {
    cmdline::CommandLine line(Table);
    ASSERT_TRUE(line.parse({"cmd", "--baud", "1", "a", "--baud=2", "--modem=NO_ANSWER", "-v"}));
    EXPECT_EQ(line.positional(), (QStringList{"cmd", "a"}));
    EXPECT_EQ(line.value("baud"), "2");
    EXPECT_EQ(line.values("baud"), (QStringList{"1", "2"}));
    EXPECT_EQ(line.value("modem"), "NO_ANSWER");
    EXPECT_TRUE(line.isSet("verbose"));
    EXPECT_FALSE(line.isSet("raw"));

    // --help is seen even on a line that has a fault.
    cmdline::CommandLine faulty(Table);
    EXPECT_FALSE(faulty.parse({"--bogus", "--help"}));
    EXPECT_TRUE(faulty.isSet("help"));
}

TEST(OptionTable, GivesThePortMapItsValues) {
    PortMap::clear();
    cmdline::CommandLine good(Table);
    ASSERT_TRUE(good.parse({"--comm", "3=/dev/ttyUSB1", "--comm=4=tcp://127.0.0.1:4001"}));
    EXPECT_EQ(good.applyPortMap(), QStringList());
    EXPECT_EQ(PortMap::resolve("3"), "/dev/ttyUSB1");
    EXPECT_EQ(PortMap::resolve("4"), "tcp://127.0.0.1:4001");
    cmdline::CommandLine bad(Table);
    ASSERT_TRUE(bad.parse({"--comm", "0=/dev/x"}));
    EXPECT_EQ(bad.applyPortMap(),
              QStringList{"bad --comm value '0=/dev/x' (expected n=PATH or n=tcp://HOST:PORT)"});
    PortMap::clear();
}

// The rows check their values, every time an option is given, and word a refusal once.
constexpr cmdline::Option Checked[] = {
    {.names = "lines", .value = "N", .refusal = "--lines needs a number from 1", .min = 1, .max = 99},
    {.names = "baud", .value = "B", .min = 1, .max = 4000000, .base = 0},
    cmdline::channelOption(),
    {.names = "every", .value = "D", .accepts = [](const QString& v) { return v.endsWith(u'h'); }},
    {.names = "out", .value = "FILE", .refuseEmpty = true},
    {.names = "port", .value = "PORT"},
};

TEST(OptionTable, RowsRefuseTheValuesTheyDoNotTake) {
    const struct {
        QStringList args;
        const char* fault;
    } cases[] = {
        {{"--lines", "1", "--baud", "0x2580", "--channel", "2", "--every", "24h", "--out", "f", "--port="},
         ""},
        {{"--lines", "0"}, "--lines needs a number from 1"},
        {{"--lines", "100"}, "--lines needs a number from 1"},
        {{"--lines", "0x10"}, "--lines needs a number from 1"}, // decimal only
        {{"--lines="}, "--lines needs a number from 1"},
        // A value given twice counts the last time, but the first must be one it takes too.
        {{"--lines", "x", "--lines", "3"}, "--lines needs a number from 1"},
        {{"--baud", "4000001"}, "--baud needs a value"},
        {{"--channel", "3"}, "--channel must be 1 or 2"},
        {{"--channel", "12"}, "--channel must be 1 or 2"},
        {{"--channel="}, "--channel needs a value"},
        {{"--every", "30m"}, "--every needs a value"},
        {{"--out="}, "--out needs a value"},
        // The line's form is told before its values.
        {{"--channel", "3", "--bogus"}, "unknown option --bogus"},
        {{"--channel", "3", "--lines", "0"}, "--lines needs a number from 1"},
    };
    for (const auto& c : cases) {
        cmdline::CommandLine line(Checked);
        EXPECT_EQ(line.parse(c.args), !*c.fault) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.fault(), QString::fromUtf8(c.fault)) << c.args.join(' ').toStdString();
    }
}

TEST(OptionTable, UnknownOptionsCanBeLeftToTheToolkit) {
    cmdline::CommandLine line(Table, cmdline::CommandLine::Unknown::LeftToOthers);
    EXPECT_TRUE(line.parse({"-platform", "xcb", "--raw=1", "-stylesheet", "a.qss", "--baud", "2"}));
    EXPECT_EQ(line.value("baud"), "2");
    EXPECT_FALSE(line.parse({"-style", "fusion", "--port"}));
    EXPECT_EQ(line.fault(), "--port needs a value");
}

// What the programs' start was told: plain functions, as the programs give theirs.
QStringList told;
QString noHelp() {
    told << "help";
    return {};
}
int usageSeven(const QString& message) {
    told << message;
    return 7;
}

TEST(OptionTable, StartAnswersHelpAndFaultsItself) {
    const struct {
        QStringList args;
        std::optional<int> answer;
        QStringList told;
    } cases[] = {
        {{"--port", "1", "--comm", "3=/dev/ttyUSB1"}, std::nullopt, {}},
        {{"--bogus", "--help"}, 0, {"help"}},
        {{"--help", "--comm", "0=/dev/x"}, 0, {"help"}},
        {{"--bogus", "--comm", "0=/dev/x"}, 7, {"unknown option --bogus"}},
        {{"--comm", "0=/dev/x"}, 7, {"bad --comm value '0=/dev/x' (expected n=PATH or n=tcp://HOST:PORT)"}},
    };
    for (const auto& c : cases) {
        PortMap::clear();
        told.clear();
        cmdline::CommandLine line(Table);
        EXPECT_EQ(line.parseOrAnswer(c.args, noHelp, usageSeven), c.answer) << c.args.join(' ').toStdString();
        EXPECT_EQ(told, c.told) << c.args.join(' ').toStdString();
    }
    PortMap::clear();
}

TEST(OptionTable, HelpLinesKeepTheirColumn) {
    EXPECT_EQ(cmdline::helpText(Table, 16).toStdString(), "  --port PORT   the port\n"
                                                          "  --baud B      speed\n"
                                                          "                in bit/s\n"
                                                          "  --raw\n"
                                                          "                printed under its syntax\n"
                                                          "  --modem[=RESULT]  dial\n"
                                                          "  --verbose, -v chatty\n");
}

} // namespace
