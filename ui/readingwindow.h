#pragma once
// The window shown, without blocking, while an archive or journal is read: "Пожалуйста, подождите"
// and how many of the reading's requests are done.
#include "ui/fixeddialog.h"

class QLabel;
class QProgressBar;

class ReadingWindow : public FixedDialog {
    Q_OBJECT
  public:
    ReadingWindow(const QString& caption, QWidget* parent);

    // Shows the window with an empty progress bar.
    void start();
    void setProgress(int done, int planned);

    QLabel* StaticText1 = nullptr;
    QProgressBar* ProgressBar = nullptr;
};
