// kastari-collect: the archives and journals of a fleet of meters gathered into a database.
#include "collect/commandline.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return collect::run(app.arguments().mid(1));
}
