#pragma once
// Where the collected data lives: an SQLite file (the default) or a PostgreSQL database, named by
// the URL the collector is given.
#include <QString>
#include <optional>

namespace store {

struct Location {
    enum class Kind { SQLite, PostgreSQL };
    Kind kind = Kind::SQLite;
    QString path{}; // SQLite: the file
    QString user{}, host{}, database{};
    int port = 0; // 0: the server's default
    // Only read: nothing is created or written, and a file its user may not write is still read.
    bool readOnly = false;
    QString driver() const {
        return kind == Kind::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    }
    QString describe() const;
};

inline constexpr const char* DefaultFile = "kastari.db";

// "" (kastari.db in the working folder), "sqlite:PATH", a plain path, or
// "postgresql://USER@HOST[:PORT]/DB" (HOST may be a socket folder written with %2F for "/"). The
// password is never in the URL: libpq takes it from PGPASSWORD or ~/.pgpass. Nothing when the
// text is none of these; *error then says why.
std::optional<Location> parseLocation(const QString& url, QString* error);

// A PostgreSQL server that accepts the connection and never answers must not hang a command or
// the monitor: every connection gives up connecting after this long, unless PGCONNECT_TIMEOUT
// says otherwise (libpq's own variable; tests shorten it with it)...
inline constexpr int ConnectTimeoutSeconds = 10;
// ...and every statement after this long (PGOPTIONS may set its own statement_timeout, which
// then wins).
inline constexpr int StatementTimeoutSeconds = 30;
// The connect limit in force: PGCONNECT_TIMEOUT when set (libpq's floor of 2 s), else the above.
int connectTimeoutSeconds();
// The QPSQL connect options that carry both limits.
QString postgresConnectOptions();

// What stopped a database from opening or answering, as far as the driver's text tells.
enum class Failure { Other, NoAnswer, Credentials, NoDatabase, Refused };
Failure failureOf(const QString& error);

} // namespace store
