#pragma once
// Reports one poll of a live view to the main window when the reader leaves, however it leaves (a
// failed request returns early): the flows of the block it was given, or else a failed poll.
#include "app/viewhost.h"
#include "device/flowtrend.h"

class PollReport {
  public:
    explicit PollReport(ViewHost& host) : m_host(host), m_outer(s_current) { s_current = this; }
    ~PollReport() {
        s_current = m_outer;
        if (!m_reported) m_host.reportFlows(m_poll);
    }
    PollReport(const PollReport&) = delete;
    PollReport& operator=(const PollReport&) = delete;

    // The block that holds the poll's flows (one channel's or both).
    void read(const RegisterBlock& block) { m_poll = trend::pollOf(block); }

    // Reports the poll under way as failed now, when it is known to fail but the reader must first
    // wait for the operator (the message of a port that cannot be opened): the trend marks it while
    // the message waits instead of showing a bare gap. Nothing when no poll is under way.
    static void failNow() {
        if (!s_current || s_current->m_reported) return;
        s_current->m_reported = true;
        s_current->m_host.reportFlows(trend::Poll{.failed = true});
    }

  private:
    ViewHost& m_host;
    PollReport* m_outer;
    trend::Poll m_poll{.failed = true};
    bool m_reported = false;
    inline static PollReport* s_current = nullptr;
};
