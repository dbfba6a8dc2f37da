#include "ui/confirmdialog.h"

#include "ui/placed.h"

#include <QLabel>
#include <QPushButton>

ConfirmDialog::ConfirmDialog(const QString& caption, const QString& question, QWidget* parent)
    : FixedDialog(caption, 360, 112, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("ConfirmDialog"));
    Label1 = placed<QLabel>(this, "Label1", {12, 10, width() - 24, 52}, question);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);

    ButtonYes = placed<QPushButton>(this, "ButtonYes", {90, 74, 80, 27}, QStringLiteral("Да"));
    ButtonNo = placed<QPushButton>(this, "ButtonNo", {190, 74, 80, 27}, QStringLiteral("Нет"));
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
