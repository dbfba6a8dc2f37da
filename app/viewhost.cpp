#include "app/viewhost.h"

#include <QTimer>
#include <QWidget>
#include <memory>

void afterExchange(ViewHost& host, std::function<void()> fn) {
    if (!host.exchangeRunning()) {
        fn();
        return;
    }
    auto waiting = std::make_shared<QMetaObject::Connection>();
    *waiting = QObject::connect(
        &host.lineIdle(), &LineIdle::wentIdle, host.actionWindow(), [&host, waiting, fn = std::move(fn)] {
            QObject::disconnect(*waiting);
            // Queued: the news comes from inside the code that ended the exchange, which goes on
            // after it; and asked again then, since another exchange may have begun meanwhile.
            QTimer::singleShot(0, host.actionWindow(), [&host, fn] { afterExchange(host, fn); });
        });
}
