#pragma once
// The main window: the program's shared state (engine, device address, guard, timers, status
// bars), its menu, the switching between parameter groups and channels, polling, discovery of
// devices, modem dialling, start-up and shutdown.
#include "app/exchange.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "device/flowtrend.h"
#include "files/senscfg.h"
#include "link/linksettings.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QTimer;
class StatusBar;
class StringGrid;
class TForm3;
class TForm4;
class TForm7;
class TForm8;
class TForm9;
class TForm15;
class TForm17;
class TForm20;
class TModBus;

class TForm1 : public QMainWindow, public ViewHost {
    Q_OBJECT
  public:
    static constexpr int ClientWidth = 690;
    static constexpr int ClientHeight = 514;
    static constexpr int DeviceItemCount = 127;

    // Creating the window runs the start-up: the engine, Sens.cfg from the working directory.
    explicit TForm1(QWidget* parent = nullptr);
    // Runs shutdown() unless it already ran.
    ~TForm1() override;

    // Creates the dialogs after the window, in the order the program has always created them.
    void createDialogs();

    // --- Shared state -------------------------------------------------------------------------
    TModBus* ModBus = nullptr;
    int DeviceAddress = 0;
    bool LinkIdle = false;
    bool TwoChannelMode = false;
    int ArchiveNumber = 0;
    bool UseModem = true;
    QString ModemInitString;
    QString DialPrefix;
    QString PhoneNumber;
    int ModemDelay = 0;

    // Timer1 polls the shown group, Timer2 times the pause after writes, Timer3 releases the
    // guard taken by an opened menu.
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;

    QProgressBar* ProgressBar1 = nullptr; // property "Tag": 1 while a reader has armed it
    StatusBar* StatusBar1 = nullptr;      // panel 0: link status
    StatusBar* StatusBar2 = nullptr;      // panel 0: device, panel 2: channel
    QPlainTextEdit* Memo1 = nullptr;      // modem dialogue

    // The group views; exactly one (or none) is visible. PanelSystemParam arrives through
    // addGroupPanel() from the system-parameter code.
    QWidget* PanelSystemParam = nullptr;
    QWidget* PanelGeneralParam = nullptr;
    QWidget* PanelAdjustment = nullptr;
    QWidget* PanelCounters = nullptr;
    StringGrid* StringGridArchives = nullptr;
    StringGrid* StringGridJournals = nullptr;

    // --- Menu (QAction objectNames as the fields; "Tag" property where the menu has tags) ------
    QAction* MenuFile = nullptr;
    QAction* MenuSaveArchive = nullptr;
    QAction* MenuSaveParam = nullptr;
    QAction* MenuLoadParam = nullptr;
    QAction* MenuSettings = nullptr;
    QAction* MenuRS232 = nullptr;
    QAction* MenuPollPeriod = nullptr;
    QAction* MenuLink = nullptr;
    QAction* MenuConnect = nullptr;
    QAction* MenuChoiceDevice = nullptr;
    QAction* MenuOtherDevice = nullptr;
    QAction* MenuTypeParam = nullptr;
    QAction* SystemParam = nullptr;
    QAction* GeneralParam = nullptr;
    QAction* Adjustment = nullptr;
    QAction* Measurements = nullptr;
    QAction* Archives = nullptr;
    QAction* Hour = nullptr;
    QAction* Day = nullptr;
    QAction* Month = nullptr;
    QAction* Journals = nullptr;
    QAction* Fault = nullptr;
    QAction* Operator = nullptr;
    QAction* Nstate = nullptr;
    QAction* MenuChoiceChannel = nullptr;
    QAction* FirstChannel = nullptr;
    QAction* SecondChannel = nullptr;
    // "Сервис": the program's own tools, which never talk to the device by themselves. Opening it
    // takes no guard, and it stays hidden until a tool adds its item.
    QAction* MenuService = nullptr;
    QAction* addServiceItem(const QString& name, const QString& caption) override;
    // Device1 .. Device127 (index 1..127; index 0 unused).
    std::array<QAction*, DeviceItemCount + 1> Device{};
    // The five top menus, for code that opens them.
    QList<QMenu*> topMenus() const { return m_topMenus; }

