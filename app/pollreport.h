#pragma once
// Reports one poll of a live view to the main window when the reader leaves, however it leaves (a
// failed request returns early): the flows of the block it was given, or else a failed poll.
#include "app/tform1.h"
#include "device/flowtrend.h"

class PollReport {
  public:
    explicit PollReport(TForm1& form) : m_form(form) {}
    ~PollReport() { m_form.reportFlows(m_poll); }
    PollReport(const PollReport&) = delete;
    PollReport& operator=(const PollReport&) = delete;

    // The block that holds the poll's flows (one channel's or both).
    void read(const RegisterBlock& block) { m_poll = trend::pollOf(block); }

  private:
    TForm1& m_form;
    trend::Poll m_poll{.failed = true};
};
