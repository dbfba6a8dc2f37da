// kastari-monitor: the operator's window onto the flow meters on a serial line.
#include "app/commandline.h"
#include "app/monitorviews.h"

#include <QTextStream>

int main(int argc, char** argv) {
    // Before the application: "--help" and a bad "--comm" must answer without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const MonitorOptions options = parseMonitorArguments(arguments);
    if (options.help) {
        QTextStream(stdout) << monitorHelpText();
        return 0;
    }
    if (!options.errors.isEmpty()) {
        QTextStream(stderr) << options.errors.join(u'\n') << '\n';
        return 2;
    }

    // "--fast": replies end as soon as they are complete, for this run, whatever the settings say.
    return runMonitorWindow(argc, argv, options.fast);
}
