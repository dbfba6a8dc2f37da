// The "Настройка" view in the real main window against the in-process simulator: what each channel
// reads and shows, what every editor, radio group and up-down sends, the zero-offset averaging, the
// two calculators, and how link failures and refused values end.
#include "mainwindowfixture.h"

#include "app/adjustmentview.h"
#include "ui/conditiondisplay.h"
#include "ui/paneladjustment.h"
#include "ui/radiogroup.h"
#include "ui/statusbar.h"
#include "ui/updown.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace {

int base(int channel) {
    return channel == 1 ? 36 : 119;
}
int firstMeasurement(int channel) {
    return channel == 1 ? 202 : 227;
}

class Adjustment : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen({device(1), device(2)});
        form->TwoChannelMode = true;
        view = AdjustmentView::install(*form);
        panel = view->panel();
    }

    // The view chosen from the menu on a channel, as the operator does; forgets what it sent.
    void open(int channel) {
        form->FirstChannel->setChecked(channel == 1);
        form->SecondChannel->setChecked(channel == 2);
        form->MenuTypeParamClick(form->Adjustment);
        sim->clearLog();
    }
    QLineEdit* field(const char* name) const { return panel->edit(QString::fromLatin1(name)); }
    QString text(const char* name) const { return field(name)->text(); }
    QPushButton* button(const char* name) const { return panel->button(QString::fromLatin1(name)); }
    void enter(const char* name, const QString& typed) { commit(field(name), typed); }
    void setFloat(int reg, float value) { sim->setHoldingFloat(1, reg, value); }

    AdjustmentView* view = nullptr;
    PanelAdjustment* panel = nullptr;
};

} // namespace

TEST_F(Adjustment, EachChannelReadsItsBlocksAndShowsItsAmplitude) {
    struct Case {
        int channel;
        QStringList requests;
        const char* amplitude;
    };
    // The simulator's gains: registers 2..7 hold 120 40 112 38 176 181; the map's own test decodes
    // the rest of each channel's.
    const Case cases[] = {
        {1, {"c2=0", "c4=1", "r0+18", "r36+72", "r202+53"}, "181"},
        {2, {"c2=1", "c4=1", "r0+18", "r119+72", "r227+29"}, "176"},
    };
    for (const Case& c : cases) {
        form->FirstChannel->setChecked(c.channel == 1);
        form->SecondChannel->setChecked(c.channel == 2);
        sim->clearLog();
        form->MenuTypeParamClick(form->Adjustment);
        EXPECT_EQ(sent(), c.requests);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_TRUE(form->Timer1->isActive());
        EXPECT_EQ(TForm1::tagOf(form->ProgressBar1), 0);
        EXPECT_EQ(TForm1::tagOf(panel->condition()->browseButton()), c.channel);
        EXPECT_EQ(text("EditResist1"), c.amplitude);
        EXPECT_EQ(panel->upDown("UpDownResist1")->position(), QString(c.amplitude).toInt());
        EXPECT_EQ(text("EditDateAdj"), "05.03.2024");
        EXPECT_EQ(text("EditTimeAdj"), "    14:07");
        // The poll reads the same three blocks again.
        sim->clearLog();
        form->Timer1Timer();
        EXPECT_EQ(sent(), c.requests.mid(2));
    }
}

TEST_F(Adjustment, TheSensorTypeChoosesTheDiameterRule) {
    setFloat(36, 314.159f);
    setFloat(38, 5.0f);
    setFloat(70, 42.5f);
    open(1);
    EXPECT_EQ(text("EditInternalDiameter"), "90,00");
    sim->setHolding(1, 17, 2); // U-bend sensors have a diameter register of their own
    form->Timer1Timer();
    EXPECT_EQ(text("EditInternalDiameter"), "42,50");
}

TEST_F(Adjustment, ConditionDisplayShowsOneOfThreeStates) {
    struct Case {
        int channel;
        bool twoChannelMode;
        int failure, conditionByte;
        const char* shown;
    };
    const Case cases[] = {
        {1, true, 0x80, 0x00, "StaticText161"},
        {2, true, 0x01, 0x00, "StaticText166"},
        {1, false, 0x00, 0x40, "StaticText20"},
    };
    ConditionDisplay* display = panel->condition();
    for (const Case& c : cases) {
        sim->setHolding(1, 252, quint16(c.failure));
        sim->setHolding(1, c.channel == 1 ? 254 : 255, quint16(c.conditionByte));
        form->TwoChannelMode = c.twoChannelMode;
        open(c.channel);
        const bool normal = QLatin1String(c.shown) == QLatin1String("StaticText161");
        for (QLabel* t : {display->normalText(), display->abnormalText(), display->failureText()})
            EXPECT_EQ(t->isVisible(), t->objectName() == QLatin1String(c.shown))
                << c.shown << " " << c.channel;
        EXPECT_EQ(display->picture()->isVisible(), !normal) << c.shown;
        EXPECT_EQ(display->browseButton()->isVisible(), !normal) << c.shown;
    }
}

