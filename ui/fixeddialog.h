#pragma once
// The base of the program's small dialogs: a fixed client size, absolute positions, chosen title-bar
// buttons, centred on the screen each time it is shown.
#include <QDialog>

class QWidget;

// Places a top-level window in the middle of the screen it is on (or the primary screen).
void centreOnScreen(QWidget* window);

class FixedDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Border {
        NoIcons,  // a title bar without close, minimise or maximise buttons
        CloseBox, // a title bar with only the close button
    };

    FixedDialog(const QString& title, int clientWidth, int clientHeight, Border border,
                QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;
};
