#pragma once
// The monitor's views hung onto its main window in the order they depend on each other: the
// program and anything else that runs the whole window (the soak bench) build it through here.
class CountersView;
class FlowTrendView;
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
