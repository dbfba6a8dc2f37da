#include "ui/tform17.h"

#include <QLabel>
#include <QPushButton>

TForm17::TForm17(QWidget* parent)
    : FixedDialog(QStringLiteral("Завершение работы"), 288, 96, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("Form17"));

    Label1 = new QLabel(QStringLiteral("Закончить работу с программой ?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 16, 272, 21);
    Label1->setAlignment(Qt::AlignCenter);

    Button1 = new QPushButton(QStringLiteral("Да"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(52, 56, 80, 27);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Нет"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(156, 56, 80, 27);

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}