namespace {
struct ReadFailure {
    int read; // 1..3
    sim::Fault fault;
};
void PrintTo(const ReadFailure& c, std::ostream* os) {
    *os << c.read << sim::faultName(c.fault).toStdString();
}
} // namespace

class AdjustmentReadFailure : public Adjustment, public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(AdjustmentReadFailure, StopsAtTheFailedReadWithThePanelHidden) {
    const QStringList reads{"r0+18", "r119+72", "r227+29"};
    form->SecondChannel->setChecked(true);
    form->FirstChannel->setChecked(false);
    sim->clearLog();
    // The group choice writes coils 2 and 4 before the reads.
    sim->setFault(sim::FaultSpec::onNth(GetParam().fault, 2 + GetParam().read));
    form->MenuTypeParamClick(form->Adjustment);
    EXPECT_EQ(sent().mid(2), reads.mid(0, GetParam().read));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_EQ(TForm1::tagOf(form->ProgressBar1), 1);
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(windowUsable());

    sim->clearFaults();
    form->Timer1Timer();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(form->StatusBar1->text(0), "");
}

INSTANTIATE_TEST_SUITE_P(EachRead, AdjustmentReadFailure,
                         ::testing::Values(ReadFailure{1, sim::Fault::Silence},
                                           ReadFailure{2, sim::Fault::Exception},
                                           ReadFailure{3, sim::Fault::Silence},
                                           ReadFailure{3, sim::Fault::BadCrc}));

TEST_F(Adjustment, EditorsWriteOnTheCheckedChannelOrRefuse) {
    struct Case {
        int channel;
        const char* field;
        const char* typed;
        QStringList requests;
        const char* shownAfter;
    };
    const Case cases[] = {
        {1, "EditResist1", "255", {"w7=255"}, "255"},
        {2, "EditResist1", "255", {"w6=255"}, "255"},
        {2, "EditResist1", "256", {}, ""},
        {2, "EditShiftWin", "-123", {"w161=65413"}, "-123"},
        {2, "Edithst", "0,09", {}, ""},
    };
    int channel = 0;
    for (const Case& c : cases) {
        if (c.channel != channel) open(channel = c.channel);
        sim->clearLog();
        enter(c.field, QString::fromUtf8(c.typed));
        const QString what = QStringLiteral("%1 '%2' channel %3").arg(c.field, c.typed).arg(c.channel);
        EXPECT_EQ(sent(), c.requests) << what.toStdString();
        EXPECT_EQ(text(c.field), c.shownAfter) << what.toStdString();
        EXPECT_TRUE(field(c.field)->hasFocus()) << what.toStdString();
        EXPECT_TRUE(form->Timer1->isActive()) << what.toStdString();
        EXPECT_TRUE(windowUsable());
    }
}

TEST_F(Adjustment, TypingStopsThePollAndEnterStartsItAgain) {
    open(1);
    ASSERT_TRUE(form->Timer1->isActive());
    QLineEdit* hst = field("Edithst");
    hst->clear();
    hst->setFocus();
    QTest::keyClicks(hst, "1x.5");
    EXPECT_EQ(hst->text(), "1,5");
    EXPECT_FALSE(form->Timer1->isActive());
    QTest::keyClick(hst, Qt::Key_Return);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(sent(), QStringList{"W46:2=3fc00000"});
    // Display fields take no keys and leave the poll alone.
    QTest::keyClicks(field("EditTimeDifference"), "5");
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_NE(text("EditTimeDifference").right(1), "55");
}

TEST_F(Adjustment, RadioGroupsWriteTheClickedItemWithoutReadingBack) {
    const char* groups[] = {"RadioGroupRevers", "RadioEnabledChannel", "RadioGroupFlowSpeedCorr",
                            "RadioGroupFormZI", "RadioGroupInversZI"};
    for (int channel : {1, 2}) {
        open(channel);
        for (const char* name : groups) {
            RadioGroup* group = panel->radioGroup(QString::fromLatin1(name));
            const int other = 1 - group->itemIndex();
            sim->clearLog();
            QRadioButton* item = group->button(other);
            QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(6, item->height() / 2));
            const int reg = base(channel) + TForm1::tagOf(group);
            EXPECT_EQ(sent(), QStringList{QStringLiteral("w%1=%2").arg(reg).arg(other)}) << name << channel;
            EXPECT_EQ(sim->holding(1, reg), other);
            EXPECT_TRUE(form->Timer1->isActive());
        }
    }
}

