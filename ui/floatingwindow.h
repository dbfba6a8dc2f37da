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

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool m_placed = false;
};
