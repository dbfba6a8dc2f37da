#include "ui/tform13.h"

TForm13::TForm13(QWidget* parent) : BusyWindow(QStringLiteral("Чтение журнала"), Progress::Shown, parent) {
    setObjectName(QStringLiteral("Form13"));
}
