#include "link/tmodbus.h"

#include "link/cp1251.h"
#include "link/crc16.h"
#include "link/eventwait.h"
#include "link/functioncodes.h"
#include "link/linespeed.h"
#include "link/tmscomm.h"

#include <QTimer>
#include <climits>
#include <cmath>
#include <optional>

namespace {

using namespace modbus;

// Result words a Hayes modem ends a command with, in the order they are looked for.
const char* const kResultWords[] = {"CONNECT", "OK", "BUSY", "NO ANSWER", "NO DIALTONE", "ERROR", "NO CARRIER"};

using eventwait::waitUntil;

// The low 16 bits of the rounded number, for any finite double (a plain integer conversion is
// undefined beyond 64 bits); nothing for NaN and infinities.
std::optional<std::uint16_t> low16(double x) {
    if (!std::isfinite(x))
        return std::nullopt;
    double m = std::fmod(std::nearbyint(x), 65536.0);
    if (m < 0)
        m += 65536.0;
    return std::uint16_t(m);
}

// A speed that does not convert (a settings text of another kind of link) is taken as the slowest
// the settings dialog offers, which only makes the limit longer.
constexpr int SlowestSpeed = 300;

struct InTransaction {
    explicit InTransaction(bool& f) : flag(f) { flag = true; }
    ~InTransaction() { flag = false; }
    bool& flag;
};

} // namespace

QString describe(ReplyStatus status, int exceptionCode) {
    switch (status) {
    case ReplyStatus::Ok:
        return QStringLiteral("ok");
    case ReplyStatus::NoReply:
        return QStringLiteral("no reply");
    case ReplyStatus::PortError:
        return QStringLiteral("port cannot be opened");
    case ReplyStatus::Refused:
        return QStringLiteral("request does not fit a frame, not sent");
    case ReplyStatus::Overflow:
        return QStringLiteral("reply longer than 256 bytes");
    case ReplyStatus::LineNoise:
        return QStringLiteral("line noise");
    case ReplyStatus::CrcError:
        return QStringLiteral("CRC error");
    case ReplyStatus::Exception: {
        static const char* const names[] = {"",
                                            "illegal function",
                                            "illegal data address",
                                            "illegal data value",
                                            "slave device failure",
                                            "acknowledge",
                                            "slave device busy",
                                            "negative acknowledge",
                                            "memory parity error"};
        const QString name = exceptionCode >= 1 && exceptionCode <= 8 ? QString::fromLatin1(names[exceptionCode])
                                                                      : QStringLiteral("unknown");
        return QStringLiteral("exception %1 (%2)").arg(exceptionCode).arg(name);
    }
    case ReplyStatus::WrongAddress:
        return QStringLiteral("reply from another address");
    case ReplyStatus::WrongFunction:
        return QStringLiteral("reply to another function");
    case ReplyStatus::WrongLength:
        return QStringLiteral("reply of unexpected length");
    case ReplyStatus::WrongEcho:
        return QStringLiteral("echo differs from the request");
    }
    return {};
}

TModBus::TModBus(QObject* parent) : QObject(parent), m_msComm(std::make_unique<TMSComm>()) {
    m_comm = m_msComm.get();
    init();
}

TModBus::TModBus(CommControl* control, QObject* parent) : QObject(parent), m_comm(control) { init(); }

TModBus::~TModBus() {
    if (m_comm)
        m_comm->OnComm = nullptr;
}

void TModBus::init() {
    ReplyTimer = new QTimer(this);
    ReplyTimer->setTimerType(Qt::PreciseTimer);
    ReplyTimer->setInterval(DefaultSilenceMs);
    connect(ReplyTimer, &QTimer::timeout, this, [this] {
        ReplyDone = true;
        ReplyTimer->stop();
    });
    m_limitTimer = new QTimer(this);
    m_limitTimer->setTimerType(Qt::PreciseTimer);
    m_limitTimer->setSingleShot(true);
    connect(m_limitTimer, &QTimer::timeout, this, [this] { m_lineNoise = true; });
    m_gapTimer = new QTimer(this);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    connect(m_gapTimer, &QTimer::timeout, this, [this] {
        if (ReplyDone) return;
        ReplyDone = true;
        m_completion = ReplyCompletion::Gap;
    });
    RtsTimer = new QTimer(this);
    RtsTimer->setTimerType(Qt::PreciseTimer);
    RtsTimer->setInterval(120);
    connect(RtsTimer, &QTimer::timeout, this, [this] {
        RtsTimer->stop();
        RtsReleased = true;
        m_comm->setRTSEnable(false);
    });
    CommandMode = false;
    m_comm->OnComm = [this] { onComm(); };
}

std::uint16_t TModBus::Crc16(int count) const {
    return crc16::compute(Buffer.data(), std::clamp(count, 0, BufferSize));
}

