#include "ui/radiogroup.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>
#include <algorithm>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent, int columns)
    : QGroupBox(caption, parent), m_columns(std::max(columns, 1)) {
    auto* group = new QButtonGroup(this);
    // Exclusive groups cannot be cleared; the selection is kept exclusive by hand instead.
    group->setExclusive(false);
    for (const QString& text : items) {
        auto* button = new QRadioButton(text, this);
        button->setAutoExclusive(false);
        const int index = int(m_buttons.size());
        button->setObjectName(QStringLiteral("Item%1").arg(index));
        group->addButton(button, index);
        m_buttons.push_back(button);
        m_notes.push_back(nullptr);
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int index) {
        // Without auto-exclusion a click toggles: a button left unchecked by the click was the
        // selected item, so the selection stays as it is and nobody hears of the click.
        const bool changed = m_buttons[std::size_t(index)]->isChecked();
        setItemIndex(index);
        if (changed) emit clicked(index);
    });
    layoutItems();
}

QString RadioGroup::item(int index) const {
    QRadioButton* b = button(index);
    return b ? b->text() : QString();
}

int RadioGroup::indexOf(const QString& text) const {
    for (int i = 0; i < count(); ++i)
        if (m_buttons[std::size_t(i)]->text() == text) return i;
    return -1;
}

int RadioGroup::itemIndex() const {
    for (int i = 0; i < count(); ++i)
        if (m_buttons[std::size_t(i)]->isChecked()) return i;
    return -1;
}

void RadioGroup::setItemIndex(int index) {
    for (int i = 0; i < count(); ++i)
        m_buttons[std::size_t(i)]->setChecked(i == index);
}

QRadioButton* RadioGroup::button(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return m_buttons[std::size_t(index)];
}

void RadioGroup::setItemNote(int index, const QString& note) {
    if (index < 0 || index >= count()) return;
    QLabel*& label = m_notes[std::size_t(index)];
    if (!label) {
        label = new QLabel(this);
        label->setObjectName(QStringLiteral("Note%1").arg(index));
        label->setTextFormat(Qt::PlainText);
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::darkGray);
        label->setPalette(pal);
        QFont f = label->font();
        f.setPointSizeF(f.pointSizeF() * 0.85);
        label->setFont(f);
        label->show();
    }
    label->setProperty("fullText", note);
    label->setToolTip(note);
    layoutItems();
}

QLabel* RadioGroup::itemNote(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return m_notes[std::size_t(index)];
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    layoutItems();
}

void RadioGroup::layoutItems() {
    if (m_buttons.empty()) return;
    // Items share the space below the caption evenly, column by column, as on the classic radio group.
    const QRect area = contentsRect().adjusted(8, 0, -4, -4);
    const int rows = (count() + m_columns - 1) / m_columns;
    const int colWidth = area.width() / m_columns;
    const int rowHeight = std::max(area.height() / rows, 1);
    for (int i = 0; i < count(); ++i) {
        const int col = i / rows, row = i % rows;
        QRadioButton* b = m_buttons[std::size_t(i)];
        const int x = area.left() + col * colWidth;
        const int y = area.top() + row * rowHeight + (rowHeight - b->sizeHint().height()) / 2;
        const int buttonWidth = std::min(b->sizeHint().width(), colWidth);
        QLabel* note = m_notes[std::size_t(i)];
        b->setGeometry(x, y, note ? buttonWidth : colWidth, b->sizeHint().height());
        if (note) {
            const int nx = x + buttonWidth + 6;
            const int nw = std::max(x + colWidth - nx, 0);
            QFontMetrics fm(note->font());
            note->setText(fm.elidedText(note->property("fullText").toString(), Qt::ElideMiddle, nw));
            note->setGeometry(nx, y, nw, b->sizeHint().height());
        }
    }
}
