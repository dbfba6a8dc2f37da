#pragma once
// Waiting on the one thread: events are processed until a condition holds, sleeping in the event
// dispatcher in between, so a long wait costs no CPU and the window stays alive.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>

namespace eventwait {

template <typename Done> void waitUntil(Done done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// At most ms; true when the condition held.
template <typename Done> bool waitUntil(Done done, int ms) {
    bool over = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, [&over] { over = true; });
    deadline.start(std::max(0, ms));
    waitUntil([&] { return over || done(); });
    return done();
}

inline void waitFor(int ms) {
    waitUntil([] { return false; }, ms);
}

} // namespace eventwait
