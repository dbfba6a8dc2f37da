#pragma once
// A window shown, without blocking, while the program works with the meter: "Пожалуйста,
// подождите" and, for long readings, how many of their requests are done and a "Стоп".
#include "ui/fixeddialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

class BusyWindow : public FixedDialog {
    Q_OBJECT
  public:
    enum class Progress { None, Shown };
    enum class Stop { None, Shown };

    BusyWindow(const QString& caption, Progress progress, QWidget* parent, Stop stop = Stop::None);

    // Shows the window with an empty progress bar, and no stop asked for.
    void start();
    void setProgress(int done, int planned);

    // Set by "Стоп": the job ends before its next request, keeping what it has.
    bool stopRequested() const { return m_stopRequested; }
    void ButtonStopClick();

    QLabel* StaticText1 = nullptr;
    QProgressBar* ProgressBar = nullptr; // only with Progress::Shown
    QPushButton* ButtonStop = nullptr;   // only with Stop::Shown

  private:
    bool m_stopRequested = false;
};
