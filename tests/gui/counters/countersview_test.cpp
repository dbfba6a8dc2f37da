// The "Измерения" view in the real main window against the in-process simulator: which layout each
// work mode shows and what it reads, the volumes and conditions of both channels, the verification
// layout's buttons and editors, and how link failures end.
#include "countersfixture.h"

#include "ui/confirmdialog.h"

#include <QComboBox>

namespace {

QString visibleState(ConditionDisplay* display) {
    for (QLabel* t : {display->normalText(), display->abnormalText(), display->failureText()})
        if (t->isVisibleTo(display)) return t->text();
    return {};
}

} // namespace

TEST_F(Counters, TheWorkModeChoosesTheLayout) {
    struct Case {
        int mode;
        QStringList requests;
        bool operation, verification;
    };
    const Case cases[] = {
        {0, {"r0+16", "r210+46"}, true, false},
        {1, {"r0+16", "r24+3", "r210+13", "rc3+1"}, false, true},
        {2, {"r0+16"}, false, false},
        {0, {"r0+16", "r210+46"}, true, false},
    };
    open();
    for (const Case& c : cases) {
        sim->setHolding(1, 15, quint16(c.mode));
        sim->clearLog();
        // The poll follows the device's work mode from one read to the next.
        form->Timer1Timer();
        EXPECT_EQ(sent(), c.requests) << c.mode;
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->group("GroupBox4")->isVisible(), c.operation) << c.mode;
        EXPECT_EQ(panel->group("GroupBox5")->isVisible(), c.operation) << c.mode;
        EXPECT_EQ(panel->group("GroupBox2")->isVisible(), c.verification) << c.mode;
        EXPECT_EQ(text("EditDateCounters"), "05.03.2024");
        EXPECT_EQ(text("EditTimeCounters"), "    14:07");
        EXPECT_TRUE(form->Timer1->isActive());
        EXPECT_EQ(TForm1::tagOf(form->ProgressBar1), 0);
    }
}

TEST_F(Counters, VolumesAndConditionsOfBothChannels) {
    setFloat(219, 100.0f);
    setFloat(221, 0.5f);
    setFloat(223, 10.0f);
    setFloat(225, 0.25f);
    open();
    EXPECT_EQ(text("EditVPlusCh1"), "100,50");
    EXPECT_EQ(text("EditVMinusCh1"), "10,250");
    EXPECT_EQ(text("EditVSumCh1"), "110,75");

    struct Case {
        int failure, condition1, condition2;
        bool twoChannelMode;
        const char *channel1, *channel2;
    };
    const Case cases[] = {
        {0x80, 0x00, 0x00, true, "нормальное", "нормальное"},
        {0x81, 0x00, 0x01, true, "Отказ", "Отказ"},
        {0x00, 0xC0, 0xC0, true, "нормальное", "нормальное"},
        {0x00, 0xC0, 0xC0, false, "Нештатная ситуация", "нормальное"},
    };
    for (const Case& c : cases) {
        sim->setHolding(1, 252, quint16(c.failure));
        sim->setHolding(1, 254, quint16(c.condition1));
        sim->setHolding(1, 255, quint16(c.condition2));
        form->TwoChannelMode = c.twoChannelMode;
        form->Timer1Timer();
        EXPECT_EQ(visibleState(panel->condition(1)), c.channel1) << c.failure << " " << c.condition1;
        EXPECT_EQ(visibleState(panel->condition(2)), c.channel2) << c.failure << " " << c.condition2;
        for (int ch : {1, 2})
            EXPECT_EQ(panel->condition(ch)->browseButton()->isVisibleTo(panel),
                      visibleState(panel->condition(ch)) != "нормальное");
    }
}

