// kastari-collect: the archives and journals of a fleet of meters gathered into a database.
#include "collect/commandline.h"

#include <QGuiApplication>
#include <memory>

namespace {

QtMessageHandler toolkitHandler = nullptr;

// The toolkit's own warnings (a session's runtime folder missing under a service, ...) are not the
// operator's business. The program's diagnostics have categories of their own; QT_LOGGING_RULES
// asks for everything.
void programMessagesOnly(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool ours = context.category && qstrncmp(context.category, "kastari.", 8) == 0;
    if (ours || type == QtFatalMsg || qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        toolkitHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    toolkitHandler = qInstallMessageHandler(programMessagesOnly);
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