int TModBus::lineSpeed() const {
    const int known = linespeed::of(m_comm->Settings());
    return known > 0 ? known : SlowestSpeed;
}

int TModBus::replyLimitMs(std::int32_t TimeoutMs) const {
    const int speed = lineSpeed();
    // 10 bits a character on the line: start, 8 data, stop.
    const qint64 frameMs = (qint64(BufferSize) * 10000 + speed - 1) / speed;
    return int(std::min<qint64>(INT_MAX, 2 * qint64(std::max(0, TimeoutMs)) + frameMs));
}

void TModBus::Transact(std::int32_t ByteCount, std::int32_t TimeoutMs) {
    InTransaction busy(m_inTransaction);
    clearOutcome();
    ReplyDone = false;
    RtsReleased = false;

    if (RtsMode) {
        // The converter must keep the line until the last request byte is out: 8 bits per byte.
        const int speed = linespeed::of(m_comm->Settings());
        int hold = speed > 0 ? int((qint64(ByteCount) * 8000) / speed) : 1;
        RtsTimer->setInterval(hold > 0 ? hold : 1);
    }

    m_fastNow = m_fast;

    QString error;
    if (!m_comm->ensureOpen(&error)) {
        m_portFailed = true;
        m_portError = error;
        if (onPortOpenFailed)
            onPortOpenFailed(error);
        if (onTransactionEnd)
            onTransactionEnd();
        return;
    }
    keepInterFrameGap();
    // Nothing can answer a request before it is sent: what waits now is a late answer to an earlier
    // one, and taken as this reply it would hand the caller another request's values.
    discard(m_comm->discardInput());

    if (RtsMode)
        m_comm->setRTSEnable(true);
    m_listening = true;
    // Before the write: a line faster than the program may answer inside it.
    if (onSent)
        onSent(OutputFrame);
    m_comm->setOutput(OutputFrame);

    if (RtsMode) {
        RtsTimer->start();
        waitUntil([this] { return RtsReleased; });
    }

    // Bytes that came while RTS was held (a converter's echo, a quick reply) belong to this reply,
    // but the silence that ends it is counted only from now.
    if (!waitEnded()) {
        m_awaitingSilence = true;
        // A timer refuses a negative interval and would never end the wait.
        ReplyTimer->setInterval(std::max(0, TimeoutMs));
        ReplyTimer->start();
        // A line that never goes quiet (a babbling device or converter) would hold the silence
        // count off for ever.
        m_limitTimer->start(replyLimitMs(TimeoutMs));
        waitUntil([this] { return waitEnded(); });
        m_awaitingSilence = false;
        ReplyTimer->stop();
        m_limitTimer->stop();
    }
    m_gapTimer->stop();
    m_listening = false;

    Valid = !m_overflow && !m_lineNoise && Crc16(Received) == 0;
    if (onTransactionEnd)
        onTransactionEnd();
}

void TModBus::discard(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    m_discarded += bytes.size();
    if (onDiscarded)
        onDiscarded(bytes);
}

void TModBus::onComm() {
    if (m_comm->CommEvent() != CommControl::ComEvReceive)
        return;
    m_chunk = m_comm->Input();
    if (m_chunk.isEmpty())
        return;
    m_sinceReply.start();
    // Outside a transaction's wait nothing may reach Buffer: the reply of a finished transaction
    // stays as it was, and the next one starts clean.
    if (!m_listening || waitEnded()) {
        discard(m_chunk);
        return;
    }
    ReplyTimer->stop();

    const int room = BufferSize - Received;
    const int taken = std::min<int>(room, int(m_chunk.size()));
    std::copy_n(reinterpret_cast<const std::uint8_t*>(m_chunk.constData()), taken, Buffer.begin() + Received);
    Received += taken;
    if (onChunk)
        onChunk(int(m_chunk.size()));
    // A reply longer than any frame cannot be a good one: what did not fit is dropped, and waiting
    // for the rest would only let a babbling line hold the transaction.
    if (taken < m_chunk.size()) {
        m_overflow = true;
        discard(m_chunk.mid(taken));
        return;
    }

    if (CommandMode) {
        const QByteArray text(reinterpret_cast<const char*>(Buffer.data()), Received);
        for (const char* word : kResultWords) {
            if (text.contains(word)) {
                ReplyTimer->setInterval(m_silenceMs);
                break;
            }
        }
    }
    completeEarly();
    if (m_awaitingSilence)
        ReplyTimer->start();
}

int TModBus::expectedReplyLength(const std::uint8_t* frame, int count) {
    if (count < 2) return 0;
    const int function = frame[1];
    // An exception: address, function | 0x80, code, CRC.
    if (function & 0x80) return 5;
    switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
    case FnReportSlaveId:
    case FnReadArchive:
        return count < 3 ? 0 : 5 + frame[2];
    case 5:
    case 6:
    case 15:
    case 16:
        return 8;
    default:
        return -1;
    }
}

