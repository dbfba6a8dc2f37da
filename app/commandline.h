#pragma once
// The monitor's command line, read before the toolkit starts: "--help" must answer on a machine
// without a display, where creating the application would abort.
#include <QString>
#include <QStringList>

struct MonitorOptions {
    bool help = false;
    bool fast = false;     // fast reply completion for this run
    QString screenshotDir; // not for operators: the documentation's pictures
    QStringList errors;    // bad --comm values, one line each
};

// `arguments` as the program got them, its name first. "--comm n=PATH" takes effect in PortMap.
// Options the toolkit reads itself (-platform, -style, ...) are left to it.
MonitorOptions parseMonitorArguments(const QStringList& arguments);

QString monitorHelpText();
