// The transaction engine against a scripted control: how replies are assembled, judged and timed.
#include "archives/reading.h"
#include "fakecomm.h"
#include "hex.h"
#include "link/crc16.h"
#include "link/tmodbus.h"

#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr int kSilence = 40;

struct Engine {
    FakeComm comm;
    TModBus bus{&comm};
    Engine() { bus.setModbusSilenceMs(kSilence); }
};

QByteArray withCrc(const char* text) {
    return crc16::appended(hex(text));
}

TEST(Receive, ChunksAreJoinedInOrderAndTheWaitOutlastsTheLastChunk) {
    Engine e;
    const QByteArray reply = withCrc("01 03 04 00 0A 01 02");
    // Gaps shorter than the silence keep the transaction open; the last chunk still belongs to it.
    e.comm.script = {{{5, reply.left(2)}, {kSilence / 2, reply.mid(2, 3)}, {kSilence / 2, reply.mid(5)}}};
    e.bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_EQ(e.bus.replyFrame().size(), reply.size());
    EXPECT_EQ(e.bus.reply(), reply);
    EXPECT_TRUE(e.bus.replyFrame().crcOk());
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::Ok);
}

TEST(Receive, WrongCrcCountsTheBytesButIsNotValid) {
    Engine e;
    QByteArray reply = withCrc("01 03 02 12 34");
    reply[reply.size() - 1] = char(reply.back() ^ 0x55);
    e.comm.script = {{{1, reply}}};
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(e.bus.replyFrame().size(), 7);
    EXPECT_FALSE(e.bus.replyFrame().crcOk());
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::CrcError);
}

TEST(Receive, SilenceEndsWithNothingReceived) {
    Engine e;
    // The reply before must leave nothing behind that the silent one could pass for its own.
    e.comm.script = {{{1, withCrc("01 03 02 00 77")}}};
    e.bus.ReadHoldingRegisters(1, 1, 0);
    ASSERT_TRUE(e.bus.replyOk());
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(e.bus.replyFrame().size(), 0);
    EXPECT_FALSE(e.bus.replyFrame().crcOk());
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::NoReply);
}

TEST(Stale, WhatComesAfterAFailedRequestIsThrownAwayBeforeTheNextMeterIsAsked) {
    // Meter 2's answer, or the rest of it, comes only after the silence has ended its
    // transaction, while meter 3 would be waiting for its own reply.
    const QByteArray late = withCrc("02 03 02 00 01");
    const QByteArray next = withCrc("03 03 02 00 02");
    const struct {
        const char* name;
        QList<Chunk> first;
        bool fast;
        ReplyStatus firstStatus;
    } cases[] = {
        {"a late reply", {{60, late}}, false, ReplyStatus::NoReply},
        {"a late reply, fast completion", {{60, late}}, true, ReplyStatus::NoReply},
        {"the late rest of a reply", {{1, late.left(3)}, {60, late.mid(3)}}, false, ReplyStatus::CrcError},
        {"another meter's reply, then the late one",
         {{1, withCrc("05 03 02 00 09")}, {60, late}},
         true,
         ReplyStatus::WrongAddress},
    };
    for (const auto& c : cases) {
        Engine e;
        e.bus.setFastCompletion(c.fast);
        e.comm.script = {c.first, {{30, next}}};
        e.bus.ReadHoldingRegisters(2, 1, 0);
        EXPECT_EQ(e.bus.replyStatus(), c.firstStatus) << c.name;
        e.bus.ReadHoldingRegisters(3, 1, 0);
        EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::Ok)
            << c.name << ": " << e.bus.reply().toHex(' ').toStdString();
        EXPECT_EQ(e.bus.reply(), next) << c.name;
        EXPECT_EQ(e.comm.sent.size(), 2) << c.name;
    }
}

TEST(Stale, ALineThatNeverGoesQuietAfterAFailedRequestHoldsTheNextOnlyWithinTheBound) {
    Engine e;
    e.comm.script = {{}, {{1, withCrc("03 03 02 00 08")}}};
    e.bus.ReadHoldingRegisters(2, 1, 0);
    ASSERT_EQ(e.bus.replyStatus(), ReplyStatus::NoReply);
    QTimer babble;
    QObject::connect(&babble, &QTimer::timeout, [&] { e.comm.receiveNow(hex("55")); });
    babble.start(1);
    // Only so that an engine that waits for quiet for ever ends here instead of hanging the test.
    QTimer::singleShot(5000, &babble, &QTimer::stop);
    e.bus.ReadHoldingRegisters(3, 1, 0);
    EXPECT_TRUE(babble.isActive()) << "the request went only when the babbling stopped";
    EXPECT_EQ(e.comm.sent.size(), 2);
}

