#include "ui/chartwindow.h"

#include "ui/fixeddialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

ChartWindow::ChartWindow(const QString& objectName, const QString& title, QWidget* chart)
    : QWidget(nullptr,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_chart(chart) {
    setObjectName(objectName);
    setWindowTitle(title);
    resize(820, 480);
    setMinimumSize(520, 320);

    ButtonSavePng = new QPushButton(QStringLiteral("Сохранить в PNG..."));
    ButtonSavePng->setObjectName(QStringLiteral("ButtonSavePng"));
    m_controls = new QHBoxLayout;
    m_controls->addStretch();
    m_controls->addWidget(ButtonSavePng);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(m_controls);
    layout->addWidget(chart, 1);
}

void ChartWindow::stayAbove(QWidget* owner) {
    m_owner = owner;
}

void ChartWindow::present() {
    // First in the middle of the screen, as the main window starts; after that where the operator
    // left it.
    if (!m_placed) centreOnScreen(this);
    m_placed = true;
    show();
    raise();
    activateWindow();
}

void ChartWindow::showEvent(QShowEvent* event) {
    // A transient parent keeps the window manager from stacking the main window over this one (each
    // poll activates the main window), without the widget parent that would disable it along with
    // the main window. Window managers honour it for dialogs only.
    if (m_owner && m_owner->windowHandle()) windowHandle()->setTransientParent(m_owner->windowHandle());
    QWidget::showEvent(event);
}

void ChartWindow::addControl(QWidget* control) {
    m_controls->insertWidget(m_controls->count() - 2, control);
}

QImage ChartWindow::chartImage() const {
    return m_chart->grab().toImage();
}
