#include "ui/statusbar.h"

#include <QLabel>
#include <algorithm>

StatusBar::StatusBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    resize(width(), DefaultHeight);
}

int StatusBar::addPanel(int width, Qt::Alignment alignment, Bevel bevel) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("Panel%1").arg(m_panels.size()));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setIndent(2);
    m_panels.push_back({label, width});
    setBevel(panelCount() - 1, bevel);
    layoutPanels();
    label->show();
    return panelCount() - 1;
}

QLabel* StatusBar::panel(int index) const {
    if (index < 0 || index >= panelCount()) return nullptr;
    return m_panels[std::size_t(index)].label;
}

QString StatusBar::text(int index) const {
    QLabel* label = panel(index);
    return label ? label->text() : QString();
}

void StatusBar::setText(int index, const QString& text) {
    if (QLabel* label = panel(index)) label->setText(text);
}

StatusBar::Bevel StatusBar::bevel(int index) const {
    QLabel* label = panel(index);
    if (!label || label->frameShape() == QFrame::NoFrame) return Bevel::None;
    return label->frameShadow() == QFrame::Raised ? Bevel::Raised : Bevel::Lowered;
}

void StatusBar::setBevel(int index, Bevel bevel) {
    QLabel* label = panel(index);
    if (!label) return;
    if (bevel == Bevel::None) {
        label->setFrameShape(QFrame::NoFrame);
        return;
    }
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(bevel == Bevel::Raised ? QFrame::Raised : QFrame::Sunken);
    label->setLineWidth(1);
}

int StatusBar::panelWidth(int index) const {
    if (index < 0 || index >= panelCount()) return 0;
    return m_panels[std::size_t(index)].width;
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    layoutPanels();
}

void StatusBar::layoutPanels() {
    // Neighbouring panels sit 2 pixels apart, as on the classic status bar.
    constexpr int gap = 2;
    int x = 0;
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        const bool last = i + 1 == m_panels.size();
        const int w = last ? std::max(width() - x, 0) : m_panels[i].width;
        m_panels[i].label->setGeometry(x, 0, std::max(w - (last ? 0 : gap), 0), height());
        x += w;
    }
}