TEST(Stale, ALateReplyIsNotTheAnswerToTheNextSilentRequest) {
    Engine e;
    const QByteArray late = withCrc("01 03 02 00 01");
    e.comm.script = {{{kSilence + 20, late}}};
    int ended = 0;
    QObject::connect(&e.bus, &TModBus::transactionEnded, [&] { ++ended; });
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::NoReply);
    // The late reply reaches the port while the program does something else, before the next request.
    QThread::msleep(40);
    e.bus.ReadHoldingRegisters(1, 1, 100);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::NoReply);
    EXPECT_EQ(e.bus.replyFrame().size(), 0);
    EXPECT_EQ(e.bus.discardedBytes(), late.size());
    EXPECT_EQ(ended, 2);
}

TEST(Stale, AReplyWaitingWhenThePortOpensIsThrownAway) {
    Engine e;
    e.comm.arrive(withCrc("01 06 00 1D 00 08"));
    e.bus.WriteRegister(1, 29, 8);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::NoReply);
}

TEST(Stale, BytesBetweenTransactionsLeaveTheLastReplyAsItWas) {
    Engine e;
    const QByteArray reply = withCrc("01 03 02 00 07");
    e.comm.script = {{{1, reply}}};
    QByteArray discarded;
    QObject::connect(&e.bus, &TModBus::bytesDiscarded, [&](const QByteArray& b) { discarded += b; });
    e.bus.ReadHoldingRegisters(1, 1, 0);
    e.comm.receiveNow(hex("01 03"));
    EXPECT_EQ(e.bus.reply(), reply);
    EXPECT_TRUE(e.bus.replyOk());
    EXPECT_EQ(discarded, hex("01 03"));
}

TEST(Stale, ALateEchoDoesNotConfirmAnotherWrite) {
    Engine e;
    // The echo of write(15, 0) comes only while write(29, 8) waits for its own, which never comes.
    e.comm.script = {{}, {{-1, withCrc("01 06 00 0F 00 00")}}};
    e.bus.WriteRegister(1, 15, 0);
    e.bus.WriteRegister(1, 29, 8);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::WrongEcho);
}

TEST(EndlessLine, ABabblingLineEndsWithinItsLimitAsLineNoise) {
    Engine e;
    QTimer babble;
    QObject::connect(&babble, &QTimer::timeout, [&] { e.comm.receiveNow(hex("55")); });
    babble.start(kSilence / 4);
    // Only so that an engine that waits for silence ends here instead of hanging the test.
    QTimer::singleShot(3000, &babble, &QTimer::stop);
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::LineNoise);
    EXPECT_FALSE(e.bus.replyFrame().crcOk());
}

TEST(EndlessLine, TheLimitIsTheTimeoutTheLongestFrameOfASlowDeviceAndTheSilence) {
    const struct {
        const char* settings;
        int silenceMs, timeoutMs;
        int limitMs;
    } cases[] = {
        // 256 bytes in eight silences: slower than a quarter of 9600 bit/s.
        {"9600,n,8,1", 500, 500, 500 + 4000 + 500},
        // A quarter of the line's speed: 256 characters of 10 bits at 300 bit/s, 34133.3 ms.
        {"1200,n,8,1", 500, 500, 500 + 8534 + 500},
        {"9600,n,8,1", 40, 40, 40 + 1067 + 40},                   // a quarter of 9600 bit/s: 1066.7 ms
        {"tcp://127.0.0.7:4001", 500, 2000, 2000 + 34134 + 2000}, // no speed: the slowest line
    };
    for (const auto& c : cases) {
        Engine e;
        e.comm.settings = c.settings;
        e.bus.setModbusSilenceMs(c.silenceMs);
        EXPECT_EQ(e.bus.replyLimitMs(c.timeoutMs), c.limitMs) << c.settings << " " << c.silenceMs;
    }
}

