#pragma once
// kastari-web's command line: serving the database, and adduser.
#include <QHostAddress>
#include <QStringList>
#include <optional>

namespace store {
class Store;
}

namespace web {

enum Exit { ExitOk = 0, ExitUsage = 1, ExitDatabase = 2, ExitListen = 3 };

int run(const QStringList& args);

// Makes the connection refuse every change: SQLite's query_only, PostgreSQL's read-only
// transactions. False when the database would not take it.
bool makeReadOnly(store::Store& db);

// "127.0.0.1:8080", "[::1]:8080", "0.0.0.0:80"; nothing for anything else.
std::optional<std::pair<QHostAddress, quint16>> parseListen(const QString& text);

} // namespace web
