#pragma once
// The ModBus RTU master engine: request builders, the synchronous transaction and the judgement of
// its reply. The line's own timing runs in a link thread of the engine's (LinkLine); the calling
// thread only waits for the verdict, processing its events meanwhile.
#include "link/commcontrol.h"
#include "link/linkline.h"
#include "link/replystatus.h"
#include "link/rtuframe.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <memory>

class LinkPort;
class QThread;

class TModBus : public QObject {
    Q_OBJECT
  public:
    static constexpr int BufferSize = LinkLine::BufferSize;
    static constexpr int DefaultSilenceMs = 500;
    // The most registers one function-16 frame carries within the buffer.
    static constexpr int MaxWriteRegisters = 123;

    // With the control its port's name chooses (MSComm1 of the engine's own hidden host), driven
    // from a link thread of the engine's own.
    explicit TModBus(QObject* parent = nullptr);
    // With a given control (a scripted fake in tests), driven from the calling thread; the engine
    // does not own it.
    explicit TModBus(CommControl* control, QObject* parent = nullptr);
    ~TModBus() override;

    // The port and its settings, or nullptr when a control was given.
    LinkPort* MSComm1() const { return m_msComm.get(); }
    // The control the engine talks to now. With the engine's own port it belongs to the link thread:
    // go through MSComm1() to act on it.
    CommControl& comm() const { return *m_line->control(); }

    // RTS is raised while a request goes out, for an RS-485 converter switched by it. Taken up by the
    // next transaction.
    void setRtsMode(bool on) { m_rtsMode = on; }
    bool rtsMode() const { return m_rtsMode; }

