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

} // namespace store
