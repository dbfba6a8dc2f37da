// Group and channel choices (their coil writes, status texts, menu states, ArchiveNumber),
// polling, the guard around opened menus, and the poll period dialog.
#include "mainwindowfixture.h"

#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform7.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

class Navigation : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithOneMeter();
        pretendSelected(1);
        for (int tag = TForm1::GroupSystem; tag <= TForm1::GroupJournals; ++tag)
            form->setGroupReader(tag, [this, tag] { reads.append(tag); });
    }
    QList<int> reads;
};

} // namespace

TEST_F(Navigation, GroupChoiceWritesCoilsAndShowsTheChannel) {
    struct Case {
        const char* item;
        bool secondChannel;
        QStringList requests;
        int group;
        int archiveNumber; // -1: unchanged (0)
        bool channelMenu;
        const char* channelText;
        bool saveArchive;
        QList<int> reads;
    };
    const Case cases[] = {
        {"SystemParam", false, {"01 05 00 04 00 00"}, 5, 0, false, "", false, {5}},
        {"GeneralParam", false, {"01 05 00 04 00 00"}, 6, 0, false, "", false, {6}},
        {"Adjustment",
         false,
         {"01 05 00 02 00 00", "01 05 00 04 ff 00"},
         7,
         0,
         true,
         "1 - канал",
         false,
         {7}},
        {"Adjustment", true, {"01 05 00 02 ff 00", "01 05 00 04 ff 00"}, 7, 0, true, "2 - канал", false, {7}},
        {"Measurements", true, {"01 05 00 04 00 00"}, 8, 0, false, "", false, {8}},
        // The range dialog does not exist yet and counts as cancelled: coils, but no archive read.
        {"Hour", false, {"01 05 00 02 00 00", "01 05 00 04 00 00"}, 9, 0, true, "1 - канал", true, {}},
        {"Day", true, {"01 05 00 02 ff 00", "01 05 00 04 00 00"}, 9, 1, true, "2 - канал", true, {}},
        {"Month", false, {"01 05 00 02 00 00", "01 05 00 04 00 00"}, 9, 2, true, "1 - канал", true, {}},
        {"Fault", true, {"01 05 00 04 00 00"}, 10, 3, false, "", true, {10}},
        {"Operator", false, {"01 05 00 04 00 00"}, 10, 4, false, "", true, {10}},
        {"Nstate", false, {"01 05 00 02 00 00", "01 05 00 04 00 00"}, 10, 5, true, "1 - канал", true, {10}},
        {"Nstate", true, {"01 05 00 02 ff 00", "01 05 00 04 00 00"}, 10, 6, true, "2 - канал", true, {10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + (c.secondChannel ? " ch2" : " ch1"));
        form->FirstChannel->setChecked(!c.secondChannel);
        form->SecondChannel->setChecked(c.secondChannel);
        form->ArchiveNumber = 0;
        sim->clearLog();
        reads.clear();
        form->LinkIdle = false; // as an opened menu leaves it
        form->MenuTypeParamClick(form->findChild<QAction*>(QString::fromLatin1(c.item)));

        EXPECT_EQ(requestPdus(), c.requests);
        EXPECT_EQ(TForm1::tagOf(form->MenuTypeParam), c.group);
        EXPECT_EQ(form->ArchiveNumber, c.archiveNumber);
        EXPECT_EQ(form->MenuChoiceChannel->isEnabled(), c.channelMenu);
        EXPECT_EQ(form->StatusBar2->text(2), QString::fromUtf8(c.channelText));
        EXPECT_EQ(form->StatusBar2->bevel(2),
                  c.channelMenu ? StatusBar::Bevel::Raised : StatusBar::Bevel::Lowered);
        EXPECT_EQ(form->MenuSaveArchive->isEnabled(), c.saveArchive);
        EXPECT_EQ(reads, c.reads);
        EXPECT_TRUE(form->LinkIdle);
        EXPECT_TRUE(form->isEnabled());
        EXPECT_FALSE(form->Timer1->isActive());

        // Exactly one group item is checked, and within archives/journals exactly the chosen one.
        int checkedGroups = 0;
        for (QAction* a : {form->SystemParam, form->GeneralParam, form->Adjustment, form->Measurements,
                           form->Archives, form->Journals})
            checkedGroups += a->isChecked();
        EXPECT_EQ(checkedGroups, 1);
        const QString chosen = QString::fromLatin1(c.item);
        for (QAction* a : {form->Hour, form->Day, form->Month, form->Fault, form->Operator, form->Nstate})
            EXPECT_EQ(a->isChecked(), a->objectName() == chosen) << a->objectName().toStdString();
        EXPECT_FALSE(form->StringGridArchives->isVisibleTo(form.get()));
    }
}

TEST_F(Navigation, ConfirmedArchiveRangeReadsTheArchive) {
    int dialogShown = 0;
    form->ArchiveRangeDialog = [&] {
        ++dialogShown;
        // The choice has not been marked yet while the dialog is open.
        EXPECT_FALSE(form->Hour->isChecked());
        return true;
    };
    form->MenuTypeParamClick(form->Hour);
    EXPECT_EQ(dialogShown, 1);
    EXPECT_EQ(reads, QList<int>({9}));
}

TEST_F(Navigation, GroupChoiceHidesEveryViewFirst) {
    form->StringGridArchives->show();
    form->PanelCounters->show();
    form->setGroupReader(TForm1::GroupSystem, [this] {
        EXPECT_FALSE(form->StringGridArchives->isVisibleTo(form.get()));
        EXPECT_FALSE(form->PanelCounters->isVisibleTo(form.get()));
        EXPECT_FALSE(form->isEnabled()); // disabled while the reader exchanges
        reads.append(5);
    });
    form->MenuTypeParamClick(form->SystemParam);
    EXPECT_EQ(reads, QList<int>({5}));
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(Navigation, ChannelChoiceSelectsItOnTheDeviceAndRepeatsTheGroup) {
    form->MenuTypeParamClick(form->Adjustment);
    sim->clearLog();
    reads.clear();
    form->ChannelClick(form->SecondChannel);
    EXPECT_TRUE(form->SecondChannel->isChecked());
    EXPECT_FALSE(form->FirstChannel->isChecked());
    EXPECT_EQ(requestPdus(), QStringList({"01 05 00 02 ff 00", "01 05 00 02 ff 00", "01 05 00 04 ff 00"}));
    EXPECT_EQ(reads, QList<int>({7}));
    EXPECT_EQ(form->StatusBar2->text(2), QStringLiteral("2 - канал"));
    EXPECT_TRUE(form->MenuLink->isEnabled());
    EXPECT_TRUE(form->MenuChoiceChannel->isEnabled());
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(Navigation, ChannelChoiceWithAbnormalJournalSwitchesItsNumber) {
    form->MenuTypeParamClick(form->Nstate);
    EXPECT_EQ(form->ArchiveNumber, 5);
    form->ChannelClick(form->SecondChannel);
    EXPECT_EQ(form->ArchiveNumber, 6);
    EXPECT_TRUE(form->Nstate->isChecked());
    EXPECT_EQ(reads, QList<int>({10, 10}));
    form->ChannelClick(form->FirstChannel);
    EXPECT_EQ(form->ArchiveNumber, 5);
}

TEST_F(Navigation, PollTickWhileAMenuIsOpenDoesNothing) {
    form->setGroupReader(TForm1::GroupCounters, [this] {
        reads.append(8);
        form->Timer1->start(); // the measurement reader keeps polling
    });
    form->MenuTypeParamClick(form->Measurements);
    ASSERT_EQ(reads, QList<int>({8}));
    ASSERT_TRUE(form->Timer1->isActive());

    QMenu* menu = form->topMenus().at(0);
    menu->popup(form->mapToGlobal(QPoint(10, 10)));
    menu->hide();
    EXPECT_FALSE(form->LinkIdle);
    EXPECT_TRUE(form->Timer3->isActive());
    form->Timer1Timer();
    EXPECT_EQ(reads, QList<int>({8}));
    EXPECT_TRUE(form->Timer1->isActive()); // it keeps ticking and tries again

    // Timer3 finds the window active and opens the guard; the next tick polls.
    ASSERT_TRUE(form->isActiveWindow());
    form->Timer3Timer();
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_FALSE(form->Timer3->isActive());
    form->Timer1Timer();
    EXPECT_EQ(reads, QList<int>({8, 8}));
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_TRUE(form->Timer1->isActive());
}

// While the window refuses input for a group's reading or a poll, the pointer says so.
TEST_F(Navigation, TheBusyCursorShowsWhileTheWindowRefusesInput) {
    const auto busy = [] {
        const QCursor* cursor = QApplication::overrideCursor();
        return cursor && cursor->shape() == Qt::BusyCursor;
    };
    QList<bool> busyWhileReading;
    form->setGroupReader(TForm1::GroupCounters, [&] { busyWhileReading << (busy() && !form->isEnabled()); });
    form->MenuTypeParamClick(form->Measurements);
    form->Timer1Timer();
    EXPECT_EQ(busyWhileReading, (QList<bool>{true, true}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Navigation, F10OpensTheMenuBarUnlessTheWindowIsBusy) {
    QMenuBar* bar = form->menuBar();
    QMenu* file = form->MenuFile->menu();
    form->setEnabled(false); // as during an exchange
    QTest::keyClick(form.get(), Qt::Key_F10);
    EXPECT_FALSE(file->isVisible());
    form->setEnabled(true);
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(form->LinkIdle);

    QTest::keyClick(form.get(), Qt::Key_F10);
    EXPECT_EQ(bar->activeAction(), form->MenuFile);
    EXPECT_TRUE(file->isVisible());
    EXPECT_FALSE(form->LinkIdle); // an open menu holds the guard like one opened by mouse
    file->hide();
}

TEST_F(Navigation, ServiceMenuAppearsWithItsFirstToolAndTakesNoGuard) {
    EXPECT_FALSE(form->MenuService->isVisible());
    form->addServiceItem(QStringLiteral("ToolItem"), QStringLiteral("Инструмент"));
    EXPECT_TRUE(form->MenuService->isVisible());
    EXPECT_EQ(form->menuBar()->actions().last(), form->MenuService);

    QMenu* menu = form->MenuService->menu();
    menu->popup(form->mapToGlobal(QPoint(10, 10)));
    menu->hide();
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_FALSE(form->Timer3->isActive());
}

TEST_F(Navigation, Timer3DoesNotOpenTheGuardDuringAnExchange) {
    bool guardDuringRead = true;
    form->setGroupReader(TForm1::GroupSystem, [this, &guardDuringRead] {
        QTimer::singleShot(5, form.get(), [this] { form->Timer3Timer(); });
        form->exchange().readHolding(0, 21);
        guardDuringRead = form->LinkIdle;
    });
    form->TopMenuOpened();
    ASSERT_FALSE(form->LinkIdle);
    ASSERT_TRUE(form->isActiveWindow());
    form->MenuTypeParamClick(form->SystemParam);
    EXPECT_FALSE(guardDuringRead);
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_TRUE(form->Timer3->isActive()); // released by a later tick, not in the middle
}

TEST_F(Navigation, PeriodZeroStopsPolling) {
    form->Timer1->setInterval(0);
    form->Timer1->start();
    form->Timer1Timer();
    EXPECT_TRUE(reads.isEmpty());
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(Navigation, PollPeriodDialogSetsTheInterval) {
    ModalDriver driver;
    QString shown;
    bool stayedOpen = false;
    driver.then(on<TForm7>([&](TForm7* d) {
        shown = d->EditSelectInterval->text();
        d->EditSelectInterval->setText(QStringLiteral("2001"));
        d->Button1->click();
        stayedOpen = d->isVisible();
        d->EditSelectInterval->setText(QStringLiteral("2000"));
        d->Button1->click();
    }));
    form->LinkIdle = false;
    form->MenuPollPeriodClick();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(shown, QStringLiteral("10"));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(form->Timer1->interval(), 2000000);
    EXPECT_TRUE(form->LinkIdle);
}
