#include "ui/panelgeneralparam.h"

#include "device/encodings.h"
#include "ui/conditionpicture.h"
#include "ui/displayonly.h"
#include "ui/generalparambox.h"
#include "ui/panelstyle.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using namespace genparams;

namespace {

constexpr int CaptionY = 4, FieldY = 20;

} // namespace

PanelGeneralParam::PanelGeneralParam(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("PanelGeneralParam"));
    setGeometry(Left, Top, Width, Height);
    panelstyle::applyTo(this);

    // The top fields line up with the columns of the boxes below them.
    m_date = addCommonField("EditDateGeneralParam", "Дата", 16, 70);
    m_time = addCommonField("EditTimeGeneralParam", "Время", 96, 60);
    m_workMode = addCommonField("EditWorkModeGeneralParam", "Режим работы", 348, 121);
    m_sensorType = addCommonField("EditTypeSensorsGeneralParam", "Тип датчиков", 532, 121);

    for (Variant v : Variants) {
        for (int ch = 0; ch < 2; ++ch) {
            auto* b = new GeneralParamBox(genparams::layout(v), ch, this);
            b->move(BoxX[ch], BoxY);
            connect(b, &GeneralParamBox::editCommitted, this, &PanelGeneralParam::editCommitted);
            connect(b, &GeneralParamBox::listChosen, this, &PanelGeneralParam::listChosen);
            connect(b, &GeneralParamBox::cellClicked, this, &PanelGeneralParam::cellClicked);
            m_boxes << b;
        }
    }
    hide();
}

QLineEdit* PanelGeneralParam::addCommonField(const char* name, const char* caption, int x, int width) {
    panelstyle::caption(QString::fromUtf8(caption), QString::fromLatin1(name), this)
        ->setGeometry(x, CaptionY, width, 14);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, FieldY, width, 21);
    EditDateAdjKeyPress(edit);
    return edit;
}

void PanelGeneralParam::fillCommon(const RegisterBlock& block) {
    if (const auto date = block.timeText(0, enc::formatDate)) m_date->setText(*date);
    if (const auto time = block.timeText(0, enc::formatShortTime)) m_time->setText(*time);
    if (const auto mode = block.byte(WorkModeRegister))
        if (const auto text = items::textOf(items::List::WorkModes, *mode)) m_workMode->setText(*text);
    if (const auto sensor = block.byte(SensorTypeRegister))
        if (const auto text = items::textOf(items::List::SensorTypes, *sensor)) m_sensorType->setText(*text);
}

void PanelGeneralParam::fill(Variant variant, const RegisterBlock& block, bool twoChannelMode) {
    for (int ch = 0; ch < 2; ++ch)
        box(variant, ch)->fill(block, twoChannelMode);
}

void PanelGeneralParam::showLayout(Variant variant) {
    for (int ch = 0; ch < 2; ++ch)
        box(variant, ch)->show();
}

void PanelGeneralParam::hideLayoutsBut(std::optional<Variant> variant) {
    for (GeneralParamBox* b : std::as_const(m_boxes))
        if (!variant || b->layout().variant != *variant) b->hide();
}

void PanelGeneralParam::showPair(const Control& typed, const PairEdit& pair) {
    GeneralParamBox* b = box(typed.layout->variant, typed.channel);
    if (typed.row->extra.pair == Pair::Diameter)
        b->showValue(CircumferenceName, pair.circumference);
    else
        b->showValue(DiameterName, pair.diameter);
    b->showValue(PlaneDiameterName, pair.diameter);
}

void PanelGeneralParam::flipCell(const QString& pictureName) {
    if (auto* picture = findChild<ConditionPicture*>(pictureName))
        if (auto* b = qobject_cast<GeneralParamBox*>(picture->parentWidget())) b->flipCell(picture);
}

GeneralParamBox* PanelGeneralParam::box(Variant variant, int channel) const {
    return m_boxes.value(int(variant) * 2 + channel);
}

QLineEdit* PanelGeneralParam::edit(const QString& objectName) const {
    return findChild<QLineEdit*>(objectName);
}

QComboBox* PanelGeneralParam::combo(const QString& objectName) const {
    return findChild<QComboBox*>(objectName);
}
