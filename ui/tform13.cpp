#include "ui/tform13.h"

TForm13::TForm13(QWidget* parent)
    : BusyWindow(QStringLiteral("Чтение журнала"), Progress::Shown, parent, Stop::Shown) {
    setObjectName(QStringLiteral("Form13"));
}
