#include "ui/floatingwindow.h"

#include "ui/fixeddialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

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

void FloatingWindow::presentBeside(const QWidget* other) {
    QScreen* screen = other ? other->screen() : nullptr;
    if (!m_placed && screen) {
        // Before the first show the frame is the client rectangle; the title bar is guessed.
        const QRect area = screen->availableGeometry();
        const QSize frameExtra = frameGeometry().size() - size();
        const QRect at = placeBeside(area, other->frameGeometry(), size() + frameExtra);
        resize(at.size() - frameExtra);
        move(at.topLeft());
        m_placed = true;
    }
    present();
}

void FloatingWindow::showEvent(QShowEvent* event) {
    // Each poll activates the main window, which must not be stacked over this one. Window
    // managers honour a transient parent for dialogs only.
    keepAboveMainWindow(this);
    QWidget::showEvent(event);
}

QRect placeBeside(const QRect& area, const QRect& other, QSize size) {
    size = size.boundedTo(area.size());
    const auto inside = [&](QPoint p) {
        p.setX(std::clamp(p.x(), area.left(), area.right() + 1 - size.width()));
        p.setY(std::clamp(p.y(), area.top(), area.bottom() + 1 - size.height()));
        return QRect(p, size);
    };
    const QPoint sides[] = {{other.right() + 1, other.top()},
                            {other.left() - size.width(), other.top()},
                            {other.left(), other.bottom() + 1},
                            {other.left(), other.top() - size.height()}};
    QRect best;
    qint64 bestCovered = -1;
    for (const QPoint& side : sides) {
        const QRect r = inside(side);
        const QRect covered = r.intersected(other);
        const qint64 coveredArea = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
        if (bestCovered < 0 || coveredArea < bestCovered) {
            best = r;
            bestCovered = coveredArea;
        }
    }
    return best;
}
