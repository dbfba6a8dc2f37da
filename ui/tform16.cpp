#include "ui/tform16.h"

#include <QLabel>

namespace {
const QString RefusedText = QStringLiteral("Некорректные данные");
} // namespace

TForm16::TForm16(QWidget* parent)
    : WaitWindow(QStringLiteral("Загрузка параметров из файла"), QStringLiteral("Загрузка завершена"), parent,
                 340) {
    setObjectName(QStringLiteral("Form16"));
    StaticText3 = addOutcome(RefusedText, "StaticText3", 2);
    StaticTextFailed = addOutcome(QString(), "StaticTextFailed", 2);
}

void TForm16::setFailedRegisters(const QString& ranges) {
    StaticTextFailed->setText(
        QStringLiteral("Загрузка не завершена, ошибка связи.\nНе записаны регистры %1").arg(ranges));
}

void TForm16::setRefusal(const QString& reason) {
    StaticText3->setText(reason.isEmpty() ? RefusedText : RefusedText + u'\n' + reason);
}
