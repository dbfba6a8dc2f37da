#pragma once
// One picture of a status-output condition cell: a red bar on silver (the condition is off) or a
// green diagonal cross on silver (on). A cell is a bar and a cross at the same place, one visible.
#include <QWidget>

class ConditionPicture : public QWidget {
    Q_OBJECT
  public:
    enum class Kind { Bar, Cross };
    static constexpr int Size = 20;

    ConditionPicture(Kind kind, QWidget* parent = nullptr);
    Kind kind() const { return m_kind; }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    Kind m_kind;
    bool m_pressed = false;
};