TEST(SlowDevice, AReplyFarSlowerThanTheLineIsReadNotTakenForNoise) {
    const struct {
        const char* name;
        const char* settings;
        int chunkBytes, gapMs, registers;
    } cases[] = {
        {"3-byte chunks 40 ms apart", "9600,n,8,1", 3, 40, 60},
        {"5 ms between bytes", "38400,n,8,1", 1, 5, 125},
    };
    for (const auto& c : cases) {
        Engine e;
        e.comm.settings = c.settings;
        e.bus.setModbusSilenceMs(TModBus::DefaultSilenceMs);
        // Only so that the last silence does not lengthen the test; the limit is the same either way.
        e.bus.setFastCompletion(true);
        const QByteArray reply = crc16::appended(hex("01 03") + QByteArray(1, char(2 * c.registers)) +
                                                 QByteArray(2 * c.registers, '\x11'));
        QList<Chunk> chunks;
        for (int at = 0; at < reply.size(); at += c.chunkBytes)
            chunks << Chunk{c.gapMs, reply.mid(at, c.chunkBytes)};
        e.comm.script = {chunks};
        e.bus.ReadHoldingRegisters(1, std::uint8_t(c.registers), 0);
        EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::Ok)
            << c.name << ": " << describe(e.bus.replyStatus()).toStdString();
        EXPECT_EQ(e.bus.reply(), reply) << c.name;
    }
}

TEST(LostLink, AReplyCutShortByTheLinkIsALostLinkAndEndsTheWait) {
    const QByteArray reply = withCrc("01 03 04 00 0A 01 02");
    const struct {
        const char* name;
        QByteArray before; // what came before the far end went
        ReplyStatus status;
    } cases[] = {
        {"half a reply", reply.left(4), ReplyStatus::LinkLost},
        {"a whole reply", reply, ReplyStatus::Ok},
        {"nothing", {}, ReplyStatus::NoReply},
    };
    for (const auto& c : cases) {
        Engine e;
        e.bus.setModbusSilenceMs(300);
        QList<Chunk> chunks;
        if (!c.before.isEmpty()) chunks << Chunk{1, c.before};
        // Bytes that would still come within the silence had the wait gone on.
        chunks << Chunk{60, hex("55")};
        e.comm.script = {chunks};
        QTimer::singleShot(20, [&] { e.comm.loseLink(); });
        e.bus.ReadHoldingRegisters(1, 2, 0);
        EXPECT_EQ(e.bus.replyStatus(), c.status) << c.name;
        EXPECT_EQ(e.bus.reply(), c.before) << c.name;
    }
}

TEST(EndlessLine, OverflowEndsTheWait) {
    Engine e;
    QList<int> seen;
    QObject::connect(&e.bus, &TModBus::chunkReceived, [&](int n) { seen << n; });
    e.comm.script = {{{1, QByteArray(200, '\x55')}, {1, QByteArray(100, '\x55')}, {kSilence / 2, hex("55")}}};
    e.bus.ReadHoldingRegisters(1, 125, 0);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::Overflow);
    EXPECT_EQ(seen, (QList<int>{200, 100}));
}

TEST(Receive, BytesPastTheBufferAreDroppedAndSpoilTheReply) {
    Engine e;
    const QByteArray big = crc16::appended(QByteArray(3, '\x01') + QByteArray(260, '\x55'));
    e.comm.script = {{{1, big.left(200)}, {1, big.mid(200)}}};
    e.bus.ReadHoldingRegisters(1, 125, 0);
    EXPECT_EQ(e.bus.replyFrame().size(), TModBus::BufferSize);
    EXPECT_FALSE(e.bus.replyFrame().crcOk());
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::Overflow);
}

TEST(Receive, NoiseBeforeTheReplyFailsTheCrc) {
    Engine e;
    e.comm.script = {{{1, hex("FF 00")}, {1, withCrc("01 06 00 0F 00 00")}}};
    e.bus.WriteRegister(1, 15, 0);
    EXPECT_FALSE(e.bus.replyFrame().crcOk());
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::CrcError);
}

TEST(Receive, ProgressHookSeesEveryChunk) {
    Engine e;
    QList<int> seen;
    QObject::connect(&e.bus, &TModBus::chunkReceived, [&](int n) { seen << n; });
    const QByteArray reply = withCrc("01 03 02 00 02");
    e.comm.script = {{{1, reply.left(3)}, {2, reply.mid(3)}}};
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(seen, (QList<int>{3, int(reply.size()) - 3}));
}

struct StatusCase {
    const char* name;
    std::function<void(TModBus&)> send;
    QByteArray reply;
    ReplyStatus status;
};

class Status : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Status, JudgesTheReplyAgainstTheRequest) {
    Engine e;
    if (!GetParam().reply.isEmpty()) e.comm.script = {{{1, GetParam().reply}}};
    GetParam().send(e.bus);
    EXPECT_EQ(e.bus.replyStatus(), GetParam().status) << describe(e.bus.replyStatus()).toStdString();
}

auto readTwo = [](TModBus& b) { b.ReadHoldingRegisters(1, 2, 96); };
auto write6 = [](TModBus& b) { b.WriteRegister(1, 18, 300); };

