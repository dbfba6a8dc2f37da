#pragma once
// Cuts the byte stream from the master into RTU request frames. A frame's length follows from its
// function code; a silence ends whatever is pending (a frame of unknown length, a truncated one,
// garbage); bytes that do not form a frame with a good CRC are skipped one by one to find the
// next frame.
#include <QByteArray>
#include <QList>

namespace sim {

class FrameAssembler {
  public:
    struct Piece {
        QByteArray bytes;
        bool frame = false; // false: bytes that formed no request (logged and ignored)
    };

    explicit FrameAssembler(int silenceMs = 10) : m_silenceMs(silenceMs) {}

    QList<Piece> feed(const QByteArray& bytes, qint64 nowMs);
    // At or after deadline(): the pending bytes after a silence.
    QList<Piece> flushIfSilent(qint64 nowMs);
    // When flushIfSilent should run next; -1 when nothing is pending.
    qint64 deadline() const;
    bool idle() const { return m_buffer.isEmpty() && m_garbage.isEmpty(); }

    // The length of the request frame starting at bytes[0]: 0 when more bytes are needed to tell,
    // -1 when the function code does not fix it.
    static int expectedLength(const QByteArray& bytes);

  private:
    void extract(QList<Piece>& out);
    void flushGarbage(QList<Piece>& out);
    bool splitBeforeKnownFrame(QList<Piece>& out);

    int m_silenceMs;
    QByteArray m_buffer;
    QByteArray m_garbage;
    qint64 m_lastByteMs = 0;
};

} // namespace sim
