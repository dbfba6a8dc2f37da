#include "ui/clearingwindow.h"

#include <QLabel>
#include <QPushButton>

ClearingWindow::ClearingWindow(const QString& caption, QWidget* parent)
    : FixedDialog(caption, 240, 104, Border::NoIcons, parent) {
    setModal(false);
    auto text = [this](const QString& t, const char* name) {
        auto* label = new QLabel(t, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(0, 24, width(), 20);
        return label;
    };
    StaticText1 = text(QStringLiteral("Пожалуйста, подождите"), "StaticText1");
    StaticText2 = text(QStringLiteral("Очистка завершена"), "StaticText2");
    StaticText2->hide();
    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry((width() - 75) / 2, 64, 75, 25);
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, &ClearingWindow::Button1Click);
    setCursor(Qt::BusyCursor);
}

void ClearingWindow::showWaiting() {
    StaticText1->show();
    StaticText2->hide();
    Button1->hide();
    setCursor(Qt::BusyCursor);
    setModal(false);
    show();
}

void ClearingWindow::prepareFinished() {
    hide();
    StaticText2->show();
    StaticText1->hide();
    Button1->show();
    setCursor(Qt::ArrowCursor);
}

void ClearingWindow::Button1Click() { done(1); }
