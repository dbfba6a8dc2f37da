#include "ui/paneladjustment.h"

#include "ui/conditiondisplay.h"
#include "ui/fieldbuilder.h"
#include "ui/panelstyle.h"
#include "ui/placed.h"
#include "ui/radiogroup.h"
#include "ui/tag.h"
#include "ui/updown.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

using namespace adjustment;

namespace {

constexpr int CaptionHeight = 16;

QRect rectOf(const Place& p) {
    return QRect(p.x, p.y, p.width, p.height);
}

} // namespace

PanelAdjustment::PanelAdjustment(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("PanelAdjustment"));
    setGeometry(Left, Top, Width, Height);
    panelstyle::applyTo(this);

    m_condition = new ConditionDisplay(QStringLiteral("GroupBoxConditionChannel"),
                                       QStringLiteral("ButtonBrouse"), this);
    m_condition->setGeometry(rectOf(conditionPlace()));

    for (const Group& g : groups()) {
        auto* box = placed<QGroupBox>(this, QString::fromLatin1(g.name), rectOf(g.place), g.caption);
        panelstyle::navy(box);
        m_groups.insert(box->objectName(), box);
    }

    m_fields = new FieldBuilder(this);
    for (const Row& r : rows())
        m_fields->build(r.field, parentFor(r.where.parent), QString::fromLatin1(r.field.name), r.field.reg);
    connect(m_fields, &FieldBuilder::typing, this, &PanelAdjustment::editKeyPressed);
    connect(m_fields, &FieldBuilder::committed, this,
            [this](const QString& name) { emit editCommitted(name); });
    connect(m_fields, &FieldBuilder::chosen, this, &PanelAdjustment::radioClicked);

    for (const UpDownSpec& u : upDowns()) {
        const QString name = QString::fromLatin1(u.name);
        auto* upDown = new UpDown(parentFor(u.parent));
        upDown->setObjectName(name);
        upDown->setOrientation(u.horizontal ? Qt::Horizontal : Qt::Vertical);
        upDown->setRange(u.min, u.max);
        upDown->setGeometry(rectOf(u.place));
        tag::set(upDown, u.tag);
        connect(upDown, &UpDown::positionChanged, this, [this, name] { emit upDownChanging(name); });
        connect(upDown, &UpDown::released, this, [this, name] { emit upDownReleased(name); });
        m_upDowns.insert(name, upDown);
    }

    for (const ButtonSpec& b : buttons()) {
        auto* button =
            placed<QPushButton>(parentFor(b.parent), QString::fromLatin1(b.name), rectOf(b.place), b.caption);
        button->setEnabled(b.enabled);
        button->setAutoDefault(false);
        if (b.tag >= 0) tag::set(button, b.tag);
        m_buttons.insert(button->objectName(), button);
    }

    hide();
}

QWidget* PanelAdjustment::parentFor(const char* group) {
    if (!group) return this;
    return m_groups.value(QString::fromLatin1(group), nullptr);
}

void PanelAdjustment::fill(Block block, const RegisterBlock& data, const Context& context) {
    for (const Row& r : rows()) {
        const param::Field& f = r.field;
        if (r.where.block != block || f.encoding == param::Encoding::None) continue;
        const QString name = QString::fromLatin1(f.name);
        if (f.chooses()) {
            m_fields->fill(f, name, param::registerFor(f, context.channel), data);
            continue;
        }
        if (const auto text = fieldText(r, data, context)) edit(name)->setText(*text);
        if (f.tag >= 0) {
            if (UpDown* upDown = upDownWithTag(f.tag)) {
                if (const auto position = fieldNumber(r, data, context)) upDown->setPosition(*position);
            }
        }
    }
}

QLineEdit* PanelAdjustment::edit(const QString& name) const {
    return m_fields->edit(name);
}

RadioGroup* PanelAdjustment::radioGroup(const QString& name) const {
    return m_fields->radio(name);
}

QLabel* PanelAdjustment::caption(const QString& name) const {
    return m_fields->caption(name);
}

UpDown* PanelAdjustment::upDownWithTag(int tagValue) const {
    for (UpDown* u : m_upDowns) {
        if (tag::of(u) == tagValue) return u;
    }
    return nullptr;
}

QLineEdit* PanelAdjustment::editWithTag(int tagValue) const {
    const Row* r = rowWithTag(tagValue);
    return r ? edit(QString::fromLatin1(r->field.name)) : nullptr;
}
