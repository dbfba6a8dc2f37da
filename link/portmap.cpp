#include "link/portmap.h"

#include "link/tcpcomm.h"

QMap<int, QString>& PortMap::table() {
    static QMap<int, QString> map;
    return map;
}

QString PortMap::systemPort(int number) {
    const auto it = table().constFind(number);
    if (it != table().constEnd()) return *it;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

void PortMap::set(int number, const QString& systemPort) {
    table().insert(number, systemPort);
}

void PortMap::clear() {
    table().clear();
}

bool PortMap::parseAssignment(const QString& text) {
    const int eq = text.indexOf(u'=');
    if (eq <= 0 || eq == text.size() - 1) return false;
    bool ok = false;
    const int number = text.left(eq).toInt(&ok);
    if (!ok || number < 1 || number > 255) return false;
    const QString port = text.mid(eq + 1);
    if (TcpComm::isUrl(port) && !TcpComm::parseUrl(port)) return false;
    set(number, port);
    return true;
}

std::optional<QString> PortMap::assign(const QString& value) {
    if (parseAssignment(value)) return std::nullopt;
    return QStringLiteral("bad --comm value '%1' (expected n=PATH or n=tcp://HOST:PORT)").arg(value);
}

QString PortMap::resolve(const QString& portArgument) {
    bool ok = false;
    const int number = portArgument.toInt(&ok);
    return ok ? systemPort(number) : portArgument;
}
