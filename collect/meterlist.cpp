#include "collect/meterlist.h"

#include "link/portmap.h"
#include "link/tcpcomm.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHostInfo>
#include <QRegularExpression>

namespace collect {

namespace {

constexpr int Speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct Token {
    QString text;
    int column; // 1-based
};

// Splits at blanks up to a "#"; the name keeps its inner blanks, so tokens past the ones wanted are
// joined back as written.
QList<Token> tokens(const QString& line) {
    QList<Token> list;
    int i = 0;
    const int end = [&] {
        const int hash = line.indexOf(u'#');
        return hash < 0 ? int(line.size()) : hash;
    }();
    while (i < end) {
        while (i < end && line[i].isSpace())
            ++i;
        const int start = i;
        while (i < end && !line[i].isSpace())
            ++i;
        if (i > start) list.append({line.mid(start, i - start), start + 1});
    }
    return list;
}

bool allDigits(const QString& s) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(s).hasMatch();
}

template <typename Key> QList<QList<MeterEntry>> groupedBy(const QList<MeterEntry>& meters, Key key) {
    QList<QList<MeterEntry>> groups;
    QHash<QString, int> index;
    for (const MeterEntry& m : meters) {
        auto it = index.find(key(m));
        if (it == index.end()) {
            it = index.insert(key(m), int(groups.size()));
            groups.append(QList<MeterEntry>());
        }
        groups[*it].append(m);
    }
    return groups;
}

} // namespace

QString lineKey(const QString& port) {
    const QString system = PortMap::resolve(port);
    if (const std::optional<TcpEndpoint> server = TcpComm::parseUrl(system)) {
        // By its IPv4 address where it has one, which is how "localhost" and 127.0.0.1 meet.
        QString host = server->host.toLower();
        const QList<QHostAddress> addresses = QHostInfo::fromName(server->host).addresses();
        const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
            return a.protocol() == QAbstractSocket::IPv4Protocol;
        });
        if (v4 != addresses.end())
            host = v4->toString();
        else if (!addresses.isEmpty())
            host = addresses.first().toString();
        return QStringLiteral("tcp://%1:%2").arg(host).arg(server->port);
    }
    const QFileInfo file(system);
    const QString canonical = file.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(file.absoluteFilePath()) : canonical;
}

std::optional<QList<MeterEntry>> parseMeterList(const QString& text, const QString& fileName,
                                                QString* error) {
    QList<MeterEntry> meters;
    QHash<QString, std::pair<int, int>> seen;     // line, number dialled, address -> line number, index
    QHash<QString, std::pair<bool, int>> portUse; // line -> reached through a modem, first line
    const QStringList lines = text.split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(u'\r')) line.chop(1);
        const auto fail = [&](int column, const QString& what) -> std::optional<QList<MeterEntry>> {
            if (error) *error = QStringLiteral("%1:%2:%3: %4").arg(fileName).arg(n + 1).arg(column).arg(what);
            return std::nullopt;
        };
        const QList<Token> t = tokens(line);
        if (t.isEmpty()) continue;
        MeterEntry m{.line = t[0].text, .port = t[0].text, .lineNumber = n + 1};
        if (m.line.startsWith(QStringLiteral("modem:"))) {
            // The number is after the last colon, so a path may hold colons of its own.
            const int colon = m.line.lastIndexOf(u':');
            m.port = m.line.mid(6, colon - 6);
            m.dial = m.line.mid(colon + 1);
            static const QRegularExpression dialable(QStringLiteral("^[0-9*#,WwPpTt+-]+$"));
            if (colon < 6 || m.port.isEmpty() || !dialable.match(m.dial).hasMatch())
                return fail(t[0].column,
                            QStringLiteral("expected modem:PATH:NUMBER, got \"%1\"").arg(m.line));
        } else if (m.line.startsWith(QStringLiteral("tcp://"))) {
            static const QRegularExpression hostPort(QStringLiteral("^tcp://[^:/]+:([0-9]{1,5})$"));
            const QRegularExpressionMatch hp = hostPort.match(m.line);
            if (!hp.hasMatch() || hp.captured(1).toInt() < 1 || hp.captured(1).toInt() > 65535)
                return fail(t[0].column, QStringLiteral("expected tcp://HOST:PORT, got \"%1\"").arg(m.line));
        } else if (m.line.contains(QStringLiteral("://"))) {
            return fail(t[0].column, QStringLiteral("unknown kind of line \"%1\"").arg(m.line));
        }
        // Frames sent straight into a modem would be taken for commands, and a dial would cut a
        // direct line's meters off.
        const bool viaModem = !m.dial.isEmpty();
        m.lineKey = lineKey(m.port);
        if (const auto other = portUse.constFind(m.lineKey);
            other != portUse.cend() && other->first != viaModem)
            return fail(t[0].column,
                        QStringLiteral("%1 is a %2 line at line %3")
                            .arg(m.port, other->first ? QStringLiteral("modem") : QStringLiteral("direct"))
                            .arg(other->second));
        if (!portUse.contains(m.lineKey)) portUse.insert(m.lineKey, {viaModem, n + 1});
        if (t.size() < 2) return fail(int(line.size()) + 1, QStringLiteral("the meter's address is missing"));
        bool ok = false;
        m.address = t[1].text.toInt(&ok);
        if (!ok || !allDigits(t[1].text) || m.address < 1 || m.address > 127)
            return fail(t[1].column,
                        QStringLiteral("address \"%1\" is not a number from 1 to 127").arg(t[1].text));
        int nameFrom = 2;
        if (t.size() > 2 && allDigits(t[2].text)) {
            // A name beginning with a digit needs the speed written before it.
            m.speed = t[2].text.toInt();
            if (std::find(std::begin(Speeds), std::end(Speeds), m.speed) == std::end(Speeds))
                return fail(t[2].column,
                            QStringLiteral("speed %1 is not one of 1200, 2400, 4800, 9600, 19200, 38400,"
                                           " 57600, 115200")
                                .arg(t[2].text));
            nameFrom = 3;
        }
        if (t.size() > nameFrom) {
            const int from = t[nameFrom].column - 1;
            m.name = line.mid(from, t.last().column - 1 + t.last().text.size() - from);
            if (m.name.size() > MaxNameLength)
                return fail(t[nameFrom].column, QStringLiteral("the name is %1 characters long, more than %2")
                                                    .arg(m.name.size())
                                                    .arg(MaxNameLength));
        }
        // Two workers on one line would take each other's replies.
        const QString key = m.lineKey + u' ' + m.dial + u' ' + QString::number(m.address);
        if (const auto first = seen.constFind(key); first != seen.cend()) {
            const QString& written = meters[first->second].line;
            return fail(t[1].column,
                        QStringLiteral("address %1 on %2 is listed already at line %3%4")
                            .arg(m.address)
                            .arg(m.line)
                            .arg(first->first)
                            .arg(written == m.line ? QString() : QStringLiteral(" as %1").arg(written)));
        }
        seen.insert(key, {n + 1, int(meters.size())});
        meters.append(m);
    }
    return meters;
}

QList<QList<MeterEntry>> byPort(const QList<MeterEntry>& meters) {
    return groupedBy(meters, [](const MeterEntry& m) { return m.lineKey.isEmpty() ? m.port : m.lineKey; });
}

QList<QList<MeterEntry>> byCall(const QList<MeterEntry>& line) {
    return groupedBy(line, [](const MeterEntry& m) { return m.dial; });
}

} // namespace collect
