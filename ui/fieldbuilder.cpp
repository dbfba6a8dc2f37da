#include "ui/fieldbuilder.h"

#include "ui/displayonly.h"
#include "ui/keypressfilter.h"
#include "ui/panelstyle.h"
#include "ui/radiogroup.h"
#include "ui/tag.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

using namespace param;

namespace {

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

FieldBuilder::FieldBuilder(QObject* parent) : QObject(parent) {}

QWidget* FieldBuilder::build(const Field& f, QWidget* host, const QString& name, int reg) {
    return build(f, host, name, reg, f.place);
}

QWidget* FieldBuilder::build(const Field& f, QWidget* host, const QString& name, int reg, const Place& p,
                             const QString& captionName) {
    if (*f.caption && f.control != Control::Radio) {
        QLabel* label = panelstyle::caption(captionOf(f), name, host);
        if (!captionName.isEmpty()) label->setObjectName(captionName);
        const int x = p.captionX >= 0 ? p.captionX : p.x;
        const int y = p.captionY >= 0 ? p.captionY : p.y - p.captionAbove;
        label->setGeometry(x, y, std::max(p.width, label->sizeHint().width()), p.captionHeight);
        m_captions.insert(name, label);
    }

    QWidget* control = nullptr;
    switch (f.control) {
    case Control::Edit:
    case Control::Display:
    case Control::Cells:
    case Control::Scratch: {
        auto* edit = new QLineEdit(host);
        if (f.control == Control::Scratch) {
            // Typed freely.
        } else if (f.editable()) {
            auto* keys = new KeyPressFilter(edit, QString::fromLatin1(f.keys),
                                            [this, edit, name] { emit committed(name, edit->text()); });
            keys->setDotToComma(true);
            // Installed last, so it sees every key before the filter drops or commits it.
            if (f.poll == Poll::PausedWhileTyping) edit->installEventFilter(this);
        } else {
            EditDateAdjKeyPress(edit);
        }
        m_edits.insert(name, edit);
        control = edit;
        break;
    }
    case Control::List: {
        auto* combo = new QComboBox(host);
        combo->setEditable(false);
        combo->addItems(itemTexts(f));
        combo->setCurrentIndex(-1);
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, name](int index) { emit chosen(name, index); });
        m_combos.insert(name, combo);
        control = combo;
        break;
    }
    case Control::Radio: {
        auto* radio = new RadioGroup(captionOf(f), itemTexts(f), host);
        panelstyle::navy(radio);
        connect(radio, &RadioGroup::clicked, this, [this, name](int index) { emit chosen(name, index); });
        m_radios.insert(name, radio);
        control = radio;
        break;
    }
    }
    control->setObjectName(name);
    control->setGeometry(p.x, p.y, p.width, p.height);
    if (const int t = f.tagOf(reg); t != NoTag) tag::set(control, t);
    return control;
}

void FieldBuilder::fill(const Field& f, const QString& name, int reg, const RegisterBlock& block) {
    if (f.chooses()) {
        const auto index = param::itemIndex(f, reg, block);
        if (!index) return;
        if (QComboBox* combo = m_combos.value(name)) {
            const QSignalBlocker quiet(combo);
            // An index outside the list leaves the list without a selection.
            combo->setCurrentIndex(*index < combo->count() ? *index : -1);
        } else if (RadioGroup* radio = m_radios.value(name)) {
            const QSignalBlocker quiet(radio);
            radio->setItemIndex(*index);
        }
        return;
    }
    if (const auto text = fieldText(f, reg, block))
        if (QLineEdit* e = m_edits.value(name)) e->setText(*text);
}

int FieldBuilder::itemIndex(const QString& name) const {
    if (RadioGroup* radio = m_radios.value(name)) return radio->itemIndex();
    if (QComboBox* combo = m_combos.value(name)) return combo->currentIndex();
    return -1;
}

bool FieldBuilder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && types(static_cast<QKeyEvent*>(event)))
        emit typing(watched->objectName());
    return QObject::eventFilter(watched, event);
}
