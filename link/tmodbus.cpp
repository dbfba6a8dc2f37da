#include "link/tmodbus.h"

#include "link/cp1251.h"
#include "link/crc16.h"
#include "link/eventwait.h"
#include "link/functioncodes.h"
#include "link/linespeed.h"
#include "link/linkport.h"

#include <QThread>

#include <QTimer>
#include <climits>
#include <cmath>
#include <optional>

namespace {

using namespace modbus;

// The low 16 bits of the rounded number, for any finite double (a plain integer conversion is
// undefined beyond 64 bits); nothing for NaN and infinities.
std::optional<std::uint16_t> low16(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    double m = std::fmod(std::nearbyint(x), 65536.0);
    if (m < 0) m += 65536.0;
    return std::uint16_t(m);
}

QByteArray bytesOf(std::initializer_list<std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.begin()), qsizetype(bytes.size()));
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

// A reply that may still be under way, or a part of one, when the transaction ended: the next
// request waits for the line to go quiet. A link that was lost brings nothing more.
bool mayStillBeAnswered(ReplyStatus status) {
    return worthAskingAgain(status) && status != ReplyStatus::LinkLost;
}

} // namespace

TModBus::TModBus(QObject* parent) : QObject(parent), m_thread(std::make_unique<QThread>()) {
    m_thread->setObjectName(QStringLiteral("kastari-link"));
    m_line = new LinkLine;
    m_line->moveToThread(m_thread.get());
    m_thread->start();
    // The port makes its controls in the line's thread; whichever it chooses, the line talks to.
    m_msComm = std::make_unique<LinkPort>(m_line);
    const auto bind = [this] { m_line->bind(&m_msComm->control()); };
    QMetaObject::invokeMethod(m_line, bind, Qt::BlockingQueuedConnection);
    connect(m_msComm.get(), &LinkPort::controlChanged, m_line, bind, Qt::DirectConnection);
    init();
}

TModBus::TModBus(CommControl* control, QObject* parent) : QObject(parent) {
    m_line = new LinkLine(this);
    m_line->bind(control);
    init();
}

