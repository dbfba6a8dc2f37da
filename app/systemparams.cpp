#include "app/systemparams.h"

#include "app/exchange.h"
#include "app/fieldenter.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "device/sysparams.h"
#include "ui/confirmdialog.h"
#include "ui/panelsystemparam.h"
#include "ui/tform11.h"
#include "ui/tform14.h"
#include "ui/tform18.h"
#include "ui/tform19.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

using namespace sysparams;

SystemParams* SystemParams::install(ViewHost& host) {
    return new SystemParams(host);
}

SystemParams::SystemParams(ViewHost& host)
    : QObject(host.actionWindow()), m_host(host), m_form11(std::make_unique<TForm11>()),
      m_form18(std::make_unique<TForm18>()), m_form19(std::make_unique<TForm19>()),
      m_form14(std::make_unique<TForm14>()) {
    setObjectName(QStringLiteral("SystemParams"));
    runModal = [](QDialog& dialog) { return execModal(dialog); };
    now = [] { return QDateTime::currentDateTime(); };

    m_panel = new PanelSystemParam;
    m_host.addGroupPanel(m_panel);
    m_host.setGroupReader(ViewHost::GroupSystem, [this] { ReadSysParam(); });

    connect(m_panel, &PanelSystemParam::editCommitted, this,
            [this](const QString& field, const QString&) { commitEdit(field); });
    connect(m_panel, &PanelSystemParam::listChosen, this, [this](const QString& list, int) {
        if (list == QLatin1String("ComboSpeedRS"))
            ComboSpeedRSChange();
        else if (list == QLatin1String("RadioGroupDopUsil"))
            RadioGroupDopUsilClick();
        else
            ComboWorkModeChange(list);
    });
    connect(m_panel, &PanelSystemParam::clockClicked, this, &SystemParams::Button1Click);
    connect(m_panel, &PanelSystemParam::initClicked, this, &SystemParams::ButtonInitParamClick);
    connect(m_panel, &PanelSystemParam::clearArchivesClicked, this, &SystemParams::ButtonClearArhClick);
    connect(m_panel, &PanelSystemParam::clearJournalsClicked, this, &SystemParams::ButtonClearJournalsClick);
}

SystemParams::~SystemParams() = default;

void SystemParams::ReadSysParam() {
    Exchange& link = m_host.exchange();
    m_host.stopPolling();
    link.armProgress();
    for (const Read& read : reads()) {
        // A failed read stops the reader where it is: what earlier reads filled stays, the
        // panel is not shown and the progress bar keeps its mark.
        const std::optional<RegisterBlock> block = link.readHolding(read.first, read.count);
        if (!block) return;
        m_panel->fill(*block);
        if (block->has(rowByName(QStringLiteral("ComboBoxModeLine"))->reg))
            m_host.setTwoChannelMode(twoChannelMode(m_panel->itemIndex(QStringLiteral("ComboBoxModeLine"))));
    }
    m_host.hideGroupViews();
    link.resetProgress();
    m_panel->show();
}

void SystemParams::commitEdit(const QString& fieldName) {
    const Field* row = rowByName(fieldName);
    if (!row) return;
    enterField(m_host,
               {.field = *row,
                .reg = row->reg,
                .edit = m_panel->edit(fieldName),
                .refusedSilently = refusesAddressInUse(*row) ? m_host.listedAddresses() : QList<int>(),
                .reread = [this] { ReadSysParam(); }});
}

void SystemParams::ComboWorkModeChange(const QString& list) {
    chooseItem(list);
}
void SystemParams::ComboSpeedRSChange() {
    chooseItem(QStringLiteral("ComboSpeedRS"));
}
void SystemParams::RadioGroupDopUsilClick() {
    chooseItem(QStringLiteral("RadioGroupDopUsil"));
}

void SystemParams::chooseItem(const QString& list) {
    const Field* row = rowByName(list);
    if (!row) return;
    const OperatorAction action(m_host);
    if (!action) return;
    action.exchange([&] {
        for (const RegisterWrite& write : listWrites(*row, m_panel->itemIndex(list)))
            m_host.exchange().write(write);
        if (row->rereadAfter) ReadSysParam();
    });
}

void SystemParams::ButtonInitParamClick() {
    const OperatorAction action(m_host);
    if (!action) return;
    action.exchange([this] {
        m_form11->show();
        m_host.exchange().run(initialisationSteps());
    });
    m_form11->hide();
}

void SystemParams::Button1Click() {
    {
        const OperatorAction action(m_host);
        if (!action) return;
        if (runModal(*m_form18) != TForm18::Yes) return;
        // The engine keeps the menus alive while it waits; none of them may start a second exchange.
        action.exchange([this] { m_host.exchange().write(clockWrite(now())); });
    }
    m_host.chooseGroup(ViewHost::GroupSystem);
}

namespace {
const QString ClearArchivesQuestion = QStringLiteral(
    "Очистить в приборе все архивы\n(часовой, суточный и месячный)?\nЗаписи будут удалены безвозвратно.");
const QString ClearJournalsQuestion =
    QStringLiteral("Очистить в приборе все журналы\n(отказов, оператора и "
                   "нештатных ситуаций)?\nЗаписи будут удалены безвозвратно.");
} // namespace

void SystemParams::ButtonClearArhClick() {
    clear(*m_form19, clearArchivesSteps(), ClearArchivesQuestion);
}

void SystemParams::ButtonClearJournalsClick() {
    clear(*m_form14, clearJournalsSteps(), ClearJournalsQuestion);
}

void SystemParams::clear(ClearingWindow& window, const QList<CommandStep>& steps, const QString& question) {
    const OperatorAction action(m_host);
    if (!action) return;
    // One click would erase what the meter has gathered over months: the operator is asked first.
    ConfirmDialog confirm(window.windowTitle(), question);
    if (runModal(confirm) != QDialog::Accepted) return;
    action.exchange([&] {
        window.showWaiting();
        m_host.exchange().run(steps);
        // The device's answers are not examined: the operator learns the outcome from the next
        // reading.
        window.prepareFinished();
        runModal(window);
    });
}