TEST_F(Adjustment, UpDownArrowsShowEachStepAndWriteWhenLetGo) {
    open(2);
    QToolButton* up = panel->upDown("UpDownResist1")->upButton();
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(text("EditResist1"), "177");
    EXPECT_EQ(sent(), QStringList{"w6=177"});
    // The window shift steps left from the simulator's -2 and goes out as s16.
    sim->clearLog();
    QTest::mouseClick(panel->upDown("UpDownShiftWin")->downButton(), Qt::LeftButton);
    EXPECT_EQ(text("EditShiftWin"), "-3");
    EXPECT_EQ(sent(), QStringList{"w161=65533"});
    EXPECT_TRUE(form->Timer1->isActive());

    // At its limit the position stays, and letting go writes it all the same.
    sim->setHolding(1, 6, 255);
    form->Timer1Timer();
    sim->clearLog();
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(text("EditResist1"), "255");
    EXPECT_EQ(sent(), QStringList{"w6=255"});
}

class AdjustmentAveraging : public Adjustment, public ::testing::WithParamInterface<int> {};

TEST_P(AdjustmentAveraging, AveragesOverPollsAndWritesTheOffsetAtTheEnd) {
    const int channel = GetParam();
    const int m = firstMeasurement(channel);
    setFloat(m, 1.0f);
    open(channel);
    QPushButton* start = button("ButtonShiftdTStart");
    QPushButton* end = button("ButtonShiftdTEnd");
    EXPECT_FALSE(end->isEnabled());
    start->click();
    EXPECT_EQ(sent(), QStringList{"c4=0"});
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(end->isEnabled());
    EXPECT_FALSE(field("EditShiftdT")->isEnabled());
    EXPECT_EQ(text("EditShiftdT"), "1,00000");
    for (auto [next, shown] : {std::pair{2.0f, "1,00000"}, {3.0f, "1,33333"}, {4.0f, "1,75000"}}) {
        setFloat(m, next);
        form->Timer1Timer();
        EXPECT_EQ(text("EditShiftdT"), shown);
    }
    EXPECT_EQ(TForm1::tagOf(start), 4);
    sim->clearLog();
    end->click();
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("W%1:2=3fe00000").arg(base(channel) + 16), "c4=1"}));
    EXPECT_FLOAT_EQ(sim->holdingFloat(1, base(channel) + 16), 1.75f);
    EXPECT_TRUE(sim->coil(1, 4));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(end->isEnabled());
    EXPECT_TRUE(field("EditShiftdT")->isEnabled());
    EXPECT_TRUE(form->Timer1->isActive());
}

INSTANTIATE_TEST_SUITE_P(Channels, AdjustmentAveraging, ::testing::Values(1, 2));

TEST_F(Adjustment, AveragingKeepsToItsChannelAndLeavesOutWhatIsNoNumber) {
    setFloat(202, 1.0f);
    setFloat(227, 9.0f);
    open(1);
    button("ButtonShiftdTStart")->click();
    // Channel 2's time differences must not enter channel 1's offset.
    open(2);
    form->Timer1Timer();
    EXPECT_EQ(text("EditShiftdT"), "1,00000");
    // Back on channel 1, the first read still finds channel 2's value on show and takes no sample;
    // a reading that is not a number is left out.
    open(1);
    setFloat(202, NAN);
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_EQ(text("EditShiftdT"), "1,00000");
    EXPECT_EQ(TForm1::tagOf(button("ButtonShiftdTStart")), 2);
    open(2);
    button("ButtonShiftdTEnd")->click();
    EXPECT_EQ(sent(), (QStringList{"W52:2=3f800000", "c4=1"}));

    // Nor does another meter's, and the average is not written to it.
    open(1);
    button("ButtonShiftdTStart")->click();
    form->DeviceAddress = 2;
    open(1);
    form->Timer1Timer();
    EXPECT_EQ(TForm1::tagOf(button("ButtonShiftdTStart")), 1);
    sim->clearLog();
    sim->setCoil(2, 4, false);
    button("ButtonShiftdTEnd")->click();
    // Adjustment mode goes back on for the meter the averaging took it from, not the one chosen now.
    EXPECT_EQ(requestPdus(), QStringList{"01 05 00 04 ff 00"});
    EXPECT_TRUE(sim->coil(1, 4));
    EXPECT_FALSE(sim->coil(2, 4));
    form->DeviceAddress = 1;

    // Averaging that starts on a reading that is no number ends without a write.
    open(1);
    button("ButtonShiftdTStart")->click();
    EXPECT_EQ(text("EditShiftdT"), "NAN");
    sim->clearLog();
    button("ButtonShiftdTEnd")->click();
    EXPECT_EQ(sent(), QStringList{"c4=1"});
    EXPECT_TRUE(button("ButtonShiftdTStart")->isEnabled());
}

