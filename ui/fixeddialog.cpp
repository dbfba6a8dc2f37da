#include "ui/fixeddialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // move() places the frame; before the first show the frame equals the client rectangle.
    const QRect frame = window->frameGeometry();
    window->move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

static Qt::WindowFlags flagsFor(FixedDialog::Border border) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (border == FixedDialog::Border::CloseBox) flags |= Qt::WindowCloseButtonHint;
    return flags;
}

FixedDialog::FixedDialog(const QString& title, int clientWidth, int clientHeight, Border border,
                         QWidget* parent)
    : QDialog(parent, flagsFor(border)) {
    setWindowTitle(title);
    setFixedSize(clientWidth, clientHeight);
    setSizeGripEnabled(false);
}

void FixedDialog::showEvent(QShowEvent* event) {
    centreOnScreen(this);
    QDialog::showEvent(event);
}
