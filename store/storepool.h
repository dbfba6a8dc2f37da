#pragma once
// A few database connections shared by many collecting threads. A connection belongs to the thread
// that opened it, so each lives on a thread of its own; a caller hands it a job and waits. Lines
// spend nearly all their time on the wire, so a handful of connections serve hundreds of lines
// and a server's connection limit is not spent one per line.
#include "store/store.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace store {

class StorePool : public VisitStore {
  public:
    // Opens `connections` connections (at least one); nothing when any cannot be opened, *error
    // then saying why.
    static std::unique_ptr<StorePool> open(const Location& location, int connections, QString* error);
    ~StorePool() override;
    StorePool(const StorePool&) = delete;
    StorePool& operator=(const StorePool&) = delete;

    // Runs the job on the first connection free, the caller waiting for it. Any thread may call.
    void run(const std::function<void(Store&)>& job);
    template <typename F> auto call(F f) -> decltype(f(std::declval<Store&>())) {
        std::optional<decltype(f(std::declval<Store&>()))> result;
        run([&](Store& s) { result.emplace(f(s)); });
        return std::move(*result);
    }

    std::optional<std::uint32_t> meterAt(const QString& line, int address) override;
    QList<std::int64_t> periodStarts(std::uint32_t meter, int archive, int channel, std::int64_t since,
                                     QList<std::int64_t>* notRead = nullptr) override;
    std::optional<Written> storeVisit(const MeterVisit& visit, QString* error) override;

  private:
    StorePool() = default;
    void serve(const Location& location, std::promise<QString> opened);

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void(Store&)>> m_jobs;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

} // namespace store
