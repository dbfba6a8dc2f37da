#include "ui/waitwindow.h"

#include <QLabel>
#include <QPushButton>

WaitWindow::WaitWindow(const QString& caption, const QString& finishedText, QWidget* parent)
    : FixedDialog(caption, 280, 104, Border::NoIcons, parent) {
    setModal(false);
    setEscapeCloses(false);
    auto text = [this](const QString& t, const char* name) {
        auto* label = new QLabel(t, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(0, 24, width(), 20);
        return label;
    };
    StaticText1 = text(QStringLiteral("Пожалуйста, подождите"), "StaticText1");
    StaticText2 = text(finishedText, "StaticText2");
    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry((width() - 75) / 2, 64, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &WaitWindow::Button1Click);
    setWaitingState();
}

void WaitWindow::setWaitingState() {
    StaticText1->show();
    StaticText2->hide();
    Button1->hide();
    setCursor(Qt::BusyCursor);
}

void WaitWindow::showWaiting() {
    setWaitingState();
    setModal(false);
    show();
}

void WaitWindow::prepareFinished() {
    hide();
    StaticText2->show();
    StaticText1->hide();
    Button1->show();
    setCursor(Qt::ArrowCursor);
}

void WaitWindow::Button1Click() {
    done(1);
    setWaitingState();
}
