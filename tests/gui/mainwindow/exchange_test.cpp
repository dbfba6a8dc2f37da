// The exchange helper every reader and editor uses: the link-failure indication, the progress bar
// advanced by received chunks, writes, and the pause after writes.
#include "mainwindowfixture.h"

#include "app/paramfiles.h"
#include "link/linkport.h"
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

// A window stand-in that notes, in order, what an operator action does to it.
class RecordingHost : public ActionHost {
  public:
    bool& linkIdle() override { return idle; }
    void enterHandler() override { log << "enter"; }
    void leaveHandler() override { log << "leave"; }
    bool polling() const override { return pollRunning; }
    void stopPolling() override {
        pollRunning = false;
        log << "stop";
    }
    void startPolling() override {
        pollRunning = true;
        log << "start";
    }
    QWidget* actionWindow() override { return &window; }

    bool idle = true;
    bool pollRunning = false;
    QStringList log;
    QWidget window;
};

struct Frame {
    OperatorAction::Guard guard;
    OperatorAction::Poll poll;
    bool idleBefore;
    bool runs, idleDuring, idleAfter;
    QStringList log; // "run" marks the action's body
};

TEST(OperatorActionTest, EveryKindRunsItsFrameInOrder) {
    using G = OperatorAction::Guard;
    using P = OperatorAction::Poll;
    const Frame frames[] = {
        {G::Taken, P::Paused, true, true, false, true, {"enter", "stop", "run", "start", "leave"}},
        {G::Taken, P::Untouched, false, false, false, false, {}}, // another action holds the guard
        {G::Opened, P::Stopped, false, true, false, true, {"enter", "stop", "run", "leave"}},
        {G::Opened, P::Untouched, true, true, true, true, {"enter", "run", "leave"}},
        {G::Held, P::Untouched, true, true, false, true, {"enter", "run", "leave"}},
        // Runs whether the guard is open or not, and leaves it as it was.
        {G::Untouched, P::Paused, false, true, false, false, {"enter", "stop", "run", "start", "leave"}},
        {G::Untouched, P::Untouched, true, true, true, true, {"enter", "run", "leave"}},
    };
    for (const Frame& f : frames) {
        RecordingHost host;
        host.idle = f.idleBefore;
        bool ran = false, idleDuring = false;
        {
            const OperatorAction action(host, {.guard = f.guard, .poll = f.poll});
            if (action) {
                host.log << "run";
                ran = true;
                idleDuring = host.idle;
            }
        }
        EXPECT_EQ(ran, f.runs) << f.log.join(',').toStdString();
        EXPECT_EQ(idleDuring, f.idleDuring) << f.log.join(',').toStdString();
        EXPECT_EQ(host.idle, f.idleAfter) << f.log.join(',').toStdString();
        EXPECT_EQ(host.log, f.log);
    }
}

TEST(OperatorActionTest, OnlyOneCommandHoldsTheGuardAndAnEditorRestartsThePoll) {
    RecordingHost host;
    {
        OperatorAction outer(host);
        EXPECT_TRUE(outer);
        const OperatorAction inner(host);
        EXPECT_FALSE(inner);
        outer.startPollAtEnd(true);
    }
    EXPECT_EQ(host.log, (QStringList{"enter", "start", "leave"}));
    EXPECT_TRUE(host.idle);
}

