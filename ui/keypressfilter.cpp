#include "ui/keypressfilter.h"

#include <QKeyEvent>
#include <QLineEdit>

const QString KeyPressFilter::Digits = QStringLiteral("0123456789");

KeyPressFilter::KeyPressFilter(QLineEdit* edit, QString allowed, std::function<void()> onEnter)
    : QObject(edit), m_edit(edit), m_allowed(std::move(allowed)), m_onEnter(std::move(onEnter)) {
    edit->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit || event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (m_onEnter) m_onEnter();
        return true;
    }
    // Delete types nothing either, though some platforms give it a control character.
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) return false;
    const QString text = key->text();
    if (text.isEmpty()) return false;
    if (m_dotToComma && text == QLatin1String(".") && m_allowed.contains(QLatin1Char(','))) {
        m_edit->insert(QStringLiteral(","));
        return true;
    }
    // Shortcuts such as Ctrl+V type a control character: they are dropped like any other key
    // outside the set, as a classic key-press filter does.
    for (const QChar c : text)
        if (!m_allowed.contains(c)) return true;
    return false;
}
