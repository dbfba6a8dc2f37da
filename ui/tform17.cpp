#include "ui/tform17.h"

#include "ui/placed.h"

#include <QLabel>
#include <QPushButton>

TForm17::TForm17(QWidget* parent)
    : FixedDialog(QStringLiteral("Завершение работы"), 288, 96, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("Form17"));

    Label1 =
        placed<QLabel>(this, "Label1", {8, 16, 272, 21}, QStringLiteral("Закончить работу с программой ?"));
    Label1->setAlignment(Qt::AlignCenter);

    Button1 = placed<QPushButton>(this, "Button1", {52, 56, 80, 27}, QStringLiteral("Да"));
    Button1->setDefault(true);
    Button2 = placed<QPushButton>(this, "Button2", {156, 56, 80, 27}, QStringLiteral("Нет"));

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}
