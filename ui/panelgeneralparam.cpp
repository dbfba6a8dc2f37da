#include "ui/panelgeneralparam.h"

#include "ui/conditionpicture.h"
#include "ui/fieldbuilder.h"
#include "ui/generalparambox.h"
#include "ui/panelstyle.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using namespace genparams;

PanelGeneralParam::PanelGeneralParam(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("PanelGeneralParam"));
    setGeometry(Left, Top, Width, Height);
    panelstyle::applyTo(this);

    // The top fields line up with the columns of the boxes below them.
    m_common = new FieldBuilder(this);
    for (const param::Field& row : commonRows())
        m_common->build(row, this, QString::fromLatin1(row.name), row.reg);

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

void PanelGeneralParam::fillCommon(const RegisterBlock& block) {
    for (const param::Field& row : commonRows())
        m_common->fill(row, QString::fromLatin1(row.name), row.reg, block);
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
