// kastari-web: the collected database in a browser, read only.
#include "web/webcommand.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    // The report's PDF is drawn, which needs the fonts of a graphical application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return web::run(QCoreApplication::arguments().mid(1));
}
