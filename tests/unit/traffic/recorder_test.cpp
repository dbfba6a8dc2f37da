// The exchange log fed by the engine over a scripted line: verdicts, the ring, the counters, the CSV.
#include "fakecomm.h"
#include "hex.h"
#include "link/crc16.h"
#include "link/trafficrecorder.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr int kSilence = 30;

QByteArray withCrc(const char* text) {
    return crc16::appended(hex(text));
}

struct Line {
    FakeComm comm;
    TModBus bus{&comm};
    TrafficRecorder recorder;
    Line() {
        bus.setModbusSilenceMs(kSilence);
        recorder.attach(bus);
    }
    QList<TrafficEntry> log() const { return recorder.since(0); }
};

struct VerdictCase {
    const char* name;
    QByteArray reply; // empty: silence
    TrafficDirection direction;
    ReplyStatus status;
    int exceptionCode;
    int AddressCounters::*counter;
};

class Verdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(Verdicts, EachExchangeIsTheRequestThenItsJudgedEnd) {
    const VerdictCase& c = GetParam();
    Line line;
    if (!c.reply.isEmpty()) line.comm.script = {{{1, c.reply}}};
    line.bus.ReadHoldingRegisters(1, 1, 0);

    const QList<TrafficEntry> log = line.log();
    // What does not fit the buffer is thrown away on the way, and logged as such.
    ASSERT_EQ(log.size(), c.status == ReplyStatus::Overflow ? 3 : 2);
    EXPECT_EQ(log[0].direction, TrafficDirection::Sent);
    EXPECT_EQ(log[0].bytes, withCrc("01 03 00 00 00 01"));
    EXPECT_FALSE(log[0].isError());
    const TrafficEntry& end = log.back();
    EXPECT_EQ(end.direction, c.direction);
    EXPECT_EQ(end.bytes, c.reply.left(TModBus::BufferSize));
    EXPECT_EQ(end.request, log[0].bytes);
    EXPECT_EQ(end.address, 1) << "counted for the device asked, whoever answered";
    EXPECT_EQ(end.status, c.status);
    EXPECT_EQ(end.exceptionCode, c.exceptionCode);
    EXPECT_EQ(end.isError(), c.status != ReplyStatus::Ok);
    EXPECT_EQ(end.replyMs >= 0, !c.reply.isEmpty());

    const AddressCounters counters = line.recorder.counters().at(1);
    EXPECT_EQ(counters.requests, 1);
    EXPECT_EQ(counters.*c.counter, 1);
}

QByteArray badCrc() {
    QByteArray b = withCrc("01 03 02 12 34");
    b[b.size() - 1] = char(b.back() ^ 0x55);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, Verdicts,
    ::testing::Values(
        VerdictCase{"Ok", withCrc("01 03 02 12 34"), TrafficDirection::Received, ReplyStatus::Ok, 0,
                    &AddressCounters::good},
        VerdictCase{
            "NoReply", {}, TrafficDirection::Event, ReplyStatus::NoReply, 0, &AddressCounters::noReply},
        VerdictCase{"Crc", badCrc(), TrafficDirection::Received, ReplyStatus::CrcError, 0,
                    &AddressCounters::crcErrors},
        VerdictCase{"Exception", withCrc("01 83 02"), TrafficDirection::Received, ReplyStatus::Exception, 2,
                    &AddressCounters::exceptions},
        VerdictCase{"OtherAddress", withCrc("02 03 02 12 34"), TrafficDirection::Received,
                    ReplyStatus::WrongAddress, 0, &AddressCounters::otherErrors},
        VerdictCase{"Short", withCrc("01 03 04 12 34"), TrafficDirection::Received, ReplyStatus::WrongLength,
                    0, &AddressCounters::otherErrors},
        VerdictCase{"Overflow", crc16::appended(QByteArray(300, '\x01')), TrafficDirection::Received,
                    ReplyStatus::Overflow, 0, &AddressCounters::otherErrors}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Recorder, StaleBytesAreLoggedBeforeTheRequestThatThrewThemAway) {
    Line line;
    line.comm.arrive(withCrc("01 06 00 1D 00 08"));
    QThread::msleep(5);
    line.bus.WriteRegister(1, 15, 0);
    const QList<TrafficEntry> log = line.log();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0].direction, TrafficDirection::Discarded);
    EXPECT_EQ(log[0].bytes, withCrc("01 06 00 1D 00 08"));
    EXPECT_TRUE(log[0].isError());
    EXPECT_EQ(log[0].address, -1);
    EXPECT_EQ(log[1].direction, TrafficDirection::Sent);
    EXPECT_EQ(log[2].status, ReplyStatus::NoReply);
}