TEST_F(Counters, VerificationReadsTheCheckedChannelAndResetsItsVolume) {
    sim->setHolding(1, 15, 1);
    sim->setHolding(1, 26, 1);
    setFloat(24, -2.5f);
    form->SecondChannel->setChecked(true);
    form->FirstChannel->setChecked(false);
    form->MenuTypeParamClick(form->Measurements);
    EXPECT_EQ(sent(), (QStringList{"c4=0", "r0+16", "r24+3", "r235+13", "rc3+1"}));
    EXPECT_EQ(text("EditShiftZeroPov"), "-2,50");
    EXPECT_EQ(panel->combo("ComboBoxWorkModePulseExitPov")->currentText(), "Импульсный");
    EXPECT_EQ(form->StatusBar2->text(2), "2 - й канал");
    EXPECT_EQ(form->StatusBar2->bevel(2), StatusBar::Bevel::Raised);
    EXPECT_TRUE(TForm1::menuEnabled(form->MenuChoiceChannel));

    sim->advanceClock(3600);
    ASSERT_GT(sim->holdingFloat(1, 244) + sim->holdingFloat(1, 246), 0.0f);
    sim->clearLog();
    {
        ModalDriver modals;
        modals.then(on<ConfirmDialog>([](ConfirmDialog* d) { press(d->ButtonYes); }));
        button("ButtonClearV")->click();
        EXPECT_TRUE(modals.done());
    }
    EXPECT_EQ(sent(), QStringList{"W28:1=0002"});
    EXPECT_EQ(sim->holdingFloat(1, 244) + sim->holdingFloat(1, 246), 0.0f);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(windowUsable());
}

// Each channel's "Сброс объема" of the operation layout resets that channel's counters, and only
// after "Да": "Нет", Enter (which must not be taken for "Да") and Escape send nothing.
TEST_F(Counters, VolumeResetsAskFirstAndResetTheirOwnChannel) {
    open();
    struct Answer {
        const char* how;
        bool yes;
    };
    const Answer answers[] = {{"no", false}, {"enter", false}, {"escape", false}, {"yes", true}};
    for (const auto& [name, reg, ch] : {std::tuple{"ButtonClearVCh1", "W27:1=0002", "1"},
                                        std::tuple{"ButtonClearVCh2", "W28:1=0002", "2"}}) {
        for (const Answer& answer : answers) {
            sim->clearLog();
            QString caption, question;
            ModalDriver modals;
            modals.then(on<ConfirmDialog>([&](ConfirmDialog* d) {
                caption = d->windowTitle();
                question = d->Label1->text();
                const QString how = QString::fromLatin1(answer.how);
                if (how == "enter" || how == "escape")
                    QTest::keyClick(d->focusWidget() ? d->focusWidget() : d,
                                    how == "enter" ? Qt::Key_Return : Qt::Key_Escape);
                else
                    press(answer.yes ? d->ButtonYes : d->ButtonNo);
            }));
            button(name)->click();
            EXPECT_TRUE(modals.done()) << name << answer.how;
            EXPECT_EQ(caption, "Сброс объема");
            EXPECT_TRUE(question.contains(QStringLiteral("канала %1?").arg(ch))) << question.toStdString();
            EXPECT_EQ(sent(), answer.yes ? QStringList{reg} : QStringList()) << name << answer.how;
            EXPECT_TRUE(form->Timer1->isActive());
            EXPECT_TRUE(windowUsable());
        }
    }
}

TEST_F(Counters, TheImitatorButtonSwitchesCoil3AndItsTextsAtOnce) {
    sim->setHolding(1, 15, 1);
    sim->setCoil(1, 3, true);
    open();
    QPushButton* imr = button("ButtonIMR");
    QLabel* on = panel->label("StaticTextIMREnabled");
    QLabel* off = panel->label("StaticTextIMRDisabled");
    for (auto [connected, request] : {std::pair{true, "c3=0"}, {false, "c3=1"}}) {
        EXPECT_EQ(on->isVisible(), connected);
        EXPECT_EQ(off->isVisible(), !connected);
        EXPECT_EQ(imr->text(), connected ? "Отключить" : "Подключить");
        EXPECT_EQ(TForm1::tagOf(imr), connected ? 0 : 1);
        sim->clearLog();
        imr->click();
        EXPECT_EQ(sent(), QStringList{request});
        EXPECT_EQ(sim->coil(1, 3), !connected);
        EXPECT_EQ(on->isVisible(), !connected);
        EXPECT_TRUE(windowUsable());
    }
}

