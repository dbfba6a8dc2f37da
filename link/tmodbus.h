#pragma once
// The ModBus RTU master engine: request builders, the synchronous transaction with its silence
// rule, and the CRC check. One engine serves the whole program; it waits by processing events.
#include "link/commcontrol.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;
class TMSComm;

// Why a reply is or is not usable as the answer to the request just sent.
enum class ReplyStatus {
    Ok,
    NoReply,       // nothing arrived
    PortError,     // the port could not be opened
    Refused,       // the request does not fit a frame and was not sent
    Overflow,      // more than the buffer holds
    LineNoise,     // bytes kept coming past the longest time a reply can take
    CrcError,      // bytes arrived but the frame does not check
    Exception,     // a well-formed exception reply (code in exceptionCode())
    WrongAddress,  // a good frame from another device
    WrongFunction, // a good frame answering another function
    WrongLength,   // a good frame whose length or byte count does not fit the request
    WrongEcho,     // a write confirmation naming another register, coil, value or count
};

QString describe(ReplyStatus status, int exceptionCode = 0);

// What ended the wait for a reply: the silence after the last byte (the line's own rule), a frame
// complete by its length, or a short gap after a frame whose length cannot be known.
enum class ReplyCompletion { Silence, Length, Gap };

class TModBus : public QObject {
    Q_OBJECT
public:
    static constexpr int BufferSize = 256;
    static constexpr int DefaultSilenceMs = 500;
    // The most registers one function-16 frame carries within the buffer.
    static constexpr int MaxWriteRegisters = 123;

    // With the real serial control (MSComm1 of the engine's own hidden host).
    explicit TModBus(QObject* parent = nullptr);
    // With a given control (a scripted fake in tests); the engine does not own it.
    explicit TModBus(CommControl* control, QObject* parent = nullptr);
    ~TModBus() override;

    // The real control, or nullptr when a fake was given.
    TMSComm* MSComm1() const { return m_msComm.get(); }
    CommControl& comm() const { return *m_comm; }

    // Engine state read by callers.
    std::array<std::uint8_t, BufferSize> Buffer{};
    std::int32_t Received = 0;
    bool Valid = false;
    bool RtsMode = false;
    bool CommandMode = false;
    QByteArray OutputFrame;
    QTimer* ReplyTimer = nullptr;
    QTimer* RtsTimer = nullptr;

    void Transact(std::int32_t ByteCount, std::int32_t TimeoutMs);
    std::uint16_t Crc16(int count) const;

