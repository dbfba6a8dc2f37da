// The RTU slave in front of the meters: several meters on one line, silence where a device keeps
// silent, and every fault as the API provokes it.
#include "sim/rtuslave.h"
#include "simtestutil.h"

#include <gtest/gtest.h>

using namespace simtest;
using sim::Fault;
using sim::FaultSpec;
using sim::RtuSlave;
using sim::SimOptions;

namespace {

SimOptions line(int meters = 1) {
    SimOptions o;
    o.startTime = startTime();
    o.clockRuns = false;
    for (int i = 0; i < meters; ++i) {
        sim::DeviceOptions d;
        d.address = i == 0 ? 1 : 5 * i;
        o.devices.append(d);
    }
    return o;
}

const QByteArray readTime = hex("01 03 00 00 00 01 84 0a");

TEST(Slave, AnswersEachMeterAtItsAddressAndNoOneElse) {
    RtuSlave slave(line(3)); // meters 1, 5 and 10
    for (int address : {1, 5, 10}) {
        QByteArray req;
        req += char(address);
        req += hex("03 00 0c 00 01");
        const auto plan = slave.handle(crc16::appended(req));
        ASSERT_EQ(plan.chunks.size(), 1) << address;
        const QByteArray reply = plan.bytes();
        EXPECT_EQ(quint8(reply[0]), address);
        EXPECT_EQ(quint8(reply[4]), address) << "register 12 holds the network number";
    }
    for (const char* silent :
         {"09 03 00 00 00 01 85 42", "01 03 00 00 00 01 84 0b", "00 03 00 00 00 01 85 db"}) {
        const auto plan = slave.handle(hex(silent));
        EXPECT_TRUE(plan.isSilent()) << silent;
        EXPECT_FALSE(plan.note.isEmpty()) << silent;
    }
}

TEST(Slave, BroadcastWriteReachesEveryMeterSilently) {
    RtuSlave slave(line(2));
    EXPECT_TRUE(slave.handle(hex("00 06 00 0f 00 01 79 d8")).isSilent());
    EXPECT_EQ(slave.device(1)->holding(15), 1);
    EXPECT_EQ(slave.device(5)->holding(15), 1);
}

struct FaultCase {
    const char* name;
    Fault kind;
    std::function<void(const sim::ReplyPlan&, const QByteArray& good)> check;
};

const FaultCase faultCases[] = {
    {"Silence", Fault::Silence, [](const auto& p, const auto&) { EXPECT_TRUE(p.isSilent()); }},
    {"BadCrc", Fault::BadCrc,
     [](const auto& p, const auto& good) {
         ASSERT_EQ(p.bytes().size(), good.size());
         EXPECT_EQ(p.bytes().left(good.size() - 2), good.left(good.size() - 2));
         EXPECT_NE(crc16::compute(p.bytes()), 0);
     }},
    {"Chunks", Fault::Chunks,
     [](const auto& p, const auto& good) {
         EXPECT_EQ(p.bytes(), good);
         ASSERT_EQ(p.chunks.size(), (good.size() + 2) / 3);
         EXPECT_EQ(p.chunks[0].delayMs, 0);
         for (int i = 1; i < p.chunks.size(); ++i)
             EXPECT_EQ(p.chunks[i].delayMs, 40);
     }},
    {"Late", Fault::Late,
     [](const auto& p, const auto& good) {
         ASSERT_EQ(p.chunks.size(), 1);
         EXPECT_EQ(p.chunks[0].bytes, good);
         EXPECT_GT(p.chunks[0].delayMs, 500) << "past the master's silence time";
     }},
    {"Noise", Fault::Noise,
     [](const auto& p, const auto& good) {
         EXPECT_EQ(p.bytes().size(), good.size() + 4);
         EXPECT_EQ(p.bytes().right(good.size()), good);
     }},
    {"Oversize", Fault::Oversize,
     [](const auto& p, const auto& good) {
         EXPECT_GT(p.bytes().size(), 256);
         EXPECT_EQ(crc16::compute(p.bytes()), 0);
         EXPECT_EQ(p.bytes().left(2), good.left(2));
     }},
    {"Exception", Fault::Exception,
     [](const auto& p, const auto&) { EXPECT_EQ(toHex(p.bytes()), toHex(request("01 83 04"))); }},
    {"WrongAddress", Fault::WrongAddress,
     [](const auto& p, const auto& good) {
         EXPECT_EQ(quint8(p.bytes()[0]), 2);
         EXPECT_EQ(crc16::compute(p.bytes()), 0);
         EXPECT_EQ(p.bytes().mid(1, good.size() - 3), good.mid(1, good.size() - 3));
     }},
    {"ClosePort", Fault::ClosePort,
     [](const auto& p, const auto& good) {
         EXPECT_TRUE(p.closePort);
         EXPECT_EQ(p.bytes(), good.left(good.size() / 2));
     }},
};

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, ShapeTheReplyAndSayWhich) {
    RtuSlave slave(line());
    const QByteArray good = slave.handle(readTime).bytes();
    slave.setFault(FaultSpec::always(GetParam().kind));
    const auto plan = slave.handle(readTime);
    GetParam().check(plan, good);
    EXPECT_TRUE(plan.note.contains(sim::faultName(GetParam().kind))) << plan.note.toStdString();
    slave.clearFaults();
    EXPECT_EQ(slave.handle(readTime).bytes(), good);
}

