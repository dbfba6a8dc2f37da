#include "web/webauth.h"

#include <QFile>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSaveFile>

namespace web {

namespace {

QByteArray derive(const QString& password, const QByteArray& salt, int iterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              32);
}

QByteArray randomBytes(int count) {
    QByteArray bytes(count, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(bytes.data()),
                                         reinterpret_cast<quint32*>(bytes.data() + count));
    return bytes;
}

// Compares without stopping at the first difference, so the time taken tells nothing of the hash.
bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::optional<User> parseLine(const QString& line) {
    const QStringList parts = line.split(u':');
    if (parts.size() != 5 || !validUserName(parts[0]) || parts[1] != u"pbkdf2-sha256") return std::nullopt;
    bool ok = false;
    const int iterations = parts[2].toInt(&ok);
    const auto salt =
        QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto hash =
        QByteArray::fromBase64Encoding(parts[4].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!ok || iterations < 1000 || !salt || !hash || salt.decoded.size() < 8 || hash.decoded.size() != 32)
        return std::nullopt;
    return User{parts[0], iterations, salt.decoded, hash.decoded};
}

} // namespace

User hashPassword(const QString& name, const QString& password, int iterations) {
    User u{name, iterations, randomBytes(16), {}};
    u.hash = derive(password, u.salt, iterations);
    return u;
}

bool checkPassword(const User& user, const QString& password) {
    return sameBytes(derive(password, user.salt, user.iterations), user.hash);
}

QString userLine(const User& u) {
    return QStringLiteral("%1:pbkdf2-sha256:%2:%3:%4")
        .arg(u.name)
        .arg(u.iterations)
        .arg(QString::fromLatin1(u.salt.toBase64()), QString::fromLatin1(u.hash.toBase64()));
}

bool validUserName(const QString& name) {
    if (name.isEmpty() || name.size() > 64) return false;
    for (const QChar c : name)
        if (c == u':' || c.category() == QChar::Other_Control || c.isSpace()) return false;
    return true;
}

std::optional<QList<User>> readUsers(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QList<User> users;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const std::optional<User> u = parseLine(line);
        if (!u) {
            if (error)
                *error = QStringLiteral("%1:%2: not a user line (kastari-web adduser writes them)")
                             .arg(path)
                             .arg(i + 1);
            return std::nullopt;
        }
        users << *u;
    }
    return users;
}

bool writeUser(const QString& path, const User& user, QString* error) {
    QList<User> users;
    if (QFile::exists(path)) {
        const std::optional<QList<User>> read = readUsers(path, error);
        if (!read) return false;
        users = *read;
    }
    users.removeIf([&](const User& u) { return u.name == user.name; });
    users << user;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        for (const User& u : users)
            file.write(userLine(u).toUtf8() + '\n');
        if (file.commit()) return true;
    }
    if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

QByteArray Sessions::open(const QString& user, const QDateTime& now) {
    // Sessions nobody closed would otherwise stay until the server stops.
    if (m_sessions.size() > 10000)
        m_sessions.removeIf([&](const auto& s) { return s.value().expires <= now; });
    const QByteArray token = randomBytes(32).toHex();
    m_sessions.insert(token, {user, now.addSecs(Lifetime)});
    return token;
}

std::optional<QString> Sessions::user(const QByteArray& token, const QDateTime& now) {
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end()) return std::nullopt;
    if (it->expires <= now) {
        m_sessions.erase(it);
        return std::nullopt;
    }
    return it->user;
}

void Sessions::close(const QByteArray& token) {
    m_sessions.remove(token);
}

qint64 LoginThrottle::wait(const QString& address, const QDateTime& now) const {
    const auto it = m_records.constFind(address);
    if (it == m_records.cend() || !it->until.isValid()) return 0;
    return std::max<qint64>(0, (now.msecsTo(it->until) + 999) / 1000);
}

void LoginThrottle::failed(const QString& address, const QDateTime& now) {
    if (m_records.size() > 10000) m_records.removeIf([&](const auto& r) { return r.value().until <= now; });
    Record& r = m_records[address];
    ++r.failures;
    if (r.failures >= FreeFailures)
        r.until = now.addSecs(std::min<qint64>(60, qint64(1) << std::min(r.failures - FreeFailures, 6)));
}

void LoginThrottle::succeeded(const QString& address) {
    m_records.remove(address);
}

} // namespace web
