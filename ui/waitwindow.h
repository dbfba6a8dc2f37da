#pragma once
// A window that tells the operator to wait while a job runs ("Пожалуйста, подождите") and then
// that it is finished, with an Ok button. The clearing windows and the file-saving window are this.
#include "ui/fixeddialog.h"

class QLabel;
class QPushButton;

class WaitWindow : public FixedDialog {
    Q_OBJECT
  public:
    // A width above the usual 280 makes room for a long caption in the title bar.
    WaitWindow(const QString& caption, const QString& finishedText, QWidget* parent, int clientWidth = 280);

    // The waiting state, shown without blocking the caller.
    void showWaiting();
    // Hides the window and puts it into the finished state, ready to be shown modally until Ok,
    // with one of its outcome texts (StaticText2 unless another is named).
    void prepareFinished(QLabel* outcome = nullptr);

    // Closes with result 1 and puts the window back into its waiting state.
    void Button1Click();

    QLabel* StaticText1 = nullptr; // "Пожалуйста, подождите"
    QLabel* StaticText2 = nullptr; // the finished text
    QPushButton* Button1 = nullptr;

  protected:
    // Another text the window can end with, hidden until prepareFinished names it; `lines` tall.
    QLabel* addOutcome(const QString& text, const char* name, int lines = 1);

  private:
    void setWaitingState();
    QList<QLabel*> m_outcomes;
};
