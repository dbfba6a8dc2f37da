#include "app/viewhost.h"

#include <QTimer>
#include <QWidget>

void afterExchange(ViewHost& host, std::function<void()> fn) {
    if (host.exchangeRunning()) {
        QTimer::singleShot(50, host.actionWindow(), [&host, fn = std::move(fn)] { afterExchange(host, fn); });
        return;
    }
    fn();
}
