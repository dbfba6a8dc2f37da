// Start-up with good and damaged settings files, the window's initial state, closing and shutdown.
#include "mainwindowfixture.h"

#include "link/linkport.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform17.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

using StartUp = MainWindowTest;

TEST_F(StartUp, SettingsFileReadBackUnchangedAfterShutdown) {
    const QByteArray original = "2 19200,n,8,1\r\n7000\r\nTrue\r\nFalse\r\nATZ\r\nATDP\r\n8123\r\n40";
    writeSensCfg(original);
    createWindow();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(form->ModBus->MSComm1()->CommPort(), 2);
    EXPECT_EQ(form->ModBus->MSComm1()->Settings(), QStringLiteral("19200,n,8,1"));
    EXPECT_EQ(form->Timer1->interval(), 7000);
    EXPECT_TRUE(form->ModBus->rtsMode());
    EXPECT_FALSE(form->UseModem);
    EXPECT_EQ(form->ModemInitString, QStringLiteral("ATZ"));
    EXPECT_EQ(form->DialPrefix, QStringLiteral("ATDP"));
    EXPECT_EQ(form->PhoneNumber, QStringLiteral("8123"));
    EXPECT_EQ(form->ModemDelay, 40);
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_FALSE(form->Memo1->isVisibleTo(form.get()));
    EXPECT_EQ(form->StringGridArchives->cell(0, 0), QStringLiteral("     Дата архивации"));
    EXPECT_EQ(form->StringGridArchives->cell(4, 0), QStringLiteral(" Время нештатных ситуаций"));
    form.reset();
    EXPECT_EQ(readSensCfg(), original);
}

TEST_F(StartUp, ModemShowsTheMemo) {
    writeSensCfg(sensCfg("1 9600,n,8,1", "True"));
    createWindow();
    EXPECT_TRUE(form->UseModem);
    EXPECT_TRUE(form->Memo1->isVisibleTo(form.get()));
}

