#include "ui/panelsystemparam.h"

#include "device/sysparams.h"
#include "ui/fieldbuilder.h"
#include "ui/panelstyle.h"
#include "ui/placed.h"
#include "ui/radiogroup.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

struct ButtonSpec {
    const char* name;
    const char* caption;
    int x;
};
constexpr int ButtonY = 344, ButtonWidth = 105, ButtonHeight = 25;
const ButtonSpec Buttons[] = {
    {"Button1", "Установка часов", 40},
    {"ButtonInitParam", "Инициализация", 328},
    {"ButtonClearArh", "Очистка архивов", 440},
    {"ButtonClearJournals", "Очистка журналов", 552},
};

} // namespace

PanelSystemParam::PanelSystemParam(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("PanelSystemParam"));
    setGeometry(Left, Top, Width, Height);
    panelstyle::applyTo(this);

    m_fields = new FieldBuilder(this);
    for (const sysparams::Field& row : sysparams::rows())
        m_fields->build(row, this, QString::fromLatin1(row.name), row.reg);
    radioGroup()->setItemIndex(0);
    connect(m_fields, &FieldBuilder::committed, this, &PanelSystemParam::editCommitted);
    connect(m_fields, &FieldBuilder::chosen, this, &PanelSystemParam::listChosen);

    for (const ButtonSpec& button : Buttons) {
        auto* b = placed<QPushButton>(this, QString::fromLatin1(button.name),
                                      {button.x, ButtonY, ButtonWidth, ButtonHeight},
                                      QString::fromUtf8(button.caption));
        b->setAutoDefault(false);
        m_buttons.insert(b->objectName(), b);
    }
    connect(button(QStringLiteral("Button1")), &QPushButton::clicked, this, &PanelSystemParam::clockClicked);
    connect(button(QStringLiteral("ButtonInitParam")), &QPushButton::clicked, this,
            &PanelSystemParam::initClicked);
    connect(button(QStringLiteral("ButtonClearArh")), &QPushButton::clicked, this,
            &PanelSystemParam::clearArchivesClicked);
    connect(button(QStringLiteral("ButtonClearJournals")), &QPushButton::clicked, this,
            &PanelSystemParam::clearJournalsClicked);

    hide();
}

void PanelSystemParam::fill(const RegisterBlock& block) {
    for (const sysparams::Field& row : sysparams::rows()) {
        if (block.has(row.reg, row.registers()))
            m_fields->fill(row, QString::fromLatin1(row.name), row.reg, block);
    }
}

QLineEdit* PanelSystemParam::edit(const QString& objectName) const {
    return m_fields->edit(objectName);
}

QComboBox* PanelSystemParam::combo(const QString& objectName) const {
    return m_fields->combo(objectName);
}

RadioGroup* PanelSystemParam::radioGroup() const {
    return m_fields->radio(QStringLiteral("RadioGroupDopUsil"));
}

QPushButton* PanelSystemParam::button(const QString& objectName) const {
    return m_buttons.value(objectName);
}

QLabel* PanelSystemParam::caption(const QString& objectName) const {
    return m_fields->caption(objectName);
}

int PanelSystemParam::itemIndex(const QString& objectName) const {
    return m_fields->itemIndex(objectName);
}