TEST(Recorder, BytesThrownAwayOneAfterAnotherAreOneEntry) {
    TrafficRecorder r;
    r.discarded(hex("01 03"));
    r.discarded(hex("02"));
    EXPECT_TRUE(r.entries().empty());
    QThread::msleep(TrafficRecorder::DiscardGapMs + 10);
    QCoreApplication::processEvents();
    r.discarded(hex("FF"));
    r.sent(hex("01 03 00 00 00 01 84 0A"), false);
    ASSERT_EQ(r.entries().size(), 3u);
    EXPECT_EQ(r.entries()[0].bytes, hex("01 03 02"));
    EXPECT_EQ(r.entries()[1].bytes, hex("FF")) << "after a pause of the line, another entry";
    r.discarded(QByteArray(TModBus::BufferSize, 'x'));
    EXPECT_EQ(r.entries().size(), 4u) << "a frame's worth is logged at once";
}

TEST(Recorder, APortThatCannotOpenIsAnEventAndNoRequest) {
    Line line;
    line.comm.failOpen = true;
    line.bus.ReadHoldingRegisters(7, 1, 0);
    const QList<TrafficEntry> log = line.log();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0].direction, TrafficDirection::Event);
    EXPECT_EQ(log[0].status, ReplyStatus::PortError);
    EXPECT_EQ(log[0].portError, QStringLiteral("fake: no such port"));
    EXPECT_EQ(log[0].function(), 3);
    EXPECT_TRUE(line.recorder.counters().empty());
}

TEST(Recorder, AModemAnswerIsTextNotAFailedFrame) {
    Line line;
    line.comm.script = {{{1, QByteArray("AT\r\r\nOK\r\n")}}};
    line.bus.SendCommandLine(QStringLiteral("AT"), kSilence);
    const QList<TrafficEntry> log = line.log();
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].modem);
    EXPECT_TRUE(log[1].modem);
    EXPECT_FALSE(log[1].isError());
    EXPECT_EQ(log[1].function(), -1);
    EXPECT_TRUE(line.recorder.counters().empty());
}

// An engine handed its verdicts with reply times of the test's choosing, which a line's clock would
// not give.
struct TimedVerdicts : TModBus {
    using TModBus::TModBus;
    void answer(const QByteArray& reply, int replyMs) {
        finish(reply, Fault::None, ReplyCompletion::Silence, {}, replyMs);
    }
};

TEST(Recorder, ReplyTimesAreTheLinesAndOnlyAnswersAreTimed) {
    TrafficRecorder r;
    FakeComm comm;
    TimedVerdicts bus(&comm);
    bus.setModbusSilenceMs(1);
    const auto exchange = [&](int replyMs, const char* reply) {
        bus.ReadHoldingRegisters(5, 1, 0); // unanswered: the verdict comes next
        r.sent(bus.requestFrame().bytes(), false);
        bus.answer(reply ? withCrc(reply) : QByteArray(), replyMs);
        r.exchangeEnded(bus);
    };
    exchange(40, "05 03 02 00 01");
    exchange(100, "05 03 02 00 01");
    exchange(-1, nullptr); // no reply: not timed
    const AddressCounters c = r.counters().at(5);
    EXPECT_EQ(c.requests, 3);
    EXPECT_EQ(c.timedReplies, 2);
    EXPECT_DOUBLE_EQ(c.meanMs(), 70.0);
    EXPECT_EQ(c.worstMs, 100);
}

