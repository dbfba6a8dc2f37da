#include "ui/tform6.h"

#include "ui/panelstyle.h"
#include "ui/placed.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>

namespace {

constexpr int ClientWidth = 548, ClientHeight = 258;
constexpr int MarkerSize = 14;
constexpr int MarkerX = 10, TextX = 30, RowHeight = 17;
// The rows of both groups line up.
constexpr int RowTop = 22, RowPitch = 23;

QLabel* marker(int number, QWidget* parent, int y) {
    auto* image = placed<QLabel>(parent, QStringLiteral("Image%1").arg(number),
                                 {MarkerX, y + (RowHeight - MarkerSize) / 2, MarkerSize, MarkerSize});
    image->setPixmap(TForm6::markerPicture(MarkerSize));
    image->hide();
    return image;
}

QLabel* rowText(const QString& text, const QString& name, QWidget* parent, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(x, y, label->sizeHint().width(), RowHeight);
    return label;
}

} // namespace

TForm6::TForm6(QWidget* parent)
    : FixedDialog(QStringLiteral("Отказы и нештатные ситуации"), ClientWidth, ClientHeight, Border::CloseBox,
                  parent) {
    setObjectName(QStringLiteral("Form6"));

    GroupBoxFailures =
        placed<QGroupBox>(this, "GroupBoxFailures", {8, 8, 113, 209}, QStringLiteral(" Отказы "));
    for (int i = 0; i < legend::FailureCount; ++i) {
        const int y = RowTop + RowPitch * i;
        m_images[legend::ConditionCount + i] = marker(legend::ConditionCount + 1 + i, GroupBoxFailures, y);
        m_failureTexts[i] = rowText(legend::failureText(i), QStringLiteral("StaticTextFailure%1").arg(i + 1),
                                    GroupBoxFailures, TextX, y);
    }

    GroupBoxConditions = placed<QGroupBox>(this, "GroupBoxConditions", {128, 8, 412, 209},
                                           QStringLiteral(" Нештатные ситуации "));
    for (int bit = 0; bit < legend::ConditionCount; ++bit) {
        const int y = RowTop + RowPitch * bit;
        m_images[bit] = marker(bit + 1, GroupBoxConditions, y);
        m_conditionTexts[bit] =
            rowText(legend::conditionRows()[bit].text, QStringLiteral("StaticTextCondition%1").arg(bit + 1),
                    GroupBoxConditions, TextX, y);
    }
    // The suffix continues the text of its row after a blank.
    QLabel* noSignal = m_conditionTexts[legend::NoSignalBit];
    m_firstBeam = rowText(
        legend::firstBeamSuffix(), QStringLiteral("StaticTextFirstBeam"), GroupBoxConditions,
        noSignal->x() + noSignal->fontMetrics().horizontalAdvance(noSignal->text() + u' '), noSignal->y());
    for (QGroupBox* box : {GroupBoxFailures, GroupBoxConditions})
        panelstyle::navy(box);
    for (QLabel* text : findChildren<QLabel*>()) {
        QPalette pal = text->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        text->setPalette(pal);
    }

    Button1 =
        placed<QPushButton>(this, "Button1", {(ClientWidth - 75) / 2, 225, 75, 25}, QStringLiteral("Ok"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    showMarkers({});
}

void TForm6::showMarkers(const legend::Markers& markers) {
    for (int i = 0; i < legend::FailureCount; ++i)
        image(legend::ConditionCount + 1 + i)->setVisible(markers.failures[i]);
    for (int bit = 0; bit < legend::ConditionCount; ++bit) {
        image(bit + 1)->setVisible(markers.conditions[bit]);
        if (legend::conditionRows()[bit].twoBeamOnly) m_conditionTexts[bit]->setVisible(markers.twoBeamRows);
    }
    m_firstBeam->setVisible(markers.twoBeamRows);
}

QPixmap TForm6::markerPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // A red lamp: lit from the upper left, with a dark rim.
    QRadialGradient light(QPointF(s * 0.38, s * 0.35), s * 0.6);
    light.setColorAt(0.0, QColor(0xFF, 0xB0, 0xA0));
    light.setColorAt(0.45, QColor(0xF0, 0x20, 0x10));
    light.setColorAt(1.0, QColor(0x90, 0x00, 0x00));
    p.setBrush(light);
    p.setPen(QPen(QColor(0x60, 0x00, 0x00), 1.0));
    p.drawEllipse(QRectF(1, 1, s - 2, s - 2));
    return pixmap;
}
