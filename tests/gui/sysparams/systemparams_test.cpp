// The "Общесистемные" view in the real main window against the in-process simulator: what the
// reader fills, what every editor and button sends, and how failures end.
#include "app/systemparams.h"
#include "ui/confirmdialog.h"
#include "ui/panelsystemparam.h"
#include "ui/radiogroup.h"
#include "ui/statusbar.h"
#include "ui/tform11.h"
#include "ui/tform14.h"
#include "ui/tform18.h"
#include "ui/tform19.h"

#include "mainwindowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

namespace {

const QStringList FullRead{"r0+21", "r114+1", "r96+1"};

class SystemView : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen();
        view = SystemParams::install(*form);
        view->runModal = [this](QDialog& dialog) {
            modalShown << &dialog;
            return modalAnswer ? modalAnswer(dialog) : 1;
        };
        view->now = [] { return QDateTime(QDate(2025, 6, 1), QTime(12, 30, 45, 900)); };
        panel = view->panel();
    }

    void forget() { sim->clearLog(); }
    void setByte(int reg, int value) { sim->setHolding(1, reg, quint16(value)); }
    void setU32(int reg, quint32 value) {
        sim->setHolding(1, reg, quint16(value >> 16));
        sim->setHolding(1, reg + 1, quint16(value));
    }
    // Reads the view as the group choice would, with the guard held.
    void read() {
        form->LinkIdle = false;
        view->ReadSysParam();
        form->LinkIdle = true;
    }
    QString text(const char* field) const { return panel->edit(QString::fromLatin1(field))->text(); }
    QString item(const char* list) const { return panel->combo(QString::fromLatin1(list))->currentText(); }
    void enter(const char* field, const QString& typed) {
        commit(panel->edit(QString::fromLatin1(field)), typed);
    }
    QString linkStatus() const { return form->StatusBar1->text(0); }

    SystemParams* view = nullptr;
    PanelSystemParam* panel = nullptr;
    QList<QDialog*> modalShown;
    std::function<int(QDialog&)> modalAnswer;
};

} // namespace

TEST_F(SystemView, FullReadFillsEveryFieldFromTheDevice) {
    setU32(8, 0xFFFFFFFF);
    setU32(10, 1577923200); // 02.01.2020
    setByte(12, 1);
    setByte(13, 9);
    setByte(14, 3);
    setByte(15, 5);
    setByte(16, 1);
    setByte(17, 2);
    setByte(18, 300);
    sim->setHoldingFloat(1, 19, 28.5f);
    setByte(114, 1);
    setByte(96, 1);
    form->TwoChannelMode = true;
    form->Timer1->start();
    forget();

    read();

    EXPECT_EQ(sent(), FullRead);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(text("EditDate"), "05.03.2024");
    EXPECT_EQ(text("EditTime"), "14:07:09");
    EXPECT_EQ(text("EditElNumber"), "4294967295");
    EXPECT_EQ(text("EditDateFabrications"), "02.01.2020");
    EXPECT_EQ(text("EditNodeAddress"), "1");
    EXPECT_EQ(text("EditTimeInercias"), "300");
    EXPECT_EQ(text("EditFrequency"), "28,50");
    EXPECT_EQ(item("ComboSpeedRS"), "38400");
    EXPECT_EQ(item("ComboBoxRTS"), "96");
    EXPECT_EQ(item("ComboWorkMode"), QString::fromUtf8("Поверка"));
    EXPECT_EQ(item("ComboBoxConditionsWorkPulseExit"), QString::fromUtf8("По положительному объему"));
    EXPECT_EQ(item("ComboTypeSensor"), QString::fromUtf8("U - колено"));
    EXPECT_EQ(item("ComboBoxModeLine"), QString::fromUtf8("Двухлучевой режим"));
    EXPECT_EQ(panel->radioGroup()->itemIndex(), 1);
    EXPECT_FALSE(form->TwoChannelMode);
    EXPECT_EQ(linkStatus(), "");
    EXPECT_FALSE((form->StatusBar1->bevel(0) == StatusBar::Bevel::Raised));
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(TForm1::tagOf(form->ProgressBar1), 0);

    // Codes without an item keep what the list showed; register 96 at 0 is the two-channel mode.
    for (int code : {1, 10}) {
        setByte(13, code);
        setByte(96, 0);
        read();
        EXPECT_EQ(item("ComboSpeedRS"), "38400") << code;
        EXPECT_TRUE(form->TwoChannelMode);
    }
    setByte(13, 2);
    read();
    EXPECT_EQ(item("ComboSpeedRS"), "300");
}

