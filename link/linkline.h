#pragma once
// The line's own timing for one port: sending with RTS held for a converter, collecting the reply,
// the silence that ends it, fast completion, the quiet gap before the next request. It lives where
// its control lives (the engine's link thread), so nothing slow in the window can make a good reply
// look late: the engine only waits for the verdict.
#include "link/commcontrol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>

class QTimer;

// What ended the wait for a reply: the silence after the last byte (the line's own rule), a frame
// complete by its length, or a short gap after a frame whose length cannot be known.
enum class ReplyCompletion { Silence, Length, Gap };
Q_DECLARE_METATYPE(ReplyCompletion)

class LinkLine : public QObject {
    Q_OBJECT
  public:
    static constexpr int BufferSize = 256;
    static constexpr int RtsTurnaroundMs = 5;
    // Arrived bytes are reported at most this often: a paced line brings a byte or two at a time, and
    // a report for each would wake the engine's thread for every one of them.
    static constexpr int ChunkReportMs = 40;

    // One request as the engine built it, with everything the line's timing needs to know of it.
    struct Request {
        QByteArray frame;
        // The count the RTS hold is reckoned from.
        int rtsBytes = 0;
        // For the first byte; then the silence after each byte.
        int timeoutMs = 0;
        // The ModBus silence (a modem command line's own timeout aside).
        int silenceMs = 0;
        bool rtsMode = false;
        bool fast = false;
        bool commandLine = false;
        // Fast completion ends a reply that answers this address and function (-1: any).
        int expectAddress = -1;
        int expectFunction = -1;
        // The request before got no valid reply: its answer may still be on its way, and must not
        // land in this one's. The line waits for a silence of quiet first.
        bool settleFirst = false;
    };
    // What went wrong outside the reply's bytes themselves. Refused is the engine's own: a request
    // that cannot make a frame never reaches the line.
    enum class Fault { None, PortFailed, Refused, Overflow, LineNoise, LinkLost };
    Q_ENUM(Fault)

    explicit LinkLine(QObject* parent = nullptr);
    ~LinkLine() override;

    // Takes the control to talk to (again, after a new port name chose another).
    void bind(CommControl* control);
    void unbind();
    CommControl* control() const { return m_comm; }

    // Runs one transaction to its verdict, which finished() reports.
    void transact(const Request& request);

    int replyLimitMs(int timeoutMs, int silenceMs) const;
    // The silence that separates frames at the line's speed.
    int frameSilenceMs() const;
    int replyGapMs() const;
    int interFrameGapMs(bool rtsMode) const;

  signals:
    void portOpenFailed(const QString& reason);
    void frameSent(const QByteArray& frame);
    void chunkReceived(int bytes);
    void bytesDiscarded(const QByteArray& bytes);
    // reply holds at most BufferSize bytes; replyMs runs from the request going out to the reply's
    // last byte (-1: nothing came).
    void finished(const QByteArray& reply, LinkLine::Fault fault, ReplyCompletion completion,
                  const QString& portError, int replyMs);

  private:
    // Bytes that arrive count as the reply only once the request is out (sending, which lasts while
    // RTS is held, or listening); the silence runs only while listening.
    enum class State { Idle, Preparing, Sending, Listening, Ended };

    void onComm();
    void onLinkLost();
    void take(const QByteArray& chunk);
    void discard(const QByteArray& bytes);
    void end(Fault fault = Fault::None);
    bool listening() const { return m_state == State::Sending || m_state == State::Listening; }
    template <typename Done> void waitLine(Done done, int ms = -1);
    // Fast completion: ends the wait when what has come is the whole reply (of the expected length,
    // -1 while the bytes cannot tell it), or arms the gap.
    void completeEarly(int expected);
    // Holds the request back until the line has been quiet long enough, throwing away what comes.
    void keepLineQuiet();
    // Lets the control hold its receive event until the frame the reply's first bytes announce is
    // complete.
    void awaitRestOfFrame(int expected);
    void reportChunks();
    void finish(const QString& portError = {});

    CommControl* m_comm = nullptr;
    std::array<QMetaObject::Connection, 2> m_connections;
    Request m_request;
    QByteArray m_reply;
    State m_state = State::Idle;
    Fault m_fault = Fault::None;
    ReplyCompletion m_completion = ReplyCompletion::Silence;
    QTimer* m_replyTimer = nullptr;
    QTimer* m_rtsTimer = nullptr;
    QTimer* m_limitTimer = nullptr;
    QTimer* m_gapTimer = nullptr;
    // Since the last byte that arrived, for the distance the next request keeps in fast completion.
    QElapsedTimer m_sinceReply;
    // Since the last transaction ended, for the quiet after one that got no valid reply.
    QElapsedTimer m_sinceEnded;
    QElapsedTimer m_sinceSent;
    qint64 m_lastByteMs = -1;
    // Arrived bytes not reported yet, and since the last report.
    int m_unreported = 0;
    QElapsedTimer m_sinceReport;
};
