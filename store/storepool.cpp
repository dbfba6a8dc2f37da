#include "store/storepool.h"

namespace store {

std::unique_ptr<StorePool> StorePool::open(const Location& location, int connections, QString* error) {
    std::unique_ptr<StorePool> pool(new StorePool);
    std::vector<std::future<QString>> opened;
    for (int i = 0; i < std::max(1, connections); ++i) {
        std::promise<QString> promise;
        opened.push_back(promise.get_future());
        pool->m_threads.emplace_back(&StorePool::serve, pool.get(), location, std::move(promise));
    }
    for (std::future<QString>& f : opened) {
        const QString why = f.get();
        if (!why.isNull()) {
            if (error) *error = why;
            return nullptr; // the others stop with the pool
        }
    }
    return pool;
}

StorePool::~StorePool() {
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_closing = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void StorePool::serve(const Location& location, std::promise<QString> opened) {
    QString error;
    const std::unique_ptr<Store> store = Store::open(location, &error);
    opened.set_value(store ? QString() : error.isNull() ? QStringLiteral("") : error);
    if (!store) return;
    for (;;) {
        std::packaged_task<void(Store&)> job;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [this] { return m_closing || !m_jobs.empty(); });
            if (m_jobs.empty()) return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job(*store);
    }
}

void StorePool::run(const std::function<void(Store&)>& job) {
    std::packaged_task<void(Store&)> task(job);
    std::future<void> done = task.get_future();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_jobs.push_back(std::move(task));
    }
    m_wake.notify_one();
    done.get();
}

std::optional<std::uint32_t> StorePool::meterAt(const QString& line, int address) {
    return call([&](Store& s) { return s.meterAt(line, address); });
}

QList<std::int64_t> StorePool::periodStarts(std::uint32_t meter, int archive, int channel, std::int64_t since,
                                            QList<std::int64_t>* notRead) {
    return call([&](Store& s) { return s.periodStarts(meter, archive, channel, since, notRead); });
}

std::optional<Written> StorePool::storeVisit(const MeterVisit& visit, QString* error) {
    return call([&](Store& s) { return s.storeVisit(visit, error); });
}

} // namespace store