TEST_F(SystemView, ReadingHidesTheOtherViewsAndNeverWrites) {
    auto* other = new QWidget;
    other->setObjectName(QStringLiteral("PanelCounters"));
    form->addGroupPanel(other);
    other->show();
    read();
    forget();
    // Values that move every list: the reader's own selection changes must not write them back.
    setByte(13, 3);
    setByte(14, 0);
    setByte(15, 1);
    setByte(16, 1);
    setByte(17, 1);
    setByte(114, 1);
    setByte(96, 1);
    read();
    EXPECT_EQ(sent(), FullRead);
    EXPECT_FALSE(other->isVisible());
    EXPECT_TRUE(panel->isVisible());
}

namespace {
struct ReadFailure {
    int read; // 1..3
    sim::Fault fault;
    std::string name() const { return "Read" + std::to_string(read) + sim::faultName(fault).toStdString(); }
};
void PrintTo(const ReadFailure& c, std::ostream* os) {
    *os << c.name();
}
} // namespace

class SystemViewReadFailure : public SystemView, public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(SystemViewReadFailure, StopsAtTheFailedReadAndKeepsWhatEarlierReadsFilled) {
    const int failing = GetParam().read;
    const sim::Fault fault = GetParam().fault;
    read();
    ASSERT_TRUE(panel->isVisible());
    panel->hide();
    const QString oldElNumber = text("EditElNumber");
    setU32(8, 777);
    setByte(114, 1);
    setByte(96, 1);
    form->TwoChannelMode = true;
    forget();
    sim->setFault(sim::FaultSpec::onNth(fault, failing));

    read();

    EXPECT_EQ(sent(), FullRead.mid(0, failing));
    EXPECT_EQ(linkStatus(), LinkFailure);
    EXPECT_TRUE((form->StatusBar1->bevel(0) == StatusBar::Bevel::Raised));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(TForm1::tagOf(form->ProgressBar1), 1);
    EXPECT_EQ(text("EditElNumber"), failing > 1 ? "777" : oldElNumber);
    EXPECT_EQ(panel->radioGroup()->itemIndex(), failing > 2 ? 1 : 0);
    EXPECT_TRUE(form->TwoChannelMode);

    // The next good read clears the indication.
    sim->clearFaults();
    read();
    EXPECT_EQ(linkStatus(), "");
    EXPECT_FALSE((form->StatusBar1->bevel(0) == StatusBar::Bevel::Raised));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(form->TwoChannelMode);
}

INSTANTIATE_TEST_SUITE_P(
    EachRead, SystemViewReadFailure,
    ::testing::Values(ReadFailure{1, sim::Fault::Silence}, ReadFailure{2, sim::Fault::Silence},
                      ReadFailure{3, sim::Fault::Silence}, ReadFailure{1, sim::Fault::Exception},
                      ReadFailure{2, sim::Fault::BadCrc}, ReadFailure{3, sim::Fault::Exception}),
    [](const auto& info) { return info.param.name(); });

