#include "ui/panelstyle.h"

#include <QFrame>
#include <QLabel>

namespace panelstyle {

namespace {
const QColor Silver(0xC0, 0xC0, 0xC0);
const QColor Navy(0x00, 0x00, 0x80);
} // namespace

void applyTo(QFrame* panel) {
    panel->setFrameShape(QFrame::Box);
    panel->setFrameShadow(QFrame::Plain);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Silver);
    panel->setPalette(pal);
    // Arial where it exists; fontconfig maps it to a metric twin elsewhere.
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(7.5);
    panel->setFont(font);
}

void navy(QWidget* widget) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, Navy);
    widget->setPalette(pal);
}

QLabel* caption(const QString& text, const QString& controlName, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("Label") + controlName);
    label->setTextFormat(Qt::PlainText);
    navy(label);
    return label;
}

} // namespace panelstyle