TEST(OperatorActionTest, TheWindowIsDisabledWithTheBusyCursorOnlyWhileItExchanges) {
    RecordingHost host;
    bool enabled = true, busy = false, normalForAQuestion = false;
    {
        const OperatorAction action(host);
        action.exchange([&] {
            enabled = host.window.isEnabled();
            busy =
                QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
            const NormalCursor question;
            normalForAQuestion = !QApplication::overrideCursor();
        });
        EXPECT_TRUE(host.window.isEnabled());
    }
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(busy);
    EXPECT_TRUE(normalForAQuestion);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(OperatorActionTest, AHeldPollComesBackAsItWas) {
    const struct {
        const char* name;
        bool pollBefore, guardFree;
        QStringList log;
        bool pollAfter;
    } cases[] = {
        {"running before", true, true, {"enter", "stop", "run", "start", "leave"}, true},
        {"stopped before", false, true, {"enter", "stop", "run", "leave"}, false},
        {"the guard held elsewhere", true, false, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingHost host;
        host.pollRunning = c.pollBefore;
        host.idle = c.guardFree;
        bool pollDuring = true;
        {
            OperatorAction action(host);
            if (action) {
                action.holdPoll();
                host.log << "run";
                pollDuring = host.pollRunning;
            }
        }
        if (c.guardFree) {
            EXPECT_FALSE(pollDuring);
        }
        EXPECT_EQ(host.log, c.log);
        EXPECT_EQ(host.pollRunning, c.pollAfter);
    }
}

TEST(OperatorActionTest, AnInnerExchangeLeavesTheWindowDisabledForTheOuterOne) {
    RecordingHost host;
    bool enabledAfterInner = true;
    {
        const OperatorAction outer(host);
        outer.exchange([&] {
            {
                const OperatorAction inner(host, {.guard = OperatorAction::Guard::Untouched});
                inner.exchange([] {});
            }
            enabledAfterInner = host.window.isEnabled();
        });
    }
    EXPECT_FALSE(enabledAfterInner);
    EXPECT_TRUE(host.window.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Work put off until the line is idle runs once, after whatever kept the line busy, never inside it.
TEST_F(ExchangeTest, WorkPutOffRunsOnceTheLineFallsIdle) {
    Exchange& link = form->exchange();
    const struct {
        const char* name;
        std::function<void()> busy;
    } cases[] = {
        {"a transaction", [&] { link.readHolding(0, 1); }},
        {"the pause after a write", [&] { link.pause(); }},
        {"an operator action with a transaction in it",
         [&] {
             const OperatorAction action(*form, {.guard = OperatorAction::Guard::Untouched});
             link.readHolding(0, 1);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int runs = 0;
        bool ranWhileBusy = false;
        QTimer::singleShot(0, form.get(), [&] {
            ASSERT_TRUE(form->exchangeRunning());
            afterExchange(*form, [&] {
                ++runs;
                ranWhileBusy |= form->exchangeRunning();
            });
        });
        c.busy();
        EXPECT_EQ(runs, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(runs, 1);
        QCoreApplication::processEvents();
        EXPECT_EQ(runs, 1);
        EXPECT_FALSE(ranWhileBusy);
    }
}

// A command that tries the port several times (the number asked twice by a save, the three
// exchanges of a meter choice, the two of shutdown) tells the operator once, as a poll does.
TEST_F(ExchangeTest, APortThatCannotBeOpenedIsReportedOncePerCommand) {
    ParamFiles* files = ParamFiles::install(*form);
    form->setGroupReader(TForm1::GroupSystem, [&] { form->exchange().readHolding(0, 21); });
    TForm1::setMenuEnabled(form->MenuTypeParam, true); // a meter was chosen
    TForm1::setCaption(form->Device[1], QStringLiteral("A   B адрес:   1"));
    PortMap::set(1, m_dir.filePath(QStringLiteral("no-such-port")));
    form->ModBus->MSComm1()->setPortOpen(false);
    const struct {
        const char* name;
        std::function<void()> run;
    } cases[] = {
        {"saving parameters", [&] { files->MenuSaveParamClick(); }},
        {"loading parameters", [&] { files->MenuLoadParamClick(); }},
        {"choosing the meter", [&] { form->DeviceClick(form->Device[1]); }},
        {"a poll", [&] { form->Timer1Timer(); }},
        {"shutting down", [&] { form->shutdown(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        form->LinkIdle = true;
        c.run();
        EXPECT_EQ(messages, QStringList{"Ошибка|Ошибка при открытии порта!"});
    }
}