TEST_F(SystemView, EditorsAtTheirLimits) {
    struct Case {
        const char* field;
        const char* typed;
        QStringList requests;
        const char* shownAfter; // nullptr: the device's value, read back
    };
    auto withRead = [&](QString write) {
        return (write.isEmpty() ? QStringList() : QStringList{write}) + FullRead;
    };
    const Case cases[] = {
        // One value of each kind through the window; the limits of every row are the table's test.
        {"EditFrequency", "100", withRead("W19:2=42c80000"), "100,00"},
        {"EditFrequency", "100,01", withRead(""), "100,00"},
        {"EditTimeInercias", "300", withRead("w18=300"), "300"},
        {"EditNodeAddress", "128", withRead(""), "1"},
        {"EditElNumber", "123456", {"W8:2=0001e240"}, "123456"},
        {"EditElNumber", "-1", {}, "-1"},
        {"EditDateFabrications", "29.02.2024", {"W10:2=65dfc900"}, "29.02.2024"},
        {"EditDateFabrications", "31.02.2024", {}, "31.02.2024"},
    };
    read();
    for (const Case& c : cases) {
        forget();
        form->Timer1->start();
        enter(c.field, QString::fromUtf8(c.typed));
        EXPECT_EQ(sent(), c.requests) << c.field << " '" << c.typed << "'";
        EXPECT_EQ(text(c.field), QString::fromUtf8(c.shownAfter)) << c.field << " '" << c.typed << "'";
        EXPECT_TRUE(panel->edit(QString::fromLatin1(c.field))->hasFocus()) << c.field;
        EXPECT_TRUE(windowUsable());
        // Only the editors that re-read (and the electronic number) stop the poll.
        const bool stopsPoll = !c.requests.isEmpty() && c.requests.last() == "r96+1";
        if (QLatin1String(c.field) == QLatin1String("EditElNumber")) {
            EXPECT_FALSE(form->Timer1->isActive());
        } else if (!stopsPoll) {
            EXPECT_TRUE(form->Timer1->isActive()) << c.field;
        }
    }
    EXPECT_EQ(sim->holding(1, 18), 300);
    EXPECT_EQ(sim->holding(1, 9), 0xE240);
}

TEST_F(SystemView, RefusedFieldsAreClearedOrKept) {
    read();
    // With the device silent the re-read cannot refill the field, so the refusal itself shows.
    sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    enter("EditFrequency", "14,99");
    EXPECT_EQ(text("EditFrequency"), "");
    enter("EditTimeInercias", "301");
    EXPECT_EQ(text("EditTimeInercias"), "");
    enter("EditNodeAddress", "128");
    EXPECT_EQ(text("EditNodeAddress"), "");
    enter("EditElNumber", "99999999999");
    EXPECT_EQ(text("EditElNumber"), "99999999999");
    EXPECT_EQ(linkStatus(), LinkFailure);
}

TEST_F(SystemView, NetworkNumberOfAListedDeviceIsRefusedSilently) {
    TForm1::setCaption(form->Device[1], QString::fromUtf8("KASTARI-DK   v3.12 адрес:   1"));
    TForm1::setCaption(form->Device[2], QString::fromUtf8("KASTARI-DK   v3.12 адрес:  42"));
    TForm1::setCaption(form->Device[3], QString::fromUtf8("KASTARI-DK   v3.12 адрес:  43"));
    form->Device[1]->setVisible(true);
    form->Device[2]->setVisible(true);
    read();
    sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    forget();
    for (const char* typed : {"42", "1"}) {
        enter("EditNodeAddress", typed);
        EXPECT_EQ(text("EditNodeAddress"), typed);
    }
    EXPECT_EQ(sent(), FullRead.mid(0, 1) + FullRead.mid(0, 1));
    EXPECT_TRUE(messages.isEmpty());

    // A hidden item does not count; the re-read then asks the old address, which no longer answers.
    sim->clearFaults();
    forget();
    enter("EditNodeAddress", "43");
    EXPECT_EQ(sent(), (QStringList{"w12=43", "r0+21"}));
    EXPECT_EQ(linkStatus(), LinkFailure);
    EXPECT_EQ(form->DeviceAddress, 1);
}

