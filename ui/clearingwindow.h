#pragma once
// The window of an archive or journal clearing: "Пожалуйста, подождите" while the commands go out,
// then "Очистка завершена" with an Ok button. TForm19 and TForm14 differ only by their caption.
#include "ui/fixeddialog.h"

class QLabel;
class QPushButton;

class ClearingWindow : public FixedDialog {
    Q_OBJECT
public:
    ClearingWindow(const QString& caption, QWidget* parent);

    // The waiting state, shown without blocking the caller.
    void showWaiting();
    // Hides the window and puts it into the finished state, ready to be shown modally until Ok.
    void prepareFinished();

    void Button1Click();

    QLabel* StaticText1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QPushButton* Button1 = nullptr;
};
