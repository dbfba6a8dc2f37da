#include "app/tform1.h"
#include "app/filesave.h"
#include "app/pollreport.h"
#include "ui/tag.h"

#include "device/identification.h"

#include "link/linespeed.h"
#include "link/linkport.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "ui/archivegrids.h"
#include "ui/errorbox.h"
#include "ui/fixeddialog.h"
#include "ui/placed.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform15.h"
#include "ui/tform17.h"
#include "ui/tform20.h"
#include "ui/tform3.h"
#include "ui/tform4.h"
#include "ui/tform7.h"
#include "ui/tform8.h"
#include "ui/tform9.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QShortcut>
#include <QTimer>

namespace {

QFrame* placeholderPanel(QWidget* parent, const QString& name) {
    auto* panel = placed<QFrame>(parent, name, {8, 32, 673, 393});
    panel->setFrameShape(QFrame::Panel);
    panel->hide();
    return panel;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Монитор КАСТАРИ-ДК"));

    // The engine comes first: everything else refers to it.
    m_modBus = std::make_unique<TModBus>();
    ModBus = m_modBus.get();

    buildViews();
    buildMenu();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(10000);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);

    m_exchange = std::make_unique<Exchange>(*ModBus, DeviceAddress, *StatusBar1, *ProgressBar1, *Timer2);
    connect(ModBus, &TModBus::chunkReceived, this, [this](int bytes) { m_exchange->advanceProgress(bytes); });
    connect(ModBus, &TModBus::transactionEnded, this, &TForm1::noteLineIdle);
    // Connected after the exchange's own handler, which ends the pause.
    connect(Timer2, &QTimer::timeout, this, &TForm1::noteLineIdle);
    connect(ModBus, &TModBus::portOpenFailed, this, [this] {
        PollReport::failNow();
        if (!m_portFailureShown) {
            m_portFailureShown = m_handlerDepth > 0;
            ShowMessage(QStringLiteral("Ошибка"), QStringLiteral("Ошибка при открытии порта!"));
        }
        // A scan must not go on asking 126 more addresses through a port that is not there.
        if (Form3) Form3->StopRequested = true;
    });

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    startUp();
}

TForm1::~TForm1() {
    shutdown();
    // The dialogs are top-level windows of their own (a disabled main window must not disable
    // the scan's "Stop"), so the window deletes them itself.
    delete Form3;
    delete Form4;
    delete Form7;
    delete Form8;
    delete Form9;
    delete Form15;
    delete Form17;
    delete Form20;
}

void TForm1::createDialogs() {
    if (Form3) return;
    Form4 = new TForm4;
    Form3 = new TForm3;
    Form7 = new TForm7;
    Form8 = new TForm8;
    Form9 = new TForm9;
    Form15 = new TForm15;
    Form17 = new TForm17;
    Form20 = new TForm20;

    Form8->setErrorDialog(Form9);
    Form8->Identify = [this](int address, const QString& speed) -> std::optional<QString> {
        ModBus->MSComm1()->setSettings(linespeed::settingsFor(speed));
        return identify(address);
    };
}

// --- Layout -------------------------------------------------------------------------------------

