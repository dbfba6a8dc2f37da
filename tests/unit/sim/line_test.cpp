// The byte-level pieces of the line: cutting requests out of the stream, the Hayes modem and the
// kastari-sim command line.
#include "device/encodings.h"
#include "hex.h"
#include "link/crc16.h"
#include "sim/devicemodel.h"
#include "sim/frameassembler.h"
#include "sim/hayesmodem.h"
#include "sim/simcommandline.h"

#include <gtest/gtest.h>

using sim::FrameAssembler;
using sim::HayesModem;

namespace {

QStringList describe(const QList<FrameAssembler::Piece>& pieces) {
    QStringList out;
    for (const auto& p : pieces)
        out << (p.frame ? "frame " : "junk ") + toHex(p.bytes);
    return out;
}

struct StreamCase {
    const char* name;
    QList<QByteArray> feeds; // fed 1 ms apart
    QStringList expected;    // after the silence
};

const QByteArray read = hex("01 03 00 00 00 01 84 0a");
const QByteArray write16 = hex("01 10 00 1b 00 01 02 00 02 24 7a");
const QByteArray archive1 = hex("01 41 00 00 00 09 01 00 00 0a 0f 03 18 1e 1d");
const QByteArray archive0 = hex("01 41 00 07 00 01 00 00 00 c2 d7");

const StreamCase streamCases[] = {
    {"OneFrame", {read}, {"frame " + toHex(read)}},
    {"TwoFramesBackToBack", {read + write16}, {"frame " + toHex(read), "frame " + toHex(write16)}},
    {"SplitAcrossReads", {read.left(3), read.mid(3)}, {"frame " + toHex(read)}},
    {"GarbageBefore", {hex("ff 13") + archive1}, {"junk ff 13", "frame " + toHex(archive1)}},
    {"ArchiveByNumber", {archive0 + read}, {"frame " + toHex(archive0), "frame " + toHex(read)}},
    {"ReportSlaveId", {hex("05 11 c2 ec")}, {"frame 05 11 c2 ec"}},
    {"Truncated", {read.left(5)}, {"junk " + toHex(read.left(5))}},
    {"BadCrc", {hex("01 03 00 00 00 01 84 0b")}, {"junk 01 03 00 00 00 01 84 0b"}},
    {"UnknownFunctionEndsAtSilence", {hex("01 2b 0e 01 00 70 77")}, {"frame 01 2b 0e 01 00 70 77"}},
    {"UnknownFunctionThenKnownFrame",
     {hex("01 2b 0e 01 00 70 77") + read},
     {"frame 01 2b 0e 01 00 70 77", "frame " + toHex(read)}},
};

class Stream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Stream, CutsRequests) {
    FrameAssembler a(10);
    QList<FrameAssembler::Piece> pieces;
    qint64 t = 1000;
    for (const auto& f : GetParam().feeds)
        pieces += a.feed(f, t++);
    ASSERT_GE(a.deadline(), -1);
    pieces += a.flushIfSilent(t + 100);
    EXPECT_EQ(describe(pieces), GetParam().expected);
    EXPECT_TRUE(a.idle());
}

