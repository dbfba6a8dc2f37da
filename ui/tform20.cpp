#include "ui/tform20.h"

#include "ui/placed.h"

#include <QLabel>
#include <QPushButton>

TForm20::TForm20(QWidget* parent) : FixedDialog(QStringLiteral("Error"), 320, 104, Border::CloseBox, parent) {
    setObjectName(QStringLiteral("Form20"));

    LabelMsg = placed<QLabel>(this, "LabelMsg", {8, 16, 304, 32});
    LabelMsg->setAlignment(Qt::AlignCenter);
    LabelMsg->setTextFormat(Qt::PlainText);
    LabelMsg->setWordWrap(true);
    QFont bold = LabelMsg->font();
    bold.setBold(true);
    LabelMsg->setFont(bold);

    Button1 = placed<QPushButton>(this, "Button1", {122, 64, 75, 27}, QStringLiteral("Ok"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

int TForm20::execWith(const QString& message) {
    LabelMsg->setText(message);
    return exec();
}
