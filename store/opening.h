#pragma once
// A database opened for what the program means to do with it, and why it would not open, said the
// same way by every program that opens one.
#include "store/database.h"
#include "store/store.h"

#include <memory>
#include <optional>

namespace store {

// What the program means to do with the database.
enum class Use {
    Collect, // made when it is missing, then written
    Look,    // found, never made: read, and written by the visits the monitor makes
    Read,    // found, never made, only read
};

struct OpenFailure {
    enum class Kind { BadUrl, Missing, NotOpened };
    Kind kind = Kind::NotOpened;
    Location location{}; // where it was looked for; nothing of it for BadUrl
    QString error{};     // why the URL is not understood, or the driver's or the store's reason
    // The command-line programs' words: the URL's fault, "no database at PATH" or "database WHERE
    // cannot be opened: ERROR".
    QString text() const;
};

// Where `url` points, ready to be opened for `use`. Nothing when the URL is not understood, or
// when an SQLite file to be found is not there: looking must not make an empty database.
std::optional<Location> locate(const QString& url, Use use, OpenFailure* failure);
// Nothing when it cannot be opened, or, found for Look and Read, holds no collected data.
std::unique_ptr<Store> openStore(const Location& location, Use use, OpenFailure* failure);
std::unique_ptr<Store> openStore(const QString& url, Use use, OpenFailure* failure);

} // namespace store
