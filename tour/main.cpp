// kastari-tour: the monitor's window walked through for the documentation's pictures. Not shipped.
#include "app/commandline.h"
#include "app/monitorviews.h"
#include "tour/tour.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace {

const char* const Usage =
    "Usage: kastari-tour --screenshots DIR [--comm n=PATH]... [--fast]\n"
    "\n"
    "Walks through the monitor's windows against the meters on its lines and saves a PNG of each\n"
    "view and dialog into DIR (scripts/screenshots runs it under Xvfb with simulated meters).\n"
    "Reads Sens.cfg from the working directory, as the monitor does.\n"
    "\n"
    "Options:\n"
    "  --screenshots DIR         the folder for the pictures (created if missing)\n"
    "  --comm n=PATH             port n is PATH (or n=tcp://HOST:PORT); repeatable\n"
    "  --fast                    replies end as soon as they are complete\n"
    "  --help, -h                this text\n";

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    addMonitorOptions(parser);
    const QCommandLineOption screenshots(QStringLiteral("screenshots"), QString(), QStringLiteral("DIR"));
    parser.addOption(screenshots);
    MonitorOptions options = readMonitorOptions(parser, arguments);
    if (options.help) {
        QTextStream(stdout) << Usage;
        return 0;
    }
    const QString dir = parser.value(screenshots);
    if (dir.isEmpty()) options.errors << QStringLiteral("--screenshots DIR is required");
    if (!options.errors.isEmpty()) {
        QTextStream(stderr) << options.errors.join(u'\n') << '\n';
        return 2;
    }

    return runMonitorWindow(argc, argv, options.fast,
                            [&dir](TForm1& form) { startScreenshotTour(form, dir); });
}
