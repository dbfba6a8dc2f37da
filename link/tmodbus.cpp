#include "link/tmodbus.h"

#include "link/cp1251.h"
#include "link/crc16.h"
#include "link/eventwait.h"
#include "link/functioncodes.h"
#include "link/linespeed.h"
#include "link/linkport.h"

#include <QTimer>
#include <climits>
#include <cmath>
#include <optional>

namespace {

using namespace modbus;

// Result words a Hayes modem ends a command with, in the order they are looked for.
const char* const kResultWords[] = {"CONNECT",     "OK",    "BUSY",      "NO ANSWER",
                                    "NO DIALTONE", "ERROR", "NO CARRIER"};

// The low 16 bits of the rounded number, for any finite double (a plain integer conversion is
// undefined beyond 64 bits); nothing for NaN and infinities.
std::optional<std::uint16_t> low16(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    double m = std::fmod(std::nearbyint(x), 65536.0);
    if (m < 0) m += 65536.0;
    return std::uint16_t(m);
}

bool isRead(int function) {
    return function == FnReadCoils || function == FnReadHolding || function == FnReportSlaveId ||
           function == FnReadArchive;
}

// A reply that a second asking may mend: the line garbled it, or the device did not hear the request.
// An exception is the device's considered answer, and a port that does not open stays shut.
bool worthAskingAgain(ReplyStatus status) {
    switch (status) {
    case ReplyStatus::Ok:
    case ReplyStatus::Exception:
    case ReplyStatus::PortError:
    case ReplyStatus::Refused:
        return false;
    default:
        return true;
    }
}

} // namespace

TModBus::TModBus(QObject* parent) : QObject(parent), m_msComm(std::make_unique<LinkPort>()) {
    init();
    bindControl(&m_msComm->control());
    connect(m_msComm.get(), &LinkPort::controlChanged, this, [this] { bindControl(&m_msComm->control()); });
}

TModBus::TModBus(CommControl* control, QObject* parent) : QObject(parent) {
    init();
    bindControl(control);
}

TModBus::~TModBus() {
    if (m_comm) {
        m_comm->OnComm = nullptr;
        m_comm->OnLinkLost = nullptr;
    }
}

void TModBus::init() {
    ReplyTimer = new QTimer(this);
    ReplyTimer->setTimerType(Qt::PreciseTimer);
    ReplyTimer->setInterval(DefaultSilenceMs);
    connect(ReplyTimer, &QTimer::timeout, this, [this] {
        ReplyTimer->stop();
        end();
    });
    m_limitTimer = new QTimer(this);
    m_limitTimer->setTimerType(Qt::PreciseTimer);
    m_limitTimer->setSingleShot(true);
    connect(m_limitTimer, &QTimer::timeout, this, [this] { end(Fault::LineNoise); });
    m_gapTimer = new QTimer(this);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    connect(m_gapTimer, &QTimer::timeout, this, [this] {
        if (!listening()) return;
        m_completion = ReplyCompletion::Gap;
        end();
    });
    RtsTimer = new QTimer(this);
    RtsTimer->setTimerType(Qt::PreciseTimer);
    RtsTimer->setInterval(120);
    connect(RtsTimer, &QTimer::timeout, this, [this] {
        RtsTimer->stop();
        m_comm->setRTSEnable(false);
    });
    CommandMode = false;
}

void TModBus::bindControl(CommControl* control) {
    m_comm = control;
    m_comm->OnComm = [this] { onComm(); };
    m_comm->OnLinkLost = [this] { onLinkLost(); };
}

std::uint16_t TModBus::Crc16(int count) const {
    return crc16::compute(Buffer.data(), std::clamp(count, 0, BufferSize));
}

template <typename Done> void TModBus::waitLine(Done done, int ms) {
    if (ms < 0)
        eventwait::waitUntil(done);
    else
        eventwait::waitUntil(done, ms);
}

int TModBus::replyLimitMs(std::int32_t TimeoutMs) const {
    // 256 characters of 10 bits at a quarter of the line's speed, or eight silences (a byte every
    // 15.6 ms), whichever is longer: a device that is merely slow must not pass for a babbling line,
    // while one babbling a byte every 20 ms still does.
    const qint64 slowFrameMs = std::max<qint64>(m_comm->bitsTimeMs(qint64(BufferSize) * 10 * 4),
                                                8 * qint64(std::max(0, m_silenceMs)));
    return int(std::min<qint64>(INT_MAX, 2 * qint64(std::max(0, TimeoutMs)) + slowFrameMs));
}

