// kastari-collect: the archives and journals of a fleet of meters gathered into a database.
#include "collect/commandline.h"

#include <QGuiApplication>
#include <memory>

int main(int argc, char** argv) {
    // A report is drawn, which needs the fonts of a graphical application, though never a display.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && QByteArray(argv[1]) == "report") {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return collect::run(QCoreApplication::arguments().mid(1));
}
