#include "ui/tform14.h"

TForm14::TForm14(QWidget* parent) : ClearingWindow(QStringLiteral("Очистка журналов"), parent) {
    setObjectName(QStringLiteral("Form14"));
}