void TModBus::Transact(std::int32_t ByteCount, std::int32_t TimeoutMs) {
    struct BackToIdle {
        State& state;
        ~BackToIdle() { state = State::Idle; }
    } idle{m_state};
    clearOutcome();
    m_state = State::Preparing;

    if (m_msComm) m_msComm->followMapping();
    if (RtsMode) RtsTimer->setInterval(m_comm->rtsHoldMs(ByteCount));
    m_fastNow = m_fast;

    QString error;
    if (!m_comm->ensureOpen(&error)) {
        m_fault = Fault::PortFailed;
        m_portError = error;
        emit portOpenFailed(error);
        emit transactionEnded();
        return;
    }
    keepInterFrameGap();
    // Nothing can answer a request before it is sent: what waits now is a late answer to an earlier
    // one, and taken as this reply it would hand the caller another request's values.
    discard(m_comm->discardInput());

    if (RtsMode) m_comm->setRTSEnable(true);
    // Before the write: a line faster than the program may answer inside it.
    m_state = State::Sending;
    emit frameSent(OutputFrame);
    m_comm->setOutput(OutputFrame);

    if (RtsMode) {
        RtsTimer->start();
        waitLine([this] { return !RtsTimer->isActive(); });
    }

    // Bytes that came while RTS was held (a converter's echo, a quick reply) belong to this reply,
    // but the silence that ends it is counted only from now.
    if (m_state == State::Sending) {
        m_state = State::Listening;
        // A timer refuses a negative interval and would never end the wait.
        ReplyTimer->setInterval(std::max(0, TimeoutMs));
        ReplyTimer->start();
        // A line that never goes quiet (a babbling device or converter) would hold the silence
        // count off for ever.
        m_limitTimer->start(replyLimitMs(TimeoutMs));
        waitLine([this] { return m_state == State::Ended; });
        ReplyTimer->stop();
        m_limitTimer->stop();
    }
    m_gapTimer->stop();
    m_state = State::Ended;

    Valid = m_fault != Fault::Overflow && m_fault != Fault::LineNoise && Crc16(Received) == 0;
    emit transactionEnded();
}

void TModBus::end(Fault fault) {
    if (!listening()) return;
    if (fault != Fault::None) m_fault = fault;
    m_state = State::Ended;
}

void TModBus::discard(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    m_discarded += bytes.size();
    emit bytesDiscarded(bytes);
}

void TModBus::onComm() {
    if (m_comm->CommEvent() != CommControl::ComEvReceive) return;
    m_chunk = m_comm->Input();
    if (m_chunk.isEmpty()) return;
    m_sinceReply.start();
    // Outside a transaction's wait nothing may reach Buffer: the reply of a finished transaction
    // stays as it was, and the next one starts clean.
    if (!listening()) {
        discard(m_chunk);
        return;
    }
    take(m_chunk);
}

void TModBus::onLinkLost() {
    if (!listening()) return;
    // What the control still holds came before the far end went.
    const QByteArray rest = m_comm->Input();
    if (!rest.isEmpty()) {
        m_sinceReply.start();
        take(rest);
    }
    // Nothing more can come on a link that is gone: waiting out the silence would only delay the
    // verdict, and a reply cut short is no CRC error of the line's.
    end(Fault::LinkLost);
}

void TModBus::take(const QByteArray& chunk) {
    ReplyTimer->stop();

    const int room = BufferSize - Received;
    const int taken = std::min<int>(room, int(chunk.size()));
    std::copy_n(reinterpret_cast<const std::uint8_t*>(chunk.constData()), taken, Buffer.begin() + Received);
    Received += taken;
    emit chunkReceived(int(chunk.size()));
    // A reply longer than any frame cannot be a good one: what did not fit is dropped, and waiting
    // for the rest would only let a babbling line hold the transaction.
    if (taken < chunk.size()) {
        discard(chunk.mid(taken));
        end(Fault::Overflow);
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
    if (m_state == State::Listening) ReplyTimer->start();
}

int TModBus::frameSilenceMs() const {
    // 3.5 characters of 10 bits.
    return m_comm->bitsTimeMs(35);
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
    if (!m_fastNow || m_expectFunction < 0 || !listening()) return;
    const int expected = rtu::expectedReplyLength(Buffer.data(), Received);
    if (expected < 0) {
        m_gapTimer->start(replyGapMs());
        return;
    }
    // Anything short of a frame that plainly answers this request waits for the silence, so that
    // the caller learns of it what it would have learnt without fast completion.
    if (Received != expected) return;
    const RtuFrame frame = replyFrame();
    const bool answers =
        frame.address() == m_expectAddress &&
        (frame.function() == m_expectFunction || frame.function() == (m_expectFunction | 0x80));
    if (answers && frame.crcOk()) {
        m_completion = ReplyCompletion::Length;
        end();
    }
}

void TModBus::keepInterFrameGap() {
    // Without the silence after each reply, nothing else gives the device and the converter their
    // quiet time before the next request. The gap is quiet on the line, not time since the reply:
    // bytes trailing it are thrown away and the gap counted again from them, so they cannot land in
    // the next reply. A line that never goes quiet must not hold the request back for ever.
    if (!m_fastNow || !m_sinceReply.isValid()) return;
    const int gap = interFrameGapMs();
    const int bound = replyLimitMs(m_silenceMs);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const QByteArray trailing = m_comm->discardInput();
        if (!trailing.isEmpty()) {
            discard(trailing);
            m_sinceReply.start();
        }
        const qint64 left = std::min<qint64>(gap - m_sinceReply.elapsed(), bound - waited.elapsed());
        if (left <= 0) return;
        waitLine([] { return false; }, int(left));
    }
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
    transactRetrying(total, function);
}

