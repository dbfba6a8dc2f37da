#include "ui/panelsystemparam.h"

#include "ui/tag.h"

#include "device/sysparams.h"
#include "ui/displayonly.h"
#include "ui/keypressfilter.h"
#include "ui/panelstyle.h"
#include "ui/radiogroup.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

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
    using namespace sysparams;
    setObjectName(QStringLiteral("PanelSystemParam"));
    setGeometry(Left, Top, Width, Height);
    panelstyle::applyTo(this);

    for (const Row& row : rows()) {
        const Geometry& g = row.geometry;
        if (g.captionY >= 0) {
            QLabel* label = panelstyle::caption(row.caption, row.objectName, this);
            label->setGeometry(g.x, g.captionY, std::max(g.width, label->sizeHint().width()), 16);
            m_captions.insert(row.objectName, label);
        }
        QWidget* control = nullptr;
        switch (row.control) {
        case Control::Edit:
        case Control::DisplayOnly: {
            auto* edit = new QLineEdit(this);
            if (row.control == Control::DisplayOnly) {
                EditDateAdjKeyPress(edit);
            } else {
                const QString name = row.objectName;
                auto* keys = new KeyPressFilter(edit, row.keys, [this, edit, name] {
                    emit editCommitted(name, edit->text());
                });
                keys->setDotToComma(row.commaForDot);
            }
            m_edits.insert(row.objectName, edit);
            control = edit;
            break;
        }
        case Control::List: {
            auto* combo = new QComboBox(this);
            combo->setEditable(false);
            combo->addItems(row.items);
            combo->setCurrentIndex(-1);
            const QString name = row.objectName;
            connect(combo, &QComboBox::currentIndexChanged, this,
                    [this, name](int index) { emit listChosen(name, index); });
            m_combos.insert(row.objectName, combo);
            control = combo;
            break;
        }
        case Control::RadioGroup: {
            m_radio = new RadioGroup(row.caption, row.items, this);
            m_radio->setItemIndex(0);
            panelstyle::navy(m_radio);
            const QString name = row.objectName;
            connect(m_radio, &RadioGroup::clicked, this,
                    [this, name](int index) { emit listChosen(name, index); });
            control = m_radio;
            break;
        }
        }
        control->setObjectName(row.objectName);
        control->setGeometry(g.x, g.fieldY, g.width, g.height);
        if (row.tagged)
            tag::set(control, row.reg);
    }

    for (const ButtonSpec& button : Buttons) {
        auto* b = new QPushButton(QString::fromUtf8(button.caption), this);
        b->setObjectName(QString::fromLatin1(button.name));
        b->setGeometry(button.x, ButtonY, ButtonWidth, ButtonHeight);
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
    using namespace sysparams;
    for (const Row& row : rows()) {
        if (!block.has(row.reg, row.registers()))
            continue;
        switch (row.control) {
        case Control::Edit:
        case Control::DisplayOnly:
            if (const auto text = fieldText(row, block))
                m_edits.value(row.objectName)->setText(*text);
            break;
        case Control::List:
            if (const auto index = sysparams::itemIndex(row, block)) {
                QComboBox* combo = m_combos.value(row.objectName);
                const QSignalBlocker quiet(combo);
                // An index outside the list leaves the list without a selection.
                combo->setCurrentIndex(*index < combo->count() ? *index : -1);
            }
            break;
        case Control::RadioGroup:
            if (const auto index = sysparams::itemIndex(row, block)) {
                const QSignalBlocker quiet(m_radio);
                m_radio->setItemIndex(*index);
            }
            break;
        }
    }
}

QLineEdit* PanelSystemParam::edit(const QString& objectName) const { return m_edits.value(objectName); }

QComboBox* PanelSystemParam::combo(const QString& objectName) const { return m_combos.value(objectName); }

QPushButton* PanelSystemParam::button(const QString& objectName) const { return m_buttons.value(objectName); }

QLabel* PanelSystemParam::caption(const QString& objectName) const { return m_captions.value(objectName); }

int PanelSystemParam::itemIndex(const QString& objectName) const {
    if (m_radio && m_radio->objectName() == objectName)
        return m_radio->itemIndex();
    if (QComboBox* c = combo(objectName))
        return c->currentIndex();
    return -1;
}
