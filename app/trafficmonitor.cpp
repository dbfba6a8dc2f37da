#include "app/trafficmonitor.h"

#include "app/exchange.h"
#include "app/filesave.h"
#include "app/viewhost.h"
#include "link/trafficrecorder.h"
#include "ui/trafficmodel.h"
#include "ui/trafficwindow.h"

#include <QAction>
#include <QTableView>

TrafficMonitor* TrafficMonitor::install(ViewHost& host) {
    return new TrafficMonitor(host);
}

TrafficMonitor::TrafficMonitor(ViewHost& host) : QObject(host.actionWindow()) {
    setObjectName(QStringLiteral("TrafficMonitorView"));
    m_recorder = new TrafficRecorder(TrafficRecorder::DefaultCapacity, this);
    m_recorder->attach(host.exchange().engine());
    m_window = std::make_unique<TrafficWindow>(*m_recorder);
    m_window->whenDialogMayOpen = [&host](std::function<void()> save) {
        filesave::whenNoExchange(host, std::move(save));
    };
    QAction* item =
        host.addServiceItem(QStringLiteral("MenuTrafficMonitor"), QStringLiteral("Монитор обмена"));
    connect(item, &QAction::triggered, this, &TrafficMonitor::MenuTrafficMonitorClick);
}

TrafficMonitor::~TrafficMonitor() = default;

void TrafficMonitor::MenuTrafficMonitorClick() {
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
