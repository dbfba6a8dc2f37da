#include "ui/confirmdialog.h"

#include <QLabel>
#include <QPushButton>

ConfirmDialog::ConfirmDialog(const QString& caption, const QString& question, QWidget* parent)
    : FixedDialog(caption, 360, 112, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("ConfirmDialog"));
    Label1 = new QLabel(question, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 10, width() - 24, 52);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);

    ButtonYes = new QPushButton(QStringLiteral("Да"), this);
    ButtonYes->setObjectName(QStringLiteral("ButtonYes"));
    ButtonYes->setGeometry(90, 74, 80, 27);
    ButtonNo = new QPushButton(QStringLiteral("Нет"), this);
    ButtonNo->setObjectName(QStringLiteral("ButtonNo"));
    ButtonNo->setGeometry(190, 74, 80, 27);
    // Enter pressed out of habit must not erase anything.
    ButtonYes->setAutoDefault(false);
    ButtonNo->setDefault(true);

    connect(ButtonYes, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonNo, &QPushButton::clicked, this, &QDialog::reject);
}

void ConfirmDialog::showEvent(QShowEvent* event) {
    FixedDialog::showEvent(event);
    ButtonNo->setFocus();
}
