// The adjustment view's tools: the zero-offset averaging over successive polls, the transducer
// spacing calculator for clamp-on transducers and the calibration of the additional signal delay.
#include "app/adjustmentview.h"

#include "app/exchange.h"
#include "app/fieldenter.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "device/adjustment.h"
#include "device/encodings.h"
#include "ui/paneladjustment.h"
#include "ui/tag.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace adjustment;

namespace {
const QString Start = QStringLiteral("ButtonShiftdTStart");
const QString End = QStringLiteral("ButtonShiftdTEnd");
} // namespace

void AdjustmentView::ButtonShiftdTStartClick() {
    const OperatorAction action(m_host);
    if (!action) return;
    // The device leaves adjustment mode while its zero offset is measured.
    action.exchange([this] { m_host.exchange().clearCoil(4); });
    QPushButton* start = m_panel->button(Start);
    QLineEdit* offset = edit("EditShiftdT");
    start->setEnabled(false);
    m_panel->button(End)->setEnabled(true);
    offset->setEnabled(false);
    // The value shown now is the first sample; the next poll adds it once more.
    tag::set(start, 1);
    offset->setText(edit("EditTimeDifference")->text());
    m_averaging = current();
}

void AdjustmentView::ButtonShiftdTEndClick() {
    const OperatorAction action(m_host, {.poll = OperatorAction::Poll::Paused});
    if (!action) return;
    action.exchange([this] {
        QLineEdit* offset = edit("EditShiftdT");
        // The average goes to the channel it was taken on; not to another meter chosen meanwhile, nor
        // when it is not a number (the device never measured one).
        const Source averaged = m_averaging.value_or(current());
        const auto write = checkEdit(*row(QStringLiteral("EditShiftdT")), offset->text(), averaged.channel);
        if (write && averaged.address == m_host.deviceAddress()) m_host.exchange().write(*write);
        m_panel->button(Start)->setEnabled(true);
        m_panel->button(End)->setEnabled(false);
        offset->setEnabled(true);
        m_averaging.reset();
        // Adjustment mode goes back on where the averaging took it off: on the meter it began on,
        // also when another has been chosen since (whose view choice has set its own).
        m_host.exchange().setCoilAt(averaged.address, 4);
    });
}

void AdjustmentView::EditSpeedSoundPEAKeyPress() {
    runCalculator(QStringLiteral("EditSpeedSoundPEA"), &AdjustmentView::computeSpacing);
}

void AdjustmentView::runCalculator(const QString& name, void (AdjustmentView::*calculate)(float)) {
    enterField(m_host, {.field = row(name)->field,
                        .edit = m_panel->edit(name),
                        .accepted = [this, calculate](const param::Checked& typed) {
                            (this->*calculate)(float(typed.value));
                        }});
}

void AdjustmentView::computeSpacing(float c) {
    Exchange& link = m_host.exchange();
    const int base = channelBase(m_host.channel());
    // A link failure ends the calculation with the indication; nothing is computed.
    const auto scheme = link.readHolding(base + SchemeReg, 1);
    if (!scheme) return;
    const auto diameter = enc::parseFloat(edit("EditInternalDiameter")->text());
    const auto phase = link.readHolding(base + PhaseSpeedReg, 2);
    if (!phase) return;
    const auto wall = link.readHolding(base + WallReg, 2);
    if (!wall) return;
    std::optional<float> result;
    if (diameter)
        result = axialBase(scheme->byte(base + SchemeReg).value_or(0), *diameter, c,
                           phase->f32(base + PhaseSpeedReg).value_or(NAN),
                           wall->f32(base + WallReg).value_or(NAN));
    edit("EditAxialBase")->setText(result ? enc::formatFixed(*result, 2) : QStringLiteral("ERROR"));
    m_spacingFor = current();
}

void AdjustmentView::EditSpeedSoundKeyPress() {
    runCalculator(QStringLiteral("EditSpeedSound"), &AdjustmentView::calibrate);
}

void AdjustmentView::calibrate(float c) {
    Exchange& link = m_host.exchange();
    const int base = channelBase(m_host.channel());
    const auto block = link.readHolding(base + WallReg, CalibrationReadCount);
    if (!block) return;
    const auto path = block->f32(base + CalibrationPathReg);
    const auto wall = block->f32(base + WallReg);
    const auto halfSum = enc::parseFloat(edit("EditTimePolSum")->text());
    if (!path || !wall || !halfSum) return;
    const auto delay = additionalDelay(float(*halfSum), *path, c);
    // Nothing is written unless both values are numbers the device can use.
    if (!delay || !std::isfinite(*wall)) return;
    link.write(floatWrite(base + DelayReg, *delay));
    edit("EditDopPauseUZS")->setText(enc::formatFixed(*delay, 5));
    link.write(floatWrite(base + CalibrationWallReg, *wall));
    edit("Edithst")->setText(enc::formatFixed(*wall, 2));
    edit("EditSpeedSound")->clear();
}
