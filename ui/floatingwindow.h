#pragma once
// A window of its own beside the main window (a chart, the database, a report): no parent widget,
// so the main window, disabled while it talks to the meter, never disables it; it stays above the
// main window all the same, as a dialog does.
#include <QWidget>

class FloatingWindow : public QWidget {
    Q_OBJECT
  public:
    FloatingWindow();

    // Shows the window (or brings it forward) above the main window: first in the middle of the
    // screen, after that where the operator left it.
    void present();
    // As present(), but placed the first time beside `other` (the main window), so that it stays in
    // sight, and no larger than the screen.
    void presentBeside(const QWidget* other);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool m_placed = false;
};

// Where a window of `size` goes on the screen's `area` beside `other`: right of it, else left,
// below, above; where none of these has room, inside the area covering as little of `other` as it
// can. Never larger than the area.
QRect placeBeside(const QRect& area, const QRect& other, QSize size);
