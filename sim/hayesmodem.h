#pragma once
// A Hayes modem in front of the line. In command mode it echoes what it receives and answers each
// command line (ended by CR) with a result word framed by CR LF; a dial answers the configured
// result, and after CONNECT every byte passes through to the meters until "+++" after a pause.
#include "sim/replyplan.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace sim {

class HayesModem {
  public:
    struct Output {
        QList<ReplyChunk> toMaster; // echo and result words
        QByteArray toLine;          // bytes for the meters (online only)
        QList<QByteArray> commands; // command lines received, without the CR
    };

    HayesModem(QString dialResult = QStringLiteral("CONNECT 9600"), QString initResult = QStringLiteral("OK"),
               int dialDelayMs = 200);

    bool online() const { return m_online; }
    bool callUp() const { return m_connected; }
    void setDialResult(const QString& result) { m_dialResult = result; }
    Output feed(const QByteArray& bytes, qint64 nowMs);

    static QByteArray resultFrame(const QString& word) { return "\r\n" + word.toLatin1() + "\r\n"; }

  private:
    void command(const QByteArray& line, Output& out);

    QString m_dialResult;
    QString m_initResult;
    int m_dialDelayMs;
    bool m_online = false;
    bool m_connected = false; // a carrier is up (ATO goes back online)
    bool m_echo = true;
    QByteArray m_line;
    qint64 m_lastByteMs = -1000000;
};

} // namespace sim