    // Enables or disables a top menu (or any submenu) through its QMenu. Do not call setEnabled on
    // a menu's own item: a QMenu copies its widget state onto that item whenever the window is
    // enabled again, which would undo it after every exchange.
    static void setMenuEnabled(QAction* menuItem, bool enabled);
    // Whether the menu is enabled in its own right (also while the whole window is disabled).
    static bool menuEnabled(const QAction* menuItem);

    static int tagOf(const QObject* object);
    static void setTag(QObject* object, int tag);

    // --- Dialogs (created by createDialogs; owned by the window) -------------------------------
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    TForm7* Form7 = nullptr;
    TForm8* Form8 = nullptr;
    TForm9* Form9 = nullptr;
    TForm15* Form15 = nullptr; // "Запись данных в файл", shown by every save into files
    TForm17* Form17 = nullptr;
    TForm20* Form20 = nullptr;
    // The archive-range dialog: returns true when the operator confirmed a range. Until that
    // dialog exists the choice counts as cancelled, so no archive is requested.
    std::function<bool()> ArchiveRangeDialog;
    // Whether "Сохранить архив" has rows of the chosen meter to save (the archive view answers).
    std::function<bool()> ArchiveSaveAllowed;

    // --- Pieces other code plugs in ------------------------------------------------------------
    Exchange& exchange() override { return *m_exchange; }
    // The reader of a group tag (5..10). A group without a reader shows nothing when chosen.
    void setGroupReader(int tag, std::function<void()> reader) override;
    // Places a group panel in the view area (hidden) and makes it one of the views that a group
    // choice hides. The panel's objectName decides which field it fills (PanelSystemParam, ...).
    void addGroupPanel(QWidget* panel) override;
    // Hides every group view, and the group boxes inside PanelGeneralParam.
    void hideGroupViews() override;
    // The channel panel of StatusBar2 (panel 2) with its raised bevel.
    void showChannelPanel(const QString& text);
    // The client area (690 x 514 below the menu bar); group views sit in it from 8, 32.
    QWidget* clientArea() const { return m_clientArea; }
    // Addresses of the visible device menu items (from the last three characters of each caption).
    QList<int> listedAddresses() const override;

    // The window's own message boxes. Tests install a hook (before creating the window, since
    // start-up may already report) to record them instead of showing them.
    using MessageHook = std::function<void(const QString& caption, const QString& text)>;
    static MessageHook& messageHook();
    // The application's standard error box (an unreadable Sens.cfg, a failed save).
    void ShowError(const QString& text) override;
    // Under the program's title, with the information sign.
    void ShowInformation(const QString& text) override;
    void ShowMessage(const QString& caption, const QString& text);

    // --- Handlers (public: the menu runs them, and so can other code and tests) ----------------
    void MenuTypeParamClick(QAction* item);
    void ChannelClick(QAction* item);
    void TopMenuOpened();
    void Timer1Timer();
    void Timer3Timer();
    void MenuPollPeriodClick();
    void MenuRS232Click();
    void MenuConnectClick();
    void DeviceClick(QAction* item);
    void MenuOtherDeviceClick();
    bool ConnectModem();
    // ReportSlaveId to an address; the device text when a device answered properly.
    std::optional<QString> identify(int address);

    // The link settings as they stand: port and settings read back from the serial control,
    // RtsMode from the engine, the modem fields of the window.
    LinkSettings linkSettings() const;
    void applyLinkSettings(const LinkSettings& settings);
    SensConfig currentSettings() const;

    // Returns the device to normal state, saves Sens.cfg and closes the port; runs once.
    void shutdown();

