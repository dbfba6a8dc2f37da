// The exchange helper every reader and editor uses: the link-failure indication, the progress bar
// advanced by received chunks, writes, and the pause after writes.
#include "mainwindowfixture.h"

#include "ui/statusbar.h"

#include <QProgressBar>

namespace {

class ExchangeTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        writeSensCfg(sensCfg());
        startSimulator({device(1)}, [](sim::SimOptions& o) {
            sim::FaultSpec chunks = sim::FaultSpec::always(sim::Fault::Chunks);
            chunks.chunkSize = 7;
            chunks.chunkGapMs = 5;
            o.faults.append(chunks);
        });
        createWindow();
        form->DeviceAddress = 1;
    }
    bool failureShown() const {
        return form->StatusBar1->text(0) == QStringLiteral("          Ошибка связи") &&
               form->StatusBar1->bevel(0) == StatusBar::Bevel::Raised;
    }
    bool failureCleared() const {
        return form->StatusBar1->text(0).isEmpty() && form->StatusBar1->bevel(0) == StatusBar::Bevel::Lowered;
    }
};

} // namespace

TEST_F(ExchangeTest, ReadsShowAndClearTheLinkFailure) {
    Exchange& link = form->exchange();
    struct Case {
        const char* name;
        int address, first, count;
        bool ok;
    };
    const Case cases[] = {
        {"good read", 1, 0, 21, true},
        {"nobody at the address", 9, 0, 21, false},
        {"exception reply (past the register map)", 1, 400, 2, false},
        {"good read again", 1, 96, 1, true},
    };
    for (const Case& c : cases) {
        form->DeviceAddress = c.address;
        const std::optional<RegisterBlock> block = link.readHolding(c.first, c.count);
        EXPECT_EQ(block.has_value(), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(block->first(), c.first) << c.name;
            EXPECT_EQ(block->count(), c.count) << c.name;
            EXPECT_TRUE(failureCleared()) << c.name;
        } else {
            EXPECT_TRUE(failureShown()) << c.name;
        }
    }
}

TEST_F(ExchangeTest, WritesReportButLeaveTheStatusAlone) {
    Exchange& link = form->exchange();
    link.showLinkFailure();
    EXPECT_TRUE(link.writeRegister(18, 120));
    EXPECT_EQ(sim->holding(1, 18), 120);
    EXPECT_TRUE(link.setCoil(3));
    EXPECT_TRUE(sim->coil(1, 3));
    EXPECT_TRUE(link.clearCoil(3));
    EXPECT_FALSE(sim->coil(1, 3));
    EXPECT_TRUE(failureShown());
    form->DeviceAddress = 9;
    EXPECT_FALSE(link.writeRegister(18, 1));
    EXPECT_TRUE(failureShown());
}

TEST_F(ExchangeTest, ArmedProgressBarAdvancesByEveryChunk) {
    Exchange& link = form->exchange();
    link.readHolding(0, 21);
    EXPECT_EQ(form->ProgressBar1->value(), 0); // not armed: untouched

    link.armProgress();
    EXPECT_EQ(form->ProgressBar1->property("Tag").toInt(), 1);
    link.readHolding(0, 21);
    EXPECT_EQ(form->ProgressBar1->value(), 5 + 42);
    link.readHolding(0, 100);
    link.readHolding(100, 100);
    EXPECT_EQ(form->ProgressBar1->value(), 250); // held at the end of the bar
    link.resetProgress();
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(form->ProgressBar1->property("Tag").toInt(), 0);
}

TEST_F(ExchangeTest, PauseKeepsEventsFlowingUntilTheTimerTicks) {
    bool ranDuringPause = false;
    QTimer::singleShot(0, form.get(), [&] {
        ranDuringPause = true;
        EXPECT_TRUE(form->exchange().pausing());
        EXPECT_TRUE(form->exchangeRunning());
    });
    form->exchange().pause();
    EXPECT_TRUE(ranDuringPause);
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_EQ(form->Timer2->property("Tag").toInt(), 0);
    EXPECT_FALSE(form->exchange().pausing());
}

TEST_F(ExchangeTest, PauseAfterWritesIsTimedToTheMillisecond) {
    TForm1 fresh; // the fixture's window has its pause shortened
    EXPECT_EQ(fresh.Timer2->interval(), 500);
    EXPECT_EQ(fresh.Timer2->timerType(), Qt::PreciseTimer);
}

TEST(GuardedActionTest, OnlyOneActionHoldsTheGuard) {
    bool linkIdle = true;
    {
        GuardedAction outer(linkIdle);
        EXPECT_TRUE(outer.acquired());
        EXPECT_FALSE(linkIdle);
        GuardedAction inner(linkIdle);
        EXPECT_FALSE(inner.acquired());
    }
    EXPECT_TRUE(linkIdle);
    linkIdle = false;
    {
        GuardedAction blocked(linkIdle);
        EXPECT_FALSE(blocked);
    }
    EXPECT_FALSE(linkIdle); // a guard it never took is not given back
}