void TForm1::buildViews() {
    m_clientArea = new QWidget(this);
    m_clientArea->setObjectName(QStringLiteral("ClientArea"));
    m_clientArea->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(m_clientArea);

    ProgressBar1 = placed<QProgressBar>(m_clientArea, "ProgressBar1", {8, 7, 273, 17});
    ProgressBar1->setRange(0, 250);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    tag::set(ProgressBar1, 0);

    StatusBar2 = new StatusBar(m_clientArea);
    StatusBar2->setObjectName(QStringLiteral("StatusBar2"));
    // 28 pixels wider than the classic 313, into the free space on its left: the channel panel
    // takes what the other two leave, and 68 pixels cut "2 - й канал".
    StatusBar2->setGeometry(341, 5, 341, StatusBar::DefaultHeight);
    StatusBar2->addPanel(230, Qt::AlignCenter);
    StatusBar2->addPanel(15);
    StatusBar2->addPanel(50, Qt::AlignCenter);

    PanelGeneralParam = placeholderPanel(m_clientArea, QStringLiteral("PanelGeneralParam"));
    PanelAdjustment = placeholderPanel(m_clientArea, QStringLiteral("PanelAdjustment"));
    PanelCounters = placeholderPanel(m_clientArea, QStringLiteral("PanelCounters"));

    StringGridArchives = makeArchiveGrid(m_clientArea);
    StringGridArchives->setGeometry(8, 32, 673, 457);
    StringGridArchives->hide();

    StringGridJournals = makeJournalGrid(m_clientArea);
    StringGridJournals->setGeometry(8, 32, 673, 457);
    StringGridJournals->hide();

    m_groupViews = {PanelGeneralParam, PanelAdjustment, PanelCounters, StringGridArchives,
                    StringGridJournals};

    Memo1 = placed<QPlainTextEdit>(m_clientArea, "Memo1", {8, 400, 673, 89});
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette grey = Memo1->palette();
    grey.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
    Memo1->setPalette(grey);
    Memo1->hide();

    StatusBar1 = placed<StatusBar>(
        m_clientArea, "StatusBar1",
        {0, ClientHeight - StatusBar::DefaultHeight, ClientWidth, StatusBar::DefaultHeight});
    StatusBar1->addPanel(150);
    StatusBar1->addPanel(50);
}

