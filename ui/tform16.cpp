#include "ui/tform16.h"

#include <QLabel>

TForm16::TForm16(QWidget* parent)
    : WaitWindow(QStringLiteral("Загрузка параметров из файла"), QStringLiteral("Загрузка завершена"), parent,
                 340) {
    setObjectName(QStringLiteral("Form16"));
    StaticText3 = addOutcome(QStringLiteral("Некорректные данные"), "StaticText3");
    StaticTextFailed = addOutcome(QString(), "StaticTextFailed", 2);
}

void TForm16::setFailedRegisters(const QString& ranges) {
    StaticTextFailed->setText(
        QStringLiteral("Загрузка не завершена, ошибка связи.\nНе записаны регистры %1").arg(ranges));
}
