#pragma once
// The monitor's command line, read before the toolkit starts: "--help" must answer on a machine
// without a display, where creating the application would abort.
#include "link/optiontable.h"

#include <QString>
#include <QStringList>

struct MonitorOptions {
    bool help = false;
    bool fast = false;  // fast reply completion for this run
    QStringList errors; // a --comm without its value, bad --comm values: one line each
};

// The window's own options (--comm, --fast, --help) as every program that runs the window reads
// them, from `line`, made of a table that holds their rows (a program with more options adds its
// rows beside them) and leaves unknown options to the toolkit (-platform, -style, ...).
// `arguments` as the program got them, its name first. "--comm n=PATH" takes effect in PortMap.
MonitorOptions readMonitorOptions(cmdline::CommandLine& line, const QStringList& arguments);
MonitorOptions parseMonitorArguments(const QStringList& arguments);

QString monitorHelpText();
