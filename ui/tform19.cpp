#include "ui/tform19.h"

TForm19::TForm19(QWidget* parent) : ClearingWindow(QStringLiteral("Очистка архивов"), parent) {
    setObjectName(QStringLiteral("Form19"));
}
