#include "app/operatoraction.h"

OperatorAction::OperatorAction(ActionHost& host) : OperatorAction(host, Options{}) {}

OperatorAction::OperatorAction(ActionHost& host, Options options) : m_host(host) {
    bool& idle = m_host.linkIdle();
    if (options.guard == Guard::Taken) {
        if (!idle) {
            m_runs = false;
            return;
        }
        idle = false;
        m_guard = GiveBack;
    } else if (options.guard != Guard::Untouched) {
        if (options.guard == Guard::Held) idle = false;
        m_guard = Open;
    }
    m_host.enterHandler();
    if (options.poll != Poll::Untouched) m_host.stopPolling();
    m_startPoll = options.poll == Poll::Paused;
}

OperatorAction::~OperatorAction() {
    if (!m_runs) return;
    if (m_startPoll) m_host.startPolling();
    m_host.leaveHandler();
    if (m_guard != Leave) m_host.linkIdle() = true;
}

void OperatorAction::holdPoll() {
    m_startPoll = m_host.polling();
    m_host.stopPolling();
}

DisabledWindow OperatorAction::disableWindow(QWidget* readable) const {
    return DisabledWindow(m_host.actionWindow(), readable);
}

void OperatorAction::exchange(const std::function<void()>& exchanges) const {
    DisabledWindow disabled(m_host.actionWindow());
    exchanges();
}