// A damaged file: the error box, and everything from the failing step on keeps its start value.
TEST_F(StartUp, DamagedSettingsFileKeepsStartValues) {
    struct Case {
        const char* name;
        QByteArray bytes; // empty: no file
        bool rtsMode;
        bool useModem; // true is the start value, kept when the file could not be read at all
        int port;
        int pollMs;
    };
    const Case cases[] = {
        {"missing", QByteArray(), false, true, 1, 10000},
        {"delay not a number", "2 19200,n,8,1\r\n7000\r\nTrue\r\nFalse\r\n\r\n\r\n\r\nx", true, false, 1,
         10000},
        {"port not a digit", "x 19200,n,8,1\r\n7000\r\nTrue\r\nFalse\r\n\r\n\r\n\r\n3", true, false, 1,
         10000},
        {"poll not a number", "2 19200,n,8,1\r\nsoon\r\nTrue\r\nFalse\r\n\r\n\r\n\r\n3", true, false, 2,
         10000},
        // Lines past the end read as empty: RTS and modem off, then the empty delay fails.
        {"two lines only", "2 19200,n,8,1\r\n7000", false, false, 1, 10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(QStringLiteral("Sens.cfg"));
        if (!c.bytes.isEmpty()) writeSensCfg(c.bytes);
        messages.clear();
        createWindow();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Монитор КАСТАРИ-ДК|")));
        // A first run meets this one: in the operator's language.
        if (c.bytes.isEmpty()) {
            EXPECT_EQ(messages[0], QStringLiteral("Монитор КАСТАРИ-ДК|Файл Sens.cfg не найден"));
        }
        EXPECT_EQ(form->ModBus->rtsMode(), c.rtsMode);
        EXPECT_EQ(form->UseModem, c.useModem);
        EXPECT_EQ(form->ModBus->MSComm1()->CommPort(), c.port);
        EXPECT_EQ(form->Timer1->interval(), c.pollMs);
        // Steps after the failure did not run: guard closed, memo hidden, archive grid untitled.
        EXPECT_FALSE(form->LinkIdle);
        EXPECT_FALSE(form->Memo1->isVisibleTo(form.get()));
        EXPECT_TRUE(form->StringGridArchives->cell(0, 0).isEmpty());
        form.reset();
        // Shutdown writes a complete file again.
        EXPECT_TRUE(senscfg::parse(readSensCfg()).ok()) << readSensCfg().toStdString();
    }
}

TEST_F(StartUp, InitialWindowAndMenu) {
    writeSensCfg(sensCfg());
    createWindow();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Монитор КАСТАРИ-ДК"));
    EXPECT_EQ(form->clientArea()->size(), QSize(690, 514));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());

    struct Item {
        const char* name;
        const char* caption;
        int tag;
        bool enabled;
        bool checked;
    };
    const Item items[] = {
        {"MenuFile", "&Файл", 0, true, false},
        {"MenuSaveArchive", "Сохранить архив", 0, false, false},
        {"MenuSaveParam", "Сохранить параметры", 0, false, false},
        {"MenuLoadParam", "Загрузить параметры", 0, false, false},
        {"MenuSettings", "&Настройки", 0, true, false},
        {"MenuRS232", "RS-232", 0, true, false},
        {"MenuPollPeriod", "Период опроса", 0, true, false},
        {"MenuLink", "Связь", 0, true, false},
        {"MenuConnect", "Соединение", 0, true, false},
        {"MenuChoiceDevice", "Выбор прибора", 0, true, false},
        {"MenuOtherDevice", "Другой прибор", 0, true, false},
        {"MenuTypeParam", "&Тип параметров", 5, false, false},
        {"SystemParam", "Общесистемные", 5, true, true},
        {"GeneralParam", "Основные", 6, true, false},
        {"Adjustment", "Настройка", 7, true, false},
        {"Measurements", "Измерения", 8, true, false},
        {"Archives", "Архивы", 9, true, false},
        {"Hour", "Часовой", 11, true, false},
        {"Day", "Суточный", 12, true, false},
        {"Month", "Месячный", 13, true, false},
        {"Journals", "Журналы", 10, true, false},
        {"Fault", "Журнал отказов", 14, true, false},
        {"Operator", "Журнал оператора", 15, true, false},
        {"Nstate", "Журнал нештатных ситуаций", 16, true, false},
        {"MenuChoiceChannel", "Выбор канала", 0, false, false},
        {"FirstChannel", "1 - й канал", 0, true, true},
        {"SecondChannel", "2 - й канал", 0, true, false},
    };
    for (const Item& item : items) {
        SCOPED_TRACE(item.name);
        auto* action = form->findChild<QAction*>(QString::fromLatin1(item.name));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromUtf8(item.caption));
        EXPECT_EQ(TForm1::tagOf(action), item.tag);
        EXPECT_EQ(action->isEnabled(), item.enabled);
        EXPECT_EQ(action->isChecked(), item.checked);
    }
    // The five top menus in order ("Сервис" stays hidden until a tool adds an item).
    QStringList top;
    for (QAction* a : form->menuBar()->actions())
        if (a->isVisible()) top << a->text();
    EXPECT_EQ(top, QStringList({"&Файл", "&Настройки", "Связь", "&Тип параметров", "Выбор канала"}));

    // 127 hidden device items, a separator, "Другой прибор".
    const QList<QAction*> devices = form->MenuChoiceDevice->menu()->actions();
    ASSERT_EQ(devices.size(), 129);
    for (int n = 1; n <= 127; ++n) {
        EXPECT_EQ(devices[n - 1]->objectName(), QStringLiteral("Device%1").arg(n));
        EXPECT_FALSE(devices[n - 1]->isVisible());
    }
    EXPECT_TRUE(devices[127]->isSeparator());
    EXPECT_EQ(devices[128], form->MenuOtherDevice);

    // Every group view hidden; bars and panels as the operator expects them.
    for (const char* name : {"PanelGeneralParam", "PanelAdjustment", "PanelCounters", "StringGridArchives",
                             "StringGridJournals", "Memo1"}) {
        auto* w = form->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_FALSE(w->isVisibleTo(form.get())) << name;
    }
    EXPECT_EQ(form->ProgressBar1->maximum(), 250);
    EXPECT_EQ(form->ProgressBar1->width(), 273);
    EXPECT_EQ(form->StatusBar2->width(), 341); // the classic 313 cut the channel panel's text
    EXPECT_EQ(form->StatusBar2->geometry().right(), 681);
    ASSERT_EQ(form->StatusBar2->panelCount(), 3);
    EXPECT_EQ(form->StatusBar2->panelWidth(0), 230);
    EXPECT_EQ(form->StatusBar2->panelWidth(2), 50);
    ASSERT_EQ(form->StatusBar1->panelCount(), 2);
    EXPECT_EQ(form->StatusBar1->panelWidth(0), 150);
    EXPECT_EQ(form->StatusBar1->geometry().bottom(), 513);
}

