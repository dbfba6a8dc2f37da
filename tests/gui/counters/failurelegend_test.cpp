// The legend behind the three "Обзор" buttons: which markers and rows each button's channel shows,
// and a read that fails showing nothing.
#include "countersfixture.h"
#include "modaldriver.h"

#include "app/adjustmentview.h"
#include "ui/paneladjustment.h"
#include "ui/tform6.h"

namespace {

class Legend : public Counters {
  protected:
    void installViews() override { adjustment = AdjustmentView::install(*form); }

    // Presses the button and returns the markers and the two-beam texts the legend showed.
    QStringList shownAfter(QPushButton* browse) {
        QStringList shown;
        ModalDriver driver;
        driver.then(on<TForm6>([&](TForm6* d) {
            for (int n = 1; n <= 15; ++n)
                if (d->image(n)->isVisibleTo(d)) shown << QStringLiteral("Image%1").arg(n);
            for (QLabel* t : {d->conditionText(6), d->conditionText(7), d->firstBeamText()})
                if (t->isVisibleTo(d)) shown << t->text();
            press(d->Button1);
        }));
        sim->clearLog();
        browse->click();
        EXPECT_TRUE(driver.done());
        EXPECT_EQ(sent(), QStringList{"r252+4"});
        EXPECT_TRUE(windowUsable());
        EXPECT_TRUE(form->Timer1->isActive());
        return shown;
    }
    QPushButton* browse(int channel) const { return panel->condition(channel)->browseButton(); }

    AdjustmentView* adjustment = nullptr;
};

} // namespace

TEST_F(Legend, MarkersFollowTheBytesOfTheButtonsChannel) {
    const QStringList twoBeamTexts{"Нет УЗС во втором луче", "Нет УЗС в обоих лучах", "в первом луче"};
    struct Case {
        int failure, condition1, condition2;
        bool twoChannelMode;
        int channel;
        QStringList shown;
    };
    const Case cases[] = {
        {0x05, 0x00, 0x00, true, 1, {"Image9", "Image11"}},
        {0x00, 0xC8, 0x00, false, 1, QStringList{"Image4", "Image7", "Image8"} + twoBeamTexts},
        {0x00, 0xC8, 0x00, true, 1, {"Image4"}},
        {0x00, 0xC8, 0xC1, false, 2, {"Image1"}},
    };
    open();
    for (const Case& c : cases) {
        sim->setHolding(1, 252, quint16(c.failure));
        sim->setHolding(1, 254, quint16(c.condition1));
        sim->setHolding(1, 255, quint16(c.condition2));
        form->TwoChannelMode = c.twoChannelMode;
        EXPECT_EQ(shownAfter(browse(c.channel)), c.shown) << c.failure << " " << c.condition1;
    }
}

TEST_F(Legend, TheAdjustmentButtonShowsTheCheckedChannel) {
    sim->setHolding(1, 254, 0x01);
    sim->setHolding(1, 255, 0x20);
    form->FirstChannel->setChecked(false);
    form->SecondChannel->setChecked(true);
    form->MenuTypeParamClick(form->Adjustment);
    EXPECT_EQ(shownAfter(adjustment->panel()->condition()->browseButton()), QStringList{"Image6"});
}

TEST_F(Legend, AFailedReadShowsNothing) {
    open();
    sim->setFault(sim::FaultSpec::always(sim::Fault::Exception));
    ModalDriver driver(ModalDriver::Unclaimed::CloseAtOnce);
    browse(1)->click();
    EXPECT_EQ(driver.unexpected(), 0);
    // Not even the link indication.
    EXPECT_EQ(form->StatusBar1->text(0), "");
    EXPECT_TRUE(windowUsable());
    EXPECT_TRUE(form->Timer1->isActive());
}
