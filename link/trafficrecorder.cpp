#include "link/trafficrecorder.h"

#include "link/csv.h"

#include <QDateTime>
#include <QTimer>

int TrafficEntry::function() const {
    if (modem) return -1;
    const QByteArray& frame = direction == TrafficDirection::Event ? request : bytes;
    if (direction == TrafficDirection::Discarded || frame.size() < 2) return -1;
    return std::uint8_t(frame[1]);
}

bool TrafficEntry::isError() const {
    switch (direction) {
    case TrafficDirection::Sent:
        return false;
    case TrafficDirection::Received:
        // A modem's answer is text: no CRC to judge it by.
        return !modem && status != ReplyStatus::Ok;
    case TrafficDirection::Discarded:
    case TrafficDirection::Event:
        return true;
    }
    return true;
}

TrafficRecorder::TrafficRecorder(int capacity, QObject* parent)
    : QObject(parent), m_capacity(std::max(1, capacity)) {
    wallMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    m_discardGap = new QTimer(this);
    m_discardGap->setSingleShot(true);
    m_discardGap->setInterval(DiscardGapMs);
    connect(m_discardGap, &QTimer::timeout, this, &TrafficRecorder::flush);
}

void TrafficRecorder::attach(TModBus& engine) {
    // The engine outlives no recorder it feeds: the connections end with either of them.
    connect(&engine, &TModBus::frameSent, this,
            [this, &engine](const QByteArray& frame) { sent(frame, engine.commandMode()); });
    connect(&engine, &TModBus::bytesDiscarded, this, &TrafficRecorder::discarded);
    connect(&engine, &TModBus::transactionEnded, this, [this, &engine] { exchangeEnded(engine); });
}

void TrafficRecorder::sent(const QByteArray& frame, bool modem) {
    flush();
    TrafficEntry e;
    e.direction = TrafficDirection::Sent;
    e.bytes = frame;
    e.modem = modem;
    e.address = modem || frame.isEmpty() ? -1 : std::uint8_t(frame[0]);
    append(std::move(e), wallMs());
}

void TrafficRecorder::discarded(const QByteArray& bytes) {
    // A late reply paced at the line's speed arrives a byte or two at a time: one row for it, not one
    // per byte.
    if (m_discard.isEmpty()) m_discardAt = wallMs();
    m_discard += bytes;
    if (m_discard.size() >= TModBus::BufferSize)
        flush();
    else
        m_discardGap->start();
}

void TrafficRecorder::flush() {
    m_discardGap->stop();
    if (m_discard.isEmpty()) return;
    TrafficEntry e;
    e.direction = TrafficDirection::Discarded;
    e.bytes = std::exchange(m_discard, {});
    append(std::move(e), m_discardAt);
}

void TrafficRecorder::exchangeEnded(const TModBus& engine) {
    flush();
    TrafficEntry e;
    e.request = engine.requestFrame().bytes();
    e.modem = engine.commandMode();
    e.address = e.modem || e.request.isEmpty() ? -1 : std::uint8_t(e.request[0]);
    e.status = engine.replyStatus();
    e.exceptionCode = engine.exceptionCode();
    e.bytes = engine.reply();
    if (e.status == ReplyStatus::PortError) e.portError = engine.portError();
    if (e.bytes.isEmpty()) {
        e.direction = TrafficDirection::Event;
    } else {
        e.direction = TrafficDirection::Received;
        e.completion = engine.completion();
        // Timed on the line itself: however busy this thread was, the reply's time is the line's.
        e.replyMs = engine.replyMs();
    }
    if (!e.modem && e.address >= 0 && e.status != ReplyStatus::PortError) count(e);
    append(std::move(e), wallMs());
}

void TrafficRecorder::count(const TrafficEntry& reply) {
    AddressCounters& c = m_counters[reply.address];
    c.changedBy = m_next; // the number append() gives the reply
    ++c.requests;
    switch (reply.status) {
    case ReplyStatus::Ok:
        ++c.good;
        break;
    case ReplyStatus::NoReply:
        ++c.noReply;
        break;
    case ReplyStatus::CrcError:
        ++c.crcErrors;
        break;
    case ReplyStatus::Exception:
        ++c.exceptions;
        break;
    default:
        ++c.otherErrors;
        break;
    }
    const bool answered = reply.status == ReplyStatus::Ok || reply.status == ReplyStatus::Exception;
    if (answered && reply.replyMs >= 0) {
        c.replyMsTotal += reply.replyMs;
        ++c.timedReplies;
        c.worstMs = std::max(c.worstMs, reply.replyMs);
    }
}

void TrafficRecorder::append(TrafficEntry entry, qint64 timeMs) {
    entry.number = m_next++;
    entry.timeMs = timeMs;
    if (int(m_entries.size()) >= m_capacity) m_entries.pop_front();
    m_entries.push_back(std::move(entry));
    if (onEntry) onEntry(m_entries.back());
}

QList<TrafficEntry> TrafficRecorder::since(quint64 number) const {
    QList<TrafficEntry> out;
    if (m_entries.empty() || number >= m_next) return out;
    const quint64 first = m_entries.front().number;
    // Numbers in the ring run without gaps, so the position follows from the number.
    const auto from = m_entries.begin() + qint64(number > first ? number - first : 0);
    out.reserve(qsizetype(m_entries.end() - from));
    std::copy(from, m_entries.end(), std::back_inserter(out));
    return out;
}

void TrafficRecorder::clear() {
    m_discardGap->stop();
    m_discard.clear();
    m_entries.clear();
    m_counters.clear();
}

namespace traffic {

namespace {

QString directionKey(TrafficDirection d) {
    switch (d) {
    case TrafficDirection::Sent:
        return QStringLiteral("tx");
    case TrafficDirection::Received:
        return QStringLiteral("rx");
    case TrafficDirection::Discarded:
        return QStringLiteral("discarded");
    case TrafficDirection::Event:
        return QStringLiteral("event");
    }
    return {};
}

QString completionKey(ReplyCompletion c) {
    switch (c) {
    case ReplyCompletion::Silence:
        return QStringLiteral("silence");
    case ReplyCompletion::Length:
        return QStringLiteral("length");
    case ReplyCompletion::Gap:
        return QStringLiteral("gap");
    }
    return {};
}

QString verdictKey(const TrafficEntry& e) {
    switch (e.direction) {
    case TrafficDirection::Sent:
        return {};
    case TrafficDirection::Discarded:
        return QStringLiteral("stale bytes discarded");
    case TrafficDirection::Received:
    case TrafficDirection::Event:
        if (e.modem) return e.bytes.isEmpty() ? describe(ReplyStatus::NoReply) : QStringLiteral("modem");
        if (e.status == ReplyStatus::PortError)
            return describe(e.status) + QStringLiteral(": ") + e.portError;
        return describe(e.status, e.exceptionCode);
    }
    return {};
}

} // namespace

QString hexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QByteArray csvHeader() {
    return "time,direction,address,function,bytes,verdict,completion,reply_ms\r\n";
}

QByteArray csvRow(const TrafficEntry& e, const QTimeZone& zone) {
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(e.timeMs, zone);
    const bool reply = e.direction == TrafficDirection::Received && !e.modem;
    return csv::row({
        when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs),
        directionKey(e.direction),
        e.address >= 0 ? QString::number(e.address) : QString(),
        e.function() >= 0 ? QString::number(e.function()) : QString(),
        hexText(e.bytes),
        verdictKey(e),
        reply ? completionKey(e.completion) : QString(),
        reply && e.replyMs >= 0 ? QString::number(e.replyMs) : QString(),
    });
}

} // namespace traffic