const StatusCase kStatus[] = {
    {"GoodRead", readTwo, withCrc("01 03 04 00 00 00 01"), ReplyStatus::Ok},
    {"ExceptionIllegalAddress", readTwo, withCrc("01 83 02"), ReplyStatus::Exception},
    {"OtherAddress", readTwo, withCrc("02 03 04 00 00 00 01"), ReplyStatus::WrongAddress},
    {"OtherFunction", readTwo, withCrc("01 04 04 00 00 00 01"), ReplyStatus::WrongFunction},
    {"FewerRegistersThanAsked", readTwo, withCrc("01 03 02 00 00"), ReplyStatus::WrongLength},
    {"ByteCountDisagreesWithLength", readTwo, withCrc("01 03 06 00 00 00 01"), ReplyStatus::WrongLength},
    {"TruncatedFrame", readTwo, withCrc("01 03 04 00 00 00 01").left(6), ReplyStatus::CrcError},
    {"GoodWriteEcho", write6, withCrc("01 06 00 12 01 2C"), ReplyStatus::Ok},
    {"ShortWriteEcho", write6, withCrc("01 06 00 12"), ReplyStatus::WrongLength},
    {"WriteException", write6, withCrc("01 86 03"), ReplyStatus::Exception},
    {"WriteEchoOfAnotherRegister", write6, withCrc("01 06 00 0F 00 00"), ReplyStatus::WrongEcho},
    {"WriteEchoOfAnotherValue", write6, withCrc("01 06 00 12 01 2D"), ReplyStatus::WrongEcho},
    {"CoilEchoOfAnotherCoil", [](TModBus& b) { b.SetCoil(1, 3); }, withCrc("01 05 00 02 FF 00"),
     ReplyStatus::WrongEcho},
    {"CoilEcho", [](TModBus& b) { b.SetCoil(1, 3); }, withCrc("01 05 00 03 FF 00"), ReplyStatus::Ok},
    {"MultipleWriteEchoOfAnotherCount", [](TModBus& b) { b.WriteRegisters(1, 2, 19, hex("41 70 00 00")); },
     withCrc("01 10 00 13 00 01"), ReplyStatus::WrongEcho},
    {"MultipleWriteEcho", [](TModBus& b) { b.WriteRegisters(1, 2, 19, hex("41 70 00 00")); },
     withCrc("01 10 00 13 00 02"), ReplyStatus::Ok},
    {"ReportId", [](TModBus& b) { b.ReportSlaveId(1); }, withCrc("01 11 04 41 00 42 00"), ReplyStatus::Ok},
    {"ReportIdWhateverItsByteCount", [](TModBus& b) { b.ReportSlaveId(1); }, withCrc("01 11 09 41 00 42 00"),
     ReplyStatus::Ok},
    {"ReportIdEchoOfTheRequest", [](TModBus& b) { b.ReportSlaveId(1); }, withCrc("01 11"),
     ReplyStatus::WrongLength},
    {"Coils", [](TModBus& b) { b.ReadCoils(1, 3, 1); }, withCrc("01 01 01 01"), ReplyStatus::Ok},
    {"CoilsWrongCount", [](TModBus& b) { b.ReadCoils(1, 3, 1); }, withCrc("01 01 02 01 00"),
     ReplyStatus::WrongLength},
    {"Silence", readTwo, {}, ReplyStatus::NoReply},
};

INSTANTIATE_TEST_SUITE_P(Link, Status, ::testing::ValuesIn(kStatus),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Status, ExceptionCodeIsReportedWithItsName) {
    Engine e;
    e.comm.script = {{{1, withCrc("01 83 02")}}};
    e.bus.ReadHoldingRegisters(1, 1, 400);
    EXPECT_TRUE(
        e.bus.replyFrame().crcOk()); // the CRC of an exception reply is good; only the judgement refuses it
    EXPECT_EQ(e.bus.exceptionCode(), 2);
    EXPECT_EQ(describe(e.bus.replyStatus(), e.bus.exceptionCode()), "exception 2 (illegal data address)");
}

