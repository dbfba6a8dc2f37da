#include "app/adjustmentview.h"

#include "app/exchange.h"
#include "app/fieldenter.h"
#include "app/operatoraction.h"
#include "app/pollreport.h"
#include "app/viewhost.h"
#include "device/adjustment.h"
#include "device/channelcondition.h"
#include "device/encodings.h"
#include "ui/conditiondisplay.h"
#include "ui/paneladjustment.h"
#include "ui/radiogroup.h"
#include "ui/tag.h"
#include "ui/updown.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cmath>

using namespace adjustment;

AdjustmentView* AdjustmentView::install(ViewHost& host) {
    return new AdjustmentView(host);
}

AdjustmentView::AdjustmentView(ViewHost& host) : QObject(host.actionWindow()), m_host(host) {
    setObjectName(QStringLiteral("AdjustmentView"));
    m_panel = new PanelAdjustment;
    m_host.addGroupPanel(m_panel);
    m_host.setGroupReader(ViewHost::GroupAdjustment, [this] { ReadAdjustment(); });

    connect(m_panel, &PanelAdjustment::editKeyPressed, this, &AdjustmentView::keyPressed);
    connect(m_panel, &PanelAdjustment::editCommitted, this, &AdjustmentView::commit);
    connect(m_panel, &PanelAdjustment::radioClicked, this,
            [this](const QString& group, int) { RadioEnabledChannelClick(group); });
    connect(m_panel, &PanelAdjustment::upDownChanging, this, &AdjustmentView::UpDownResist1Changing);
    connect(m_panel, &PanelAdjustment::upDownReleased, this, &AdjustmentView::UpDownResist1MouseUp);
    connect(m_panel->button(QStringLiteral("ButtonShiftdTStart")), &QPushButton::clicked, this,
            &AdjustmentView::ButtonShiftdTStartClick);
    connect(m_panel->button(QStringLiteral("ButtonShiftdTEnd")), &QPushButton::clicked, this,
            &AdjustmentView::ButtonShiftdTEndClick);
}

AdjustmentView::Source AdjustmentView::current() const {
    return {m_host.deviceAddress(), m_host.channel()};
}

QLineEdit* AdjustmentView::edit(const char* name) const {
    return m_panel->edit(QString::fromLatin1(name));
}

void AdjustmentView::ReadAdjustment() {
    Exchange& link = m_host.exchange();
    m_host.stopPolling();
    link.armProgress();
    const int ch = m_host.channel();
    const auto plan = reads(ch);
    Context context{.channel = ch, .sensorType = std::nullopt};
    // Another channel's or meter's spacing would read as this one's.
    if (m_spacingFor && *m_spacingFor != current()) {
        edit("EditAxialBase")->clear();
        m_spacingFor.reset();
    }
    PollReport report(m_host);
    // A failed read stops the reader where it is: the panel keeps what earlier reads filled and
    // its visibility, the progress bar its mark, and the poll stays stopped.
    const auto system = link.readHolding(plan[0].first, plan[0].count);
    if (!system) return;
    m_panel->fill(Block::System, *system, context);
    if (const auto sensor = system->byte(SensorTypeRegister)) context.sensorType = *sensor;

    const auto channelBlock = link.readHolding(plan[1].first, plan[1].count);
    if (!channelBlock) return;
    // The averaging takes the values shown before this read replaces them.
    const QString offsetBefore = edit("EditShiftdT")->text();
    const QString differenceBefore = edit("EditTimeDifference")->text();
    m_panel->fill(Block::Channel, *channelBlock, context);
    if (m_averaging) averagingStep(offsetBefore, differenceBefore);

    const auto measurements = link.readHolding(plan[2].first, plan[2].count);
    if (!measurements) return;
    report.read(*measurements);
    m_panel->fill(Block::Measurement, *measurements, context);
    const auto failure = measurements->byte(condition::FailureRegister);
    const auto state = measurements->byte(condition::conditionRegister(ch));
    if (failure && state)
        m_panel->condition()->setState(condition::state(*failure, *state, ch, m_host.twoChannelMode()));
    tag::set(m_panel->condition()->browseButton(), ch);
    m_shown = current();
    link.resetProgress();
    m_host.hideGroupViews();
    m_panel->show();
    m_host.startPolling();
}