INSTANTIATE_TEST_SUITE_P(Line, Stream, ::testing::ValuesIn(streamCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Stream, SilenceSeparatesATruncatedRequestFromTheNext) {
    FrameAssembler a(10);
    auto pieces = a.feed(read.left(4), 0);
    EXPECT_TRUE(pieces.isEmpty());
    EXPECT_EQ(a.deadline(), 10);
    EXPECT_TRUE(a.flushIfSilent(5).isEmpty()) << "not yet silent";
    pieces = a.feed(read, 50); // after a silence: the stub is dropped, the request stands
    EXPECT_EQ(describe(pieces), (QStringList{"junk 01 03 00 00", "frame " + toHex(read)}));
}

TEST(Stream, EndlessNoiseIsDropped) {
    FrameAssembler a(10);
    QByteArray noise(600, char(0x10)); // function 16 with a byte count never satisfied
    auto pieces = a.feed(noise, 0);
    pieces += a.flushIfSilent(100);
    int bytes = 0;
    for (const auto& p : pieces) {
        EXPECT_FALSE(p.frame);
        bytes += int(p.bytes.size());
    }
    EXPECT_EQ(bytes, 600);
}

QByteArray answers(const HayesModem::Output& out) {
    QByteArray all;
    for (const auto& c : out.toMaster)
        all += c.bytes;
    return all;
}

TEST(Modem, EchoesAndAnswersOkAfterBothCarriageReturns) {
    HayesModem modem;
    const auto out = modem.feed("ATZ\r\r", 0);
    // The program reads the answer from the command's length + 5.
    EXPECT_EQ(answers(out), QByteArray("ATZ\r\r\r\nOK\r\n"));
    EXPECT_EQ(answers(out).mid(3 + 4, 2), QByteArray("OK"));
    EXPECT_FALSE(modem.online());
    EXPECT_EQ(out.commands, QList<QByteArray>{"ATZ"});
}

TEST(Modem, DialAnswersTheConfiguredResult) {
    for (const char* result : {"BUSY", "NO ANSWER", "NO CARRIER", "NO DIALTONE", "ERROR"}) {
        HayesModem modem(QString::fromLatin1(result));
        const auto out = modem.feed("ATDP1234\r\r", 0);
        EXPECT_EQ(answers(out), QByteArray("ATDP1234\r\r\r\n") + result + "\r\n");
        EXPECT_GT(out.toMaster.last().delayMs, 0) << "dialling takes a while";
        EXPECT_FALSE(modem.online()) << result;
        EXPECT_TRUE(out.toLine.isEmpty());
    }
}

TEST(Modem, AfterConnectModbusPassesThroughUntilEscape) {
    HayesModem modem;
    auto out = modem.feed("AT&F E1\r\r", 0);
    EXPECT_TRUE(answers(out).endsWith("\r\nOK\r\n"));
    out = modem.feed("ATDT5551234\r\r", 10);
    EXPECT_TRUE(answers(out).endsWith("\r\nCONNECT 9600\r\n"));
    EXPECT_TRUE(modem.online());
    out = modem.feed(read, 20);
    EXPECT_EQ(out.toLine, read);
    EXPECT_TRUE(out.toMaster.isEmpty()) << "no echo once online";
    out = modem.feed("+++", 30); // too soon after data: it is data
    EXPECT_EQ(out.toLine, QByteArray("+++"));
    out = modem.feed("+++", 2000);
    EXPECT_EQ(answers(out), QByteArray("\r\nOK\r\n"));
    EXPECT_FALSE(modem.online());
    out = modem.feed("ATO\r", 2100);
    EXPECT_TRUE(modem.online());
}

TEST(Modem, IgnoresLinesThatAreNotCommands) {
    HayesModem modem;
    const auto out = modem.feed("hello\r", 0);
    EXPECT_EQ(answers(out), QByteArray("hello\r"));
    EXPECT_FALSE(modem.online());
}

TEST(CommandLine, ParsesEveryOption) {
    const auto cl = sim::parseSimCommandLine({"--link",
                                              "/tmp/x",
                                              "--baud=19200",
                                              "--device",
                                              "3:mode=1,sensor=2,channels=two-beam,number=77,id1=A",
                                              "--device",
                                              "9",
                                              "--seed",
                                              "5",
                                              "--modem=NO_ANSWER",
                                              "--fault",
                                              "late,when=3,delay=900,addr=3",
                                              "--fault",
                                              "chunks,when=25%,chunk=2,gap=60",
                                              "--no-pacing",
                                              "--verbose",
                                              "--time",
                                              "01.03.2024 10:00",
                                              "--clock-rate",
                                              "3600"});
    ASSERT_TRUE(cl.error.isEmpty()) << cl.error.toStdString();
    EXPECT_EQ(cl.link, "/tmp/x");
    EXPECT_EQ(cl.options.baud, 19200);
    EXPECT_EQ(cl.options.clockRate, 3600);
    ASSERT_EQ(cl.options.devices.size(), 2);
    const auto& d = cl.options.devices[0];
    EXPECT_EQ(d.address, 3);
    EXPECT_EQ(d.workMode, 1);
    EXPECT_EQ(d.sensorType, 2);
    EXPECT_EQ(d.channelMode, 1);
    EXPECT_EQ(d.electronicNumber, 77u);
    EXPECT_EQ(d.idText1, "A");
    EXPECT_EQ(cl.options.seed, 5u);
    EXPECT_TRUE(cl.options.modem);
    EXPECT_EQ(cl.options.modemDialResult, "NO ANSWER");
    ASSERT_EQ(cl.options.faults.size(), 2);
    EXPECT_EQ(cl.options.faults[0].kind, sim::Fault::Late);
    EXPECT_EQ(cl.options.faults[0].when, sim::FaultWhen::Nth);
    EXPECT_EQ(cl.options.faults[0].nth, 3);
    EXPECT_EQ(cl.options.faults[0].lateDelayMs, 900);
    EXPECT_EQ(cl.options.faults[0].address, 3);
    EXPECT_EQ(cl.options.faults[1].when, sim::FaultWhen::Rate);
    EXPECT_DOUBLE_EQ(cl.options.faults[1].rate, 0.25);
    EXPECT_EQ(cl.options.faults[1].chunkSize, 2);
    EXPECT_FALSE(cl.options.pacing);
    EXPECT_TRUE(cl.verbose);
    EXPECT_EQ(enc::SecToDate(cl.options.startTime).toString("dd.MM.yyyy hh:mm"), "01.03.2024 10:00");
}

TEST(CommandLine, DeviceHoldsFailureAndConditionBytes) {
    const auto cl = sim::parseSimCommandLine(
        {"--link", "/tmp/x", "--device", "2:failure=0x04,condition2=64", "--device", "3"});
    ASSERT_TRUE(cl.error.isEmpty()) << cl.error.toStdString();
    EXPECT_EQ(cl.options.devices[0].failureByte, 4);
    EXPECT_EQ(cl.options.devices[0].conditionByte[0], -1);
    EXPECT_EQ(cl.options.devices[0].conditionByte[1], 64);
    EXPECT_EQ(cl.options.devices[1].failureByte, -1);
    for (const char* device : {"1:failure=256", "1:condition1=0x1G", "1:condition3=1", "1:failure=-1"})
        EXPECT_FALSE(sim::parseSimCommandLine({"--link", "x", "--device", device}).error.isEmpty()) << device;
    // The meter then reports them whatever happens to it.
    sim::DeviceOptions held = cl.options.devices[0];
    sim::DeviceModel meter(held, 1, 1709647629, false);
    meter.advanceClock(3600);
    EXPECT_EQ(meter.holding(252), 4);
    EXPECT_EQ(meter.holding(255), 64);
}

TEST(CommandLine, ServesOverTcpBesidesOrInsteadOfThePty) {
    const auto both =
        sim::parseSimCommandLine({"--link", "/tmp/x", "--tcp", "4001", "--fault", "drop,after=3"});
    ASSERT_TRUE(both.error.isEmpty()) << both.error.toStdString();
    EXPECT_TRUE(both.options.pty);
    EXPECT_EQ(both.options.tcpPort, 4001);
    EXPECT_EQ(both.options.faults.value(0).kind, sim::Fault::Drop);
    EXPECT_EQ(both.options.faults.value(0).closeAfterBytes, 3);
    const auto tcpOnly = sim::parseSimCommandLine({"--tcp", "0"});
    ASSERT_TRUE(tcpOnly.error.isEmpty()) << tcpOnly.error.toStdString();
    EXPECT_FALSE(tcpOnly.options.pty);
    EXPECT_EQ(tcpOnly.options.tcpPort, 0);
}

TEST(CommandLine, RefusesWhatItCannotPlay) {
    for (const QStringList& args :
         {QStringList{}, QStringList{"--link"}, QStringList{"--link", "x", "--device", "0"},
          QStringList{"--link", "x", "--device", "1", "--device", "1"},
          QStringList{"--link", "x", "--device", "1:colour=red"},
          QStringList{"--link", "x", "--fault", "gremlins"},
          QStringList{"--link", "x", "--fault", "late,when=0"}, QStringList{"--link", "x", "--baud", "fast"},
          QStringList{"--link", "x", "--bogus"}, QStringList{"--tcp", "65536"}, QStringList{"--tcp", "x"},
          QStringList{"--link", "x", "--clock-rate", "0"},
          // A switch once took any value and was on all the same, "--verbose=0" too.
          QStringList{"--link", "x", "--verbose=0"}}) {
        EXPECT_FALSE(sim::parseSimCommandLine(args).error.isEmpty()) << args.join(' ').toStdString();
    }
    const auto help = sim::parseSimCommandLine({"--help"});
    EXPECT_TRUE(help.help);
    EXPECT_TRUE(help.error.isEmpty());
    for (const char* option : {"--link", "--baud", "--no-pacing", "--device", "--seed", "--time", "--modem",
                               "--fault", "--verbose", "--help", "--clock-rate"})
        EXPECT_TRUE(sim::simUsage().contains(QLatin1String(option))) << option;
}

} // namespace