QAction* TForm1::menuItem(QMenu* menu, const QString& name, const QString& caption, int tag) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    if (tag >= 0) setTag(item, tag);
    return item;
}

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    auto topMenu = [&](const QString& name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(name + QStringLiteral("Popup"));
        menu->menuAction()->setObjectName(name);
        m_topMenus.append(menu);
        connect(menu, &QMenu::aboutToShow, this, &TForm1::TopMenuOpened);
        return menu;
    };
    auto subMenu = [&](QMenu* parentMenu, const QString& name, const QString& caption, int tag = -1) {
        QMenu* menu = parentMenu->addMenu(caption);
        menu->setObjectName(name + QStringLiteral("Popup"));
        menu->menuAction()->setObjectName(name);
        if (tag >= 0) setTag(menu->menuAction(), tag);
        return menu;
    };
    // Handlers run after the menu has closed, never from inside its mouse event.
    auto onTrigger = [this](QAction* item, void (TForm1::*handler)()) {
        connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    };
    auto onTriggerItem = [this](QAction* item, void (TForm1::*handler)(QAction*)) {
        connect(
            item, &QAction::triggered, this, [this, item, handler] { (this->*handler)(item); },
            Qt::QueuedConnection);
    };

    QMenu* file = topMenu(QStringLiteral("MenuFile"), QStringLiteral("&Файл"));
    MenuFile = file->menuAction();
    MenuSaveArchive = menuItem(file, QStringLiteral("MenuSaveArchive"), QStringLiteral("Сохранить архив"));
    MenuSaveParam = menuItem(file, QStringLiteral("MenuSaveParam"), QStringLiteral("Сохранить параметры"));
    MenuLoadParam = menuItem(file, QStringLiteral("MenuLoadParam"), QStringLiteral("Загрузить параметры"));
    for (QAction* item : {MenuSaveArchive, MenuSaveParam, MenuLoadParam})
        item->setEnabled(false);

    QMenu* settings = topMenu(QStringLiteral("MenuSettings"), QStringLiteral("&Настройки"));
    MenuSettings = settings->menuAction();
    MenuRS232 = menuItem(settings, QStringLiteral("MenuRS232"), QStringLiteral("RS-232"));
    MenuPollPeriod = menuItem(settings, QStringLiteral("MenuPollPeriod"), QStringLiteral("Период опроса"));
    onTrigger(MenuRS232, &TForm1::MenuRS232Click);
    onTrigger(MenuPollPeriod, &TForm1::MenuPollPeriodClick);

    QMenu* link = topMenu(QStringLiteral("MenuLink"), QStringLiteral("Связь"));
    MenuLink = link->menuAction();
    MenuConnect = menuItem(link, QStringLiteral("MenuConnect"), QStringLiteral("Соединение"));
    onTrigger(MenuConnect, &TForm1::MenuConnectClick);
    QMenu* devices = subMenu(link, QStringLiteral("MenuChoiceDevice"), QStringLiteral("Выбор прибора"));
    MenuChoiceDevice = devices->menuAction();
    for (int n = 1; n <= DeviceItemCount; ++n) {
        Device[n] = menuItem(devices, QStringLiteral("Device%1").arg(n), QString());
        Device[n]->setVisible(false);
        onTriggerItem(Device[n], &TForm1::DeviceClick);
    }
    devices->addSeparator();
    MenuOtherDevice = menuItem(devices, QStringLiteral("MenuOtherDevice"), QStringLiteral("Другой прибор"));
    onTrigger(MenuOtherDevice, &TForm1::MenuOtherDeviceClick);

    QMenu* type = topMenu(QStringLiteral("MenuTypeParam"), QStringLiteral("&Тип параметров"));
    MenuTypeParam = type->menuAction();
    setTag(MenuTypeParam, GroupSystem);
    setMenuEnabled(MenuTypeParam, false);
    SystemParam = menuItem(type, QStringLiteral("SystemParam"), QStringLiteral("Общесистемные"), GroupSystem);
    GeneralParam = menuItem(type, QStringLiteral("GeneralParam"), QStringLiteral("Основные"), GroupGeneral);
    Adjustment = menuItem(type, QStringLiteral("Adjustment"), QStringLiteral("Настройка"), GroupAdjustment);
    Measurements = menuItem(type, QStringLiteral("Measurements"), QStringLiteral("Измерения"), GroupCounters);
    QMenu* archives = subMenu(type, QStringLiteral("Archives"), QStringLiteral("Архивы"), GroupArchives);
    Archives = archives->menuAction();
    Hour = menuItem(archives, QStringLiteral("Hour"), QStringLiteral("Часовой"), ArchiveHour);
    Day = menuItem(archives, QStringLiteral("Day"), QStringLiteral("Суточный"), ArchiveDay);
    Month = menuItem(archives, QStringLiteral("Month"), QStringLiteral("Месячный"), ArchiveMonth);
    QMenu* journals = subMenu(type, QStringLiteral("Journals"), QStringLiteral("Журналы"), GroupJournals);
    Journals = journals->menuAction();
    Fault = menuItem(journals, QStringLiteral("Fault"), QStringLiteral("Журнал отказов"), JournalFault);
    Operator =
        menuItem(journals, QStringLiteral("Operator"), QStringLiteral("Журнал оператора"), JournalOperator);
    Nstate = menuItem(journals, QStringLiteral("Nstate"), QStringLiteral("Журнал нештатных ситуаций"),
                      JournalNstate);
    m_typeItems = {SystemParam, GeneralParam, Adjustment, Measurements, Archives, Journals};
    for (QAction* item : {SystemParam, GeneralParam, Adjustment, Measurements, Archives, Journals, Hour, Day,
                          Month, Fault, Operator, Nstate})
        item->setCheckable(true);
    SystemParam->setChecked(true);
    for (QAction* item :
         {SystemParam, GeneralParam, Adjustment, Measurements, Hour, Day, Month, Fault, Operator, Nstate})
        onTriggerItem(item, &TForm1::MenuTypeParamClick);

    QMenu* channel = topMenu(QStringLiteral("MenuChoiceChannel"), QStringLiteral("Выбор канала"));
    MenuChoiceChannel = channel->menuAction();
    setMenuEnabled(MenuChoiceChannel, false);
    FirstChannel = menuItem(channel, QStringLiteral("FirstChannel"), QStringLiteral("1 - й канал"));
    SecondChannel = menuItem(channel, QStringLiteral("SecondChannel"), QStringLiteral("2 - й канал"));
    FirstChannel->setCheckable(true);
    SecondChannel->setCheckable(true);
    FirstChannel->setChecked(true);
    onTriggerItem(FirstChannel, &TForm1::ChannelClick);
    onTriggerItem(SecondChannel, &TForm1::ChannelClick);

    QMenu* service = bar->addMenu(QStringLiteral("Сервис"));
    service->setObjectName(QStringLiteral("MenuServicePopup"));
    MenuService = service->menuAction();
    MenuService->setObjectName(QStringLiteral("MenuService"));
    MenuService->setVisible(false);

    // F10 reaches the menu bar from the keyboard whatever the layout: its Cyrillic mnemonics need a
    // Cyrillic one. A disabled bar (an exchange running) stays shut.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this, [bar] {
        if (!bar->isEnabled()) return;
        for (QAction* item : bar->actions()) {
            if (item->isVisible() && item->isEnabled()) {
                bar->setActiveAction(item);
                return;
            }
        }
    });
}