    // True while an exchange, the pause after a write, or an operator action runs.
    bool exchangeRunning() const override;
    LineIdle& lineIdle() override { return m_lineIdle; }
    int meterChoice() const override { return m_meterChoice; }
    MeterIdentity chosenMeter() override;
    // Another meter is chosen, or the line to it changed: what was known of the chosen one goes.
    void meterChosen() { ++m_meterChoice; }

    // The frame of the operator's actions (OperatorAction).
    bool& linkIdle() override { return LinkIdle; }
    void enterHandler() override { ++m_handlerDepth; }
    void leaveHandler() override {
        if (--m_handlerDepth > 0) return;
        m_portFailureShown = false;
        noteLineIdle();
    }
    void stopPolling() override;
    void startPolling() override;
    QWidget* actionWindow() override { return this; }

    // A device menu item's caption as the operator reads it (menu mnemonics undone).
    static QString captionOf(const QAction* item);
    static void setCaption(QAction* item, const QString& text);

    // The live views (adjustment, measurements) report every poll here: the flows read, or a failed
    // poll (PollReport does it for a reader).
    void reportFlows(const trend::Poll& poll) override { emit flowsPolled(poll); }

    // The rest of what the views ask of the window (ViewHost).
    int deviceAddress() const override { return DeviceAddress; }
    int channel() const override;
    bool twoChannelMode() const override { return TwoChannelMode; }
    void setTwoChannelMode(bool on) override { TwoChannelMode = on; }
    bool polling() const override;
    int pollIntervalMs() const override;
    void chooseGroup(Group group) override;
    void watchFlows(QObject* receiver, std::function<void(const trend::Poll&)> watch) override;
    int archiveNumber() const override { return ArchiveNumber; }
    StringGrid& archiveGrid() override { return *StringGridArchives; }
    StringGrid& journalGrid() override { return *StringGridJournals; }
    bool archiveChosen() const override;
    void setArchiveRangeDialog(TForm10& dialog) override;
    void setArchiveSaveCheck(std::function<bool()> check) override { ArchiveSaveAllowed = std::move(check); }
    QAction* fileCommand(FileCommand command) override;
    void enableChannelChoice() override;
    void showChosenChannel() override;
    QString deviceCaption() const override;
    QString channelCaption() const override;
    void showStatusNote(const QString& text) override;
    TForm15& saveNotice() override { return *Form15; }

  signals:
    void flowsPolled(const trend::Poll& poll);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildMenu();
    void buildViews();
    void startUp();
    void applyLoad(const SensLoad& load);
    void hideChannelPanel();
    // A QMessageBox::Icon, so that this header needs no QMessageBox.
    void showMessageBox(int icon, const QString& caption, const QString& text);
    QAction* checkedTypeItem() const;
    QAction* checkedArchiveOrJournalItem() const;
    // The item whose choice repeats the shown group: the checked type item, or for archives and
    // journals the checked one of their six items.
    QAction* currentGroupChoice() const;
    void runGroupReader(int tag);
    void noteLineIdle();
    void channelMenuForDevice(bool channelShown);
    QAction* menuItem(QMenu* menu, const QString& name, const QString& caption, int tag = -1);

    std::unique_ptr<TModBus> m_modBus;
    std::unique_ptr<Exchange> m_exchange;
    std::map<int, std::function<void()>> m_readers;
    QList<QWidget*> m_groupViews;
    QList<QMenu*> m_topMenus;
    QList<QAction*> m_typeItems; // items with tags 5..10
    QWidget* m_clientArea = nullptr;
    int m_handlerDepth = 0;
    LineIdle m_lineIdle;
    // "Ошибка при открытии порта!" has been shown in the operator action under way: one action that
    // tries the port several times (a number asked twice, a choice's three writes) says it once.
    bool m_portFailureShown = false;
    bool m_shutdownDone = false;
    bool m_centred = false;
    int m_meterChoice = 0;
    std::optional<MeterIdentity> m_chosenMeter; // with its number, once told under this choice
};