    // Requests. Arguments are sent as given, except where they cannot make a frame: then nothing is
    // sent and the reply status says Refused.
    void ReadHoldingRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first);
    // count 1 to MaxWriteRegisters, data exactly 2 * count bytes.
    void WriteRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first, const QByteArray& data);
    void WriteRegister(std::uint8_t address, std::uint16_t reg, std::uint16_t value);
    void ReadCoils(std::uint8_t address, std::uint16_t first, std::uint16_t quantity);
    void SetCoil(std::uint8_t address, std::uint16_t coil);
    void ClearCoil(std::uint8_t address, std::uint16_t coil);
    void ReportSlaveId(std::uint8_t address);
    // Mode 1 (by date): the date's hour, day, month and year % 100 are sent.
    void ReadArchive(std::uint8_t address, std::uint8_t archive, std::uint8_t count, std::int32_t mode,
                     const QDateTime& when);
    // Mode 0 (by record number): the number, rounded, low 16 bits; NaN and infinities are refused.
    void ReadArchive(std::uint8_t address, std::uint8_t archive, std::uint8_t count, std::int32_t mode,
                     double recordNumber);
    // A modem command line: the text in Windows-1251 and CR CR. Texts over MaxCommandLine bytes are
    // refused (false).
    static constexpr int MaxCommandLine = 100;
    bool SendCommandLine(const QString& text, std::int32_t silenceMs);

    // The silence time of ModBus requests. Only tests shorten it.
    void setModbusSilenceMs(int ms) { m_silenceMs = ms; }
    int modbusSilenceMs() const { return m_silenceMs; }

    // Fast completion (off unless the operator asks for it): a reply ends as soon as it is complete
    // by its length and its address, function and CRC answer the request; a reply whose length its
    // function does not tell ends after a short gap; the silence stays the ceiling. Taken up by the
    // next transaction.
    void setFastCompletion(bool on) { m_fast = on; }
    bool fastCompletion() const { return m_fast; }
    // The length of the reply frame that starts with these bytes: 0 while too few have come to
    // tell, -1 when its function does not fix it.
    static int expectedReplyLength(const std::uint8_t* frame, int count);
    // Fast completion only: the quiet time that ends a reply of unknown length, and the least quiet
    // time between the last byte of a reply and the next request.
    int replyGapMs() const;
    int interFrameGapMs() const;
    // What an RS-485 converter switched by RTS needs on top of the gap before it may send again.
    static constexpr int RtsTurnaroundMs = 5;

    // Judges the last reply against the request that was sent (Valid alone only says the CRC fits).
    ReplyStatus replyStatus() const;
    int exceptionCode() const;
    bool replyOk() const { return replyStatus() == ReplyStatus::Ok; }
    // The bytes of the last reply (Received bytes from Buffer, at most BufferSize).
    QByteArray reply() const;

    bool inTransaction() const { return m_inTransaction; }
    bool portFailed() const { return m_portFailed; }
    QString portError() const { return m_portError; }
    bool overflowed() const { return m_overflow; }
    // Bytes thrown away since the engine was made: late answers to earlier requests, bytes past the
    // buffer, anything that came while no transaction listened.
    qint64 discardedBytes() const { return m_discarded; }
    // How the last transaction's wait ended.
    ReplyCompletion completion() const { return m_completion; }
    // The longest a transaction waits for its reply once the request is out: the caller's time for
    // the first byte, the longest frame at the line's speed, and the silence after it.
    int replyLimitMs(std::int32_t TimeoutMs) const;

    // Hooks for the program around the engine.
    std::function<void(const QString& reason)> onPortOpenFailed;
    std::function<void(int bytes)> onChunk;
    // The bytes going out now: a request frame, or a modem command line.
    std::function<void(const QByteArray& frame)> onSent;
    std::function<void(const QByteArray& bytes)> onDiscarded;
    // After every transaction, sent or not; the engine's state then tells how it went.
    std::function<void()> onTransactionEnd;

private:
    void init();
    void sendFrame(int length, int function, int expectedDataBytes);
    // Forgets how the last request went.
    void clearOutcome();
    void refuse();
    void onComm();
    void discard(const QByteArray& bytes);
    bool waitEnded() const { return ReplyDone || m_overflow || m_lineNoise; }
    // Fast completion: ends the wait when what has come is the whole reply, or arms the gap.
    void completeEarly();
    void keepInterFrameGap();
    // The line's speed in bit/s; the slowest the settings dialog offers when the settings name none.
    int lineSpeed() const;
    // The silence that separates frames at the line's speed.
    int frameSilenceMs() const;

    std::unique_ptr<TMSComm> m_msComm;
    CommControl* m_comm = nullptr;
    QByteArray m_chunk;
    bool ReplyDone = false;
    bool RtsReleased = false;
    int m_silenceMs = DefaultSilenceMs;
    QTimer* m_limitTimer = nullptr;
    QTimer* m_gapTimer = nullptr;
    bool m_fast = false;
    // Fast completion as the running transaction took it up.
    bool m_fastNow = false;
    // Since the last byte that arrived, for the distance the next request keeps in fast completion.
    QElapsedTimer m_sinceReply;
    bool m_inTransaction = false;
    // The request is out: what arrives now is its reply.
    bool m_listening = false;
    // The reply's silence count runs (after the RTS hold).
    bool m_awaitingSilence = false;
    bool m_portFailed = false;
    bool m_refused = false;
    bool m_overflow = false;
    bool m_lineNoise = false;
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
