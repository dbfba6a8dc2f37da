#pragma once
// A window shown, without blocking, while the program works with the meter: "Пожалуйста,
// подождите" and, for long readings, how many of their requests are done.
#include "ui/fixeddialog.h"

class QLabel;
class QProgressBar;

class BusyWindow : public FixedDialog {
    Q_OBJECT
  public:
    enum class Progress { None, Shown };

    BusyWindow(const QString& caption, Progress progress, QWidget* parent);

    // Shows the window with an empty progress bar.
    void start();
    void setProgress(int done, int planned);

    QLabel* StaticText1 = nullptr;
    QProgressBar* ProgressBar = nullptr; // only with Progress::Shown
};