void TModBus::transactRetrying(int total, int function) {
    // A write the device carried out but whose confirmation the line garbled would be carried out
    // twice: only reads are asked again.
    const int repeats = isRead(function) ? m_retries : 0;
    for (int attempt = 0;; ++attempt) {
        Transact(total, m_silenceMs);
        if (attempt >= repeats || !worthAskingAgain(replyStatus())) return;
    }
}

void TModBus::clearOutcome() {
    Valid = false;
    Received = 0;
    m_fault = Fault::None;
    m_completion = ReplyCompletion::Silence;
}

void TModBus::refuse() {
    clearOutcome();
    m_fault = Fault::Refused;
}

void TModBus::ReadHoldingRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first) {
    const std::uint8_t frame[] = {address, FnReadHolding, std::uint8_t(first >> 8), std::uint8_t(first),
                                  0,       count};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnReadHolding, 2 * count);
}

void TModBus::WriteRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first,
                             const QByteArray& data) {
    // A byte count that disagrees with the data, or a frame past the buffer, would reach the device
    // malformed; padding or cutting the data would write values nobody asked for.
    if (count < 1 || count > MaxWriteRegisters || data.size() != 2 * count) {
        refuse();
        return;
    }
    const std::uint8_t head[] = {
        address, FnWriteRegisters,       std::uint8_t(first >> 8), std::uint8_t(first), 0,
        count,   std::uint8_t(2 * count)};
    std::copy(std::begin(head), std::end(head), Buffer.begin());
    std::copy(data.begin(), data.end(), Buffer.begin() + 7);
    sendFrame(7 + int(data.size()), FnWriteRegisters, -1);
}

void TModBus::WriteRegister(std::uint8_t address, std::uint16_t reg, std::uint16_t value) {
    const std::uint8_t frame[] = {address,           FnWriteRegister,          std::uint8_t(reg >> 8),
                                  std::uint8_t(reg), std::uint8_t(value >> 8), std::uint8_t(value)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnWriteRegister, -1);
}

void TModBus::ReadCoils(std::uint8_t address, std::uint16_t first, std::uint16_t quantity) {
    const std::uint8_t frame[] = {address,
                                  FnReadCoils,
                                  std::uint8_t(first >> 8),
                                  std::uint8_t(first),
                                  std::uint8_t(quantity >> 8),
                                  std::uint8_t(quantity)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnReadCoils, (quantity + 7) / 8);
}

void TModBus::SetCoil(std::uint8_t address, std::uint16_t coil) {
    const std::uint8_t frame[] = {address, FnWriteCoil, std::uint8_t(coil >> 8), std::uint8_t(coil),
                                  0xFF,    0x00};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnWriteCoil, -1);
}

void TModBus::ClearCoil(std::uint8_t address, std::uint16_t coil) {
    const std::uint8_t frame[] = {address, FnWriteCoil, std::uint8_t(coil >> 8), std::uint8_t(coil),
                                  0x00,    0x00};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnWriteCoil, -1);
}

void TModBus::ReportSlaveId(std::uint8_t address) {
    Buffer[0] = address;
    Buffer[1] = FnReportSlaveId;
    sendFrame(2, FnReportSlaveId, -1);
}

