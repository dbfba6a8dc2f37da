#include "sim/hayesmodem.h"

namespace sim {

namespace {
// The escape needs a second of quiet before "+++"; we do not wait for the second after it.
constexpr qint64 EscapeGuardMs = 1000;
} // namespace

HayesModem::HayesModem(QString dialResult, QString initResult, int dialDelayMs)
    : m_dialResult(std::move(dialResult)), m_initResult(std::move(initResult)), m_dialDelayMs(dialDelayMs) {}

HayesModem::Output HayesModem::feed(const QByteArray& bytes, qint64 nowMs) {
    Output out;
    const qint64 quiet = nowMs - m_lastByteMs;
    m_lastByteMs = nowMs;
    int i = 0;
    if (m_online) {
        if (bytes == "+++" && quiet >= EscapeGuardMs) {
            m_online = false;
            out.toMaster.append({resultFrame(QStringLiteral("OK")), 0});
            return out;
        }
        out.toLine = bytes;
        return out;
    }
    // The echo of a burst goes out at once, byte by byte as it arrives; the answers follow once the
    // lines are read, so "AT\r\r" comes back as "AT\r\r\r\nOK\r\n".
    QByteArray echo;
    Output answers;
    for (; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (m_echo) echo += c;
        if (c == '\r') {
            const QByteArray line = m_line;
            m_line.clear();
            command(line, answers);
            if (m_online) {
                // The line ends of the dial command still go to the modem; the rest is for the meters.
                ++i;
                while (i < bytes.size() && (bytes[i] == '\r' || bytes[i] == '\n')) {
                    if (m_echo) echo += bytes[i];
                    ++i;
                }
                out.toLine = bytes.mid(i);
                break;
            }
        } else if (c == '\b' || c == 0x7F) {
            m_line.chop(1);
        } else if (c != '\n') {
            if (m_line.size() < 256) m_line += c;
        }
    }
    if (!echo.isEmpty()) out.toMaster.append({echo, 0});
    out.toMaster += answers.toMaster;
    out.commands = answers.commands;
    return out;
}

void HayesModem::command(const QByteArray& raw, Output& out) {
    const QByteArray line = raw.trimmed().toUpper();
    if (line.isEmpty()) return;
    out.commands.append(raw);
    // Anything that does not begin with AT is not a command; a modem ignores it.
    if (!line.startsWith("AT")) return;
    QString result = m_initResult;
    int delay = 0;
    for (int i = 2; i < line.size();) {
        const char c = line[i];
        if (c == 'D') {
            delay = m_dialDelayMs;
            result = m_dialResult;
            if (result.startsWith(QStringLiteral("CONNECT"))) {
                m_online = true;
                m_connected = true;
            }
            break; // the rest of the line is the number
        }
        if (c == 'H') m_connected = false;
        if (c == 'Z') {
            m_connected = false;
            m_echo = true;
        }
        if (c == 'E') m_echo = !(i + 1 < line.size() && line[i + 1] == '0');
        if (c == 'O' && m_connected) {
            m_online = true;
            result = QStringLiteral("CONNECT");
        }
        // Skip the command letter (with a '&' or '+' prefix) and its parameter.
        ++i;
        if (c == '&' && i < line.size()) ++i;
        if (c == '+') {
            while (i < line.size() && line[i] != ';')
                ++i;
            continue;
        }
        while (i < line.size() &&
               (QChar(line[i]).isDigit() || line[i] == '=' || line[i] == '?' || line[i] == ','))
            ++i;
    }
    out.toMaster.append({resultFrame(result), delay});
}

} // namespace sim
