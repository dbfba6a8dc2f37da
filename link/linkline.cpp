#include "link/linkline.h"

#include "link/eventwait.h"
#include "link/rtuframe.h"

#include <QTimer>
#include <algorithm>
#include <climits>
#include <utility>

namespace {

// Result words a Hayes modem ends a command with, in the order they are looked for.
const char* const kResultWords[] = {"CONNECT",     "OK",    "BUSY",      "NO ANSWER",
                                    "NO DIALTONE", "ERROR", "NO CARRIER"};

QTimer* preciseTimer(QObject* parent) {
    auto* timer = new QTimer(parent);
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

} // namespace

LinkLine::LinkLine(QObject* parent) : QObject(parent) {
    m_replyTimer = preciseTimer(this);
    m_replyTimer->setInterval(500);
    connect(m_replyTimer, &QTimer::timeout, this, [this] {
        m_replyTimer->stop();
        // Bytes the control held back for the rest of the frame came within the silence: the reply
        // goes on with them.
        if (listening() && m_comm->dropReceiveThreshold()) {
            m_replyTimer->start();
            return;
        }
        end();
    });
    m_limitTimer = preciseTimer(this);
    m_limitTimer->setSingleShot(true);
    connect(m_limitTimer, &QTimer::timeout, this, [this] { end(Fault::LineNoise); });
    m_gapTimer = preciseTimer(this);
    m_gapTimer->setSingleShot(true);
    connect(m_gapTimer, &QTimer::timeout, this, [this] {
        if (!listening()) return;
        m_completion = ReplyCompletion::Gap;
        end();
    });
    m_rtsTimer = preciseTimer(this);
    m_rtsTimer->setInterval(120);
    connect(m_rtsTimer, &QTimer::timeout, this, [this] {
        m_rtsTimer->stop();
        m_comm->setRTSEnable(false);
    });
}

LinkLine::~LinkLine() {
    unbind();
}

void LinkLine::bind(CommControl* control) {
    unbind();
    m_comm = control;
    // Direct: the control raises its events in this thread, and the line reads the bytes while the
    // control still says they are waiting.
    m_connections = {
        connect(m_comm, &CommControl::received, this, &LinkLine::onComm, Qt::DirectConnection),
        connect(m_comm, &CommControl::linkLost, this, &LinkLine::onLinkLost, Qt::DirectConnection)};
}

void LinkLine::unbind() {
    // By the connections, not the control: a port that chose another control has already deleted
    // the old one.
    for (const QMetaObject::Connection& c : m_connections)
        disconnect(c);
    m_comm = nullptr;
}

template <typename Done> void LinkLine::waitLine(Done done, int ms) {
    if (ms < 0)
        eventwait::waitUntil(done);
    else
        eventwait::waitUntil(done, ms);
}

int LinkLine::replyLimitMs(int timeoutMs, int silenceMs) const {
    // 256 characters of 10 bits at a quarter of the line's speed, or eight silences (a byte every
    // 15.6 ms), whichever is longer: a device that is merely slow must not pass for a babbling line,
    // while one babbling a byte every 20 ms still does.
    const qint64 slowFrameMs =
        std::max<qint64>(m_comm->bitsTimeMs(qint64(BufferSize) * 10 * 4), 8 * qint64(std::max(0, silenceMs)));
    return int(std::min<qint64>(INT_MAX, 2 * qint64(std::max(0, timeoutMs)) + slowFrameMs));
}

int LinkLine::frameSilenceMs() const {
    // 3.5 characters of 10 bits.
    return m_comm->bitsTimeMs(35);
}

int LinkLine::replyGapMs() const {
    // Below 20 ms a busy PC's scheduling could cut a frame apart.
    return std::max(20, frameSilenceMs());
}

int LinkLine::interFrameGapMs(bool rtsMode) const {
    return std::max(1, frameSilenceMs()) + (rtsMode ? RtsTurnaroundMs : 0);
}

void LinkLine::transact(const Request& request) {
    m_request = request;
    m_reply.clear();
    m_fault = Fault::None;
    m_completion = ReplyCompletion::Silence;
    m_state = State::Preparing;
    m_lastByteMs = -1;
    m_unreported = 0;
    m_sinceReport.invalidate();
    if (m_request.rtsMode) m_rtsTimer->setInterval(m_comm->rtsHoldMs(m_request.rtsBytes));

    QString error;
    if (!m_comm->ensureOpen(&error)) {
        m_state = State::Idle;
        emit portOpenFailed(error);
        m_fault = Fault::PortFailed;
        finish(error);
        return;
    }
    keepLineQuiet();
    // Nothing can answer a request before it is sent: what waits now is a late answer to an earlier
    // one, and taken as this reply it would hand the caller another request's values.
    discard(m_comm->discardInput());

    if (m_request.rtsMode) m_comm->setRTSEnable(true);
    // Before the write: a line faster than the program may answer inside it.
    m_state = State::Sending;
    emit frameSent(m_request.frame);
    m_sinceSent.start();
    m_comm->setOutput(m_request.frame);

    if (m_request.rtsMode) {
        m_rtsTimer->start();
        waitLine([this] { return !m_rtsTimer->isActive(); });
    }

    // Bytes that came while RTS was held (a converter's echo, a quick reply) belong to this reply,
    // but the silence that ends it is counted only from now.
    if (m_state == State::Sending) {
        m_state = State::Listening;
        // A timer refuses a negative interval and would never end the wait.
        m_replyTimer->setInterval(std::max(0, m_request.timeoutMs));
        m_replyTimer->start();
        // A line that never goes quiet (a babbling device or converter) would hold the silence
        // count off for ever.
        m_limitTimer->start(replyLimitMs(m_request.timeoutMs, m_request.silenceMs));
        waitLine([this] { return m_state == State::Ended; });
        m_replyTimer->stop();
        m_limitTimer->stop();
    }
    // Trailing bytes, a late reply and the next request's first byte are each seen as they come.
    m_comm->dropReceiveThreshold();
    m_gapTimer->stop();
    m_state = State::Idle;
    m_sinceEnded.start();
    finish();
}

void LinkLine::finish(const QString& portError) {
    // Every byte is counted before the verdict.
    reportChunks();
    emit finished(m_reply, m_fault, m_completion, portError, int(m_lastByteMs));
}

void LinkLine::reportChunks() {
    if (m_unreported == 0) return;
    emit chunkReceived(std::exchange(m_unreported, 0));
    m_sinceReport.start();
}

void LinkLine::end(Fault fault) {
    if (!listening()) return;
    if (fault != Fault::None) m_fault = fault;
    m_state = State::Ended;
}

void LinkLine::discard(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    emit bytesDiscarded(bytes);
}

void LinkLine::onComm() {
    if (m_comm->CommEvent() != CommControl::ComEvReceive) return;
    const QByteArray chunk = m_comm->Input();
    if (chunk.isEmpty()) return;
    m_sinceReply.start();
    // Outside a transaction's wait nothing may join the reply: the reply of a finished transaction
    // stays as it was, and the next one starts clean.
    if (!listening()) {
        discard(chunk);
        return;
    }
    take(chunk);
}

void LinkLine::onLinkLost() {
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

void LinkLine::take(const QByteArray& chunk) {
    m_replyTimer->stop();

    const int room = BufferSize - int(m_reply.size());
    const int taken = std::min<int>(room, int(chunk.size()));
    m_reply += chunk.left(taken);
    m_lastByteMs = m_sinceSent.elapsed();
    m_unreported += int(chunk.size());
    if (!m_sinceReport.isValid() || m_sinceReport.elapsed() >= ChunkReportMs) reportChunks();
    // A reply longer than any frame cannot be a good one: what did not fit is dropped, and waiting
    // for the rest would only let a babbling line hold the transaction.
    if (taken < chunk.size()) {
        discard(chunk.mid(taken));
        end(Fault::Overflow);
        return;
    }

    if (m_request.commandLine) {
        for (const char* word : kResultWords) {
            if (m_reply.contains(word)) {
                m_replyTimer->setInterval(m_request.silenceMs);
                break;
            }
        }
    }
    const int expected = rtu::expectedReplyLength(reinterpret_cast<const std::uint8_t*>(m_reply.constData()),
                                                  int(m_reply.size()));
    completeEarly(expected);
    if (m_state == State::Listening) m_replyTimer->start();
    awaitRestOfFrame(expected);
}

void LinkLine::awaitRestOfFrame(int expected) {
    if (m_request.commandLine || !listening()) return;
    // The silence still starts at the frame's last byte, which raises the event; only a reply that
    // stops short is seen late, when the silence runs out (and then goes on from the bytes held).
    m_comm->setReceiveThreshold(expected > m_reply.size() ? expected - int(m_reply.size()) : 1);
}

void LinkLine::completeEarly(int expected) {
    // Modem command lines keep the silence rule.
    if (!m_request.fast || m_request.expectFunction < 0 || !listening()) return;
    if (expected < 0) {
        m_gapTimer->start(replyGapMs());
        return;
    }
    // Anything short of a frame that plainly answers this request waits for the silence, so that
    // the caller learns of it what it would have learnt without fast completion.
    if (m_reply.size() != expected) return;
    const RtuFrame frame(m_reply);
    const bool answers =
        frame.address() == m_request.expectAddress && (frame.function() == m_request.expectFunction ||
                                                       frame.function() == (m_request.expectFunction | 0x80));
    if (answers && frame.crcOk()) {
        m_completion = ReplyCompletion::Length;
        end();
    }
}

void LinkLine::keepLineQuiet() {
    // Without the silence after each reply, nothing else gives the device and the converter their
    // quiet time before the next request. The gap is quiet on the line, not time since the reply:
    // bytes trailing it are thrown away and the gap counted again from them, so they cannot land in
    // the next reply. After a request that got no valid reply the line waits a whole silence, from
    // the end of that transaction or the last byte, whichever is later: a device that answers late
    // would otherwise put its answer in front of the next meter's and spoil both. A line that never
    // goes quiet must not hold the request back for ever.
    const bool gapDue = m_request.fast && m_sinceReply.isValid();
    const bool settle = m_request.settleFirst && m_sinceEnded.isValid();
    if (!gapDue && !settle) return;
    const int gap = std::max(gapDue ? interFrameGapMs(m_request.rtsMode) : 0,
                             settle ? std::max(0, m_request.silenceMs) : 0);
    const int bound = replyLimitMs(m_request.silenceMs, m_request.silenceMs);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const QByteArray trailing = m_comm->discardInput();
        if (!trailing.isEmpty()) {
            discard(trailing);
            m_sinceReply.start();
        }
        qint64 quiet = m_sinceReply.isValid() ? m_sinceReply.elapsed() : LLONG_MAX;
        if (settle) quiet = std::min(quiet, m_sinceEnded.elapsed());
        const qint64 left = std::min<qint64>(gap - quiet, bound - waited.elapsed());
        if (left <= 0) return;
        waitLine([] { return false; }, int(left));
    }
}
