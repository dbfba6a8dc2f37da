#include "ui/tform12.h"

TForm12::TForm12(QWidget* parent)
    : BusyWindow(QStringLiteral("Чтение архива"), Progress::Shown, parent, Stop::Shown) {
    setObjectName(QStringLiteral("Form12"));
}