TEST_F(Adjustment, SpacingCalculatorReadsThreeValuesAndWritesNothing) {
    setFloat(36, 314.159f); // with the wall of 5 mm: 90 mm inside
    setFloat(38, 5.0f);
    setFloat(66, 2.5f);
    sim->setHolding(1, 83, 0);
    open(1);
    const QStringList reads{"r83+1", "r66+2", "r38+2"};
    for (auto [typed, requests, axialBase] :
         {std::tuple{"1.5", reads, "82,50"}, {"2,5", reads, "ERROR"}, {",", QStringList(), "ERROR"}}) {
        sim->clearLog();
        enter("EditSpeedSoundPEA", QString::fromLatin1(typed));
        EXPECT_EQ(sent(), requests) << typed;
        EXPECT_EQ(text("EditAxialBase"), axialBase) << typed;
        EXPECT_EQ(text("EditSpeedSoundPEA"), typed);
        EXPECT_TRUE(form->Timer1->isActive());
    }

    // The device stops answering after the first read: the indication, no result, a usable window.
    field("EditAxialBase")->setText(QStringLiteral("7"));
    sim->clearLog();
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 2));
    enter("EditSpeedSoundPEA", QStringLiteral("1,5"));
    EXPECT_EQ(sent(), (QStringList{"r83+1", "r66+2"}));
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_EQ(text("EditAxialBase"), "7");
    EXPECT_TRUE(windowUsable());
    EXPECT_TRUE(form->Timer1->isActive());

    // A poll keeps the result; on the other channel it would pass for that channel's.
    enter("EditSpeedSoundPEA", QStringLiteral("1,5"));
    form->Timer1Timer();
    EXPECT_EQ(text("EditAxialBase"), "82,50");
    form->ChannelClick(form->SecondChannel);
    EXPECT_EQ(text("EditAxialBase"), "");
}

TEST_F(Adjustment, CalibrationWritesTheDelayAndTheWallOrNothing) {
    for (int channel : {1, 2}) {
        const int b = base(channel);
        setFloat(b + 65, 150.0f);
        setFloat(b + 2, 5.0f);
        setFloat(firstMeasurement(channel) + 2, 200.0f);
        open(channel);
        enter("EditSpeedSound", QStringLiteral("1,5"));
        EXPECT_EQ(sent(), (QStringList{QStringLiteral("r%1+65").arg(b + 2),
                                       QStringLiteral("W%1:2=42c80000").arg(b + 18),
                                       QStringLiteral("W%1:2=40a00000").arg(b + 10)}));
        EXPECT_EQ(text("EditDopPauseUZS"), "100,00000");
        EXPECT_EQ(text("Edithst"), "5,00");
        EXPECT_EQ(text("EditSpeedSound"), "");
        EXPECT_TRUE(form->Timer1->isActive());
    }
    // A sound speed of 0 gives no number: read, but nothing written.
    sim->clearLog();
    enter("EditSpeedSound", QStringLiteral("0"));
    EXPECT_EQ(sent(), QStringList{"r121+65"});
    EXPECT_EQ(text("EditSpeedSound"), "0");
    // A device that does not answer: the indication, nothing written, a usable window.
    sim->clearLog();
    sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    enter("EditSpeedSound", QStringLiteral("1,5"));
    EXPECT_EQ(sent(), QStringList{"r121+65"});
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_TRUE(windowUsable());
    EXPECT_TRUE(form->Timer1->isActive());
}

TEST_F(Adjustment, NothingIsSentWhileTheGuardIsTaken) {
    open(1);
    form->LinkIdle = false;
    for (const char* name :
         {"EditResist1", "EditShiftWin", "EditShiftdT", "Edithst", "EditSpeedSoundPEA", "EditSpeedSound"})
        enter(name, QStringLiteral("5"));
    panel->radioGroup("RadioGroupRevers")->button(1)->click();
    button("ButtonShiftdTStart")->click();
    // Stepping is shown all the same; only the write waits for the guard.
    QTest::mouseClick(panel->upDown("UpDownResist3")->downButton(), Qt::LeftButton);
    EXPECT_EQ(text("EditResist3"), "39");
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(button("ButtonShiftdTStart")->isEnabled());
    EXPECT_FALSE(form->LinkIdle);
}
