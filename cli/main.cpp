// kastari-cli: raw ModBus requests to a meter through the program's own engine, for diagnostics and
// scripts, in the manner of a ModBus poll tool.
#include "cli/commands.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return cli::run(app.arguments().mid(1));
}
