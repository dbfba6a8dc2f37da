#include "ui/exchangeoptionsdialog.h"

#include "ui/placed.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

ExchangeOptionsDialog::ExchangeOptionsDialog(QWidget* parent)
    : FixedDialog(QStringLiteral("Параметры обмена"), 360, 200, Border::CloseBox, parent) {
    setObjectName(QStringLiteral("ExchangeOptionsDialog"));

    CheckFastCompletion = placed<QCheckBox>(this, "CheckFastCompletion", {16, 12, 328, 21},
                                            QStringLiteral("Быстрое завершение ответа"));

    LabelFastCompletion = placed<QLabel>(this, "LabelFastCompletion", {36, 36, 308, 40},
                                         QStringLiteral("Ответ прибора принимается, как только он получен "
                                                        "целиком, без ожидания паузы 500 мс."));
    LabelFastCompletion->setWordWrap(true);

    LabelRetries =
        placed<QLabel>(this, "LabelRetries", {16, 88, 200, 21}, QStringLiteral("Повторов при ошибке"));
    SpinRetries = placed<QSpinBox>(this, "SpinRetries", {232, 86, 56, 25});
    SpinRetries->setRange(0, 5);
    LabelRetries->setBuddy(SpinRetries);

    LabelRetriesHint = placed<QLabel>(this, "LabelRetriesHint", {36, 114, 308, 40},
                                      QStringLiteral("Чтение без верного ответа повторяется перед сообщением "
                                                     "об ошибке связи. Запись не повторяется."));
    LabelRetriesHint->setWordWrap(true);

    Button1 = placed<QPushButton>(this, "Button1", {96, 164, 75, 27}, QStringLiteral("Ok"));
    Button1->setDefault(true);
    Button2 = placed<QPushButton>(this, "Button2", {188, 164, 75, 27}, QStringLiteral("Отмена"));

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}