TModBus::~TModBus() {
    if (!m_thread) {
        m_line->unbind();
        return;
    }
    // The controls go in their own thread, then the thread itself.
    QMetaObject::invokeMethod(
        m_line, [this] { m_line->unbind(); }, Qt::BlockingQueuedConnection);
    m_msComm.reset();
    QMetaObject::invokeMethod(
        m_line, [this] { delete m_line; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void TModBus::init() {
    // The verdict crosses from the link thread.
    qRegisterMetaType<LinkLine::Fault>();
    qRegisterMetaType<ReplyCompletion>();
    // Queued from the link thread, so they come on this thread in the order the line had them.
    connect(m_line, &LinkLine::portOpenFailed, this, &TModBus::portOpenFailed);
    connect(m_line, &LinkLine::frameSent, this, &TModBus::frameSent);
    connect(m_line, &LinkLine::chunkReceived, this, &TModBus::chunkReceived);
    connect(m_line, &LinkLine::bytesDiscarded, this, [this](const QByteArray& bytes) {
        m_discarded += bytes.size();
        emit bytesDiscarded(bytes);
    });
    connect(m_line, &LinkLine::finished, this, &TModBus::finish);
}

template <typename Done> void TModBus::waitLine(Done done) {
    eventwait::waitUntil(done);
}

int TModBus::replyLimitMs(std::int32_t TimeoutMs) const {
    return m_line->replyLimitMs(TimeoutMs, m_silenceMs);
}

int TModBus::replyGapMs() const {
    return m_line->replyGapMs();
}

int TModBus::interFrameGapMs() const {
    return m_line->interFrameGapMs(m_rtsMode);
}

void TModBus::transact(int byteCount, int timeoutMs) {
    clearOutcome();
    const LinkLine::Request request{.frame = m_request,
                                    .rtsBytes = byteCount,
                                    .timeoutMs = timeoutMs,
                                    .silenceMs = m_silenceMs,
                                    .rtsMode = m_rtsMode,
                                    .fast = m_fast,
                                    .commandLine = m_commandMode,
                                    .expectAddress = m_expectAddress,
                                    .expectFunction = m_expectFunction,
                                    .settleFirst = m_settleNext};
    m_state = State::Waiting;
    m_verdict = false;
    if (m_thread) {
        // The port's name and settings belong to this thread; the line takes up a changed mapping
        // before the request goes, while it is idle.
        m_msComm->followMapping();
        QMetaObject::invokeMethod(
            m_line, [line = m_line, request] { line->transact(request); }, Qt::QueuedConnection);
        // The verdict is queued behind everything the line reported before it.
        waitLine([this] { return m_verdict; });
    } else {
        m_line->transact(request);
    }
    // A modem's command line is judged by its words, not as a frame. A link that went away (a device
    // server that hung up before any byte) has nothing more on its way, whatever the status says.
    m_settleNext = m_settleAfterFailure && !m_commandMode && m_fault != Fault::LinkLost &&
                   mayStillBeAnswered(replyStatus());
    m_state = State::Idle;
    emit transactionEnded();
}

void TModBus::finish(const QByteArray& reply, Fault fault, ReplyCompletion completion,
                     const QString& portError, int replyMs) {
    m_replyMs = replyMs;
    m_reply = reply.left(BufferSize);
    m_completion = completion;
    m_fault = fault;
    m_portError = portError;
    m_verdict = true;
}

void TModBus::sendFrame(const QByteArray& frame, int function, int expectedDataBytes) {
    m_request = crc16::appended(frame);
    m_expectAddress = std::uint8_t(frame[0]);
    m_expectFunction = function;
    m_expectData = expectedDataBytes;
    const bool write = function == FnWriteCoil || function == FnWriteRegister || function == FnWriteRegisters;
    m_expectEcho = write ? m_request.left(6) : QByteArray();
    transactRetrying(int(m_request.size()), function);
}

void TModBus::transactRetrying(int total, int function) {
    // A write the device carried out but whose confirmation the line garbled would be carried out
    // twice: only reads are asked again.
    const int repeats = isRead(function) ? m_retries : 0;
    for (int attempt = 0;; ++attempt) {
        transact(total, m_silenceMs);
        if (attempt >= repeats || !worthAskingAgain(replyStatus())) return;
    }
}

void TModBus::clearOutcome() {
    m_reply.clear();
    m_replyMs = -1;
    m_fault = Fault::None;
    m_completion = ReplyCompletion::Silence;
}

void TModBus::refuse() {
    clearOutcome();
    m_fault = Fault::Refused;
}

void TModBus::ReadHoldingRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first) {
    sendFrame(bytesOf({address, FnReadHolding, std::uint8_t(first >> 8), std::uint8_t(first), 0, count}),
              FnReadHolding, 2 * count);
}

void TModBus::WriteRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first,
                             const QByteArray& data) {
    // A byte count that disagrees with the data, or a frame past the buffer, would reach the device
    // malformed; padding or cutting the data would write values nobody asked for.
    if (count < 1 || count > MaxWriteRegisters || data.size() != 2 * count) {
        refuse();
        return;
    }
    const QByteArray head = bytesOf({address, FnWriteRegisters, std::uint8_t(first >> 8), std::uint8_t(first),
                                     0, count, std::uint8_t(2 * count)});
    sendFrame(head + data, FnWriteRegisters, -1);
}

void TModBus::WriteRegister(std::uint8_t address, std::uint16_t reg, std::uint16_t value) {
    sendFrame(bytesOf({address, FnWriteRegister, std::uint8_t(reg >> 8), std::uint8_t(reg),
                       std::uint8_t(value >> 8), std::uint8_t(value)}),
              FnWriteRegister, -1);
}

void TModBus::ReadCoils(std::uint8_t address, std::uint16_t first, std::uint16_t quantity) {
    sendFrame(bytesOf({address, FnReadCoils, std::uint8_t(first >> 8), std::uint8_t(first),
                       std::uint8_t(quantity >> 8), std::uint8_t(quantity)}),
              FnReadCoils, (quantity + 7) / 8);
}

void TModBus::SetCoil(std::uint8_t address, std::uint16_t coil) {
    sendFrame(bytesOf({address, FnWriteCoil, std::uint8_t(coil >> 8), std::uint8_t(coil), 0xFF, 0x00}),
              FnWriteCoil, -1);
}

void TModBus::ClearCoil(std::uint8_t address, std::uint16_t coil) {
    sendFrame(bytesOf({address, FnWriteCoil, std::uint8_t(coil >> 8), std::uint8_t(coil), 0x00, 0x00}),
              FnWriteCoil, -1);
}

void TModBus::ReportSlaveId(std::uint8_t address) {
    sendFrame(bytesOf({address, FnReportSlaveId}), FnReportSlaveId, -1);
}

void TModBus::ReadArchiveByDate(std::uint8_t address, std::uint8_t archive, std::uint8_t count,
                                const QDateTime& when) {
    sendFrame(bytesOf({address, FnReadArchive, 0, archive, 0, count, 1, 0, 0,
                       std::uint8_t(when.time().hour()), std::uint8_t(when.date().day()),
                       std::uint8_t(when.date().month()), std::uint8_t(when.date().year() % 100)}),
              FnReadArchive, -1);
}

void TModBus::ReadArchiveByRecord(std::uint8_t address, std::uint8_t archive, std::uint8_t count,
                                  double recordNumber) {
    const std::optional<std::uint16_t> bits = low16(recordNumber);
    if (!bits) {
        refuse();
        return;
    }
    const std::uint16_t number = *bits;
    sendFrame(bytesOf({address, FnReadArchive, 0, archive, 0, count, 0, std::uint8_t(number >> 8),
                       std::uint8_t(number)}),
              FnReadArchive, -1);
}

bool TModBus::SendCommandLine(const QString& text, std::int32_t silenceMs) {
    const QByteArray bytes = cp1251::encode(text);
    if (bytes.size() > MaxCommandLine) {
        refuse();
        return false;
    }
    sendToModem(bytes + QByteArray("\r\r"), int(bytes.size()), silenceMs);
    return true;
}

void TModBus::SendModemBytes(const QByteArray& bytes, std::int32_t silenceMs) {
    sendToModem(bytes, int(bytes.size()), silenceMs);
}

void TModBus::sendToModem(const QByteArray& bytes, int byteCount, int silenceMs) {
    m_commandMode = true;
    m_request = bytes;
    m_expectAddress = m_expectFunction = m_expectData = -1;
    m_expectEcho.clear();
    transact(byteCount, silenceMs);
    m_commandMode = false;
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
    if (m_reply.isEmpty()) return ReplyStatus::NoReply;
    if (m_fault == Fault::LineNoise) return ReplyStatus::LineNoise;
    const RtuFrame frame = replyFrame();
    // A whole frame that came before the link went is as good as any.
    if (!frame.crcOk()) return m_fault == Fault::LinkLost ? ReplyStatus::LinkLost : ReplyStatus::CrcError;
    if (m_expectFunction < 0) return ReplyStatus::Ok;
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
