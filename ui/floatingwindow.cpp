#include "ui/floatingwindow.h"

#include "ui/fixeddialog.h"

FloatingWindow::FloatingWindow()
    : QWidget(nullptr,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {}

void FloatingWindow::present() {
    if (!m_placed) centreOnScreen(this);
    m_placed = true;
    show();
    raise();
    activateWindow();
}

void FloatingWindow::showEvent(QShowEvent* event) {
    // Each poll activates the main window, which must not be stacked over this one. Window
    // managers honour a transient parent for dialogs only.
    keepAboveMainWindow(this);
    QWidget::showEvent(event);
}