int TModBus::frameSilenceMs() const {
    // 3.5 characters of 10 bits, rounded up.
    const int speed = lineSpeed();
    return (35000 + speed - 1) / speed;
}

int TModBus::replyGapMs() const {
    // Below 20 ms a busy PC's scheduling could cut a frame apart.
    return std::max(20, frameSilenceMs());
}

int TModBus::interFrameGapMs() const {
    return std::max(1, frameSilenceMs()) + (RtsMode ? RtsTurnaroundMs : 0);
}

void TModBus::completeEarly() {
    // Modem command lines keep the silence rule.
    if (!m_fastNow || m_expectFunction < 0 || ReplyDone) return;
    const int expected = expectedReplyLength(Buffer.data(), Received);
    if (expected < 0) {
        m_gapTimer->start(replyGapMs());
        return;
    }
    // Anything short of a frame that plainly answers this request waits for the silence, so that
    // the caller learns of it what it would have learnt without fast completion.
    if (Received != expected) return;
    const int function = Buffer[1];
    const bool answers = Buffer[0] == m_expectAddress &&
                         (function == m_expectFunction || function == (m_expectFunction | 0x80));
    if (answers && Crc16(Received) == 0) {
        ReplyDone = true;
        m_completion = ReplyCompletion::Length;
    }
}

void TModBus::keepInterFrameGap() {
    // Without the silence after each reply, nothing else gives the device and the converter their
    // quiet time before the next request. One wait only: a line that never goes quiet must not
    // hold the request back for ever (what comes meanwhile is thrown away as stale).
    if (!m_fastNow || !m_sinceReply.isValid()) return;
    const qint64 left = interFrameGapMs() - m_sinceReply.elapsed();
    if (left <= 0) return;
    eventwait::waitFor(int(left));
}

void TModBus::sendFrame(int length, int function, int expectedDataBytes) {
    const std::uint16_t crc = Crc16(length);
    Buffer[length] = std::uint8_t(crc & 0xFF);
    Buffer[length + 1] = std::uint8_t(crc >> 8);
    const int total = length + 2;
    OutputFrame = QByteArray(reinterpret_cast<const char*>(Buffer.data()), total);
    m_expectAddress = Buffer[0];
    m_expectFunction = function;
    m_expectData = expectedDataBytes;
    const bool write = function == FnWriteCoil || function == FnWriteRegister || function == FnWriteRegisters;
    m_expectEcho = write ? OutputFrame.left(6) : QByteArray();
    Transact(total, m_silenceMs);
}

void TModBus::clearOutcome() {
    Valid = false;
    Received = 0;
    m_portFailed = false;
    m_refused = false;
    m_overflow = false;
    m_lineNoise = false;
    m_completion = ReplyCompletion::Silence;
}

void TModBus::refuse() {
    clearOutcome();
    m_refused = true;
}

void TModBus::ReadHoldingRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first) {
    const std::uint8_t frame[] = {address, FnReadHolding, std::uint8_t(first >> 8), std::uint8_t(first), 0, count};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnReadHolding, 2 * count);
}

void TModBus::WriteRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first, const QByteArray& data) {
    // A byte count that disagrees with the data, or a frame past the buffer, would reach the device
    // malformed; padding or cutting the data would write values nobody asked for.
    if (count < 1 || count > MaxWriteRegisters || data.size() != 2 * count) {
        refuse();
        return;
    }
    const std::uint8_t head[] = {address,           FnWriteRegisters, std::uint8_t(first >> 8), std::uint8_t(first), 0,
                                 count,             std::uint8_t(2 * count)};
    std::copy(std::begin(head), std::end(head), Buffer.begin());
    std::copy(data.begin(), data.end(), Buffer.begin() + 7);
    sendFrame(7 + int(data.size()), FnWriteRegisters, -1);
}

void TModBus::WriteRegister(std::uint8_t address, std::uint16_t reg, std::uint16_t value) {
    const std::uint8_t frame[] = {address,          FnWriteRegister,     std::uint8_t(reg >> 8), std::uint8_t(reg),
                                  std::uint8_t(value >> 8), std::uint8_t(value)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnWriteRegister, -1);
}

void TModBus::ReadCoils(std::uint8_t address, std::uint16_t first, std::uint16_t quantity) {
    const std::uint8_t frame[] = {address,          FnReadCoils, std::uint8_t(first >> 8), std::uint8_t(first),
                                  std::uint8_t(quantity >> 8), std::uint8_t(quantity)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnReadCoils, (quantity + 7) / 8);
}

