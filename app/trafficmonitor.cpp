#include "app/trafficmonitor.h"

#include "app/filesave.h"
#include "app/tform1.h"
#include "link/trafficrecorder.h"
#include "ui/trafficmodel.h"
#include "ui/trafficwindow.h"

#include <QAction>
#include <QTableView>

TrafficMonitor* TrafficMonitor::install(TForm1& form) {
    return new TrafficMonitor(form);
}

TrafficMonitor::TrafficMonitor(TForm1& form) : QObject(&form) {
    setObjectName(QStringLiteral("TrafficMonitorView"));
    m_recorder = new TrafficRecorder(TrafficRecorder::DefaultCapacity, this);
    m_recorder->attach(*form.ModBus);
    m_window = std::make_unique<TrafficWindow>(*m_recorder);
    m_window->whenDialogMayOpen = [&form](std::function<void()> save) {
        filesave::whenNoExchange(form, std::move(save));
    };
    QAction* item =
        form.addServiceItem(QStringLiteral("MenuTrafficMonitor"), QStringLiteral("Монитор обмена"));
    connect(item, &QAction::triggered, this, &TrafficMonitor::MenuTrafficMonitorClick);
}

TrafficMonitor::~TrafficMonitor() = default;

void TrafficMonitor::MenuTrafficMonitorClick() {
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