TEST(Retries, AReadIsAskedAgainOnlyWhileItGetsNoValidReplyAndAWriteNever) {
    const QByteArray good = withCrc("01 03 02 00 07");
    QByteArray bad = good;
    bad[4] = char(bad[4] ^ 1);
    const QList<Chunk> silence;
    auto readOne = [](TModBus& b) { b.ReadHoldingRegisters(1, 1, 0); };
    const struct {
        const char* name;
        int retries;
        std::function<void(TModBus&)> send;
        QList<QList<Chunk>> replies;
        ReplyStatus status;
        int sent;
    } cases[] = {
        {"bad CRC, then good", 1, readOne, {{{1, bad}}, {{1, good}}}, ReplyStatus::Ok, 2},
        {"silence twice, then good", 2, readOne, {silence, silence, {{1, good}}}, ReplyStatus::Ok, 3},
        {"no retries", 0, readOne, {{{1, bad}}, {{1, good}}}, ReplyStatus::CrcError, 1},
        {"bad every time",
         2,
         readOne,
         {{{1, bad}}, {{1, bad}}, {{1, bad}}, {{1, good}}},
         ReplyStatus::CrcError,
         3},
        {"an exception is the meter's answer",
         3,
         readOne,
         {{{1, withCrc("01 83 02")}}},
         ReplyStatus::Exception,
         1},
        {"archive read",
         1,
         [](TModBus& b) { b.ReadArchiveByRecord(1, 3, 1, 0.0); },
         {silence, {{1, withCrc("01 41 0A 01 00 00 00 01 00 00 00 02 09")}}},
         ReplyStatus::Ok,
         2},
        {"write", 3, write6, {silence, {{1, withCrc("01 06 00 12 01 2C")}}}, ReplyStatus::NoReply, 1},
        {"coil write", 3, [](TModBus& b) { b.SetCoil(1, 3); }, {{{1, bad}}}, ReplyStatus::CrcError, 1},
        {"multiple write",
         3,
         [](TModBus& b) { b.WriteRegisters(1, 2, 19, hex("41 70 00 00")); },
         {silence},
         ReplyStatus::NoReply,
         1},
    };
    for (const auto& c : cases) {
        Engine e;
        e.bus.setRetries(c.retries);
        e.comm.script = c.replies;
        int ended = 0;
        QObject::connect(&e.bus, &TModBus::transactionEnded, [&] { ++ended; });
        c.send(e.bus);
        EXPECT_EQ(e.bus.replyStatus(), c.status) << c.name;
        EXPECT_EQ(e.comm.sent.size(), c.sent) << c.name;
        EXPECT_EQ(ended, c.sent) << c.name << ": every try is an exchange of its own in the log";
    }
}

TEST(Port, OpenFailureSendsNothingAndReportsOnce) {
    Engine e;
    e.comm.failOpen = true;
    QStringList reasons;
    QObject::connect(&e.bus, &TModBus::portOpenFailed, [&](const QString& r) { reasons << r; });
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_TRUE(e.comm.sent.isEmpty());
    EXPECT_FALSE(e.bus.replyFrame().crcOk());
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::PortError);
    EXPECT_EQ(reasons.size(), 1);
    EXPECT_FALSE(e.bus.inTransaction());
}

TEST(Port, ClosedPortIsOpenedAgainByTheNextTransaction) {
    Engine e;
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_TRUE(e.comm.open);
    e.comm.open = false; // the adapter went away
    e.comm.script = {{{1, withCrc("01 03 02 00 07")}}};
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_TRUE(e.comm.open);
    EXPECT_TRUE(e.bus.replyOk());
}

TEST(Rts, HoldTimeFollowsTheRequestLengthAndSpeed) {
    const auto read = [](TModBus& b) { b.ReadHoldingRegisters(1, 1, 0); }; // 8 bytes
    const struct {
        const char* settings;
        std::function<void(TModBus&)> send;
        int holdMs;
    } cases[] = {
        {"9600,n,8,1", read, 6},
        {"1200,n,8,1", read, 53},
        {"38400,n,8,1", [](TModBus& b) { b.ReportSlaveId(1); }, 1},                             // 4 bytes
        {"300,n,8,1", [](TModBus& b) { b.WriteRegisters(1, 2, 0, QByteArray(4, '\0')); }, 346}, // 13 bytes
        {"garbage", read, 1},
    };
    for (const auto& c : cases) {
        Engine e;
        e.bus.setRtsMode(true);
        e.comm.settings = c.settings;
        // RTS falls between a byte due a millisecond before the hold ends and one due a millisecond
        // after: the order the line saw them in shows the hold, with no clock read.
        e.comm.script = {{{c.holdMs - 1, hex("00")}, {2, hex("00")}}};
        c.send(e.bus);
        EXPECT_EQ(e.comm.events, (QStringList{"rts+", "out", "in", "rts-", "in"})) << c.settings;
    }
}

TEST(Rts, LineIsRaisedBeforeSendingAndDroppedBeforeTheReplyIsAwaited) {
    Engine e;
    e.bus.setRtsMode(true);
    e.comm.settings = "1200,n,8,1"; // 53 ms hold
    // A reply byte arriving during the hold must not end the wait early; it lands after rts-.
    e.comm.script = {{{80, withCrc("01 06 00 0F 00 00")}}};
    e.bus.WriteRegister(1, 15, 0);
    EXPECT_EQ(e.comm.events, (QStringList{"rts+", "out", "rts-", "in"}));
    EXPECT_TRUE(e.bus.replyOk());
}

