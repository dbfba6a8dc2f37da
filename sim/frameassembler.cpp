#include "sim/frameassembler.h"

#include "link/crc16.h"

namespace sim {

namespace {
// More than any request may be; a stream this long without a frame is line noise.
constexpr int MaxPending = 512;
} // namespace

int FrameAssembler::expectedLength(const QByteArray& bytes) {
    if (bytes.size() < 2) return 0;
    switch (quint8(bytes[1])) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 8;
    case 15:
    case 16:
        if (bytes.size() < 7) return 0;
        return 9 + quint8(bytes[6]);
    case 17:
        return 4;
    case 65:
        // The archive request: mode 1 carries a date (15 bytes), mode 0 a record number (11).
        if (bytes.size() < 7) return 0;
        if (quint8(bytes[6]) == 1) return 15;
        if (quint8(bytes[6]) == 0) return 11;
        return -1;
    default:
        return -1;
    }
}

QList<FrameAssembler::Piece> FrameAssembler::feed(const QByteArray& bytes, qint64 nowMs) {
    QList<Piece> out;
    // A silence since the last byte ends whatever was pending before these bytes.
    if (!m_buffer.isEmpty() && nowMs - m_lastByteMs >= m_silenceMs) out += flushIfSilent(nowMs);
    m_buffer += bytes;
    m_lastByteMs = nowMs;
    extract(out);
    return out;
}

void FrameAssembler::extract(QList<Piece>& out) {
    while (!m_buffer.isEmpty()) {
        const int need = expectedLength(m_buffer);
        if (need == 0) break; // wait for more bytes
        if (need < 0) {
            // A function we cannot size ends at the silence, unless a frame we can size follows
            // right behind it.
            if (!splitBeforeKnownFrame(out)) break;
            continue;
        }
        if (m_buffer.size() < need) break;
        const QByteArray candidate = m_buffer.left(need);
        if (crc16::compute(candidate) == 0) {
            flushGarbage(out);
            out.append({candidate, true});
            m_buffer.remove(0, need);
            continue;
        }
        // Not a frame here: skip one byte and look again.
        m_garbage += m_buffer.at(0);
        m_buffer.remove(0, 1);
    }
    if (m_buffer.size() > MaxPending) {
        m_garbage += m_buffer;
        m_buffer.clear();
        flushGarbage(out);
    }
}

bool FrameAssembler::splitBeforeKnownFrame(QList<Piece>& out) {
    for (int k = 1; k + 4 <= m_buffer.size(); ++k) {
        const QByteArray rest = m_buffer.mid(k);
        const int need = expectedLength(rest);
        if (need <= 0 || need > rest.size() || crc16::compute(rest.left(need)) != 0) continue;
        const QByteArray head = m_buffer.left(k);
        if (head.size() >= 4 && crc16::compute(head) == 0) {
            flushGarbage(out);
            out.append({head, true});
        } else {
            m_garbage += head;
        }
        m_buffer.remove(0, k);
        return true;
    }
    return false;
}

void FrameAssembler::flushGarbage(QList<Piece>& out) {
    if (m_garbage.isEmpty()) return;
    out.append({m_garbage, false});
    m_garbage.clear();
}

QList<FrameAssembler::Piece> FrameAssembler::flushIfSilent(qint64 nowMs) {
    QList<Piece> out;
    if (idle() || nowMs - m_lastByteMs < m_silenceMs) return out;
    // A frame of a function we cannot size is whole once the line is silent; the device answers
    // it (with an exception) if its CRC checks.
    if (m_buffer.size() >= 4 && crc16::compute(m_buffer) == 0) {
        flushGarbage(out);
        out.append({m_buffer, true});
    } else {
        m_garbage += m_buffer;
        flushGarbage(out);
    }
    m_buffer.clear();
    return out;
}

qint64 FrameAssembler::deadline() const {
    return idle() ? -1 : m_lastByteMs + m_silenceMs;
}

} // namespace sim
