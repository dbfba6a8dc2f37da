// Memory stays flat while the slave serves request after request (the log of kastari-sim is
// bounded separately).
#include "sim/rtuslave.h"
#include "simtestutil.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace simtest;

namespace {

long residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

TEST(LongRun, ServesManyRequestsWithoutGrowing) {
    sim::SimOptions o;
    o.startTime = startTime();
    o.clockRuns = false;
    o.faults.append(sim::FaultSpec::atRate(sim::Fault::Noise, 0.1));
    sim::RtuSlave slave(o);
    const QList<QByteArray> mix = {request("01 03 00 00 00 7d"),
                                   request("01 03 00 ca 00 35"),
                                   request("01 41 00 00 00 08 01 00 00 0a 0e 03 18"),
                                   request("01 41 00 05 00 19 00 00 19"),
                                   request("01 06 00 12 00 0a"),
                                   request("01 10 00 1b 00 01 02 00 02"),
                                   request("01 05 00 04 ff 00"),
                                   request("01 01 00 03 00 01"),
                                   hex("01 11 c0 2c"),
                                   request("01 03 01 35 00 01")};
    auto serve = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const auto plan = slave.handle(mix[i % mix.size()]);
            ASSERT_FALSE(plan.isSilent());
            if (i % 100 == 0) slave.device(1)->advanceClock(60); // an hour passes every 6000 requests
        }
    };
    serve(5000);
    const long warm = residentKb();
    ASSERT_GT(warm, 0);
    serve(60000);
    const long after = residentKb();
    EXPECT_LT(after - warm, 2048) << "RSS grew from " << warm << " kB to " << after << " kB";
}

} // namespace