TEST(Rts, StrayBytesBetweenTransactionsDoNotCutTheNextWaitShort) {
    Engine e;
    e.bus.setRtsMode(true);
    e.comm.settings = "300,n,8,1"; // 213 ms hold for 8 bytes, far longer than the silence
    e.comm.script = {{{1, withCrc("01 06 00 0F 00 00")}}};
    e.bus.WriteRegister(1, 15, 0);
    ASSERT_TRUE(e.bus.replyOk());
    // A straggler between two transactions starts the silence count of no transaction; it must
    // not end the next one before its reply could arrive.
    e.comm.receiveNow(hex("00"));
    e.comm.script = {{{250, withCrc("01 06 00 0F 00 00")}}};
    e.bus.WriteRegister(1, 15, 0);
    EXPECT_TRUE(e.bus.replyOk()) << describe(e.bus.replyStatus()).toStdString();
}

TEST(Rts, WithoutRtsModeTheLineIsLeftAlone) {
    Engine e;
    e.bus.WriteRegister(1, 15, 0);
    EXPECT_EQ(e.comm.events, QStringList{"out"});
}

TEST(CommandMode, ResultWordShortensTheWait) {
    Engine e;
    // Without the result word this would wait ten minutes and the test would time out; what comes
    // two silences after the word is past the wait.
    e.comm.script = {{{1, QByteArray("AT\r\r\nOK\r\n")}, {2 * kSilence, QByteArray("\r\n")}}};
    EXPECT_TRUE(e.bus.SendCommandLine("AT", 600000));
    EXPECT_EQ(e.bus.reply(), QByteArray("AT\r\r\nOK\r\n"));
}

TEST(CommandMode, EveryResultWordCounts) {
    for (const char* word :
         {"CONNECT 9600", "OK", "BUSY", "NO ANSWER", "NO DIALTONE", "ERROR", "NO CARRIER"}) {
        Engine e;
        const QByteArray answer = QByteArray("ATD1\r\r\n") + word + "\r\n";
        e.comm.script = {{{1, answer}, {2 * kSilence, QByteArray("\r\n")}}};
        e.bus.SendCommandLine("ATD1", 10 * kSilence);
        EXPECT_EQ(e.bus.reply(), answer) << word;
    }
}

TEST(CommandMode, WithoutResultWordTheCallersTimeHolds) {
    Engine e;
    // The second ring comes well past the silence, but within the caller's time.
    e.comm.script = {{{1, QByteArray("AT\r\r\nRING\r\n")}, {100, QByteArray("RING\r\n")}}};
    e.bus.SendCommandLine("AT", 150);
    EXPECT_EQ(e.bus.reply(), QByteArray("AT\r\r\nRING\r\nRING\r\n"));
}

TEST(Wait, ANegativeSilenceTimeEndsTheWaitInsteadOfHangingIt) {
    // A modem delay read as a negative number would give a timer that never runs; with a silent
    // modem the transaction would then never end.
    Engine e;
    EXPECT_TRUE(e.bus.SendCommandLine("ATD1", -1000));
    EXPECT_EQ(e.bus.replyFrame().size(), 0);
    EXPECT_FALSE(e.bus.inTransaction());
}

TEST(Wait, EventsKeepFlowingDuringATransaction) {
    Engine e;
    int ticks = 0;
    QTimer t;
    QObject::connect(&t, &QTimer::timeout, [&] { ++ticks; });
    t.start(5);
    e.comm.script = {{{kSilence, withCrc("01 06 00 0F 00 00")}}};
    e.bus.WriteRegister(1, 15, 0);
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(e.bus.replyOk());
}

TEST(Wait, InTransactionIsVisibleToHandlersRunInsideTheWait) {
    Engine e;
    bool seen = false;
    QTimer::singleShot(1, [&] { seen = e.bus.inTransaction(); });
    e.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(e.bus.inTransaction());
}

} // namespace

