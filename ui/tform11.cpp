#include "ui/tform11.h"

TForm11::TForm11(QWidget* parent)
    : BusyWindow(QStringLiteral("Инициализация прибора"), Progress::None, parent) {
    setObjectName(QStringLiteral("Form11"));
}
