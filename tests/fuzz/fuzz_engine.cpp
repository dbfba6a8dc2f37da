// The transaction engine fed fuzzed replies in fuzzed chunks through the scripted control: a few
// requests of every kind in a row, each answered by chunks that come while it listens or only after
// it has ended, with fast completion on or off. What the engine keeps and how it judges it is
// compared with an independent reading of the same bytes, and every frame it sends must be well
// formed.
#include "device/registerblock.h"
#include "fakecomm.h"
#include "fuzzinput.h"
#include "link/cp1251.h"
#include "link/crc16.h"
#include "link/tmodbus.h"

#include <cmath>
#include <optional>

namespace {

// Bit by bit, unlike the engine's tables.
std::uint16_t crc(const QByteArray& bytes) {
    std::uint16_t c = 0xFFFF;
    for (const char b : bytes) {
        c ^= std::uint8_t(b);
        for (int i = 0; i < 8; ++i)
            c = (c & 1) ? std::uint16_t((c >> 1) ^ 0xA001) : std::uint16_t(c >> 1);
    }
    return c;
}

// What was asked, as the judgement of the reply needs it.
struct Request {
    int address = -1; // -1: a modem command line, judged by its CRC alone
    int function = 0;
    int dataBytes = -1; // the byte count a read must carry; -1 any
    QByteArray head;    // the six bytes a write's echo repeats
    bool refused = false;
};

ReplyStatus judge(const Request& request, const QByteArray& arrived) {
    if (request.refused) return ReplyStatus::Refused;
    if (arrived.size() > TModBus::BufferSize) return ReplyStatus::Overflow;
    if (arrived.isEmpty()) return ReplyStatus::NoReply;
    if (crc(arrived) != 0) return ReplyStatus::CrcError;
    if (request.address < 0) return ReplyStatus::Ok;
    const int n = int(arrived.size());
    if (n < 4) return ReplyStatus::WrongLength;
    if (std::uint8_t(arrived[0]) != request.address) return ReplyStatus::WrongAddress;
    const int function = std::uint8_t(arrived[1]);
    if (function == (request.function | 0x80))
        return n == 5 ? ReplyStatus::Exception : ReplyStatus::WrongLength;
    if (function != request.function) return ReplyStatus::WrongFunction;
    switch (function) {
    case 5:
    case 6:
    case 16:
        if (n != 8) return ReplyStatus::WrongLength;
        return arrived.left(6) == request.head ? ReplyStatus::Ok : ReplyStatus::WrongEcho;
    case 17:
        return n >= 5 ? ReplyStatus::Ok : ReplyStatus::WrongLength;
    default: {
        const int count = std::uint8_t(arrived[2]);
        if (n != 5 + count || (request.dataBytes >= 0 && count != request.dataBytes))
            return ReplyStatus::WrongLength;
        return ReplyStatus::Ok;
    }
    }
}

// Whether these bytes are a whole reply that plainly answers the request, by which fast completion
// may end the wait at once.
bool completeByLength(const Request& request, const QByteArray& kept) {
    if (request.address < 0 || request.refused || kept.size() < 3) return false;
    const int function = std::uint8_t(kept[1]);
    int length = -1;
    if (function & 0x80)
        length = 5;
    else if ((function >= 1 && function <= 4) || function == 17 || function == 65)
        length = 5 + std::uint8_t(kept[2]);
    else if (function == 5 || function == 6 || function == 15 || function == 16)
        length = 8;
    return kept.size() == length && std::uint8_t(kept[0]) == request.address &&
           (function == request.function || function == (request.function | 0x80)) && crc(kept) == 0;
}

// Sends one request chosen by the input; returns what the judgement needs.
Request send(TModBus& bus, FuzzInput& in) {
    Request r;
    r.address = 1 + in.byte() % 247;
    const auto address = std::uint8_t(r.address);
    const std::uint16_t at = in.u16();
    switch (in.byte() % 9) {
    case 0: {
        const std::uint8_t count = in.byte();
        bus.ReadHoldingRegisters(address, count, at);
        r.function = 3;
        r.dataBytes = 2 * count; // past 127 registers no byte count can say it
        break;
    }
    case 1: {
        const std::uint16_t quantity = in.u16();
        bus.ReadCoils(address, at, quantity);
        r.function = 1;
        r.dataBytes = (quantity + 7) / 8;
        break;
    }
    case 2:
        bus.WriteRegister(address, at, in.u16());
        r.function = 6;
        break;
    case 3:
    case 4:
        if (in.byte() & 1)
            bus.SetCoil(address, at);
        else
            bus.ClearCoil(address, at);
        r.function = 5;
        break;
    case 5: {
        const std::uint8_t count = in.byte();
        const QByteArray data = in.bytes(in.byte() % 4 == 0 ? in.byte() : 2 * count);
        bus.WriteRegisters(address, count, at, data);
        r.function = 16;
        r.refused = count < 1 || count > TModBus::MaxWriteRegisters || data.size() != 2 * count;
        break;
    }
    case 6:
        bus.ReportSlaveId(address);
        r.function = 17;
        break;
    case 7: {
        const std::uint8_t archive = in.byte(), count = in.byte();
        if (in.byte() & 1) {
            const auto number = in.value<double>();
            bus.ReadArchiveByRecord(address, archive, count, number);
            r.refused = !std::isfinite(number);
        } else {
            const QDateTime when(QDate(2000 + in.byte() % 100, 1 + in.byte() % 12, 1 + in.byte() % 28),
                                 QTime(in.byte() % 24, 0), Qt::UTC);
            bus.ReadArchiveByDate(address, archive, count, when);
        }
        r.function = 65;
        break;
    }
    default: {
        const QString text = cp1251::decode(in.bytes(in.byte() % 110));
        const bool sent = bus.SendCommandLine(text, 0);
        FUZZ_CHECK(sent == (cp1251::encode(text).size() <= TModBus::MaxCommandLine));
        r.address = -1;
        r.refused = !sent;
        return r;
    }
    }
    if (!r.refused) {
        const QByteArray frame = bus.requestFrame().bytes();
        FUZZ_CHECK(frame.size() <= TModBus::BufferSize);
        FUZZ_CHECK(crc(frame) == 0);
        FUZZ_CHECK(std::uint8_t(frame[0]) == address && std::uint8_t(frame[1]) == r.function);
        r.head = frame.left(6);
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    FuzzInput in(data, size);
    FakeComm comm;
    comm.settings = QStringLiteral("38400,n,8,1");
    TModBus bus(&comm);
    bus.setModbusSilenceMs(0);
    const bool fast = in.byte() & 1;
    bus.setFastCompletion(fast);
    qint64 discarded = 0;

    for (int round = 0; round < 6 && !in.empty(); ++round) {
        // The reply: up to three chunks, each arriving while the request waits or after it ended;
        // a flag closes what arrives in time with a good CRC, so that frames get past the check.
        QByteArray inTime, late;
        QList<Chunk> chunks;
        QList<QByteArray> inTimeChunks;
        const int pieces = in.byte() % 4;
        const bool seal = in.byte() & 1;
        for (int i = 0; i < pieces; ++i) {
            const std::uint8_t how = in.byte();
            QByteArray bytes = in.bytes(how % 160);
            if (how & 0x80) {
                late += bytes;
                continue;
            }
            if (seal && i == pieces - 1) bytes = crc16::appended(inTime + bytes).mid(inTime.size());
            inTime += bytes;
            inTimeChunks << bytes;
            chunks << Chunk{-1, bytes};
        }
        comm.script = {chunks};
        const qsizetype sentBefore = comm.sent.size();
        const Request request = send(bus, in);
        if (request.refused) {
            FUZZ_CHECK(comm.sent.size() == sentBefore);
            FUZZ_CHECK(bus.reply().isEmpty());
            comm.script.clear();
            inTime.clear();
        } else {
            FUZZ_CHECK(comm.sent.size() == sentBefore + 1);
        }
        if (fast && !request.refused) {
            // The wait ends with the first chunk that completes an answering frame; what comes
            // after it is thrown away.
            QByteArray kept;
            for (const QByteArray& c : inTimeChunks) {
                if (completeByLength(request, kept))
                    discarded += c.size();
                else
                    kept += c;
            }
            FUZZ_CHECK((bus.completion() == ReplyCompletion::Length) == completeByLength(request, kept));
            inTime = kept;
        }
        discarded += qMax<qsizetype>(0, inTime.size() - TModBus::BufferSize);
        FUZZ_CHECK(!bus.inTransaction());
        FUZZ_CHECK(bus.reply() == inTime.left(TModBus::BufferSize));
        const ReplyStatus expected = judge(request, inTime);
        if (bus.replyStatus() != expected)
            std::fprintf(stderr, "engine %s, expected %s, reply %s\n",
                         qPrintable(describe(bus.replyStatus())), qPrintable(describe(expected)),
                         bus.reply().toHex(' ').constData());
        FUZZ_CHECK(bus.replyStatus() == expected);
        // A reply cut at the buffer's end is spoilt, whatever its CRC says.
        const bool valid = bus.replyFrame().crcOk() && bus.replyStatus() != ReplyStatus::Overflow;
        FUZZ_CHECK(valid == (!request.refused && inTime.size() <= TModBus::BufferSize && !inTime.isEmpty() &&
                             crc(inTime) == 0));
        if (request.function == 3 && !request.refused) {
            const std::optional<RegisterBlock> block = RegisterBlock::fromReply(bus, 0);
            FUZZ_CHECK(block.has_value() == (expected == ReplyStatus::Ok));
            if (block) FUZZ_CHECK(block->data() == inTime.mid(3, inTime.size() - 5));
        }

        // What comes after the end never changes the reply: at once through the receive event, or
        // left in the driver's queue for the next request to throw away.
        if (!late.isEmpty()) {
            if (in.byte() & 1) {
                comm.receiveNow(late);
                FUZZ_CHECK(bus.reply() == inTime.left(TModBus::BufferSize));
            } else {
                comm.arrive(late);
            }
            discarded += late.size();
        }
    }
    // Bytes still queued when the input ends were never seen by the engine.
    FUZZ_CHECK(bus.discardedBytes() == discarded - comm.discardInput().size());
    return 0;
}
