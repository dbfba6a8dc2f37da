#include "store/opening.h"

#include <QFileInfo>

namespace store {

namespace {

void fail(OpenFailure* failure, OpenFailure::Kind kind, const Location& location, const QString& error) {
    if (failure) *failure = {.kind = kind, .location = location, .error = error};
}

// An SQLite file that should be there and is not (a folder is no database either). The file may
// also go between locate() and the opening, which must not then make an empty one.
bool missing(const Location& location, Use use, OpenFailure* failure) {
    if (use == Use::Collect || location.kind != Location::Kind::SQLite || QFileInfo(location.path).isFile())
        return false;
    fail(failure, OpenFailure::Kind::Missing, location, {});
    return true;
}

} // namespace

QString OpenFailure::text() const {
    switch (kind) {
    case Kind::BadUrl:
        return error;
    case Kind::Missing:
        return QStringLiteral("no database at %1").arg(location.path);
    case Kind::NotOpened:
        break;
    }
    return QStringLiteral("database %1 cannot be opened: %2").arg(location.describe(), error);
}

std::optional<Location> locate(const QString& url, Use use, OpenFailure* failure) {
    QString error;
    std::optional<Location> location = parseLocation(url, &error);
    if (!location) {
        fail(failure, OpenFailure::Kind::BadUrl, {}, error);
        return std::nullopt;
    }
    if (missing(*location, use, failure)) return std::nullopt;
    location->readOnly = use == Use::Read;
    return location;
}

std::unique_ptr<Store> openStore(const Location& location, Use use, OpenFailure* failure) {
    if (missing(location, use, failure)) return nullptr;
    QString error;
    std::unique_ptr<Store> db = Store::open(location, &error, SchemaVersion, use == Use::Collect);
    if (!db) fail(failure, OpenFailure::Kind::NotOpened, location, error);
    return db;
}

std::unique_ptr<Store> openStore(const QString& url, Use use, OpenFailure* failure) {
    const std::optional<Location> location = locate(url, use, failure);
    return location ? openStore(*location, use, failure) : nullptr;
}

} // namespace store
