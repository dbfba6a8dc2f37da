#pragma once
// The monitor's views hung onto its main window in the order they depend on each other: the
// program, the tour and the benches that run the whole window build it through here.
#include <functional>

class CountersView;
class FlowTrendView;
class TForm1;
class ViewHost;
class TrafficMonitor;

// The application's name and the toolkit's Russian texts, once the application exists.
void prepareMonitorApplication();

struct MonitorViews {
    CountersView* counters = nullptr;
    FlowTrendView* flowTrend = nullptr;
    TrafficMonitor* traffic = nullptr;
};

// `fast`: replies end as soon as they are complete, for this run, whatever the settings say.
MonitorViews installMonitorViews(ViewHost& host, bool fast);

// The main window as the program shows it: its dialogs made, the views installed, shown.
MonitorViews showMonitorWindow(TForm1& form, bool fast);

// The program's run once its command line is read (the application needs a display): the
// application, the window, `beforeExec` on the shown window, then the events until it closes.
int runMonitorWindow(int& argc, char** argv, bool fast, const std::function<void(TForm1&)>& beforeExec = {});
