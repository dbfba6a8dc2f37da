#include "app/countersview.h"

#include "app/exchange.h"
#include "app/fieldenter.h"
#include "app/operatoraction.h"
#include "app/pollreport.h"
#include "app/viewhost.h"
#include "device/channelcondition.h"
#include "device/counters.h"
#include "ui/conditiondisplay.h"
#include "ui/confirmdialog.h"
#include "ui/panelcounters.h"
#include "ui/tag.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace counters;

CountersView* CountersView::install(ViewHost& host) {
    return new CountersView(host);
}

CountersView::CountersView(ViewHost& host) : QObject(host.actionWindow()), m_host(host) {
    setObjectName(QStringLiteral("CountersView"));
    m_panel = new PanelCounters;
    m_host.addGroupPanel(m_panel);
    m_host.setGroupReader(ViewHost::GroupCounters, [this] { ReadCounters(); });

    connect(m_panel, &PanelCounters::clearVolumeClicked, this, &CountersView::ButtonClearVClick);
    connect(m_panel, &PanelCounters::simulatorClicked, this, &CountersView::ButtonIMRClick);
    // The poll must not overwrite what the operator is typing; Enter starts it again.
    connect(m_panel, &PanelCounters::shiftZeroKeyPressed, this, [this] { m_host.stopPolling(); });
    connect(m_panel, &PanelCounters::shiftZeroCommitted, this, [this] { EditShiftZeroPovKeyPress(); });
    connect(m_panel, &PanelCounters::pulseModeChosen, this,
            &CountersView::ComboBoxWorkModePulseExitPovChange);
}

void CountersView::ReadCounters() {
    Exchange& link = m_host.exchange();
    m_host.stopPolling();
    link.armProgress();
    PollReport report(m_host);
    // A failed first read leaves the view as it was, the progress bar busy and the poll stopped.
    const auto system = link.readHolding(SystemRead.first, SystemRead.count);
    if (!system) return;
    m_panel->fill(Group::Panel, *system, 1);
    const auto mode = system->byte(WorkModeRegister);
    const auto layout = mode ? layoutOf(*mode) : std::nullopt;
    if (layout == Layout::Operation) {
        ReadCountSht(report);
    } else if (layout == Layout::Verification) {
        ReadCountPov(report);
    } else {
        // Answered, with no flow to show: a gap in the trend, not a failure.
        report.read(*system);
        // A mode without a layout shows only the clock, never the last layout's values as if current.
        m_panel->setLayoutVisible(Layout::Operation, false);
        m_panel->setLayoutVisible(Layout::Verification, false);
    }
    // Shown and polled also when a layout's own read failed: the clock is current.
    link.resetProgress();
    m_host.hideGroupViews();
    m_panel->show();
    m_host.startPolling();
}

void CountersView::ReadCountSht(PollReport& report) {
    Exchange& link = m_host.exchange();
    m_panel->setLayoutVisible(Layout::Verification, false);
    const Source source{m_host.deviceAddress(), 0};
    if (m_operationShown != source) m_panel->setLayoutVisible(Layout::Operation, false);
    // A failed read leaves the channel groups as they were.
    const auto block = link.readHolding(OperationRead.first, OperationRead.count);
    if (!block) return;
    report.read(*block);
    const auto failure = block->byte(condition::FailureRegister);
    for (int ch : {1, 2}) {
        m_panel->fill(Group::Channel, *block, ch);
        const auto state = block->byte(condition::conditionRegister(ch));
        if (failure && state)
            m_panel->condition(ch)->setState(condition::state(*failure, *state, ch, m_host.twoChannelMode()));
    }
    m_operationShown = source;
    if (m_operationShown == source) m_panel->setLayoutVisible(Layout::Operation, true);
}

void CountersView::ReadCountPov(PollReport& report) {
    Exchange& link = m_host.exchange();
    m_panel->setLayoutVisible(Layout::Operation, false);
    const int ch = m_host.channel();
    const Source source{m_host.deviceAddress(), ch};
    if (m_verificationShown != source) m_panel->setLayoutVisible(Layout::Verification, false);
    // Each failed read stops here: what earlier reads filled stays, and the group's visibility.
    const auto settings = link.readHolding(SettingsRead.first, SettingsRead.count);
    if (!settings) return;
    m_panel->fill(Group::Verification, *settings, ch);
    const Read read = verificationRead(ch);
    const auto measurements = link.readHolding(read.first, read.count);
    if (!measurements) return;
    report.read(*measurements);
    m_panel->fill(Group::Verification, *measurements, ch);
    const auto imitator = link.readCoil(SimulatorCoil);
    if (!imitator) return;
    m_panel->showSimulator(*imitator);
    m_verificationShown = source;
    m_panel->setLayoutVisible(Layout::Verification, true);
    m_host.enableChannelChoice();
    m_host.showChosenChannel();
    tag::set(m_panel->button(QStringLiteral("ButtonClearV")), commandRegister(ch));
}

namespace {
QString resetQuestion(int commandRegister) {
    return QStringLiteral("Сбросить в приборе счетчики объема канала %1?\n"
                          "Накопленные объемы будут обнулены безвозвратно.")
        .arg(commandRegister == counters::commandRegister(2) ? 2 : 1);
}
} // namespace

void CountersView::ButtonClearVClick(const QString& name) {
    QPushButton* button = m_panel->button(name);
    const auto reset = button ? volumeReset(tag::of(button)) : std::nullopt;
    if (!reset) return;
    const OperatorAction action(m_host, {.poll = OperatorAction::Poll::Paused});
    if (!action) return;
    // The counters cannot be put back: the operator is asked first.
    ConfirmDialog confirm(QStringLiteral("Сброс объема"), resetQuestion(tag::of(button)));
    if (execModal(confirm) != QDialog::Accepted) return;
    // Function 16 even for one register, as the meter has always been sent its commands here.
    // Not checked: the next poll shows the counters as the device holds them.
    action.exchange([&] { m_host.exchange().writeRegisters(reset->reg, reset->count, reset->data); });
}

void CountersView::ButtonIMRClick() {
    const OperatorAction action(m_host);
    if (!action) return;
    const bool connect = tag::of(m_panel->button(QStringLiteral("ButtonIMR"))) == 1;
    // The engine pumps events while it waits: no menu command may start an exchange inside this one.
    action.exchange([&] {
        if (connect)
            m_host.exchange().setCoil(SimulatorCoil);
        else
            m_host.exchange().clearCoil(SimulatorCoil);
    });
    // Shown at once; the next poll shows the coil as the device reports it.
    m_panel->showSimulator(connect);
}

void CountersView::EditShiftZeroPovKeyPress() {
    const Row* shift = row(QStringLiteral("EditShiftZeroPov"));
    enterField(m_host, {.field = shift->field,
                        .reg = param::registerFor(shift->field, m_host.channel()),
                        .edit = m_panel->edit(QStringLiteral("EditShiftZeroPov"))});
}

void CountersView::ComboBoxWorkModePulseExitPovChange() {
    const Row* mode = row(QStringLiteral("ComboBoxWorkModePulseExitPov"));
    const int index = m_panel->combo(QStringLiteral("ComboBoxWorkModePulseExitPov"))->currentIndex();
    const auto write =
        param::itemWrite(mode->field, param::registerFor(mode->field, m_host.channel()), index);
    if (!write) return;
    const OperatorAction action(m_host, {.poll = OperatorAction::Poll::Paused});
    if (!action) return;
    action.exchange([&] { m_host.exchange().write(*write); });
}