TEST_F(SystemView, ListChoicesWriteTheirRegisters) {
    struct Case {
        const char* list;
        int index;
        QStringList requests;
    };
    const Case cases[] = {
        {"ComboWorkMode", 1, QStringList{"w15=1", "w17=0"} + FullRead},
        {"ComboWorkMode", 0, QStringList{"w15=0"} + FullRead},
        {"ComboSpeedRS", 7, {"w13=9"}},
        {"ComboSpeedRS", 0, {"w13=2"}},
        {"ComboBoxRTS", 2, QStringList{"w14=2"} + FullRead},
        {"ComboTypeSensor", 1, QStringList{"w17=1"} + FullRead},
        {"ComboBoxConditionsWorkPulseExit", 1, QStringList{"w16=1"} + FullRead},
        {"ComboBoxModeLine", 1, QStringList{"w96=1"} + FullRead},
    };
    read();
    for (const Case& c : cases) {
        forget();
        QComboBox* combo = panel->combo(QString::fromLatin1(c.list));
        combo->setFocus();
        combo->setCurrentIndex(c.index);
        EXPECT_EQ(sent(), c.requests) << c.list << " " << c.index;
        EXPECT_TRUE(windowUsable());
    }
    EXPECT_EQ(sim->holding(1, 13), 2);
    EXPECT_EQ(sim->holding(1, 96), 1);
    EXPECT_FALSE(form->TwoChannelMode);

    forget();
    QRadioButton* on = panel->radioGroup()->button(1);
    QTest::mouseClick(on, Qt::LeftButton, {}, QPoint(6, on->height() / 2));
    EXPECT_EQ(sent(), QStringList{"w114=1"} + FullRead);
    EXPECT_EQ(panel->radioGroup()->itemIndex(), 1);

    // The item already chosen, clicked again, is no choice: nothing is written or read.
    forget();
    QTest::mouseClick(on, Qt::LeftButton, {}, QPoint(6, on->height() / 2));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(panel->radioGroup()->itemIndex(), 1);
}

