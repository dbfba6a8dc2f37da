#pragma once
// A window of a test's own for one view's controller: the controller talks to a meter through a
// real engine and exchange, and everything it asks of the main window is kept in a log instead, so
// a test sees what a view sends and shows without the main window's menu, timers and other views.
#include "app/exchange.h"
#include "app/viewhost.h"
#include "link/tmodbus.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform15.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <map>

class FakeViewHost : public ViewHost {
  public:
    // The engine on port 1 (a test maps it to the simulator), its silence shortened.
    FakeViewHost() : m_exchange(m_engine, address, linkStatus, m_progress, m_pauseTimer) {
        m_engine.setModbusSilenceMs(50);
        m_pauseTimer.setInterval(20);
        linkStatus.addPanel(200);
        linkStatus.addPanel(200);
        QObject::connect(&m_engine, &TModBus::transactionEnded, &m_lineIdle, [this] { noteLineIdle(); });
    }

    // Runs the group's reader as the window's poll would.
    void poll(Group group) {
        if (const auto it = readers.find(group); it != readers.end()) it->second();
    }

    // --- What the test sets and reads --------------------------------------------------------
    int address = 1;
    int chosenChannel = 1;
    bool twoChannels = true;
    bool idle = true;
    bool pollRunning = false;
    // Host calls in order: "stop poll", "start poll", "hide views", "channel menu", "channel panel N",
    // "flows", "flows failed", "group N", "error: TEXT", "information: TEXT".
    QStringList log;
    QList<trend::Poll> flows;
    std::map<int, std::function<void()>> readers;
    QWidget window;
    StatusBar linkStatus{&window};

    // --- ActionHost ------------------------------------------------------------------------------
    bool& linkIdle() override { return idle; }
    void enterHandler() override { ++m_handlers; }
    void leaveHandler() override {
        --m_handlers;
        noteLineIdle();
    }
    void stopPolling() override {
        pollRunning = false;
        log << "stop poll";
    }
    void startPolling() override {
        pollRunning = true;
        log << "start poll";
    }
    QWidget* actionWindow() override { return &window; }

    // --- ViewHost --------------------------------------------------------------------------------
    Exchange& exchange() override { return m_exchange; }
    int deviceAddress() const override { return address; }
    int channel() const override { return chosenChannel; }
    bool twoChannelMode() const override { return twoChannels; }
    void setTwoChannelMode(bool on) override { twoChannels = on; }
    QList<int> listedAddresses() const override { return {address}; }
    bool exchangeRunning() const override { return m_engine.inTransaction() || m_handlers > 0; }
    LineIdle& lineIdle() override { return m_lineIdle; }
    bool polling() const override { return pollRunning; }
    int pollIntervalMs() const override { return 10000; }
    void setGroupReader(int group, std::function<void()> reader) override {
        readers[group] = std::move(reader);
    }
    void chooseGroup(Group group) override {
        log << QStringLiteral("group %1").arg(int(group));
        poll(group);
    }
    void addGroupPanel(QWidget* panel) override {
        panel->setParent(&window);
        panel->hide();
        m_panels << panel;
    }
    void hideGroupViews() override {
        for (QWidget* panel : std::as_const(m_panels))
            panel->hide();
        log << "hide views";
    }
    void reportFlows(const trend::Poll& poll) override {
        flows << poll;
        log << (poll.failed ? "flows failed" : "flows");
    }
    void watchFlows(QObject*, std::function<void(const trend::Poll&)>) override {}
    int archiveNumber() const override { return 0; }
    StringGrid& archiveGrid() override { return m_archives; }
    StringGrid& journalGrid() override { return m_journals; }
    bool archiveChosen() const override { return true; }
    void setArchiveRangeDialog(TForm10&) override {}
    void setArchiveSaveCheck(std::function<bool()>) override {}
    int meterChoice() const override { return 1; }
    MeterIdentity chosenMeter() override { return {.address = address, .choice = 1}; }
    QAction* addServiceItem(const QString& name, const QString& caption) override {
        QAction* item = m_menu.addAction(caption);
        item->setObjectName(name);
        return item;
    }
    QAction* fileCommand(FileCommand) override { return m_menu.addAction(QString()); }
    void enableChannelChoice() override { log << "channel menu"; }
    void showChosenChannel() override { log << QStringLiteral("channel panel %1").arg(chosenChannel); }
    QString deviceCaption() const override { return QStringLiteral("КАСТАРИ-ДК адрес: %1").arg(address); }
    QString channelCaption() const override { return QStringLiteral("%1 - канал").arg(chosenChannel); }
    void showStatusNote(const QString& text) override { linkStatus.setText(1, text); }
    TForm15& saveNotice() override { return m_notice; }
    void ShowError(const QString& text) override { log << QStringLiteral("error: ") + text; }
    void ShowInformation(const QString& text) override { log << QStringLiteral("information: ") + text; }

  private:
    TModBus m_engine;
    QProgressBar m_progress{&window};
    QTimer m_pauseTimer;
    Exchange m_exchange;
    StringGrid m_archives{5, 2, 0, 1, &window};
    StringGrid m_journals{5, 2, 0, 1, &window};
    TForm15 m_notice;
    QMenu m_menu;
    QList<QWidget*> m_panels;
    int m_handlers = 0;
    LineIdle m_lineIdle;

    void noteLineIdle() {
        if (!exchangeRunning()) emit m_lineIdle.wentIdle();
    }
};
