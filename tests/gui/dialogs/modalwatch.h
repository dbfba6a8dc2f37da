#pragma once
// Answers the modal dialogs a handler opens, so a test never hangs on one: every modal widget that
// appears is handed to a callback (which records it) and then closed.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

class ModalWatch {
  public:
    // The callback sees each modal widget once, before the watch closes it with reject().
    explicit ModalWatch(std::function<void(QWidget*)> onModal = {}) : m_onModal(std::move(onModal)) {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) return;
            ++m_count;
            if (m_onModal) m_onModal(modal);
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start();
    }
    int count() const { return m_count; }

  private:
    QTimer m_timer;
    std::function<void(QWidget*)> m_onModal;
    int m_count = 0;
};
