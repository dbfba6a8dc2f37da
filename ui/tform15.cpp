#include "ui/tform15.h"

TForm15::TForm15(QWidget* parent)
    : WaitWindow(QStringLiteral("Запись данных в файл"), QStringLiteral("Запись завершена"), parent) {
    setObjectName(QStringLiteral("Form15"));
    StaticText3 = addOutcome(QStringLiteral("Ошибка связи. Файлы не записаны"), "StaticText3");
}