TEST_F(StartUp, EveryChannelCaptionFitsTheChannelPanel) {
    writeSensCfg(sensCfg());
    createWindow();
    QLabel* panel = form->StatusBar2->panel(2);
    for (QAction* item : {form->FirstChannel, form->SecondChannel}) {
        for (const QString& caption :
             {TForm1::captionOf(item), TForm1::captionOf(item).remove(QStringLiteral("й "))}) {
            form->showChannelPanel(caption);
            EXPECT_LE(panel->sizeHint().width(), panel->width()) << caption.toStdString();
        }
    }
}

TEST_F(StartUp, CloseAsksAndNoRefusesDuringAPoll) {
    writeSensCfg(sensCfg());
    startSimulator({device(1)}, [](sim::SimOptions& o) {
        sim::FaultSpec late = sim::FaultSpec::always(sim::Fault::Chunks);
        late.chunkSize = 2;
        late.chunkGapMs = 20;
        o.faults.append(late);
    });
    createWindow();
    pretendSelected(1);

    // Close requests that arrive while the poll's exchange runs are refused without a dialog, and
    // they do not open the guard under the running exchange.
    int dialogs = 0;
    bool closedDuringPoll = true;
    bool secondClosedDuringPoll = true;
    bool guardOpenedDuringPoll = false;
    form->setGroupReader(TForm1::GroupCounters, [&] {
        QTimer::singleShot(5, form.get(), [&] {
            closedDuringPoll = form->close();
            guardOpenedDuringPoll |= form->LinkIdle;
        });
        QTimer::singleShot(10, form.get(), [&] {
            secondClosedDuringPoll = form->close();
            guardOpenedDuringPoll |= form->LinkIdle;
        });
        form->exchange().readHolding(0, 21);
    });
    TForm1::setTag(form->MenuTypeParam, TForm1::GroupCounters);
    {
        ModalDriver driver; // any dialog here is a fault
        form->Timer1->setInterval(100000);
        form->Timer1Timer();
        dialogs += driver.unexpected();
    }
    EXPECT_FALSE(closedDuringPoll);
    EXPECT_FALSE(secondClosedDuringPoll);
    EXPECT_FALSE(guardOpenedDuringPoll);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(form->LinkIdle); // the poll gave it back
    EXPECT_TRUE(form->isVisible());

    // The next one asks; "Нет" keeps the window and opens the guard again.
    {
        ModalDriver driver;
        driver.then(on<TForm17>([](TForm17* d) { press(d->Button2); }));
        EXPECT_FALSE(form->close());
        EXPECT_TRUE(driver.done());
    }
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_TRUE(form->isVisible());

    // "Да" closes.
    {
        ModalDriver driver;
        driver.then(on<TForm17>([](TForm17* d) { press(d->Button1); }));
        EXPECT_TRUE(form->close());
        EXPECT_TRUE(driver.done());
    }
}

// A menu opened and dismissed leaves the guard closed until Timer3 ticks; a close request meanwhile
// is asked about at once, not dropped.
TEST_F(StartUp, CloseRightAfterADismissedMenuAsks) {
    startWithOneMeter();
    pretendSelected(1);
    QMenu* menu = form->topMenus().at(0);
    menu->popup(form->mapToGlobal(QPoint(10, 10)));
    menu->hide();
    ASSERT_FALSE(form->LinkIdle);
    {
        ModalDriver driver;
        driver.then(on<TForm17>([](TForm17* d) { press(d->Button2); }));
        EXPECT_FALSE(form->close());
        EXPECT_TRUE(driver.done());
    }
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(StartUp, ShutdownReturnsTheSelectedDeviceToNormalState) {
    writeSensCfg(sensCfg());
    startSimulator({device(3)});
    createWindow();
    sim->setCoil(3, 4, true);
    sim->setHolding(3, 15, 1);
    form->DeviceAddress = 3;
    form->shutdown();
    EXPECT_EQ(requestPdus(), QStringList({"03 05 00 04 00 00", "03 06 00 0f 00 00"}));
    EXPECT_FALSE(sim->coil(3, 4));
    EXPECT_EQ(sim->holding(3, 15), 0);
    EXPECT_FALSE(form->ModBus->MSComm1()->PortOpen());
}

// No device was ever chosen: nothing goes out (address 0 would reach every device on the line).
TEST_F(StartUp, ShutdownWithoutDeviceSendsNothing) {
    writeSensCfg(sensCfg());
    startSimulator({device(1)});
    createWindow();
    form->shutdown();
    EXPECT_TRUE(sim->requests().isEmpty());
    EXPECT_EQ(readSensCfg(), sensCfg());
}