QAction* TForm1::addServiceItem(const QString& name, const QString& caption) {
    MenuService->setVisible(true);
    return menuItem(MenuService->menu(), name, caption);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        centreOnScreen(this);
    }
}

void TForm1::setMenuEnabled(QAction* menuItem, bool enabled) {
    if (QMenu* menu = menuItem->menu())
        menu->setEnabled(enabled);
    else
        menuItem->setEnabled(enabled);
}

bool TForm1::menuEnabled(const QAction* menuItem) {
    if (const QMenu* menu = menuItem->menu()) return !menu->testAttribute(Qt::WA_ForceDisabled);
    return menuItem->isEnabled();
}

int TForm1::tagOf(const QObject* object) {
    return tag::of(object);
}

void TForm1::setTag(QObject* object, int value) {
    tag::set(object, value);
}

QString TForm1::captionOf(const QAction* item) {
    return item ? QString(item->text()).replace(QStringLiteral("&&"), QStringLiteral("&")) : QString();
}

void TForm1::setCaption(QAction* item, const QString& text) {
    item->setText(QString(text).replace(u'&', QStringLiteral("&&")));
}

// --- Group views ----------------------------------------------------------------------------------

void TForm1::setGroupReader(int tag, std::function<void()> reader) {
    m_readers[tag] = std::move(reader);
}

void TForm1::runGroupReader(int tag) {
    const auto it = m_readers.find(tag);
    if (it != m_readers.end() && it->second) it->second();
}

void TForm1::addGroupPanel(QWidget* panel) {
    const QString name = panel->objectName();
    QWidget** field = nullptr;
    if (name == QLatin1String("PanelSystemParam"))
        field = &PanelSystemParam;
    else if (name == QLatin1String("PanelGeneralParam"))
        field = &PanelGeneralParam;
    else if (name == QLatin1String("PanelAdjustment"))
        field = &PanelAdjustment;
    else if (name == QLatin1String("PanelCounters"))
        field = &PanelCounters;
    if (field && *field && *field != panel) {
        m_groupViews.removeAll(*field);
        delete *field;
    }
    if (field) *field = panel;
    const QRect geometry = panel->geometry();
    panel->setParent(m_clientArea);
    panel->setGeometry(geometry);
    panel->hide();
    // The modem memo lies over the bottom of the view area and must stay visible above a panel.
    Memo1->raise();
    if (!m_groupViews.contains(panel)) m_groupViews.append(panel);
}