namespace {

// --- Fast completion ------------------------------------------------------------------------------

// Long enough that a reply ended by the silence is told apart from one ended early by what the
// engine says about it, short enough that a failing case does not hold the suite.
constexpr int kLongSilence = 300;

struct FastEngine : Engine {
    FastEngine() {
        bus.setModbusSilenceMs(kLongSilence);
        bus.setFastCompletion(true);
    }
};

struct SplitCase {
    const char* name;
    std::function<void(TModBus&)> send;
    QByteArray reply;
    ReplyStatus status;
};

TEST(FastCompletion, AReplySplitAnywhereEndsByItsLength) {
    const SplitCase cases[] = {
        {"read", readTwo, withCrc("01 03 04 00 0A 01 02"), ReplyStatus::Ok},
        {"exception", readTwo, withCrc("01 83 02"), ReplyStatus::Exception},
        {"archive", [](TModBus& b) { b.ReadArchiveByRecord(1, 3, 1, 0.0); },
         withCrc("01 41 0A 01 00 00 00 01 00 00 00 02 09"), ReplyStatus::Ok},
        {"identification", [](TModBus& b) { b.ReportSlaveId(1); }, withCrc("01 11 04 41 00 42 00"),
         ReplyStatus::Ok},
        {"coils", [](TModBus& b) { b.ReadCoils(1, 3, 1); }, withCrc("01 01 01 01"), ReplyStatus::Ok},
        {"write", write6, withCrc("01 06 00 12 01 2C"), ReplyStatus::Ok},
        {"writeMany", [](TModBus& b) { b.WriteRegisters(1, 2, 19, hex("41 70 00 00")); },
         withCrc("01 10 00 13 00 02"), ReplyStatus::Ok},
    };
    for (const SplitCase& c : cases) {
        for (int at = 1; at < c.reply.size(); ++at) {
            FastEngine e;
            e.comm.script = {{{1, c.reply.left(at)}, {5, c.reply.mid(at)}}};
            c.send(e.bus);
            EXPECT_EQ(e.bus.replyStatus(), c.status) << c.name << " split at " << at;
            EXPECT_EQ(e.bus.completion(), ReplyCompletion::Length) << c.name << " split at " << at;
            EXPECT_EQ(e.bus.reply(), c.reply) << c.name;
        }
    }
}

TEST(FastCompletion, AnotherLinesFirstArchiveReadLeavesTheLengthsThisLineReadsAlone) {
    // Each line's link thread works out reply lengths chunk after chunk, while another line sends
    // its first archive request (scripts/tsan sees whether the two share anything unguarded).
    std::atomic<bool> done{false};
    int wrong = 0;
    std::thread otherLine([&] {
        const std::uint8_t chunk[] = {1, 3, 4};
        while (!done)
            wrong += TModBus::expectedReplyLength(chunk, 3) != 9;
    });
    FastEngine e;
    const QByteArray reply = withCrc("01 41 0A 01 00 00 00 01 00 00 00 02 09");
    e.comm.script = {{{1, reply.left(5)}, {5, reply.mid(5)}}};
    archives::send(e.bus, 1, {.archive = 3, .count = 1, .mode = 0, .date = {}, .record = 0});
    done = true;
    otherLine.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(e.bus.replyOk());
    EXPECT_EQ(e.bus.completion(), ReplyCompletion::Length);
}

struct OddCase {
    const char* name;
    QList<Chunk> chunks;
    ReplyStatus status;
    ReplyCompletion completion;
};

TEST(FastCompletion, WhatDoesNotPlainlyAnswerTheRequestWaitsAsBefore) {
    const QByteArray good = withCrc("01 03 04 00 0A 01 02");
    QByteArray badCrc = good;
    badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 0x55);
    const OddCase cases[] = {
        {"badCrc", {{1, badCrc}}, ReplyStatus::CrcError, ReplyCompletion::Silence},
        {"otherAddress",
         {{1, withCrc("02 03 04 00 0A 01 02")}},
         ReplyStatus::WrongAddress,
         ReplyCompletion::Silence},
        {"otherKnownFunction",
         {{1, withCrc("01 04 04 00 0A 01 02")}},
         ReplyStatus::WrongFunction,
         ReplyCompletion::Silence},
        // A byte that looks like an address shifts the frame: its length no longer fits.
        {"garbageBefore", {{1, hex("01") + good}}, ReplyStatus::CrcError, ReplyCompletion::Silence},
        {"garbageAfterInTheSameChunk",
         {{1, good + hex("FF")}},
         ReplyStatus::CrcError,
         ReplyCompletion::Silence},
        {"byteCountPastTheBuffer",
         {{1, withCrc("01 03 FF 00 0A 01 02")}},
         ReplyStatus::WrongLength,
         ReplyCompletion::Silence},
        {"unknownFunction", {{1, withCrc("01 2B 0E 01")}}, ReplyStatus::WrongFunction, ReplyCompletion::Gap},
        // Noise whose second byte is no function of ours ends after the gap, as a broken frame.
        {"noiseBefore", {{1, hex("FF 00")}, {1, good}}, ReplyStatus::CrcError, ReplyCompletion::Gap},
        {"silence", {}, ReplyStatus::NoReply, ReplyCompletion::Silence},
    };
    for (const OddCase& c : cases) {
        FastEngine e;
        e.comm.script = {c.chunks};
        readTwo(e.bus);
        EXPECT_EQ(e.bus.replyStatus(), c.status) << c.name;
        EXPECT_EQ(e.bus.completion(), c.completion) << c.name;
    }
}

