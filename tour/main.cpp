// kastari-tour: the monitor's window walked through for the documentation's pictures. Not shipped.
#include "app/commandline.h"
#include "app/monitorviews.h"
#include "tour/tour.h"

#include <QTextStream>

namespace {

constexpr const char* Required = "--screenshots DIR is required";

constexpr cmdline::Option Options[] = {
    {.names = "screenshots",
     .value = "DIR",
     .help = "the folder for the pictures (created if missing)",
     .refusal = Required},
    cmdline::portMapOption("port n is PATH (or n=tcp://HOST:PORT); repeatable"),
    {.names = "fast", .help = "replies end as soon as they are complete"},
    {.names = "help|h", .help = "this text"},
};

QString usage() {
    return QStringLiteral(
               "Usage: kastari-tour --screenshots DIR [--comm n=PATH]... [--fast]\n"
               "\n"
               "Walks through the monitor's windows against the meters on its lines and saves a PNG of each\n"
               "view and dialog into DIR (scripts/screenshots runs it under Xvfb with simulated meters).\n"
               "Reads Sens.cfg from the working directory, as the monitor does.\n"
               "\n"
               "Options:\n") +
           cmdline::helpText(Options, 28);
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    cmdline::CommandLine line(Options, cmdline::CommandLine::Unknown::LeftToOthers);
    MonitorOptions options = readMonitorOptions(line, arguments);
    if (options.help) {
        QTextStream(stdout) << usage();
        return 0;
    }
    const QString dir = line.value(QStringLiteral("screenshots"));
    // "--screenshots" last on the line has already said so.
    if (dir.isEmpty() && !options.errors.contains(QLatin1String(Required))) options.errors << Required;
    if (!options.errors.isEmpty()) {
        QTextStream(stderr) << options.errors.join(u'\n') << '\n';
        return 2;
    }

    return runMonitorWindow(argc, argv, options.fast,
                            [&dir](TForm1& form) { startScreenshotTour(form, dir); });
}
