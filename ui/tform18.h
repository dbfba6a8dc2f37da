#pragma once
// "Установка часов": asks whether to set the device clock from the computer's clock. The result
// is 1 for "Да" and 2 for "Нет".
#include "ui/fixeddialog.h"

class QLabel;
class QPushButton;

class TForm18 : public FixedDialog {
    Q_OBJECT
  public:
    static constexpr int Yes = 1, No = 2;

    explicit TForm18(QWidget* parent = nullptr);
    QLabel* StaticText1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QPushButton* Button1 = nullptr; // "Да"
    QPushButton* Button2 = nullptr; // "Нет"
};