    // Requests. Arguments are sent as given, except where they cannot make a frame: then nothing is
    // sent and the reply status says Refused.
    void ReadHoldingRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first);
    // count 1 to MaxWriteRegisters, data exactly 2 * count bytes.
    void WriteRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first,
                        const QByteArray& data);
    void WriteRegister(std::uint8_t address, std::uint16_t reg, std::uint16_t value);
    void ReadCoils(std::uint8_t address, std::uint16_t first, std::uint16_t quantity);
    void SetCoil(std::uint8_t address, std::uint16_t coil);
    void ClearCoil(std::uint8_t address, std::uint16_t coil);
    void ReportSlaveId(std::uint8_t address);
    // Function 65 by date: the date's hour, day, month and year % 100 are sent.
    void ReadArchiveByDate(std::uint8_t address, std::uint8_t archive, std::uint8_t count,
                           const QDateTime& when);
    // Function 65 by record number: the number, rounded, low 16 bits; NaN and infinities are refused.
    void ReadArchiveByRecord(std::uint8_t address, std::uint8_t archive, std::uint8_t count,
                             double recordNumber);
    // A modem command line: the text in Windows-1251 and CR CR. Texts over MaxCommandLine bytes are
    // refused (false).
    static constexpr int MaxCommandLine = 100;
    bool SendCommandLine(const QString& text, std::int32_t silenceMs);
    // Bytes to the modem as they are, waited for as a command line: the escape "+++" has no line end.
    void SendModemBytes(const QByteArray& bytes, std::int32_t silenceMs);

    // The silence time of ModBus requests. Only tests shorten it.
    void setModbusSilenceMs(int ms) { m_silenceMs = ms; }
    int modbusSilenceMs() const { return m_silenceMs; }

    // Fast completion (off unless the operator asks for it): a reply ends as soon as it is complete
    // by its length and its address, function and CRC answer the request; a reply whose length its
    // function does not tell ends after a short gap; the silence stays the ceiling. Taken up by the
    // next transaction.
    void setFastCompletion(bool on) { m_fast = on; }
    bool fastCompletion() const { return m_fast; }
    // The length of the reply frame that starts with these bytes (rtu::expectedReplyLength).
    static int expectedReplyLength(const std::uint8_t* frame, int count) {
        return rtu::expectedReplyLength(frame, count);
    }
    // Fast completion only: the quiet time that ends a reply of unknown length, and the least quiet
    // time between the last byte of a reply and the next request.
    int replyGapMs() const;
    int interFrameGapMs() const;
    // What an RS-485 converter switched by RTS needs on top of the gap before it may send again.
    static constexpr int RtsTurnaroundMs = LinkLine::RtsTurnaroundMs;

    // Judges the last reply against the request that was sent (a fitting CRC alone says little).
    ReplyStatus replyStatus() const;
    int exceptionCode() const;
    bool replyOk() const { return replyStatus() == ReplyStatus::Ok; }
    // The last request as it went out, CRC included (a modem's command line: its bytes); it stays
    // when a later request is refused unsent.
    RtuFrame requestFrame() const { return RtuFrame(m_request); }
    // The bytes of the last reply, at most BufferSize.
    QByteArray reply() const { return m_reply; }
    RtuFrame replyFrame() const { return RtuFrame(m_reply); }
    // From the request going out to the last byte of the reply, timed on the line; -1: nothing came.
    int replyMs() const { return m_replyMs; }
    // The transaction under way is a modem's command line, not a ModBus request.
    bool commandMode() const { return m_commandMode; }

    bool inTransaction() const { return m_state != State::Idle; }
    bool portFailed() const { return m_fault == Fault::PortFailed; }
    QString portError() const { return m_portError; }
    // The port or the connection went away during the last exchange (a device server hung up).
    bool linkLost() const { return m_fault == Fault::LinkLost; }
    // Bytes thrown away since the engine was made: late answers to earlier requests, bytes past the
    // buffer, anything that came while no transaction listened.
    qint64 discardedBytes() const { return m_discarded; }
    // How the last transaction's wait ended.
    ReplyCompletion completion() const { return m_completion; }
    // The longest a transaction waits for its reply once the request is out: the caller's time for
    // the first byte, the longest frame at a slow device's pace (a quarter of the line's speed, or
    // eight ModBus silences for its 256 bytes, whichever is slower), and the silence after it.
    // Only a line that never goes quiet reaches it.
    int replyLimitMs(std::int32_t TimeoutMs) const;

    // Reads (functions 1, 3, 17 and 65) that got no valid reply are sent again up to this many
    // times before the caller is told; a write is never repeated. 0 unless the operator asks.
    static constexpr int MaxRetries = 5;
    void setRetries(int n) { m_retries = std::clamp(n, 0, MaxRetries); }
    int retries() const { return m_retries; }
    // Holds retries off while it lives, and the wait for a quiet line after a request without a
    // valid reply: the scan asks 127 addresses, most of which never answer, and each such wait would
    // double what a silent address costs the operator.
    class RetriesOff {
      public:
        explicit RetriesOff(TModBus& bus)
            : m_bus(bus), m_saved(bus.retries()), m_settle(bus.m_settleAfterFailure) {
            bus.setRetries(0);
            bus.m_settleAfterFailure = false;
        }
        ~RetriesOff() {
            m_bus.setRetries(m_saved);
            m_bus.m_settleAfterFailure = m_settle;
        }
        RetriesOff(const RetriesOff&) = delete;
        RetriesOff& operator=(const RetriesOff&) = delete;

      private:
        TModBus& m_bus;
        int m_saved;
        bool m_settle;
    };

  signals:
    void portOpenFailed(const QString& reason);
    // Bytes of the reply arrived (all of them, those past the buffer included), gathered into a few
    // reports a second: every byte is counted by the time the transaction ends.
    void chunkReceived(int bytes);
    // The bytes going out now: a request frame, or a modem command line.
    void frameSent(const QByteArray& frame);
    void bytesDiscarded(const QByteArray& bytes);
    // After every transaction, sent or not; the engine's state then tells how it went.
    void transactionEnded();

  protected:
    using Fault = LinkLine::Fault;
    // Takes the line's verdict on the last request. Open to a subclass, so that an engine can be
    // handed verdicts a line's clock would not give (chosen reply times).
    void finish(const QByteArray& reply, Fault fault, ReplyCompletion completion, const QString& portError,
                int replyMs);

  private:
    // Whether a transaction is out on the line, waiting for its verdict.
    enum class State { Idle, Waiting };

    void init();
    void transact(int byteCount, int timeoutMs);
    // The frame without its CRC.
    void sendFrame(const QByteArray& frame, int function, int expectedDataBytes);
    // One transaction, and its repetitions for a read on a line that garbled it.
    void transactRetrying(int total, int function);
    void sendToModem(const QByteArray& bytes, int byteCount, int silenceMs);
    // Forgets how the last request went.
    void clearOutcome();
    void refuse();
    // The engine's one wait: events of the calling thread are processed until the condition holds,
    // so the window stays painted and its timers keep running while the line works.
    template <typename Done> void waitLine(Done done);

    // With the engine's own port: the thread the line's timing runs in, its control's thread.
    std::unique_ptr<QThread> m_thread;
    LinkLine* m_line = nullptr;
    std::unique_ptr<LinkPort> m_msComm;
    QByteArray m_request;
    QByteArray m_reply;
    int m_replyMs = -1;
    bool m_rtsMode = false;
    bool m_commandMode = false;
    State m_state = State::Idle;
    bool m_verdict = false;
    Fault m_fault = Fault::None;
    int m_silenceMs = DefaultSilenceMs;
    int m_retries = 0;
    bool m_fast = false;
    // The last request got no valid reply: the next one waits for the line to go quiet.
    bool m_settleNext = false;
    bool m_settleAfterFailure = true;
    qint64 m_discarded = 0;
    ReplyCompletion m_completion = ReplyCompletion::Silence;
    QString m_portError;
    // What the request expects back: address, function, data bytes after the byte count (-1: any).
    int m_expectAddress = -1;
    int m_expectFunction = -1;
    int m_expectData = -1;
    // A write is confirmed by the echo of the request's address, function, register and value or count.
    QByteArray m_expectEcho;
};
