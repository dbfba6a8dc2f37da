#pragma once
// Answers the modal dialogs a handler opens, so a GUI test never hangs on one. Steps take the
// modals in order; a modal no step takes is closed in the end and counted as unexpected.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>
#include <deque>
#include <functional>

class ModalDriver {
  public:
    // Each step gets the active modal widget and returns true when it has dealt with it, false to
    // wait. Steps must not block: they press buttons with click() queued (see press()), so a
    // dialog that opens from that click reaches the next step.
    using Step = std::function<bool(QWidget*)>;
    // What becomes of a modal that no step takes: closed after a while (steps may still be waiting
    // for a dialog's own exchange), or at once (a test that only looks at what was shown).
    enum class Unclaimed { CloseLater, CloseAtOnce };

    // `look` sees every unclaimed modal just before it is closed.
    explicit ModalDriver(Unclaimed unclaimed = Unclaimed::CloseLater, std::function<void(QWidget*)> look = {})
        : m_patience(unclaimed == Unclaimed::CloseAtOnce ? 1 : 400), m_look(std::move(look)) {
        m_timer.setInterval(unclaimed == Unclaimed::CloseAtOnce ? 1 : 5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }
    void then(Step step) { m_steps.push_back(std::move(step)); }
    bool done() const { return m_steps.empty(); }
    int unexpected() const { return m_unexpected; }

  private:
    void tick() {
        if (m_inStep) return;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            m_idleTicks = 0;
            return;
        }
        if (!m_steps.empty()) {
            m_inStep = true;
            const bool handled = m_steps.front()(modal);
            m_inStep = false;
            if (handled) {
                m_steps.pop_front();
                m_idleTicks = 0;
                return;
            }
        }
        if (++m_idleTicks < m_patience) return;
        m_idleTicks = 0;
        ++m_unexpected;
        if (m_look) m_look(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    int m_patience;
    std::function<void(QWidget*)> m_look;
    int m_unexpected = 0;
    int m_idleTicks = 0;
    bool m_inStep = false;
};

// Clicks a button from the event loop, after the current step has returned.
inline void press(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

// A step for a dialog of type D: runs the action when the modal is one (and `ready` agrees), and
// reports it handled.
template <class D> ModalDriver::Step on(std::function<void(D*)> action, std::function<bool(D*)> ready = {}) {
    return [action, ready](QWidget* w) {
        auto* d = qobject_cast<D*>(w);
        if (!d || (ready && !ready(d))) return false;
        action(d);
        return true;
    };
}

// A step for a file dialog: notes the file and the folder it suggests, then chooses `path`.
inline ModalDriver::Step chooseFile(const QString& path, QString* suggested = nullptr,
                                    QString* folder = nullptr) {
    return on<QFileDialog>([=](QFileDialog* d) {
        if (suggested) *suggested = d->selectedFiles().value(0);
        if (folder) *folder = d->directory().absolutePath();
        d->selectFile(path);
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
    });
}

// A step that presses `button` once `dialog` is the active modal.
inline ModalDriver::Step pressIn(QWidget* dialog, QAbstractButton* button) {
    return [dialog, button](QWidget* w) {
        if (w != dialog) return false;
        press(button);
        return true;
    };
}
