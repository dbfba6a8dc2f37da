#include "ui/tform18.h"

#include "ui/placed.h"

#include <QLabel>
#include <QPushButton>

TForm18::TForm18(QWidget* parent)
    : FixedDialog(QStringLiteral("Установка часов"), 340, 112, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("Form18"));
    auto line = [this](const QString& text, const char* name, int y) {
        auto* label = placed<QLabel>(this, name, {0, y, width(), 20}, text);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    StaticText1 = line(QStringLiteral("Установить дату и время"), "StaticText1", 14);
    StaticText2 = line(QStringLiteral("в соответствии с часами Вашего компьютера ?"), "StaticText2", 36);

    Button1 = placed<QPushButton>(this, "Button1", {80, 72, 75, 25}, QStringLiteral("Да"));
    Button2 = placed<QPushButton>(this, "Button2", {185, 72, 75, 25}, QStringLiteral("Нет"));
    connect(Button1, &QPushButton::clicked, this, [this] { done(Yes); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(No); });
}