TEST_F(Counters, ZeroShiftAndPulseModeEditors) {
    sim->setHolding(1, 15, 1);
    open();
    QLineEdit* shift = field("EditShiftZeroPov");
    shift->clear();
    shift->setFocus();
    QTest::keyClicks(shift, "-1x.5");
    EXPECT_EQ(shift->text(), "-1,5");
    EXPECT_FALSE(form->Timer1->isActive());
    QTest::keyClick(shift, Qt::Key_Return);
    EXPECT_EQ(sent(), QStringList{"W24:2=bfc00000"});
    EXPECT_TRUE(shift->hasFocus());
    EXPECT_TRUE(form->Timer1->isActive());

    // Pasted text outside the keys: nothing written, the text kept for mending, no poll over it.
    for (const char* pasted : {"1e5", "-"}) {
        sim->clearLog();
        shift->setText(QString::fromLatin1(pasted));
        QTest::keyClick(shift, Qt::Key_Return);
        EXPECT_TRUE(sent().isEmpty()) << pasted;
        EXPECT_EQ(shift->text(), pasted);
        EXPECT_TRUE(shift->hasFocus());
    }

    sim->clearLog();
    panel->combo("ComboBoxWorkModePulseExitPov")->setCurrentIndex(0);
    EXPECT_EQ(sent(), QStringList{"w26=0"});
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(windowUsable());
}

TEST_F(Counters, NothingIsSentWhileTheGuardIsTakenOrWithoutAChannel) {
    open();
    // The verification reset has never been given a channel in the operation layout.
    view->ButtonClearVClick(QStringLiteral("ButtonClearV"));
    EXPECT_TRUE(sent().isEmpty());
    form->LinkIdle = false;
    button("ButtonClearVCh1")->click();
    button("ButtonIMR")->click();
    field("EditShiftZeroPov")->setText(QStringLiteral("1"));
    QTest::keyClick(field("EditShiftZeroPov"), Qt::Key_Return);
    panel->combo("ComboBoxWorkModePulseExitPov")->setCurrentIndex(0);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(form->LinkIdle);
}

namespace {
struct ReadFailure {
    int mode;
    int read; // the failing request of the view, from 1
    sim::Fault fault;
};
void PrintTo(const ReadFailure& c, std::ostream* os) {
    *os << "mode" << c.mode << "read" << c.read << sim::faultName(c.fault).toStdString();
}
} // namespace

class CountersReadFailure : public Counters, public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(CountersReadFailure, StopsAtTheFailedReadAndKeepsWhatWasShown) {
    const ReadFailure c = GetParam();
    sim->setHolding(1, 15, quint16(c.mode));
    open();
    const QString shownBefore = text(c.mode == 0 ? "EditVPlusCh1" : "EditConsuptionPov");
    sim->setFault(sim::FaultSpec::onNth(c.fault, c.read));
    form->Timer1Timer();
    EXPECT_EQ(sent().size(), c.read);
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_EQ(text(c.mode == 0 ? "EditVPlusCh1" : "EditConsuptionPov"), shownBefore);
    EXPECT_TRUE(
        panel->layoutVisible(c.mode == 0 ? counters::Layout::Operation : counters::Layout::Verification));
    EXPECT_TRUE(windowUsable());
    EXPECT_TRUE(form->Timer1->isActive());

    // Chosen from the menu, a failed first read shows no panel and leaves the poll stopped.
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 2)); // after the coil write of the choice
    form->MenuTypeParamClick(form->Measurements);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(TForm1::tagOf(form->ProgressBar1), 1);
    EXPECT_TRUE(windowUsable());
}

INSTANTIATE_TEST_SUITE_P(EachRead, CountersReadFailure,
                         ::testing::Values(ReadFailure{0, 2, sim::Fault::Exception},
                                           ReadFailure{1, 2, sim::Fault::BadCrc},
                                           ReadFailure{1, 3, sim::Fault::Silence},
                                           ReadFailure{1, 4, sim::Fault::Exception}));

TEST_F(Counters, AnotherMetersOrChannelsValuesAreNotLeftBesideItsResetButton) {
    open();
    ASSERT_TRUE(panel->layoutVisible(counters::Layout::Operation));
    // Another meter whose measurements do not come: its counters are not those on show.
    form->DeviceAddress = 2;
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 3));
    form->MenuTypeParamClick(form->Measurements);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(panel->layoutVisible(counters::Layout::Operation));
    form->DeviceAddress = 1;

    sim->setHolding(1, 15, 1);
    open();
    ASSERT_TRUE(panel->layoutVisible(counters::Layout::Verification));
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 5)); // channel 2's measurements
    form->ChannelClick(form->SecondChannel);
    EXPECT_FALSE(panel->layoutVisible(counters::Layout::Verification));
    sim->clearFaults();
    form->Timer1Timer();
    EXPECT_TRUE(panel->layoutVisible(counters::Layout::Verification));
    EXPECT_EQ(TForm1::tagOf(button("ButtonClearV")), 28);
}
