#include "ui/tform12.h"

TForm12::TForm12(QWidget* parent) : ReadingWindow(QStringLiteral("Чтение архива"), parent) {
    setObjectName(QStringLiteral("Form12"));
}