INSTANTIATE_TEST_SUITE_P(Slave, Faults, ::testing::ValuesIn(faultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Slave, NthFaultHitsOnlyThatRequest) {
    RtuSlave slave(line());
    slave.setFault(FaultSpec::onNth(Fault::Silence, 3));
    QList<bool> silent;
    for (int i = 0; i < 6; ++i)
        silent.append(slave.handle(readTime).isSilent());
    EXPECT_EQ(silent, (QList<bool>{false, false, true, false, false, false}));
}

TEST(Slave, RateFaultFollowsTheSeed) {
    auto run = [](quint32 seed) {
        auto o = line();
        o.seed = seed;
        o.faults.append(FaultSpec::atRate(Fault::Silence, 0.3));
        RtuSlave slave(o);
        QList<bool> silent;
        for (int i = 0; i < 200; ++i)
            silent.append(slave.handle(readTime).isSilent());
        return silent;
    };
    const auto a = run(7);
    EXPECT_EQ(a, run(7));
    EXPECT_NE(a, run(8));
    const auto hits = a.count(true);
    EXPECT_GT(hits, 30);
    EXPECT_LT(hits, 95);
}

TEST(Slave, FaultForOneAddressLeavesTheOthers) {
    RtuSlave slave(line(2));
    auto f = FaultSpec::always(Fault::Exception);
    f.address = 5;
    f.exceptionCode = 6;
    slave.setFault(f);
    EXPECT_EQ(quint8(slave.handle(readTime).bytes()[1]), 3);
    EXPECT_EQ(toHex(slave.handle(request("05 03 00 00 00 01")).bytes()), toHex(request("05 83 06")));
}

TEST(Slave, SettingAFaultAgainReplacesIt) {
    RtuSlave slave(line());
    slave.setFault(FaultSpec::always(Fault::Late));
    auto later = FaultSpec::always(Fault::Late);
    later.lateDelayMs = 900;
    slave.setFault(later);
    EXPECT_EQ(slave.faults().size(), 1);
    EXPECT_EQ(slave.handle(readTime).chunks[0].delayMs, 900);
}

TEST(Slave, SilentWhileFaultedWritesStillHappen) {
    RtuSlave slave(line());
    slave.setFault(FaultSpec::always(Fault::Silence));
    EXPECT_TRUE(slave.handle(request("01 06 00 0f 00 01")).isSilent());
    EXPECT_EQ(slave.device(1)->holding(15), 1);
}

} // namespace
