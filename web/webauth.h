#pragma once
// Who may look at kastari-web: a file of users with salted PBKDF2 password hashes, the sessions of
// those logged in, and the slowing of logins after failures.
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace web {

// One line per user: "NAME:pbkdf2-sha256:ITERATIONS:SALT:HASH", salt and hash in base64.
struct User {
    QString name;
    int iterations = 0;
    QByteArray salt, hash;
};

constexpr int Iterations = 200000;

// A new line for the file; the salt is random.
User hashPassword(const QString& name, const QString& password, int iterations = Iterations);
bool checkPassword(const User& user, const QString& password);
QString userLine(const User& user);
// A user name may not hold ':' or line breaks and is 1..64 characters.
bool validUserName(const QString& name);

// Nothing, with *error naming the file and line, for a file that cannot be read or a line that is
// no user.
std::optional<QList<User>> readUsers(const QString& path, QString* error);
// Adds the user or replaces its password; the file is rewritten whole, readable by its owner only.
bool writeUser(const QString& path, const User& user, QString* error);

// The sessions of one running server, in memory: a restart logs everyone out.
class Sessions {
  public:
    static constexpr qint64 Lifetime = 12 * 3600; // seconds from login
    QByteArray open(const QString& user, const QDateTime& now);
    // The user of a live session; an expired one is forgotten.
    std::optional<QString> user(const QByteArray& token, const QDateTime& now);
    void close(const QByteArray& token);

  private:
    struct Session {
        QString user;
        QDateTime expires;
    };
    QHash<QByteArray, Session> m_sessions;
};

// After a few failed logins from one address, the next is refused until a delay has passed, each
// failure doubling it up to a minute; a good login clears it. Nothing sleeps: the refused request
// is answered at once, so one client cannot hold up the others.
class LoginThrottle {
  public:
    static constexpr int FreeFailures = 3;
    // Seconds the address must still wait; 0 when it may try.
    qint64 wait(const QString& address, const QDateTime& now) const;
    void failed(const QString& address, const QDateTime& now);
    void succeeded(const QString& address);

  private:
    struct Record {
        int failures = 0;
        QDateTime until;
    };
    QHash<QString, Record> m_records;
};

} // namespace web
