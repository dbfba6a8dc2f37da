// The "Измерения" view on a host of the test's own, against the in-process simulator: what each work
// mode and channel sends, what the view asks of its window (the poll, the channel panel, the flows
// for the trend) and what it shows.
#include "fakeviewhost.h"
#include "mainwindowfixture.h"

#include "app/countersview.h"
#include "ui/panelcounters.h"

#include <QGroupBox>

namespace {

class CountersOnHost : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startSimulator({device(1)}, atDeviceStart);
    }
    void TearDown() override {
        host.reset();
        MainWindowTest::TearDown();
    }
    // A fresh host and view, and nothing sent yet.
    void install() {
        host.reset();
        host = std::make_unique<FakeViewHost>();
        view = CountersView::install(*host);
        sim->clearLog();
    }
    bool shows(const char* group) const {
        return view->panel()->group(QString::fromLatin1(group))->isVisibleTo(view->panel());
    }

    std::unique_ptr<FakeViewHost> host;
    CountersView* view = nullptr;
};

TEST_F(CountersOnHost, EachWorkModeReadsShowsAndReportsItsOwn) {
    struct Case {
        const char* what;
        int address, workMode, channel;
        QStringList sent, log;
        bool panel, operation, verification;
        bool flow1, flow2; // which channels' flows reach the trend
    };
    const QStringList polled{"stop poll", "hide views", "start poll", "flows"};
    const auto onChannel = [](const char* panel) {
        return QStringList{"stop poll", "channel menu", panel, "hide views", "start poll", "flows"};
    };
    // clang-format off
    const Case cases[] = {
        {"operation",               1, 0, 1, {"r0+16", "r210+46"}, polled, true, true, false, true, true},
        {"verification, channel 1", 1, 1, 1, {"r0+16", "r24+3", "r210+13", "rc3+1"}, onChannel("channel panel 1"),
         true, false, true, true, false},
        {"verification, channel 2", 1, 1, 2, {"r0+16", "r24+3", "r235+13", "rc3+1"}, onChannel("channel panel 2"),
         true, false, true, false, true},
        // Answered with no flow to show: a gap in the trend, not a failure, and only the clock.
        {"a mode without a layout", 1, 2, 1, {"r0+16"}, polled, true, false, false, false, false},
        // Nothing shown as if current, the poll left stopped, and the trend told of the failure.
        {"no meter at the address", 9, 0, 1, {"r0+16"}, {"stop poll", "flows failed"}, false, false, false, false, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        sim->setHolding(1, 15, quint16(c.workMode));
        install();
        host->address = c.address;
        host->chosenChannel = c.channel;
        host->poll(ViewHost::GroupCounters);
        EXPECT_EQ(sent(), c.sent) << c.what;
        EXPECT_EQ(host->log, c.log) << c.what;
        EXPECT_EQ(view->panel()->isVisibleTo(&host->window), c.panel) << c.what;
        EXPECT_EQ(shows("GroupBox4"), c.operation) << c.what;
        EXPECT_EQ(shows("GroupBox5"), c.operation) << c.what;
        EXPECT_EQ(shows("GroupBox2"), c.verification) << c.what;
        ASSERT_EQ(host->flows.size(), 1) << c.what;
        EXPECT_EQ(host->flows[0].flow[0].has_value(), c.flow1) << c.what;
        EXPECT_EQ(host->flows[0].flow[1].has_value(), c.flow2) << c.what;
        EXPECT_EQ(host->linkStatus.text(0) == LinkFailure, c.address != 1) << c.what;
    }
}

} // namespace
