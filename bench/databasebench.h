#pragma once
// What the benchmarks that write a database share: their command line, the database in SQLite or
// the tests' PostgreSQL server, and a timed collecting run. Header only, as benchsupport.h.
#include "collect/collector.h"
#include "link/optiontable.h"
#include "pgcluster.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/resource.h>

namespace bench {

// A whole number of at least `least` for a bench option (`names` as in cmdline::Option).
constexpr cmdline::Option numberOption(const char* names, int least = 1) {
    return {.names = names, .value = "N", .min = least, .max = INT_MAX};
}

// The bench's command line read by `line`; false, with the fault and `usage` on stderr, when it is
// wrong.
inline bool parsed(cmdline::CommandLine& line, const char* usage) {
    if (line.parse(QCoreApplication::arguments().mid(1))) return true;
    std::fprintf(stderr, "%s\nusage: %s\n", qPrintable(line.fault()), usage);
    return false;
}

inline int number(const cmdline::CommandLine& line, const char* name, int fallback) {
    return line.isSet(name) ? line.value(name).toInt() : fallback;
}

// "sqlite" a file in `files`, "postgresql" a new database in the tests' server, started once into
// `cluster`; nothing, with the reason, when that server does not start.
inline std::optional<store::Location> database(const QString& backend, const QTemporaryDir& files,
                                               std::unique_ptr<PgCluster>& cluster, QString* error) {
    if (backend != u"postgresql") return store::Location{.path = files.filePath("bench.db")};
    bool installed = false;
    if (!cluster) cluster = PgCluster::start(error, &installed);
    if (!cluster) return std::nullopt;
    return store::parseLocation(cluster->url(cluster->createDatabase()), error);
}

// One collecting run on record in `db` as `run`: what became of each meter, the wall time and this
// process's processor time (the collector's; simulators and servers are other processes).
struct TimedRun {
    QList<store::Outcome> outcomes;
    double wallS = 0, cpuS = 0;
};

inline TimedRun collectTimed(const QList<collect::MeterEntry>& meters, const collect::CollectOptions& options,
                             store::Store& db, const QString& run) {
    const auto cpuSeconds = [] {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    db.beginRun(run, QDateTime::currentDateTime(), "bench");
    std::atomic<bool> stop{false};
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    TimedRun r{.outcomes = collect::collectOnce(meters, options, run, {}, stop)};
    r.wallS = double(wall.nsecsElapsed()) / 1e9;
    r.cpuS = cpuSeconds() - cpuBefore;
    db.finishRun(run, QDateTime::currentDateTime());
    return r;
}

} // namespace bench
