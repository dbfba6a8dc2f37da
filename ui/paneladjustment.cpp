#include "ui/paneladjustment.h"

#include "ui/conditiondisplay.h"
#include "ui/displayonly.h"
#include "ui/keypressfilter.h"
#include "ui/panelstyle.h"
#include "ui/radiogroup.h"
#include "ui/tag.h"
#include "ui/updown.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

using namespace adjustment;

namespace {

constexpr int CaptionHeight = 16;

QRect rectOf(const Place& p) {
    return QRect(p.x, p.y, p.width, p.height);
}

// Keys that change what a field holds, as opposed to moving the focus or the cursor.
bool types(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        return !key->text().isEmpty();
    }
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
        auto* box = new QGroupBox(g.caption, this);
        box->setObjectName(QString::fromLatin1(g.name));
        box->setGeometry(rectOf(g.place));
        panelstyle::navy(box);
        m_groups.insert(box->objectName(), box);
    }

    for (const Field& f : fields()) {
        const QString name = QString::fromLatin1(f.name);
        QWidget* host = parentFor(f.parent);
        QWidget* control = nullptr;
        if (f.control == Control::RadioGroup) {
            auto* radio = new RadioGroup(f.caption, f.items, host);
            panelstyle::navy(radio);
            connect(radio, &RadioGroup::clicked, this,
                    [this, name](int index) { emit radioClicked(name, index); });
            m_radios.insert(name, radio);
            control = radio;
        } else {
            auto* edit = new QLineEdit(host);
            if (f.control == Control::DisplayOnly) {
                EditDateAdjKeyPress(edit);
            } else if (f.editor != Editor::None) {
                auto* keys = new KeyPressFilter(edit, f.keys, [this, name] { emit editCommitted(name); });
                keys->setDotToComma(f.commaForDot);
                // Installed last, so it sees every key before the filter drops or commits it.
                edit->installEventFilter(this);
            }
            m_edits.insert(name, edit);
            control = edit;
            if (!f.caption.isEmpty()) {
                QLabel* label = panelstyle::caption(f.caption, name, host);
                const int x = f.place.captionX >= 0 ? f.place.captionX : f.place.x;
                const int y = f.place.captionY >= 0 ? f.place.captionY : f.place.y - CaptionHeight;
                label->setGeometry(x, y, std::max(f.place.width, label->sizeHint().width()), CaptionHeight);
                m_captions.insert(name, label);
            }
        }
        control->setObjectName(name);
        control->setGeometry(rectOf(f.place));
        if (f.tag >= 0) tag::set(control, f.tag);
    }

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
        auto* button = new QPushButton(b.caption, parentFor(b.parent));
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(rectOf(b.place));
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
    for (const Field& f : fields()) {
        if (f.block != block || f.value == Value::None) continue;
        const QString name = QString::fromLatin1(f.name);
        if (f.control == Control::RadioGroup) {
            if (const auto index = fieldNumber(f, data, context)) {
                RadioGroup* radio = m_radios.value(name);
                const QSignalBlocker quiet(radio);
                radio->setItemIndex(*index);
            }
            continue;
        }
        if (const auto text = fieldText(f, data, context)) m_edits.value(name)->setText(*text);
        if (f.tag >= 0) {
            if (UpDown* upDown = upDownWithTag(f.tag)) {
                if (const auto position = fieldNumber(f, data, context)) upDown->setPosition(*position);
            }
        }
    }
}

UpDown* PanelAdjustment::upDownWithTag(int tagValue) const {
    for (UpDown* u : m_upDowns) {
        if (tag::of(u) == tagValue) return u;
    }
    return nullptr;
}

QLineEdit* PanelAdjustment::editWithTag(int tagValue) const {
    const Field* f = fieldWithTag(tagValue);
    return f ? edit(QString::fromLatin1(f->name)) : nullptr;
}

bool PanelAdjustment::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && types(static_cast<QKeyEvent*>(event)))
        emit editKeyPressed(watched->objectName());
    return QFrame::eventFilter(watched, event);
}