TEST_F(SystemView, NoHandlerRunsWhileTheGuardIsTaken) {
    read();
    forget();
    form->LinkIdle = false;
    enter("EditFrequency", "20");
    enter("EditTimeInercias", "20");
    enter("EditNodeAddress", "20");
    enter("EditElNumber", "20");
    enter("EditDateFabrications", "01.01.2020");
    panel->combo("ComboWorkMode")->setCurrentIndex(1);
    panel->combo("ComboSpeedRS")->setCurrentIndex(1);
    panel->combo("ComboBoxRTS")->setCurrentIndex(1);
    panel->radioGroup()->button(1)->click();
    panel->button("ButtonInitParam")->click();
    panel->button("Button1")->click();
    panel->button("ButtonClearArh")->click();
    panel->button("ButtonClearJournals")->click();
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(modalShown.isEmpty());
    EXPECT_FALSE(form->LinkIdle);
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(SystemView, InitialisationSendsItsCommandsWithPauses) {
    QSignalSpy pauses(form->Timer2, &QTimer::timeout);
    QList<bool> waitingShown, windowEnabled;
    QList<qsizetype> sentBeforePause;
    QObject watch; // ends the watching before the lists go (shutdown pauses too)
    QObject::connect(form->Timer2, &QTimer::timeout, &watch, [&] {
        waitingShown << view->Form11()->isVisible();
        windowEnabled << form->isEnabled();
        sentBeforePause << sim->requests().size();
    });
    forget();
    panel->button("ButtonInitParam")->click();
    EXPECT_EQ(sent(), (QStringList{"w29=8", "w29=4", "w27=8", "w28=8"}));
    EXPECT_EQ(pauses.count(), 3);
    // Each pause ends between two writes: none of the sequence goes out early.
    EXPECT_EQ(sentBeforePause, (QList<qsizetype>{1, 2, 3}));
    EXPECT_EQ(waitingShown, (QList<bool>{true, true, true}));
    EXPECT_EQ(windowEnabled, (QList<bool>{false, false, false}));
    EXPECT_FALSE(view->Form11()->isVisible());
    EXPECT_FALSE(view->Form11()->isModal());
    EXPECT_EQ(view->Form11()->windowTitle(), QString::fromUtf8("Инициализация прибора"));
    EXPECT_TRUE(windowUsable());
    EXPECT_FALSE(panel->isVisible()); // not re-read
}

TEST_F(SystemView, ClockAnsweredNoSendsNothing) {
    forget();
    modalAnswer = [](QDialog&) { return TForm18::No; };
    panel->button("Button1")->click();
    EXPECT_EQ(modalShown, (QList<QDialog*>{view->Form18()}));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(SystemView, ClockQuestionRunsModallyAndCanBeDeclined) {
    forget();
    view->runModal = [](QDialog& dialog) { return dialog.exec(); };
    ModalDriver modals;
    modals.then(pressIn(view->Form18(), view->Form18()->Button2));
    panel->button("Button1")->click();
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(view->Form18()->isVisible());
}

TEST_F(SystemView, ClockSetFromThePcClockThenTheViewIsShown) {
    forget();
    panel->button("Button1")->click();
    const QStringList requests = sent();
    // 01.06.2025 12:30:45 (the fraction dropped) is 1748781045.
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.first(), "W0:2=683c47f5");
    EXPECT_EQ(requests.mid(requests.size() - 3), FullRead);
    EXPECT_EQ(sim->deviceTime(1), 1748781045u);
    EXPECT_EQ(text("EditDate"), "01.06.2025");
    EXPECT_EQ(text("EditTime"), "12:30:45");
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(form->SystemParam->isChecked());
    EXPECT_TRUE(windowUsable());
}

namespace {
struct Clearing {
    bool silent;
    const char* button;
    QStringList requests;
    int pauses;
    std::string name() const { return std::string(button) + (silent ? "SilentDevice" : ""); }
};
void PrintTo(const Clearing& c, std::ostream* os) {
    *os << c.name();
}
} // namespace

class SystemViewClearing : public SystemView, public ::testing::WithParamInterface<Clearing> {};

TEST_P(SystemViewClearing, SendsItsCommandsAndReportsTheEnd) {
    const Clearing& clearing = GetParam();
    const bool silent = clearing.silent;
    ClearingWindow* window = QLatin1String(clearing.button) == QLatin1String("ButtonClearArh")
                                 ? static_cast<ClearingWindow*>(view->Form19())
                                 : static_cast<ClearingWindow*>(view->Form14());
    if (silent) sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    const QString statusBefore = QStringLiteral("status before");
    form->StatusBar1->setText(0, statusBefore);
    QList<bool> waiting;
    QObject watch;
    QObject::connect(form->Timer2, &QTimer::timeout, &watch, [&] {
        waiting << (window->isVisible() && window->StaticText1->isVisible() &&
                    !window->Button1->isVisible() && !form->isEnabled());
    });
    bool finishedShown = false;
    modalAnswer = [&](QDialog& d) {
        if (qobject_cast<ConfirmDialog*>(&d)) return int(QDialog::Accepted);
        // Hidden before it runs modally, so its texts count as shown when not hidden themselves.
        finishedShown = &d == window && !window->isVisible() && !window->StaticText2->isHidden() &&
                        window->StaticText1->isHidden() && !window->Button1->isHidden() &&
                        window->cursor().shape() == Qt::ArrowCursor && !form->isEnabled();
        window->Button1Click();
        return d.result();
    };
    forget();
    panel->button(QString::fromLatin1(clearing.button))->click();
    EXPECT_EQ(sent(), clearing.requests);
    EXPECT_EQ(waiting, QList<bool>(clearing.pauses, true));
    EXPECT_TRUE(finishedShown);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), 1);
    EXPECT_EQ(form->StatusBar1->text(0), statusBefore);
    EXPECT_TRUE(windowUsable());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, SystemViewClearing,
    ::testing::Values(Clearing{false, "ButtonClearArh", {"w29=1"}, 1},
                      Clearing{true, "ButtonClearArh", {"w29=1"}, 1},
                      Clearing{false, "ButtonClearJournals", {"w29=2", "w27=4", "w28=4"}, 2},
                      Clearing{true, "ButtonClearJournals", {"w29=2", "w27=4", "w28=4"}, 2}),
    [](const auto& info) { return info.param.name(); });