void TModBus::SetCoil(std::uint8_t address, std::uint16_t coil) {
    const std::uint8_t frame[] = {address, FnWriteCoil, std::uint8_t(coil >> 8), std::uint8_t(coil), 0xFF, 0x00};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnWriteCoil, -1);
}

void TModBus::ClearCoil(std::uint8_t address, std::uint16_t coil) {
    const std::uint8_t frame[] = {address, FnWriteCoil, std::uint8_t(coil >> 8), std::uint8_t(coil), 0x00, 0x00};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnWriteCoil, -1);
}

void TModBus::ReportSlaveId(std::uint8_t address) {
    Buffer[0] = address;
    Buffer[1] = FnReportSlaveId;
    sendFrame(2, FnReportSlaveId, -1);
}

void TModBus::ReadArchive(std::uint8_t address, std::uint8_t archive, std::uint8_t count, std::int32_t mode,
                          const QDateTime& when) {
    if (mode != 1)
        return;
    const std::uint8_t frame[] = {address,
                                  FnReadArchive,
                                  0,
                                  archive,
                                  0,
                                  count,
                                  1,
                                  0,
                                  0,
                                  std::uint8_t(when.time().hour()),
                                  std::uint8_t(when.date().day()),
                                  std::uint8_t(when.date().month()),
                                  std::uint8_t(when.date().year() % 100)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(13, FnReadArchive, -1);
}

void TModBus::ReadArchive(std::uint8_t address, std::uint8_t archive, std::uint8_t count, std::int32_t mode,
                          double recordNumber) {
    if (mode != 0)
        return;
    const std::optional<std::uint16_t> bits = low16(recordNumber);
    if (!bits) {
        refuse();
        return;
    }
    const std::uint16_t number = *bits;
    const std::uint8_t frame[] = {address, FnReadArchive, 0, archive, 0, count, 0, std::uint8_t(number >> 8),
                                  std::uint8_t(number)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(9, FnReadArchive, -1);
}

bool TModBus::SendCommandLine(const QString& text, std::int32_t silenceMs) {
    const QByteArray bytes = cp1251::encode(text);
    if (bytes.size() > MaxCommandLine) {
        refuse();
        return false;
    }
    CommandMode = true;
    std::copy(bytes.begin(), bytes.end(), Buffer.begin());
    Buffer[bytes.size()] = 13;
    Buffer[bytes.size() + 1] = 13;
    Buffer[bytes.size() + 2] = 10;
    OutputFrame = bytes + QByteArray("\r\r");
    m_expectAddress = m_expectFunction = m_expectData = -1;
    m_expectEcho.clear();
    Transact(int(bytes.size()), silenceMs);
    CommandMode = false;
    return true;
}

QByteArray TModBus::reply() const {
    return QByteArray(reinterpret_cast<const char*>(Buffer.data()), std::clamp(Received, 0, BufferSize));
}

int TModBus::exceptionCode() const { return replyStatus() == ReplyStatus::Exception ? Buffer[2] : 0; }

ReplyStatus TModBus::replyStatus() const {
    if (m_portFailed)
        return ReplyStatus::PortError;
    if (m_refused)
        return ReplyStatus::Refused;
    if (m_overflow)
        return ReplyStatus::Overflow;
    if (Received == 0)
        return ReplyStatus::NoReply;
    if (m_lineNoise)
        return ReplyStatus::LineNoise;
    if (!Valid)
        return ReplyStatus::CrcError;
    if (m_expectFunction < 0)
        return ReplyStatus::Ok;
    if (Received < 4)
        return ReplyStatus::WrongLength;
    if (m_expectAddress >= 0 && Buffer[0] != m_expectAddress)
        return ReplyStatus::WrongAddress;
    const int function = Buffer[1];
    if (function == (m_expectFunction | 0x80))
        return Received == 5 ? ReplyStatus::Exception : ReplyStatus::WrongLength;
    if (function != m_expectFunction)
        return ReplyStatus::WrongFunction;
    switch (function) {
    case FnWriteCoil:
    case FnWriteRegister:
    case FnWriteRegisters:
        if (Received != 8)
            return ReplyStatus::WrongLength;
        // A late echo of an earlier write must not confirm this one.
        return reply().startsWith(m_expectEcho) ? ReplyStatus::Ok : ReplyStatus::WrongEcho;
    case FnReportSlaveId:
        // The identification is read up to its zero bytes and its byte count is never used, so a
        // count that disagrees with the length must not hide a meter from the scan; only a frame
        // without any data (the request's own echo) is refused.
        return Received >= 5 ? ReplyStatus::Ok : ReplyStatus::WrongLength;
    default: {
        const int byteCount = Buffer[2];
        if (Received != 3 + byteCount + 2)
            return ReplyStatus::WrongLength;
        if (m_expectData >= 0 && byteCount != m_expectData)
            return ReplyStatus::WrongLength;
        return ReplyStatus::Ok;
    }
    }
}
