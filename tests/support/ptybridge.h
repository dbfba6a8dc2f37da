#pragma once
// Two pseudo-terminals whose masters are joined by a relay thread: a null-modem cable between two
// programs that each want a tty path (our engine on one end, an independent ModBus peer on the other).
#include <QString>
#include <atomic>
#include <thread>

class PtyBridge {
  public:
    PtyBridge();
    ~PtyBridge();
    bool ok() const { return m_ok; }
    QString pathA() const { return m_pathA; }
    QString pathB() const { return m_pathB; }

  private:
    void relay();
    int m_masterA = -1, m_slaveA = -1, m_masterB = -1, m_slaveB = -1;
    QString m_pathA, m_pathB;
    bool m_ok = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
