#pragma once
// "Сервис" > "Монитор обмена": the recorder that logs every exchange of the window's engine from
// start-up on, and the window that shows it.
#include <QObject>
#include <functional>
#include <memory>

class QWidget;
class ViewHost;
class TrafficRecorder;
class TrafficWindow;

class TrafficMonitor : public QObject {
    Q_OBJECT
  public:
    // Attaches the recorder to the window's engine and adds the menu item. The window owns the result.
    static TrafficMonitor* install(ViewHost& host);
    ~TrafficMonitor() override;

    TrafficRecorder& recorder() const { return *m_recorder; }
    TrafficWindow* window() const { return m_window.get(); }
    void MenuTrafficMonitorClick();

  private:
    explicit TrafficMonitor(ViewHost& host);

    TrafficRecorder* m_recorder = nullptr;
    // A top-level window of its own: a main window disabled during an exchange must not disable it.
    std::unique_ptr<TrafficWindow> m_window;
};