// Clearing cannot be undone: it is asked about first, and only "Да" clears. Enter, which the
// operator may press out of habit, answers "Нет".
TEST_F(SystemView, ClearingAsksFirstAndOnlyYesClears) {
    view->runModal = [](QDialog& dialog) { return dialog.exec(); };
    for (const auto& [name, caption, requests] :
         {std::tuple{"ButtonClearArh", "Очистка архивов", QStringList{"w29=1"}},
          std::tuple{"ButtonClearJournals", "Очистка журналов", QStringList{"w29=2", "w27=4", "w28=4"}}}) {
        for (const char* answer : {"no", "enter", "escape", "yes"}) {
            const bool yes = QLatin1String(answer) == QLatin1String("yes");
            forget();
            QString title;
            ModalDriver modals;
            modals.then(on<ConfirmDialog>([&](ConfirmDialog* d) {
                title = d->windowTitle();
                EXPECT_TRUE(d->ButtonNo->isDefault());
                EXPECT_FALSE(d->ButtonYes->isDefault());
                if (yes)
                    press(d->ButtonYes);
                else if (QLatin1String(answer) == QLatin1String("no"))
                    press(d->ButtonNo);
                else
                    QTest::keyClick(d->focusWidget() ? d->focusWidget() : d,
                                    QLatin1String(answer) == QLatin1String("enter") ? Qt::Key_Return
                                                                                    : Qt::Key_Escape);
            }));
            if (yes) modals.then(on<ClearingWindow>([](ClearingWindow* w) { press(w->Button1); }));
            panel->button(QString::fromLatin1(name))->click();
            EXPECT_TRUE(modals.done()) << name << ' ' << answer;
            EXPECT_EQ(title, QString::fromUtf8(caption));
            EXPECT_EQ(sent(), yes ? requests : QStringList()) << name << ' ' << answer;
            EXPECT_TRUE(windowUsable());
        }
    }
}

TEST_F(SystemView, ClearingEmptiesTheDeviceArchivesAndJournals) {
    const quint32 lastHour = DeviceStart - DeviceStart % 3600 - 3600;
    const quint32 lastDay = DeviceStart - DeviceStart % 86400 - 86400;
    sim::ArchiveRecord record;
    ASSERT_TRUE(sim->archiveRecord(1, 0, lastHour, &record));
    ASSERT_TRUE(sim->archiveRecord(1, 1, lastDay, &record));
    int entries = 0;
    for (int journal = 3; journal <= 6; ++journal)
        entries += sim->journal(1, journal).size();
    ASSERT_GT(entries, 0);

    panel->button("ButtonClearArh")->click();
    EXPECT_FALSE(sim->archiveRecord(1, 0, lastHour, &record));
    EXPECT_FALSE(sim->archiveRecord(1, 1, lastDay, &record));
    panel->button("ButtonClearJournals")->click();
    for (int journal = 3; journal <= 6; ++journal)
        EXPECT_TRUE(sim->journal(1, journal).isEmpty()) << journal;
}

TEST_F(SystemView, ClearingWindowClosesWithItsOkButton) {
    view->runModal = [](QDialog& dialog) { return dialog.exec(); };
    ModalDriver modals;
    modals.then(on<ConfirmDialog>([](ConfirmDialog* d) { press(d->ButtonYes); }));
    modals.then(pressIn(view->Form19(), view->Form19()->Button1));
    panel->button("ButtonClearArh")->click();
    EXPECT_EQ(view->Form19()->result(), 1);
    EXPECT_FALSE(view->Form19()->isVisible());
    EXPECT_TRUE(form->LinkIdle);
}
