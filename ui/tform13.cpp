#include "ui/tform13.h"

TForm13::TForm13(QWidget* parent) : ReadingWindow(QStringLiteral("Чтение журнала"), parent) {
    setObjectName(QStringLiteral("Form13"));
}
