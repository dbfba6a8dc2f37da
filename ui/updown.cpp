#include "ui/updown.h"

#include "device/encodings.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>
#include <functional>

namespace {

// An auto-repeating button reports press, release and click at every repeat; only its own mouse
// release tells when the operator let go, and that comes after the last step's click.
class ArrowButton : public QToolButton {
  public:
    ArrowButton(QWidget* parent, std::function<void()> onLetGo)
        : QToolButton(parent), m_onLetGo(std::move(onLetGo)) {}

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) m_held = true;
        QToolButton::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool letGo = m_held && event->button() == Qt::LeftButton;
        if (letGo) m_held = false;
        QToolButton::mouseReleaseEvent(event);
        if (letGo && m_onLetGo) m_onLetGo();
    }

  private:
    std::function<void()> m_onLetGo;
    bool m_held = false;
};

} // namespace

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), m_up(new ArrowButton(this, [this] { emit released(); })),
      m_down(new ArrowButton(this, [this] { emit released(); })) {
    m_up->setObjectName(QStringLiteral("Up"));
    m_down->setObjectName(QStringLiteral("Down"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void UpDown::setRange(int minimum, int maximum) {
    m_min = std::min(minimum, maximum);
    m_max = std::max(minimum, maximum);
    setPosition(m_position);
}

void UpDown::setPosition(int position) {
    m_position = std::clamp(position, m_min, m_max);
}

void UpDown::setBuddy(QLineEdit* edit) {
    if (m_buddy) m_buddy->removeEventFilter(this);
    m_buddy = edit;
    if (m_buddy) m_buddy->installEventFilter(this);
}

void UpDown::stepBy(int steps) {
    int from = m_position;
    if (m_buddy) {
        // The operator may have typed a number since the last step; continue from it.
        if (const std::optional<std::int32_t> typed = enc::parseInt(m_buddy->text()))
            from = std::clamp(*typed, m_min, m_max);
    }
    const int next = std::clamp(from + steps, m_min, m_max);
    m_position = next;
    if (m_buddy) m_buddy->setText(QString::number(next));
    emit positionChanged(next);
}

void UpDown::setOrientation(Qt::Orientation orientation) {
    m_orientation = orientation;
    const bool across = orientation == Qt::Horizontal;
    m_up->setArrowType(across ? Qt::RightArrow : Qt::UpArrow);
    m_down->setArrowType(across ? Qt::LeftArrow : Qt::DownArrow);
    layoutArrows();
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutArrows();
}

void UpDown::layoutArrows() {
    if (m_orientation == Qt::Horizontal) {
        const int half = width() / 2;
        m_down->setGeometry(0, 0, half, height());
        m_up->setGeometry(half, 0, width() - half, height());
        return;
    }
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