void AdjustmentView::averagingStep(const QString& offsetBefore, const QString& differenceBefore) {
    QLineEdit* offset = edit("EditShiftdT");
    // While it runs the field shows the running average, not the device's offset.
    offset->setText(offsetBefore);
    // Samples come only from the meter and channel the averaging started on, and only when the time
    // difference on show is theirs too: another channel's would spoil the offset written at "Конец".
    if (*m_averaging != current() || m_shown != current()) return;
    const auto average = enc::parseFloat(offsetBefore);
    const auto sample = enc::parseFloat(differenceBefore);
    if (!average || !sample) return;
    QPushButton* start = m_panel->button(QStringLiteral("ButtonShiftdTStart"));
    const int samples = tag::of(start);
    const float next = averaged(float(*average), samples, float(*sample));
    // A reading the device could not make (NaN, infinite) is left out instead of poisoning the mean.
    if (!std::isfinite(next)) return;
    tag::set(start, samples + 1);
    offset->setText(param::formatValue(row(QStringLiteral("EditShiftdT"))->field, next));
}

void AdjustmentView::keyPressed(const QString&) {
    // The poll must not overwrite what the operator is typing; Enter starts it again.
    m_host.stopPolling();
}

void AdjustmentView::commit(const QString& name) {
    if (name == QLatin1String("EditSpeedSoundPEA"))
        EditSpeedSoundPEAKeyPress();
    else if (name == QLatin1String("EditSpeedSound"))
        EditSpeedSoundKeyPress();
    else
        editField(name);
}

void AdjustmentView::editField(const QString& name) {
    const Row* r = row(name);
    if (!r || r->field.encoding == param::Encoding::None) return;
    enterField(m_host, {.field = r->field,
                        .reg = param::registerFor(r->field, m_host.channel()),
                        .edit = m_panel->edit(name),
                        .accepted = [this, r](const param::Checked& checked) {
                            if (UpDown* upDown = m_panel->upDownWithTag(r->field.tag))
                                upDown->setPosition(std::int16_t(checked.write.value()));
                            // Not read back: the next poll shows what the device made of it.
                            m_host.exchange().write(checked.write);
                        }});
}

void AdjustmentView::RadioEnabledChannelClick(const QString& name) {
    const Row* r = row(name);
    RadioGroup* group = m_panel->radioGroup(name);
    if (!r || !group || group->itemIndex() < 0) return;
    const OperatorAction action(m_host, {.poll = OperatorAction::Poll::Paused});
    if (!action) return;
    action.exchange([&] { m_host.exchange().write(radioWrite(*r, group->itemIndex(), m_host.channel())); });
}

void AdjustmentView::UpDownResist1Changing(const QString& name) {
    // Whatever the guard says: it only shows the position, and must keep up with an arrow held down.
    // The poll starts over, so it does not overwrite the position just shown.
    UpDown* upDown = m_panel->upDown(name);
    if (!upDown) return;
    const OperatorAction action(
        m_host, {.guard = OperatorAction::Guard::Untouched, .poll = OperatorAction::Poll::Paused});
    if (QLineEdit* field = m_panel->editWithTag(tag::of(upDown)))
        field->setText(QString::number(upDown->position()));
}

void AdjustmentView::UpDownResist1MouseUp(const QString& name) {
    UpDown* upDown = m_panel->upDown(name);
    if (!upDown) return;
    const auto write = upDownWrite(tag::of(upDown), upDown->position(), m_host.channel());
    if (!write) return;
    const OperatorAction action(m_host, {.poll = OperatorAction::Poll::Paused});
    if (!action) return;
    action.exchange([&] {
        if (QLineEdit* field = m_panel->editWithTag(tag::of(upDown)))
            field->setText(QString::number(upDown->position()));
        // Every release writes, whether the position moved or stood at its limit.
        m_host.exchange().write(*write);
    });
}