TEST(Recorder, TheRingKeepsTheNewestAndTheCountersKeepEverything) {
    Line line;
    TrafficRecorder small(3);
    small.attach(line.bus);
    for (int i = 0; i < 3; ++i)
        line.bus.ReadHoldingRegisters(1, 1, 0); // six entries each
    ASSERT_EQ(small.entries().size(), 3u);
    EXPECT_EQ(small.entries().front().number, 4u);
    EXPECT_EQ(small.since(0).size(), 3);
    EXPECT_EQ(small.since(6).size(), 1);
    EXPECT_TRUE(small.since(7).isEmpty());
    EXPECT_EQ(small.counters().at(1).requests, 3);
    small.clear();
    EXPECT_TRUE(small.counters().empty());
    line.bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(small.entries().front().number, 7u) << "numbers are never reused";
}

TEST(Recorder, OtherListenersKeepTheirWorkAndOutliveTheRecorder) {
    FakeComm comm;
    TModBus bus(&comm);
    bus.setModbusSilenceMs(kSilence);
    int chunks = 0;
    QObject::connect(&bus, &TModBus::chunkReceived, [&](int) { ++chunks; });
    auto recorder = std::make_unique<TrafficRecorder>();
    recorder->attach(bus);
    comm.script = {{{1, withCrc("01 03 02 00 01")}}, {{1, withCrc("01 03 02 00 01")}}};
    bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(recorder->entries().size(), 2u);
    recorder.reset();
    bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(chunks, 2);
}

TEST(Csv, RowsAreTheBytesAToolReads) {
    const QTimeZone moscow(3 * 3600);
    const qint64 t = QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0, 7), moscow).toMSecsSinceEpoch();
    const TrafficEntry tx{.timeMs = t, .bytes = hex("01 03 00 00 00 01 84 0A"), .address = 1};
    const TrafficEntry rx{.timeMs = t + 1993,
                          .direction = TrafficDirection::Received,
                          .bytes = hex("01 83 02 C0 F1"),
                          .request = tx.bytes,
                          .address = 1,
                          .status = ReplyStatus::Exception,
                          .exceptionCode = 2,
                          .completion = ReplyCompletion::Length,
                          .replyMs = 41};
    const TrafficEntry port{.timeMs = t,
                            .direction = TrafficDirection::Event,
                            .request = tx.bytes,
                            .address = 1,
                            .status = ReplyStatus::PortError,
                            .portError = QStringLiteral("Нет порта, \"COM3\"")};
    const TrafficEntry stale{.timeMs = t, .direction = TrafficDirection::Discarded, .bytes = hex("FF")};

    EXPECT_EQ(traffic::csvHeader(), "time,direction,address,function,bytes,verdict,completion,reply_ms\r\n");
    EXPECT_EQ(traffic::csvRow(tx, moscow),
              "2026-03-01T10:00:00.007+03:00,tx,1,3,01 03 00 00 00 01 84 0A,,,\r\n");
    EXPECT_EQ(traffic::csvRow(rx, moscow), "2026-03-01T10:00:02.000+03:00,rx,1,131,01 83 02 C0 F1,exception "
                                           "2 (illegal data address),length,41\r\n");
    EXPECT_EQ(traffic::csvRow(port, moscow),
              QByteArray("2026-03-01T10:00:00.007+03:00,event,1,3,,"
                         "\"port cannot be opened: Нет порта, \"\"COM3\"\"\",,\r\n"));
    EXPECT_EQ(traffic::csvRow(stale, QTimeZone::utc()),
              "2026-03-01T07:00:00.007Z,discarded,,,FF,stale bytes discarded,,\r\n");
}

} // namespace
