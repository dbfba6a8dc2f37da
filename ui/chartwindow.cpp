#include "ui/chartwindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

ChartWindow::ChartWindow(const QString& objectName, const QString& title, QWidget* chart) : m_chart(chart) {
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

void ChartWindow::addControl(QWidget* control) {
    m_controls->insertWidget(m_controls->count() - 2, control);
}

QImage ChartWindow::chartImage() const {
    return m_chart->grab().toImage();
}
