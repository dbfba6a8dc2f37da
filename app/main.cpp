// kastari-monitor: the operator's window onto the flow meters on a serial line.
#include "app/tform1.h"
#include "link/portmap.h"

#include <QApplication>
#include <QMessageBox>
#include <QTextStream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Монитор КАСТАРИ-ДК"));
    QApplication::setApplicationDisplayName(QStringLiteral("Монитор КАСТАРИ-ДК"));

    // "--comm n=PATH" lets the operator give port number n any system port (a USB adapter, a
    // pseudo-terminal of the simulator).
    QStringList errors;
    PortMap::takeOptions(QApplication::arguments(), &errors);
    if (!errors.isEmpty()) {
        QTextStream(stderr) << errors.join(u'\n') << '\n';
        return 2;
    }

    TForm1 form;
    form.createDialogs();
    form.show();
    return app.exec();
}