void TForm1::hideGroupViews() {
    for (QWidget* view : std::as_const(m_groupViews))
        view->hide();
    if (PanelGeneralParam)
        for (QGroupBox* box : PanelGeneralParam->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
            box->hide();
}

QList<int> TForm1::listedAddresses() const {
    QList<int> addresses;
    for (int n = 1; n <= DeviceItemCount; ++n)
        if (Device[n]->isVisible())
            if (const std::optional<int> address = ident::addressOfEntry(captionOf(Device[n])))
                addresses.append(*address);
    return addresses;
}

// --- What the views ask of the window -------------------------------------------------------------

int TForm1::channel() const {
    return SecondChannel->isChecked() ? 2 : 1;
}

bool TForm1::polling() const {
    return Timer1->isActive();
}

int TForm1::pollIntervalMs() const {
    return Timer1->interval();
}

void TForm1::chooseGroup(Group group) {
    for (QAction* item : std::as_const(m_typeItems)) {
        if (tagOf(item) == group) {
            MenuTypeParamClick(item);
            return;
        }
    }
}

void TForm1::watchFlows(QObject* receiver, std::function<void(const trend::Poll&)> watch) {
    connect(this, &TForm1::flowsPolled, receiver, std::move(watch));
}

bool TForm1::archiveChosen() const {
    return Archives->isChecked();
}

void TForm1::setArchiveRangeDialog(TForm10& dialog) {
    if (Form9) dialog.setErrorDialog(Form9);
    ArchiveRangeDialog = [&dialog] { return execModal(dialog) == 1; };
}

QAction* TForm1::fileCommand(FileCommand command) {
    switch (command) {
    case FileCommand::SaveArchive:
        return MenuSaveArchive;
    case FileCommand::SaveParams:
        return MenuSaveParam;
    case FileCommand::LoadParams:
        return MenuLoadParam;
    }
    return nullptr;
}

void TForm1::enableChannelChoice() {
    setMenuEnabled(MenuChoiceChannel, true);
}

void TForm1::showChosenChannel() {
    showChannelPanel(captionOf(channel() == 2 ? SecondChannel : FirstChannel));
}

MeterIdentity TForm1::chosenMeter() {
    if (!m_chosenMeter || m_chosenMeter->choice != m_meterChoice || m_chosenMeter->address != DeviceAddress) {
        const LinkPort* comm = ModBus->MSComm1();
        MeterIdentity meter{.number = {},
                            .deviceText = MeterIdentity::deviceTextOf(deviceCaption()),
                            .address = DeviceAddress,
                            .line = PortMap::systemPort(comm ? comm->CommPort() : 0),
                            .readAt = {},
                            .choice = m_meterChoice};
        // Asked inside whatever action wants the meter; the guard is that action's.
        const OperatorAction asking(*this, {.guard = OperatorAction::Guard::Untouched});
        const std::optional<QString> number = filesave::readElectronicNumber(asking, *this);
        if (!number) return meter;
        meter.number = *number;
        m_chosenMeter = meter;
    }
    return *m_chosenMeter;
}

QString TForm1::deviceCaption() const {
    return StatusBar2->text(0);
}

QString TForm1::channelCaption() const {
    return StatusBar2->text(2);
}

void TForm1::showStatusNote(const QString& text) {
    StatusBar1->setText(1, text);
    StatusBar1->setBevel(1, text.isEmpty() ? StatusBar::Bevel::Lowered : StatusBar::Bevel::Raised);
}

// --- Messages -------------------------------------------------------------------------------------

TForm1::MessageHook& TForm1::messageHook() {
    static MessageHook hook;
    return hook;
}

void TForm1::ShowError(const QString& text) {
    if (messageHook()) {
        messageHook()(windowTitle(), text);
        return;
    }
    const NormalCursor normal;
    showApplicationError(isVisible() ? this : nullptr, text);
}

void TForm1::ShowInformation(const QString& text) {
    showMessageBox(QMessageBox::Information, windowTitle(), text);
}

void TForm1::ShowMessage(const QString& caption, const QString& text) {
    showMessageBox(QMessageBox::NoIcon, caption, text);
}

void TForm1::showMessageBox(int icon, const QString& caption, const QString& text) {
    if (messageHook()) {
        messageHook()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Icon(icon), caption, text, QMessageBox::Ok, isVisible() ? this : nullptr);
    keepTitleWhole(box);
    execModal(box);
}

// --- Start-up, settings, shutdown -----------------------------------------------------------------

void TForm1::startUp() {
    const SensLoad load = senscfg::read(QString::fromLatin1(senscfg::FileName));
    applyLoad(load);
    if (!load.ok()) {
        // The remaining steps are skipped: the memo stays hidden, the archive grid untitled and
        // the guard closed until the first device choice or menu command opens it.
        ShowError(load.error);
        return;
    }
    Memo1->setVisible(UseModem);
    const QStringList titles{QStringLiteral("     Дата архивации"), QStringLiteral("          Объем +"),
                             QStringLiteral("          Объем -"), QStringLiteral("   Суммарный объем"),
                             QStringLiteral(" Время нештатных ситуаций")};
    for (int c = 0; c < titles.size(); ++c)
        StringGridArchives->setCell(c, 0, titles[c]);
    LinkIdle = true;
}

void TForm1::applyLoad(const SensLoad& load) {
    // Values the file did not yield keep what the window holds now.
    SensConfig config = currentSettings();
    load.applyTo(config);
    applyLinkSettings(config.link);
    Timer1->setInterval(config.pollMs);
}

LinkSettings TForm1::linkSettings() const {
    LinkSettings s;
    s.Settings = ModBus->MSComm1()->Settings();
    s.CommPort = ModBus->MSComm1() ? ModBus->MSComm1()->CommPort() : 1;
    s.RtsMode = ModBus->rtsMode();
    s.UseModem = UseModem;
    s.ModemInitString = ModemInitString;
    s.DialPrefix = DialPrefix;
    s.PhoneNumber = PhoneNumber;
    s.ModemDelay = ModemDelay;
    return s;
}

void TForm1::applyLinkSettings(const LinkSettings& s) {
    if (LinkPort* comm = ModBus->MSComm1()) {
        if (s.Settings != comm->Settings()) comm->setSettings(s.Settings);
        if (s.CommPort != comm->CommPort()) {
            comm->setCommPort(s.CommPort);
            meterChosen();
        }
    }
    ModBus->setRtsMode(s.RtsMode);
    UseModem = s.UseModem;
    ModemInitString = s.ModemInitString;
    DialPrefix = s.DialPrefix;
    PhoneNumber = s.PhoneNumber;
    ModemDelay = s.ModemDelay;
}

SensConfig TForm1::currentSettings() const {
    SensConfig config;
    config.link = linkSettings();
    config.pollMs = Timer1->interval();
    return config;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_shutdownDone) {
        event->accept();
        return;
    }
    if (exchangeRunning()) {
        // Refused while an exchange runs: it gives the guard back itself when it ends, and opening
        // the guard under it would let a poll tick start a second one inside it.
        event->ignore();
        return;
    }
    // Otherwise a guard still closed can only be an opened menu's whose Timer3 has not ticked yet
    // (the menu was dismissed): nothing runs, so the request is asked about like any other.
    OperatorAction action(*this, {.guard = OperatorAction::Guard::Held});
    const bool confirmed = !Form17 || execModal(*Form17) == QDialog::Accepted;
    if (!confirmed) {
        event->ignore();
        return;
    }
    // The window goes: nothing may start an exchange on its way out.
    action.leaveGuard();
    event->accept();
}

void TForm1::shutdown() {
    if (m_shutdownDone) return;
    m_shutdownDone = true;
    Timer1->stop();
    Timer3->stop();
    // Address 0 would broadcast the return to normal state to every device on the line, though
    // none was ever put out of it by this run.
    if (DeviceAddress != 0) {
        // One step for the operator, so a port that cannot be opened is reported once.
        const OperatorAction leaving(*this, {.guard = OperatorAction::Guard::Untouched});
        m_exchange->clearCoil(4);
        m_exchange->pause();
        m_exchange->writeRegister(15, 0);
        m_exchange->pause();
    }
    QString error;
    if (!senscfg::write(QString::fromLatin1(senscfg::FileName), currentSettings(), &error)) ShowError(error);
    ModBus->MSComm1()->setPortOpen(false);
}

void TForm1::stopPolling() {
    Timer1->stop();
}

void TForm1::startPolling() {
    Timer1->start();
}

void TForm1::noteLineIdle() {
    if (!exchangeRunning()) emit m_lineIdle.wentIdle();
}

bool TForm1::exchangeRunning() const {
    return ModBus->inTransaction() || m_exchange->pausing() || m_handlerDepth > 0;
}
