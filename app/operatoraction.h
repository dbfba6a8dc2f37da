#pragma once
// One operator's command, and the frame every command runs in: the exchange guard, the mark of a
// running handler, the poll held off, and the window refusing input while the meter is talked to.
#include "app/exchange.h"

#include <functional>

class QWidget;

// What an operator action needs of the window it runs in.
class ActionHost {
  public:
    virtual ~ActionHost() = default;
    // LinkIdle: true while no exchange and no menu action is in progress.
    virtual bool& linkIdle() = 0;
    // Brackets a running handler, so that a guard-releasing tick arriving inside it (the engine
    // pumps events while it waits) leaves the guard alone.
    virtual void enterHandler() = 0;
    virtual void leaveHandler() = 0;
    virtual bool polling() const = 0;
    virtual void stopPolling() = 0;
    virtual void startPolling() = 0;
    // The window that refuses input while the action exchanges with the meter.
    virtual QWidget* actionWindow() = 0;
};

// The prologue and epilogue of a handler, always in this order: test and take the guard, mark the
// handler running, stop the poll; at the end start the poll again if asked, unmark, give the guard
// back. The exchanges themselves run inside exchange() or a disableWindow() scope.
class OperatorAction {
  public:
    enum class Guard {
        // A command on the meter (editors, buttons, the poll): does nothing while another action
        // holds the guard, and holds it to the end.
        Taken,
        // A choice the operator makes in the menu (group, channel, meter, the scan, the settings
        // dialogs): runs whatever the guard says, and opens it at the end.
        Opened,
        // A menu command that runs whatever the guard says but holds it throughout, so that no poll
        // starts between its exchanges or while its file dialogs are open; opens it at the end.
        Held,
        // A step that runs whatever the guard says and leaves it as it stands: what only shows a
        // value, or what runs after the guard was left closed for good (the shutdown's writes).
        Untouched,
    };
    enum class Poll {
        Untouched,
        // Stopped at the start and started again at the end, so that no tick reads in between.
        Paused,
        // Stopped at the start; the reader run by the action decides whether it starts again.
        Stopped,
    };
    struct Options {
        Guard guard = Guard::Taken;
        Poll poll = Poll::Untouched;
    };

    // A command on the meter that leaves the poll alone.
    explicit OperatorAction(ActionHost& host);
    OperatorAction(ActionHost& host, Options options);
    ~OperatorAction();
    OperatorAction(const OperatorAction&) = delete;
    OperatorAction& operator=(const OperatorAction&) = delete;

    // False when another action holds the guard: the handler must do nothing.
    explicit operator bool() const { return m_runs; }

    // The window refuses input, with the busy cursor, while the returned object lives. A `readable`
    // widget inside it stays usable. Inside an action that has already disabled it, it changes
    // nothing, so ending does not hand the window back while the outer exchange still runs.
    [[nodiscard]] DisabledWindow disableWindow(QWidget* readable = nullptr) const;
    // Runs the exchanges with the window disabled.
    void exchange(const std::function<void()>& exchanges) const;

    // The poll is started at the end of the action after all (an editor's Enter, which the key
    // that stopped the poll was waiting for), or not (a text left for the operator to mend).
    void startPollAtEnd(bool start) { m_startPoll = start; }
    // The poll is stopped from now on, and started again at the end only if it ran now: for an action
    // that may still end without touching the meter (a store that does not open), leaving the poll
    // as it found it.
    void holdPoll();
    // The guard is left as it stands when the action ends (a choice that came to nothing, a close
    // that goes ahead).
    void leaveGuard() { m_guard = Leave; }

  private:
    enum GuardEnd { Leave, GiveBack, Open };
    ActionHost& m_host;
    bool m_runs = true;
    bool m_startPoll = false;
    GuardEnd m_guard = Leave;
};
