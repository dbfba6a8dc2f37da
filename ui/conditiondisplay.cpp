#include "ui/conditiondisplay.h"

#include "ui/panelstyle.h"
#include "ui/placed.h"
#include "ui/tag.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {

constexpr int PictureSize = 24;

QLabel* text(const QString& caption, const QString& name, QWidget* parent) {
    auto* label = placed<QLabel>(parent, name, {38, 21, 104, 16}, caption);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

ConditionDisplay::ConditionDisplay(const QString& objectName, const QString& buttonName, QWidget* parent)
    : QGroupBox(QStringLiteral(" Состояние канала "), parent) {
    setObjectName(objectName);
    resize(Width, Height);
    panelstyle::navy(this);

    m_picture = placed<QLabel>(this, "Image1", {8, 17, PictureSize, PictureSize});
    m_picture->setPixmap(warningPicture(PictureSize));

    m_abnormal = text(QStringLiteral("Нештатная ситуация"), QStringLiteral("StaticText20"), this);
    m_normal = text(QStringLiteral("нормальное"), QStringLiteral("StaticText161"), this);
    tag::set(m_normal, 10);
    m_failure = text(QStringLiteral("Отказ"), QStringLiteral("StaticText166"), this);
    // The state texts are the device's word, in black like the fields.
    for (QLabel* label : {m_abnormal, m_normal, m_failure}) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(pal);
    }

    m_browse = placed<QPushButton>(this, buttonName, {146, 17, 55, 23}, QStringLiteral("Обзор"));
    m_browse->setAutoDefault(false);

    m_picture->hide();
    m_abnormal->hide();
    m_normal->hide();
    m_browse->hide();
}

void ConditionDisplay::setState(condition::State state) {
    using condition::State;
    m_picture->setVisible(state != State::Normal);
    m_browse->setVisible(state != State::Normal);
    m_normal->setVisible(state == State::Normal);
    m_abnormal->setVisible(state == State::Abnormal);
    m_failure->setVisible(state == State::Failure);
}

QPixmap ConditionDisplay::warningPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath triangle;
    triangle.moveTo(s / 2, 1.5);
    triangle.lineTo(s - 1.5, s - 2);
    triangle.lineTo(1.5, s - 2);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(0x80, 0, 0), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xFF, 0xD7, 0x00));
    p.drawPath(triangle);
    // The exclamation mark: a tapering bar and a dot.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPolygonF bar;
    bar << QPointF(s / 2 - s * 0.07, s * 0.34) << QPointF(s / 2 + s * 0.07, s * 0.34)
        << QPointF(s / 2 + s * 0.035, s * 0.66) << QPointF(s / 2 - s * 0.035, s * 0.66);
    p.drawPolygon(bar);
    p.drawEllipse(QPointF(s / 2, s * 0.77), s * 0.06, s * 0.06);
    return pixmap;
}
