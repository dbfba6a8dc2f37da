#pragma once
// An up-down control: two arrow buttons (stacked, or side by side when horizontal) that step a
// position between limits and, when the operator steps it, write the position into a buddy edit.
// Up and Down keys in the buddy step it too. Setting the position from code leaves the buddy alone.
#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
  public:
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    void setRange(int minimum, int maximum);
    int position() const { return m_position; }
    // Clamped to the range.
    void setPosition(int position);
    void setBuddy(QLineEdit* edit);
    // Horizontal: the left arrow steps down, the right one up.
    void setOrientation(Qt::Orientation orientation);
    Qt::Orientation orientation() const { return m_orientation; }
    QLineEdit* buddy() const { return m_buddy; }

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

    // One step as the operator makes it; starts from the buddy's number when it holds one.
    void stepBy(int steps);

  signals:
    // The operator changed the position (never emitted by setPosition); while an arrow is held down
    // this comes with every repeated step.
    void positionChanged(int position);
    // The operator let go of an arrow with the mouse, after its last step.
    void released();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void layoutArrows();
    QToolButton* m_up;
    QToolButton* m_down;
    QLineEdit* m_buddy = nullptr;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    Qt::Orientation m_orientation = Qt::Vertical;
};
