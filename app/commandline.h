#pragma once
// The monitor's command line, read before the toolkit starts: "--help" must answer on a machine
// without a display, where creating the application would abort.
#include <QString>
#include <QStringList>

class QCommandLineParser;

struct MonitorOptions {
    bool help = false;
    bool fast = false;  // fast reply completion for this run
    QStringList errors; // bad --comm values, one line each
};

// The window's own options (--comm, --fast, --help) on `parser`, for every program that runs the
// window: a program with more options adds them beside these.
void addMonitorOptions(QCommandLineParser& parser);
// `arguments` as the program got them, its name first. "--comm n=PATH" takes effect in PortMap.
// Options the toolkit reads itself (-platform, -style, ...) are left to it.
MonitorOptions readMonitorOptions(QCommandLineParser& parser, const QStringList& arguments);
MonitorOptions parseMonitorArguments(const QStringList& arguments);

QString monitorHelpText();