TEST(FastCompletion, TheNextRequestKeepsItsDistanceFromTheLastByte) {
    FastEngine e;
    e.comm.settings = "300,n,8,1"; // 3.5 characters: 117 ms
    // A straggler 30 ms after the reply: a request sent at once would take it into its own reply.
    e.comm.script = {{{1, withCrc("01 03 02 00 07")}, {30, hex("00")}}, {{50, withCrc("01 03 02 00 08")}}};
    e.bus.ReadHoldingRegisters(1, 1, 0);
    ASSERT_EQ(e.bus.completion(), ReplyCompletion::Length);
    e.bus.ReadHoldingRegisters(1, 1, 1);
    EXPECT_TRUE(e.bus.replyOk()) << describe(e.bus.replyStatus()).toStdString();
    EXPECT_EQ(e.bus.discardedBytes(), 1);
}

TEST(FastCompletion, BytesTrailingAReplyRestartTheGapBeforeTheNextRequest) {
    FastEngine e;
    e.comm.settings = "300,n,8,1"; // 3.5 characters: 117 ms
    // Two stragglers, each inside 3.5 characters of the one before: neither may land in the next
    // reply, however long after the first reply the second comes.
    e.comm.script = {{{1, withCrc("01 03 02 00 07")}, {100, hex("00")}, {100, hex("00")}},
                     {{100, withCrc("01 03 02 00 08")}}};
    e.bus.ReadHoldingRegisters(1, 1, 0);
    e.bus.ReadHoldingRegisters(1, 1, 1);
    EXPECT_TRUE(e.bus.replyOk()) << describe(e.bus.replyStatus()).toStdString();
    EXPECT_EQ(e.bus.discardedBytes(), 2);
}

TEST(FastCompletion, ALineThatNeverGoesQuietHoldsTheNextRequestOnlyWithinTheBound) {
    Engine e;
    e.bus.setFastCompletion(true);
    e.comm.script = {{{1, withCrc("01 03 02 00 07")}}, {{1, withCrc("01 03 02 00 08")}}};
    e.bus.ReadHoldingRegisters(1, 1, 0);
    QTimer babble;
    QObject::connect(&babble, &QTimer::timeout, [&] { e.comm.receiveNow(hex("55")); });
    babble.start(1);
    // Only so that an engine that waits for quiet for ever ends here instead of hanging the test.
    QTimer::singleShot(5000, &babble, &QTimer::stop);
    e.bus.ReadHoldingRegisters(1, 1, 1);
    EXPECT_TRUE(babble.isActive()) << "the request went only when the babbling stopped";
    EXPECT_EQ(e.comm.sent.size(), 2);
}

TEST(FastCompletion, GapsFollowTheLineSpeed) {
    const struct {
        const char* settings;
        bool rts;
        int replyGap, interFrameGap;
    } cases[] = {
        {"9600,n,8,1", false, 20, 4},         {"38400,n,8,1", false, 20, 1},
        {"300,n,8,1", false, 117, 117},       {"9600,n,8,1", true, 20, 4 + TModBus::RtsTurnaroundMs},
        {"tcp://host:4001", false, 117, 117},
    };
    for (const auto& c : cases) {
        Engine e;
        e.comm.settings = c.settings;
        e.bus.setRtsMode(c.rts);
        EXPECT_EQ(e.bus.replyGapMs(), c.replyGap) << c.settings;
        EXPECT_EQ(e.bus.interFrameGapMs(), c.interFrameGap) << c.settings;
    }
}

TEST(DefaultCompletion, AWholeReplyStillWaitsForTheFullSilence) {
    FakeComm comm;
    TModBus bus(&comm);
    ASSERT_EQ(bus.modbusSilenceMs(), TModBus::DefaultSilenceMs);
    comm.script = {{{-1, withCrc("01 03 02 00 07")}}};
    bool stillWaiting = false;
    QTimer::singleShot(TModBus::DefaultSilenceMs / 2, [&] { stillWaiting = bus.inTransaction(); });
    bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_TRUE(stillWaiting);
    EXPECT_TRUE(bus.replyOk());
    EXPECT_EQ(bus.completion(), ReplyCompletion::Silence);
}

} // namespace
