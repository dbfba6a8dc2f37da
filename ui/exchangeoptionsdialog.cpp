#include "ui/exchangeoptionsdialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

ExchangeOptionsDialog::ExchangeOptionsDialog(QWidget* parent)
    : FixedDialog(QStringLiteral("Параметры обмена"), 360, 124, Border::CloseBox, parent) {
    setObjectName(QStringLiteral("ExchangeOptionsDialog"));

    CheckFastCompletion = new QCheckBox(QStringLiteral("Быстрое завершение ответа"), this);
    CheckFastCompletion->setObjectName(QStringLiteral("CheckFastCompletion"));
    CheckFastCompletion->setGeometry(16, 12, 328, 21);

    LabelFastCompletion = new QLabel(QStringLiteral("Ответ прибора принимается, как только он получен "
                                                    "целиком, без ожидания паузы 500 мс."),
                                     this);
    LabelFastCompletion->setObjectName(QStringLiteral("LabelFastCompletion"));
    LabelFastCompletion->setWordWrap(true);
    LabelFastCompletion->setGeometry(36, 36, 308, 40);

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(96, 88, 75, 27);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(188, 88, 75, 27);

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}
