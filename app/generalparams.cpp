#include "app/generalparams.h"

#include "app/exchange.h"
#include "app/fieldenter.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "ui/panelgeneralparam.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

using namespace genparams;

GeneralParams* GeneralParams::install(ViewHost& host) {
    return new GeneralParams(host);
}

GeneralParams::GeneralParams(ViewHost& host) : QObject(host.actionWindow()), m_host(host) {
    setObjectName(QStringLiteral("GeneralParams"));
    m_panel = new PanelGeneralParam;
    m_host.addGroupPanel(m_panel);
    m_host.setGroupReader(ViewHost::GroupGeneral, [this] { ReadGeneralParam(); });

    connect(m_panel, &PanelGeneralParam::editCommitted, this, &GeneralParams::commitEdit);
    connect(m_panel, &PanelGeneralParam::listChosen, this,
            [this](const QString& list, int) { ComboBoxSchemeInstallENCh1Change(list); });
    connect(m_panel, &PanelGeneralParam::cellClicked, this, &GeneralParams::Image1xENCh1Click);
}

void GeneralParams::ReadGeneralParam() {
    Exchange& link = m_host.exchange();
    m_host.stopPolling();
    link.armProgress();
    // A failed common read is shown like any other: the panel appears, and without the
    // indication its old values would pass for the device's.
    if (const auto common = link.readHolding(CommonRead.first, CommonRead.count)) {
        m_panel->fillCommon(*common);
        // Leaves the adjustment mode that only the "Настройка" view uses.
        link.clearCoil(4);
        const std::optional<Variant> variant = variantOf(*common);
        // Boxes of a layout the device no longer has would offer editors for registers that
        // now mean something else.
        m_panel->hideLayoutsBut(variant);
        if (variant) readLayout(*variant);
    }
    link.resetProgress();
    m_panel->show();
}

void GeneralParams::readLayout(Variant variant) {
    Exchange& link = m_host.exchange();
    const Layout& l = layout(variant);
    for (const Read& read : l.blocks) {
        // A failed block stops the reader: what earlier blocks filled stays, the boxes are not
        // shown by this read.
        const std::optional<RegisterBlock> block = link.readHolding(read.first, read.count);
        if (!block) return;
        m_panel->fill(variant, *block, m_host.twoChannelMode());
    }
    link.run(QList<CommandStep>(l.afterRead.begin(), l.afterRead.end()));
    m_panel->showLayout(variant);
}

void GeneralParams::commitEdit(const QString& fieldName) {
    const std::optional<Control> control = findControl(fieldName);
    if (!control || control->bit >= 0) return;
    const Row& row = *control->row;
    enterField(m_host, {.field = row.field,
                        .reg = param::registerFor(row.field, control->channel + 1),
                        .edit = m_panel->edit(fieldName),
                        .accepted =
                            [this, &control = *control, &row](const param::Checked& checked) {
                                if (row.extra.pair == Pair::None) {
                                    m_host.exchange().write(checked.write);
                                    return;
                                }
                                const PairEdit pair = pairOf(row, control.channel, float(checked.value));
                                m_panel->showPair(control, pair);
                                for (const RegisterWrite& write : pair.writes)
                                    m_host.exchange().write(write);
                            },
                        // A refused text leaves no trace: the re-read puts the device's value back.
                        .reread = [this] { ReadGeneralParam(); }});
}

void GeneralParams::ComboBoxSchemeInstallENCh1Change(const QString& list) {
    const std::optional<Control> control = findControl(list);
    QComboBox* combo = m_panel->combo(list);
    if (!control || !combo) return;
    const OperatorAction action(m_host);
    if (!action) return;
    action.exchange([&] {
        m_host.exchange().run(listSteps(*control->row, control->channel, combo->currentIndex()));
        ReadGeneralParam();
    });
}

void GeneralParams::Image1xENCh1Click(const QString& picture) {
    const std::optional<Control> cell = findControl(picture);
    if (!cell || cell->bit < 0) return;
    const OperatorAction action(m_host);
    if (!action) return;
    action.exchange([&] {
        m_panel->flipCell(picture);
        Exchange& link = m_host.exchange();
        // The bit is changed in the mask the device holds now, so a condition changed elsewhere
        // since the panel was read is kept; without that mask nothing is written.
        const int reg = param::registerFor(cell->row->field, cell->channel + 1);
        if (const std::optional<RegisterBlock> current = link.readHolding(reg, 1))
            if (const std::optional<RegisterWrite> write = toggleWrite(*cell, *current)) link.write(*write);
    });
}
