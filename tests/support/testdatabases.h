#pragma once
// The two databases the collector's tests run against: an SQLite file in a temporary folder, and
// a database in a throwaway PostgreSQL server started once per test program.
#include <QString>
#include <QTemporaryDir>
#include <optional>

enum class Backend { SQLite, PostgreSQL };

const char* backendName(Backend backend);

// The URL of a new, empty database; nothing when PostgreSQL cannot be had, *skip then says why
// (the test skips only when the server is not installed, and fails when it would not start).
std::optional<QString> newDatabase(Backend backend, QString* skip, bool* failed);

// newDatabase() for a test's SetUp: nothing when PostgreSQL cannot be had, the test then already
// skipped (or failed, when the server is installed but would not start) and SetUp to return.
std::optional<QString> newDatabaseOrSkip(Backend backend);
