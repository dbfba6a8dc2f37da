#include "link/tmodbus.h"

#include "link/crc16.h"
#include "link/tmscomm.h"

#include <QCoreApplication>
#include <QTimer>
#include <cmath>

namespace {

constexpr int FnReadCoils = 1;
constexpr int FnReadHolding = 3;
constexpr int FnWriteCoil = 5;
constexpr int FnWriteRegister = 6;
constexpr int FnWriteRegisters = 16;
constexpr int FnReportSlaveId = 17;
constexpr int FnReadArchive = 65;

// Result words a Hayes modem ends a command with, in the order they are looked for.
const char* const kResultWords[] = {"CONNECT", "OK", "BUSY", "NO ANSWER", "NO DIALTONE", "ERROR", "NO CARRIER"};

// Processes events until the flag is set; sleeps in the event dispatcher between events, so a
// long wait costs no CPU.
void waitFor(const bool& flag) {
    while (!flag)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

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
    case ReplyStatus::Overflow:
        return QStringLiteral("reply longer than 256 bytes");
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

void TModBus::Transact(std::int32_t ByteCount, std::int32_t TimeoutMs) {
    InTransaction busy(m_inTransaction);
    Valid = false;
    ReplyDone = false;
    RtsReleased = false;
    Received = 0;
    m_overflow = false;
    m_portFailed = false;

    if (RtsMode) {
        // The converter must keep the line until the last request byte is out: 8 bits per byte.
        const int speed = TMSComm::speedOf(m_comm->Settings());
        int hold = speed > 0 ? int((qint64(ByteCount) * 8000) / speed) : 1;
        RtsTimer->setInterval(hold > 0 ? hold : 1);
    }

    if (!m_comm->PortOpen()) {
        QString error;
        if (!m_comm->setPortOpen(true, &error)) {
            m_portFailed = true;
            m_portError = error;
            if (onPortOpenFailed)
                onPortOpenFailed(error);
            return;
        }
    }

    if (RtsMode)
        m_comm->setRTSEnable(true);
    m_comm->setOutput(OutputFrame);

    if (RtsMode) {
        RtsTimer->start();
        waitFor(RtsReleased);
    }

    // Bytes that came while RTS was held (a converter's echo, a straggler of the previous reply)
    // ran the silence count of no transaction; the wait for this reply starts only now.
    ReplyDone = false;
    // A timer refuses a negative interval and would never end the wait.
    ReplyTimer->setInterval(std::max(0, TimeoutMs));
    ReplyTimer->start();
    waitFor(ReplyDone);

    Valid = !m_overflow && Crc16(Received) == 0;
}

void TModBus::onComm() {
    if (m_comm->CommEvent() != CommControl::ComEvReceive)
        return;
    ReplyTimer->stop();
    m_chunk = m_comm->Input();
    ReplyDone = false;

    const int room = BufferSize - Received;
    const int taken = std::min<int>(room, int(m_chunk.size()));
    std::copy_n(reinterpret_cast<const std::uint8_t*>(m_chunk.constData()), taken, Buffer.begin() + Received);
    Received += taken;
    // A reply longer than any frame cannot be a good one; what did not fit is dropped.
    if (taken < m_chunk.size())
        m_overflow = true;

    if (onChunk)
        onChunk(int(m_chunk.size()));

    if (CommandMode) {
        const QByteArray text(reinterpret_cast<const char*>(Buffer.data()), Received);
        for (const char* word : kResultWords) {
            if (text.contains(word)) {
                ReplyTimer->setInterval(m_silenceMs);
                break;
            }
        }
    }
    ReplyTimer->start();
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
    Transact(total, m_silenceMs);
}

void TModBus::ReadHoldingRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first) {
    const std::uint8_t frame[] = {address, FnReadHolding, std::uint8_t(first >> 8), std::uint8_t(first), 0, count};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(6, FnReadHolding, 2 * count);
}

void TModBus::WriteRegisters(std::uint8_t address, std::uint8_t count, std::uint16_t first, const QByteArray& data) {
    const std::uint8_t head[] = {address,           FnWriteRegisters, std::uint8_t(first >> 8), std::uint8_t(first), 0,
                                 count,             std::uint8_t(2 * count)};
    std::copy(std::begin(head), std::end(head), Buffer.begin());
    // The byte count field is one byte; the data can never run past the buffer's end.
    const int n = std::min<int>(2 * count, BufferSize - 9);
    for (int i = 0; i < n; ++i)
        Buffer[7 + i] = i < data.size() ? std::uint8_t(data[i]) : 0;
    sendFrame(7 + n, FnWriteRegisters, -1);
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
    const auto number = std::uint16_t(std::int64_t(std::nearbyint(recordNumber)) & 0xFFFF);
    const std::uint8_t frame[] = {address, FnReadArchive, 0, archive, 0, count, 0, std::uint8_t(number >> 8),
                                  std::uint8_t(number)};
    std::copy(std::begin(frame), std::end(frame), Buffer.begin());
    sendFrame(9, FnReadArchive, -1);
}

bool TModBus::SendCommandLine(const QString& text, std::int32_t silenceMs) {
    const QByteArray bytes = text.toLatin1();
    if (bytes.size() > MaxCommandLine)
        return false;
    CommandMode = true;
    std::copy(bytes.begin(), bytes.end(), Buffer.begin());
    Buffer[bytes.size()] = 13;
    Buffer[bytes.size() + 1] = 13;
    Buffer[bytes.size() + 2] = 10;
    OutputFrame = bytes + QByteArray("\r\r");
    m_expectAddress = m_expectFunction = m_expectData = -1;
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
    if (m_overflow)
        return ReplyStatus::Overflow;
    if (Received == 0)
        return ReplyStatus::NoReply;
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
        return Received == 8 ? ReplyStatus::Ok : ReplyStatus::WrongLength;
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
