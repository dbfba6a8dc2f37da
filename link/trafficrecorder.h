#pragma once
// The exchange log: every frame the engine sends and receives, the bytes it throws away and how each
// exchange ended, as a ring of the newest entries with counters per device address. The window's
// traffic monitor and kastari-cli --trace read the same entries and write the same CSV.
#include "link/tmodbus.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimeZone>
#include <deque>
#include <functional>
#include <map>

class QIODevice;
class QTimer;

enum class TrafficDirection {
    Sent,      // a request (or a modem command line)
    Received,  // what came back, judged
    Discarded, // bytes no request waited for
    Event,     // an exchange that ended without a byte: no reply, or a port that cannot be opened
};

struct TrafficEntry {
    quint64 number = 0; // running number, never reused while the recorder lives
    qint64 timeMs = 0;  // wall clock, ms since the epoch
    TrafficDirection direction = TrafficDirection::Sent;
    QByteArray bytes;   // the frame or the discarded bytes; empty for events
    QByteArray request; // replies and events: the request of their exchange
    int address = -1;   // the device the exchange was addressed to; -1 when none is known
    bool modem = false; // a modem command line or its answer, not a ModBus frame
    // Replies and events: the engine's verdict.
    ReplyStatus status = ReplyStatus::Ok;
    int exceptionCode = 0;
    ReplyCompletion completion = ReplyCompletion::Silence;
    int replyMs = -1;  // from the request going out to the last byte of the reply
    QString portError; // the system's reason when the port could not be opened

    // The frame's function code (the request's for events); -1 when there is none.
    int function() const;
    bool isError() const;
};

// What each device address has been through since the counters were last cleared.
struct AddressCounters {
    int requests = 0;
    int good = 0;
    int noReply = 0;
    int crcErrors = 0;
    int exceptions = 0;
    int otherErrors = 0; // wrong address, function, length or echo, overflow, line noise
    // Over good replies and exceptions: the device answered in full.
    qint64 replyMsTotal = 0;
    int timedReplies = 0;
    int worstMs = -1;
    // The number of the entry that last changed them, so a view redraws only the addresses that moved.
    quint64 changedBy = 0;
    // -1 while nothing was timed.
    double meanMs() const { return timedReplies ? double(replyMsTotal) / timedReplies : -1.0; }
};

class TrafficRecorder : public QObject {
    Q_OBJECT
  public:
    static constexpr int DefaultCapacity = 10000;
    explicit TrafficRecorder(int capacity = DefaultCapacity, QObject* parent = nullptr);

    // Feeds the recorder from the engine's signals, beside whatever else listens to them. Safe if
    // either goes first.
    void attach(TModBus& engine);

    // What the signals call.
    void sent(const QByteArray& frame, bool modem);
    // Bytes thrown away one after another make one entry: it is logged at the next exchange, after
    // a pause of the line, or once it holds a frame's worth.
    void discarded(const QByteArray& bytes);
    void exchangeEnded(const TModBus& engine);
    // Logs the discarded bytes still gathering.
    void flush();
    static constexpr int DiscardGapMs = 50;

    const std::deque<TrafficEntry>& entries() const { return m_entries; }
    // The entries numbered `number` and later that the ring still holds.
    QList<TrafficEntry> since(quint64 number) const;
    // The number the next entry gets.
    quint64 nextNumber() const { return m_next; }
    const std::map<int, AddressCounters>& counters() const { return m_counters; }
    // Forgets the entries and the counters; numbering goes on.
    void clear();

    // Called for every entry as it is recorded (kastari-cli writes its trace from it).
    std::function<void(const TrafficEntry&)> onEntry;
    // The clock that stamps the entries; tests fix it.
    std::function<qint64()> wallMs;

  private:
    void append(TrafficEntry entry, qint64 timeMs);
    void count(const TrafficEntry& reply);

    int m_capacity;
    std::deque<TrafficEntry> m_entries;
    quint64 m_next = 1;
    std::map<int, AddressCounters> m_counters;
    QByteArray m_discard;
    qint64 m_discardAt = 0;
    QTimer* m_discardGap = nullptr;
};

namespace traffic {
// The CSV form of the log: UTF-8, CR LF, one row per entry, times in ISO 8601 with milliseconds and
// the zone's offset. Verdicts read as kastari-cli reports them.
QByteArray csvHeader();
QByteArray csvRow(const TrafficEntry& entry, const QTimeZone& zone = QTimeZone::systemTimeZone());
// The hex text of bytes as the log shows them: "01 03 00 00".
QString hexText(const QByteArray& bytes);
} // namespace traffic
