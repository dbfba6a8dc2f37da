#include "ui/conditionpicture.h"

#include <QMouseEvent>
#include <QPainter>

ConditionPicture::ConditionPicture(Kind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
    setFixedSize(Size, Size);
    setCursor(Qt::PointingHandCursor);
}

void ConditionPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xC0, 0xC0, 0xC0));
    p.setRenderHint(QPainter::Antialiasing);
    if (m_kind == Kind::Bar) {
        p.fillRect(QRect(3, 8, Size - 6, 4), QColor(0xE0, 0x00, 0x00));
    } else {
        p.setPen(QPen(QColor(0x00, 0xA0, 0x00), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4.5, 4.5), QPointF(Size - 4.5, Size - 4.5));
        p.drawLine(QPointF(Size - 4.5, 4.5), QPointF(4.5, Size - 4.5));
    }
}

void ConditionPicture::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
}

void ConditionPicture::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a press and a release over the picture, as with a button.
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) emit clicked();
}
