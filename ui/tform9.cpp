#include "ui/tform9.h"

#include "ui/placed.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

TForm9::TForm9(QWidget* parent) : FixedDialog(QStringLiteral("ERROR"), 272, 104, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("Form9"));

    Image1 = placed<QLabel>(this, "Image1", {16, 14, 32, 32});
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));

    LabelInvalid = new QLabel(QStringLiteral("Некорректные значения"), this);
    LabelInvalid->setObjectName(QStringLiteral("LabelInvalid"));
    LabelNotFound = new QLabel(QStringLiteral("Прибор не найден"), this);
    LabelNotFound->setObjectName(QStringLiteral("LabelNotFound"));
    for (QLabel* l : {LabelInvalid, LabelNotFound}) {
        l->setGeometry(64, 20, 200, 21);
        l->hide();
    }

    Button1 = placed<QPushButton>(this, "Button1", {98, 64, 75, 27}, QStringLiteral("Ok"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm9::setMessage(Message message) {
    LabelInvalid->setVisible(message == Message::InvalidValues);
    LabelNotFound->setVisible(message == Message::DeviceNotFound);
}

int TForm9::execWith(Message message) {
    setMessage(message);
    return exec();
}
