#include "ui/tform12.h"

TForm12::TForm12(QWidget* parent) : BusyWindow(QStringLiteral("Чтение архива"), Progress::Shown, parent) {
    setObjectName(QStringLiteral("Form12"));
}
