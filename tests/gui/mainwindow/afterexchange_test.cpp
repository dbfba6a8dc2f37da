// A menu command that fires inside an exchange (the engine waits by processing events) waits for it
// to end, then runs once.
#include "fakeviewhost.h"

#include "app/viewhost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

void processFor(
    int ms, const std::function<bool()>& done = [] { return false; }) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && !done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(AfterExchange, ACommandInsideAnExchangeRunsOnceWhenItEnds) {
    FakeViewHost host;
    int runs = 0;
    afterExchange(host, [&] { ++runs; });
    EXPECT_EQ(runs, 1) << "with nothing under way it runs at once";

    host.enterHandler();
    afterExchange(host, [&] { ++runs; });
    processFor(200);
    EXPECT_EQ(runs, 1) << "nothing runs inside the exchange";
    host.leaveHandler();
    processFor(5000, [&] { return runs == 2; });
    EXPECT_EQ(runs, 2);
    processFor(200);
    EXPECT_EQ(runs, 2) << "and only once";
}

TEST(AfterExchange, WorkWaitsAgainWhenAnotherExchangeBeginsBeforeItsTurn) {
    FakeViewHost host;
    int runs = 0;
    host.enterHandler();
    afterExchange(host, [&] { ++runs; });
    host.leaveHandler(); // the line fell idle: its turn comes next
    host.enterHandler(); // but another exchange begins before it
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0);
    host.leaveHandler();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

} // namespace
