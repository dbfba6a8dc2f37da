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
    // Each poll activates the main window, which must not be stacked over this one. Window
    // managers honour a transient parent for dialogs only.
    keepAboveMainWindow(this);
    QWidget::showEvent(event);
}

void ChartWindow::addControl(QWidget* control) {
    m_controls->insertWidget(m_controls->count() - 2, control);
}

QImage ChartWindow::chartImage() const {
    return m_chart->grab().toImage();
}
