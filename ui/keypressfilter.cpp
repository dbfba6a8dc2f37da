#include "ui/keypressfilter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>

const QString KeyPressFilter::Digits = QStringLiteral("0123456789");

namespace {

// Shortcuts that move, select or carry text without typing a character: the edit handles them as
// anywhere else, so a shown value can be selected and typed over.
bool editingShortcut(const QKeyEvent* key) {
    static const QKeySequence::StandardKey passed[] = {
        QKeySequence::SelectAll,
        QKeySequence::Copy,
        QKeySequence::Cut,
        QKeySequence::Undo,
        QKeySequence::Redo,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::MoveToPreviousWord,
        QKeySequence::MoveToNextWord,
        QKeySequence::SelectPreviousWord,
        QKeySequence::SelectNextWord,
    };
    for (QKeySequence::StandardKey k : passed)
        if (key->matches(k)) return true;
    return false;
}

} // namespace

KeyPressFilter::KeyPressFilter(QLineEdit* edit, QString allowed, std::function<void()> onEnter)
    : QObject(edit), m_edit(edit), m_allowed(std::move(allowed)), m_onEnter(std::move(onEnter)) {
    edit->installEventFilter(this);
}

QString KeyPressFilter::accepted(const QString& text) const {
    QString out = text;
    if (m_dotToComma && m_allowed.contains(QLatin1Char(','))) out.replace(QLatin1Char('.'), QLatin1Char(','));
    for (const QChar c : out)
        if (!m_allowed.contains(c)) return QString();
    return out;
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit || event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (m_onEnter) m_onEnter();
        return true;
    }
    // A paste is typing too: it goes in only when every character would have been accepted typed,
    // else not at all (dropping the foreign characters of "1e5" would write another number).
    if (key->matches(QKeySequence::Paste)) {
        const QString pasted = accepted(QGuiApplication::clipboard()->text());
        if (!pasted.isEmpty()) m_edit->insert(pasted);
        return true;
    }
    if (editingShortcut(key)) return false;
    // Delete types nothing either, though some platforms give it a control character.
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) return false;
    const QString text = key->text();
    if (text.isEmpty()) return false;
    if (m_dotToComma && text == QLatin1String(".") && m_allowed.contains(QLatin1Char(','))) {
        m_edit->insert(QStringLiteral(","));
        return true;
    }
    // Any other key that types a character outside the set is dropped.
    for (const QChar c : text)
        if (!m_allowed.contains(c)) return true;
    return false;
}
