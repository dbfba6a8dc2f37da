// The program's own engine (TMSComm over QSerialPort, TModBus) against the simulator: every request
// kind the monitor sends, and faults as the engine sees them.
#include "link/linkport.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "sim/simulator.h"

#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class EngineVsSim : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::SimOptions o;
        o.pacing = false;
        simulator = std::make_unique<sim::Simulator>(o);
        ASSERT_TRUE(simulator->start());
        PortMap::set(9, simulator->portPath());
        bus.MSComm1()->setCommPort(9);
        bus.setModbusSilenceMs(60);
    }
    void TearDown() override { PortMap::clear(); }

    // Byte i of the reply; -1 past its end.
    int byte(int i) const {
        const QByteArray reply = bus.reply();
        return i < reply.size() ? quint8(reply[i]) : -1;
    }
    QByteArray data() const { return bus.reply().mid(3, byte(2)); }

    std::unique_ptr<sim::Simulator> simulator;
    TModBus bus;
};

TEST_F(EngineVsSim, EveryRequestKind) {
    bus.ReadHoldingRegisters(1, 21, 0);
    ASSERT_TRUE(bus.replyFrame().crcOk());
    EXPECT_EQ(bus.replyFrame().size(), 5 + 42);
    EXPECT_EQ(byte(3 + 2 * 12 + 1), 1) << "network number";

    bus.WriteRegister(1, 18, 123);
    EXPECT_TRUE(bus.replyOk());
    EXPECT_EQ(simulator->holding(1, 18), 123);

    bus.WriteRegisters(1, 2, 24, QByteArray::fromHex("3fc00000")); // 1.5 as a register float
    EXPECT_TRUE(bus.replyOk());
    EXPECT_FLOAT_EQ(simulator->holdingFloat(1, 24), 1.5f);

    bus.SetCoil(1, 3);
    EXPECT_TRUE(bus.replyOk());
    bus.ReadCoils(1, 3, 1);
    ASSERT_TRUE(bus.replyOk());
    EXPECT_EQ(byte(3), 1);
    bus.ClearCoil(1, 3);
    EXPECT_FALSE(simulator->coil(1, 3));

    bus.ReportSlaveId(1);
    ASSERT_TRUE(bus.replyFrame().crcOk());
    EXPECT_TRUE(data().startsWith(QByteArray("KASTARI-DK\0", 11)));

    const QDateTime lastHour = QDateTime::currentDateTime().addSecs(-3600);
    bus.ReadArchiveByDate(1, 0, 8, lastHour.addSecs(-7 * 3600));
    ASSERT_TRUE(bus.replyOk());
    EXPECT_EQ(byte(2), 8 * 29);
    bus.ReadArchiveByRecord(1, 5, 25, 100.0);
    ASSERT_TRUE(bus.replyOk());
    EXPECT_EQ(byte(2), 250);

    bus.ReadHoldingRegisters(1, 1, 309);
    EXPECT_TRUE(bus.replyFrame().crcOk()) << "an exception reply checks";
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::Exception);
    EXPECT_EQ(bus.exceptionCode(), 2);
}

TEST_F(EngineVsSim, FaultsAsTheEngineSeesThem) {
    struct Case {
        sim::Fault fault;
        ReplyStatus status;
    };
    for (const Case& c :
         {Case{sim::Fault::Silence, ReplyStatus::NoReply}, Case{sim::Fault::BadCrc, ReplyStatus::CrcError},
          Case{sim::Fault::Chunks, ReplyStatus::Ok},
          Case{sim::Fault::WrongAddress, ReplyStatus::WrongAddress},
          Case{sim::Fault::Exception, ReplyStatus::Exception},
          Case{sim::Fault::Oversize, ReplyStatus::Overflow}}) {
        simulator->clearFaults();
        simulator->setFault(sim::FaultSpec::onNth(c.fault, 1));
        bus.ReadHoldingRegisters(1, 2, 0);
        EXPECT_EQ(bus.replyStatus(), c.status) << sim::faultName(c.fault).toStdString();
    }
    simulator->clearFaults();
    bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_TRUE(bus.replyOk());
    EXPECT_EQ(simulator->requests().size(), 7);
}

TEST_F(EngineVsSim, ASlowDeviceIsReadAndAMeterGoneMidReplyIsALostLink) {
    // The simulator's slow device: a 125-byte reply in 3-byte chunks 40 ms apart, 1.7 s.
    bus.setModbusSilenceMs(TModBus::DefaultSilenceMs);
    bus.setFastCompletion(true);
    simulator->setFault(sim::FaultSpec::onNth(sim::Fault::Chunks, 1));
    bus.ReadHoldingRegisters(1, 60, 0);
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::Ok) << describe(bus.replyStatus()).toStdString();

    simulator->setFault(sim::FaultSpec::onNth(sim::Fault::ClosePort, 1));
    bus.ReadHoldingRegisters(1, 10, 0);
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::LinkLost) << describe(bus.replyStatus()).toStdString();
    EXPECT_GT(bus.replyFrame().size(), 0);
}

// The calling thread (the window's) held up for 2 s while a reply is on its way: the link thread
// still reads the reply as it comes and ends it by its own silence, so the same bytes are judged
// the same.
TEST(EngineBesideABusyWindow, AThreadHeldUpMidReplyChangesNeitherTheFramesNorTheVerdict) {
    sim::SimOptions o;
    o.baud = 1200; // 47 bytes of reply take about 0.4 s
    sim::Simulator simulator(o);
    ASSERT_TRUE(simulator.start());
    TModBus bus;
    bus.MSComm1()->setSystemPortName(simulator.portPath());
    bus.MSComm1()->setSettings(QStringLiteral("1200,n,8,1"));
    // Long enough for the first byte at this speed, and far shorter than the hold-up.
    bus.setModbusSilenceMs(200);
    for (const bool fast : {false, true}) {
        simulator.clearLog();
        bus.setFastCompletion(fast);
        QList<QByteArray> sent;
        int arrived = 0;
        const auto onSent = QObject::connect(&bus, &TModBus::frameSent, [&](const QByteArray& frame) {
            sent << frame;
            // Well inside the reply, while the silence that ends it would be running.
            QTimer::singleShot(100, [] { QThread::msleep(2000); });
        });
        const auto onChunk =
            QObject::connect(&bus, &TModBus::chunkReceived, [&](int bytes) { arrived += bytes; });
        bus.ReadHoldingRegisters(1, 21, 0);
        QObject::disconnect(onSent);
        QObject::disconnect(onChunk);

        EXPECT_TRUE(bus.replyOk()) << "fast " << fast << ": " << describe(bus.replyStatus()).toStdString();
        EXPECT_EQ(bus.completion(), fast ? ReplyCompletion::Length : ReplyCompletion::Silence) << fast;
        EXPECT_EQ(simulator.requests(), sent) << fast;
        QByteArray answered;
        for (const sim::LogEntry& e : simulator.log())
            if (!e.fromMaster) answered += e.frame;
        EXPECT_EQ(bus.reply(), answered) << fast;
        EXPECT_EQ(arrived, answered.size()) << fast;
        // About 0.4 s at this speed: timed on the line, not when the held-up thread got round to it.
        EXPECT_GT(bus.replyMs(), 0) << fast;
        EXPECT_LT(bus.replyMs(), 2000) << fast;
    }
}

} // namespace
