// kastari-monitor: the operator's window onto the flow meters on a serial line.
#include "app/monitorviews.h"
#include "app/screenshottour.h"
#include "app/tform1.h"
#include "link/portmap.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QTextStream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Монитор КАСТАРИ-ДК"));
    // The operator reads Russian whatever the system's language: the toolkit's own texts (the file
    // dialogs, the standard buttons) follow.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);

    // "--comm n=PATH" lets the operator give port number n any system port (a USB adapter, a
    // pseudo-terminal of the simulator).
    QStringList errors;
    QStringList args = PortMap::takeOptions(QApplication::arguments(), &errors);
    // Not for operators: the documentation's pictures are taken with "--screenshots DIR".
    QString screenshotDir;
    const int shots = args.indexOf(QStringLiteral("--screenshots"));
    if (shots >= 0 && shots + 1 < args.size()) screenshotDir = args[shots + 1];
    if (!errors.isEmpty()) {
        QTextStream(stderr) << errors.join(u'\n') << '\n';
        return 2;
    }

    TForm1 form;
    form.createDialogs();
    installMonitorViews(form, args.contains(QStringLiteral("--fast")));
    form.show();
    if (!screenshotDir.isEmpty()) startScreenshotTour(form, screenshotDir);
    return app.exec();
}
