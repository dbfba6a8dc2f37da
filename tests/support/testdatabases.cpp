#include "testdatabases.h"

#include "pgcluster.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Shared {
    QTemporaryDir files;
    int sqliteFiles = 0;
    bool tried = false;
    bool installed = false;
    QString why;
    std::unique_ptr<PgCluster> cluster;
};

// Outside the test's own function: GTEST_SKIP() and FAIL() leave a function that returns nothing.
void skipOrFail(const QString& why, bool failed) {
    if (failed) FAIL() << why.toStdString();
    GTEST_SKIP() << why.toStdString();
}

Shared& shared() {
    static Shared* s = [] {
        auto* made = new Shared;
        // Stopped while the application still runs, before static destruction.
        qAddPostRoutine([] { shared().cluster.reset(); });
        return made;
    }();
    return *s;
}

} // namespace

const char* backendName(Backend backend) {
    return backend == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

std::optional<QString> newDatabase(Backend backend, QString* skip, bool* failed) {
    Shared& s = shared();
    *failed = false;
    if (backend == Backend::SQLite)
        return QStringLiteral("sqlite:%1/db%2.sqlite").arg(s.files.path()).arg(++s.sqliteFiles);
    if (!s.tried) {
        s.tried = true;
        s.cluster = PgCluster::start(&s.why, &s.installed);
    }
    if (!s.cluster) {
        *skip = s.why;
        *failed = s.installed;
        return std::nullopt;
    }
    return s.cluster->url(s.cluster->createDatabase());
}

std::optional<QString> newDatabaseOrSkip(Backend backend) {
    QString skip;
    bool failed = false;
    const std::optional<QString> url = newDatabase(backend, &skip, &failed);
    if (!url) skipOrFail(skip, failed);
    return url;
}
