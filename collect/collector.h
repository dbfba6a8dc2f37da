#pragma once
// One collection over a meter list: a worker thread per line, each with its own engine, visiting
// its meters one after another; the lines write through a few shared database connections.
#include "collect/meterlist.h"
#include "link/modem.h"
#include "store/store.h"

#include <QList>
#include <atomic>
#include <functional>

namespace collect {

struct CollectOptions {
    store::Location database;
    int lines = 0; // at most this many lines at once; 0: all
    bool fast = false;
    // A read the line garbled is asked again up to this many times (TModBus::setRetries).
    int retries = 0;
    QString traceDir{}; // one exchange log per line; empty: none
    int silenceMs = 0;  // tests only: a shorter silence between frames
    // How modem lines dial (Sens.cfg's initialisation, prefix and delay); the number is the list's.
    modem::DialSettings modem{};
};

// The database connections a collection opens at most, however many lines it collects at once:
// a line waits for the database only while its visit is written, a small share of its time.
constexpr int MaxConnections = 4;

// Where the workers report; called from their threads, one call at a time.
struct CollectReport {
    std::function<void(int line, const QString& text)> progress; // line: index in byPort()
    std::function<void(const store::Outcome& outcome)> visited;
};

// Visits every meter once; meters not reached because `stop` was set are not visited. The outcomes
// in list order.
QList<store::Outcome> collectOnce(const QList<MeterEntry>& meters, const CollectOptions& options,
                                  const QString& run, const CollectReport& report,
                                  const std::atomic<bool>& stop);

} // namespace collect
