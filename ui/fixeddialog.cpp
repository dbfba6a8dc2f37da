#include "ui/fixeddialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// What a window manager's title bar holds besides the title: the window icon and up to three
// buttons with their margins, as openbox draws them (all three, whatever the window asks for), with
// room for a title font somewhat wider than the program's own.
constexpr int TitleBarFurniture = 130;
// The frame of a window before it was first shown is not known: room for the title bar and the
// borders of the window managers the program meets (a title of about 30 pixels at normal size).
constexpr int TitleBarHeight = 40;
constexpr int FrameBorder = 8;

QWidget* mainWindow() {
    QWidget* any = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!qobject_cast<QMainWindow*>(w)) continue;
        if (w->isVisible()) return w;
        if (!any) any = w;
    }
    return any;
}

} // namespace

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // move() places the frame; before the first show the frame equals the client rectangle.
    const QRect frame = window->frameGeometry();
    window->move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

QRect placeOnScreen(QSize size, QSize minimum, const QRect& area) {
    const QSize frame(2 * FrameBorder, TitleBarHeight + FrameBorder);
    const QSize client = size.boundedTo(area.size() - frame).expandedTo(minimum);
    const QSize outer = client + frame;
    return QRect(QPoint(area.left() + (area.width() - outer.width()) / 2 + FrameBorder,
                        area.top() + (area.height() - outer.height()) / 2 + TitleBarHeight),
                 client);
}

void fitOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect client =
        placeOnScreen(window->size(), window->minimumSizeHint(), screen->availableGeometry());
    window->resize(client.size());
    // move() places the frame, which the window manager puts around the client from there.
    window->move(client.topLeft() - QPoint(FrameBorder, TitleBarHeight));
}

void keepAboveMainWindow(QWidget* window) {
    if (!window || window->parentWidget()) return;
    QWidget* owner = mainWindow();
    if (!owner || owner == window || !owner->windowHandle()) return;
    if (QWindow* handle = window->windowHandle()) handle->setTransientParent(owner->windowHandle());
}

void keepTitleWhole(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    const int width = FixedDialog::widthForTitle(box.windowTitle(), box.font());
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0,
                  1, grid->columnCount());
}

Qt::WindowFlags FixedDialog::flagsFor(Border border) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (border == Border::CloseBox) flags |= Qt::WindowCloseButtonHint;
    return flags;
}

int FixedDialog::widthForTitle(const QString& title, QFont font) {
    // Window managers draw titles bold, in a font of about the size of the program's own.
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + TitleBarFurniture;
}

FixedDialog::FixedDialog(const QString& title, int clientWidth, int clientHeight, Border border,
                         QWidget* parent)
    : QDialog(parent, flagsFor(border)), m_border(border) {
    setWindowTitle(title);
    setFixedSize(clientWidth, clientHeight);
    setSizeGripEnabled(false);
}

void FixedDialog::fitTitle() {
    // Done at the first show, when the subclass has placed its controls: they move along so that
    // the layout stays centred in the wider window.
    m_titleFitted = true;
    const int needed = widthForTitle(windowTitle(), font());
    if (needed <= width()) return;
    const int shift = (needed - width()) / 2;
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) child->move(child->pos() + QPoint(shift, 0));
    setFixedSize(needed, height());
}

void FixedDialog::showEvent(QShowEvent* event) {
    if (!m_titleFitted) fitTitle();
    centreOnScreen(this);
    keepAboveMainWindow(this);
    QDialog::showEvent(event);
}

void FixedDialog::closeEvent(QCloseEvent* event) {
    if (m_border == Border::NoIcons) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void FixedDialog::keyPressEvent(QKeyEvent* event) {
    if (!m_escapeCloses && event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FixedDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (m_border == Border::NoIcons && event->type() == QEvent::WindowStateChange && isMinimized())
        QMetaObject::invokeMethod(
            this, [this] { setWindowState(windowState() & ~Qt::WindowMinimized); }, Qt::QueuedConnection);
}