void TModBus::ReadArchiveByDate(std::uint8_t address, std::uint8_t archive, std::uint8_t count,
                                const QDateTime& when) {
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

void TModBus::ReadArchiveByRecord(std::uint8_t address, std::uint8_t archive, std::uint8_t count,
                                  double recordNumber) {
    const std::optional<std::uint16_t> bits = low16(recordNumber);
    if (!bits) {
        refuse();
        return;
    }
    const std::uint16_t number = *bits;
    const std::uint8_t frame[] = {
        address, FnReadArchive, 0, archive, 0, count, 0, std::uint8_t(number >> 8), std::uint8_t(number)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(9, FnReadArchive, -1);
}

void TModBus::ReadArchive(std::uint8_t address, std::uint8_t archive, std::uint8_t count, std::int32_t mode,
                          const QDateTime& when) {
    if (mode == 1) ReadArchiveByDate(address, archive, count, when);
}

void TModBus::ReadArchive(std::uint8_t address, std::uint8_t archive, std::uint8_t count, std::int32_t mode,
                          double recordNumber) {
    if (mode == 0) ReadArchiveByRecord(address, archive, count, recordNumber);
}

bool TModBus::SendCommandLine(const QString& text, std::int32_t silenceMs) {
    const QByteArray bytes = cp1251::encode(text);
    if (bytes.size() > MaxCommandLine) {
        refuse();
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), Buffer.begin());
    Buffer[bytes.size()] = 13;
    Buffer[bytes.size() + 1] = 13;
    Buffer[bytes.size() + 2] = 10;
    sendToModem(bytes + QByteArray("\r\r"), int(bytes.size()), silenceMs);
    return true;
}

void TModBus::SendModemBytes(const QByteArray& bytes, std::int32_t silenceMs) {
    sendToModem(bytes, int(bytes.size()), silenceMs);
}

void TModBus::sendToModem(const QByteArray& bytes, int byteCount, int silenceMs) {
    CommandMode = true;
    OutputFrame = bytes;
    m_expectAddress = m_expectFunction = m_expectData = -1;
    m_expectEcho.clear();
    Transact(byteCount, silenceMs);
    CommandMode = false;
}

QByteArray TModBus::reply() const {
    return QByteArray(reinterpret_cast<const char*>(Buffer.data()), std::clamp(Received, 0, BufferSize));
}

int TModBus::exceptionCode() const {
    return replyStatus() == ReplyStatus::Exception ? replyFrame().exceptionCode() : 0;
}

ReplyStatus TModBus::replyStatus() const {
    switch (m_fault) {
    case Fault::PortFailed:
        return ReplyStatus::PortError;
    case Fault::Refused:
        return ReplyStatus::Refused;
    case Fault::Overflow:
        return ReplyStatus::Overflow;
    default:
        break;
    }
    if (Received == 0) return ReplyStatus::NoReply;
    if (m_fault == Fault::LineNoise) return ReplyStatus::LineNoise;
    // A whole frame that came before the link went is as good as any.
    if (!Valid) return m_fault == Fault::LinkLost ? ReplyStatus::LinkLost : ReplyStatus::CrcError;
    if (m_expectFunction < 0) return ReplyStatus::Ok;
    const RtuFrame frame = replyFrame();
    if (frame.size() < 4) return ReplyStatus::WrongLength;
    if (m_expectAddress >= 0 && frame.address() != m_expectAddress) return ReplyStatus::WrongAddress;
    const int function = frame.function();
    if (function == (m_expectFunction | 0x80))
        return frame.size() == 5 ? ReplyStatus::Exception : ReplyStatus::WrongLength;
    if (function != m_expectFunction) return ReplyStatus::WrongFunction;
    switch (function) {
    case FnWriteCoil:
    case FnWriteRegister:
    case FnWriteRegisters:
        if (frame.size() != 8) return ReplyStatus::WrongLength;
        // A late echo of an earlier write must not confirm this one.
        return frame.bytes().startsWith(m_expectEcho) ? ReplyStatus::Ok : ReplyStatus::WrongEcho;
    case FnReportSlaveId:
        // The identification is read up to its zero bytes and its byte count is never used, so a
        // count that disagrees with the length must not hide a meter from the scan; only a frame
        // without any data (the request's own echo) is refused.
        return frame.size() >= 5 ? ReplyStatus::Ok : ReplyStatus::WrongLength;
    default: {
        const std::optional<QByteArray> data = frame.countedData();
        if (!data || (m_expectData >= 0 && data->size() != m_expectData)) return ReplyStatus::WrongLength;
        return ReplyStatus::Ok;
    }
    }
}
