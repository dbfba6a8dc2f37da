#pragma once
// What the line should carry back to the master, and when.
#include <QByteArray>
#include <QList>
#include <QString>

namespace sim {

struct ReplyChunk {
    QByteArray bytes;
    int delayMs = 0; // wait before this chunk (after the turnaround for the first one)
};

struct ReplyPlan {
    QList<ReplyChunk> chunks;    // empty: silence
    bool closePort = false;      // the port vanishes after the chunks
    bool dropConnection = false; // a TCP connection is closed after the chunks
    int babbleGapMs = 0;         // > 0: a byte this often from now on, until the next request
    QString note;                // the fault that shaped the reply, or why there is none
    bool isSilent() const { return chunks.isEmpty(); }
    QByteArray bytes() const {
        QByteArray all;
        for (const auto& c : chunks)
            all += c.bytes;
        return all;
    }
};

} // namespace sim
