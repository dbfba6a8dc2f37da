#pragma once
// TForm17: the close confirmation ("Завершение работы"). "Да" accepts, "Нет" rejects.
#include "ui/fixeddialog.h"

class QLabel;
class QPushButton;

class TForm17 : public FixedDialog {
    Q_OBJECT
  public:
    explicit TForm17(QWidget* parent = nullptr);

    QLabel* Label1;       // "Закончить работу с программой ?"
    QPushButton* Button1; // "Да"
    QPushButton* Button2; // "Нет"
};
