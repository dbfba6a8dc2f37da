#include "ui/tform11.h"

#include <QLabel>

TForm11::TForm11(QWidget* parent)
    : FixedDialog(QStringLiteral("Инициализация прибора"), 260, 64, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("Form11"));
    setModal(false);
    StaticText1 = new QLabel(QStringLiteral("Пожалуйста, подождите"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    QFont bold = StaticText1->font();
    bold.setBold(true);
    StaticText1->setFont(bold);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setGeometry(0, 20, 260, 24);
    setCursor(Qt::BusyCursor);
}
