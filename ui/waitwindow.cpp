#include "ui/waitwindow.h"

#include "ui/placed.h"

#include <QLabel>
#include <QPushButton>

namespace {
// Longer texts grow upwards from the line of the others, clear of the button.
QLabel* centredText(QWidget* window, const QString& text, const char* name, int lines) {
    const int height = 20 * lines;
    auto* label = placed<QLabel>(window, name, {4, 44 - height, window->width() - 8, height}, text);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(lines > 1);
    return label;
}
} // namespace

WaitWindow::WaitWindow(const QString& caption, const QString& finishedText, QWidget* parent, int clientWidth)
    : FixedDialog(caption, clientWidth, 104, Border::NoIcons, parent) {
    setModal(false);
    setEscapeCloses(false);
    StaticText1 = centredText(this, QStringLiteral("Пожалуйста, подождите"), "StaticText1", 1);
    StaticText2 = addOutcome(finishedText, "StaticText2");
    Button1 = placed<QPushButton>(this, "Button1", {(width() - 75) / 2, 64, 75, 25}, QStringLiteral("Ok"));
    connect(Button1, &QPushButton::clicked, this, &WaitWindow::Button1Click);
    setWaitingState();
}

QLabel* WaitWindow::addOutcome(const QString& text, const char* name, int lines) {
    QLabel* label = centredText(this, text, name, lines);
    label->hide();
    m_outcomes << label;
    return label;
}

void WaitWindow::setWaitingState() {
    StaticText1->show();
    for (QLabel* outcome : m_outcomes)
        outcome->hide();
    Button1->hide();
    setCursor(Qt::BusyCursor);
}

void WaitWindow::showWaiting() {
    setWaitingState();
    setModal(false);
    show();
}

void WaitWindow::prepareFinished(QLabel* outcome) {
    hide();
    for (QLabel* other : m_outcomes)
        other->hide();
    (outcome ? outcome : StaticText2)->show();
    StaticText1->hide();
    Button1->show();
    setCursor(Qt::ArrowCursor);
}

void WaitWindow::Button1Click() {
    done(1);
    setWaitingState();
}
