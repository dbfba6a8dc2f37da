#pragma once
// "Запись данных в файл": the window shown while the program writes the operator's files.
#include "ui/waitwindow.h"

class TForm15 : public WaitWindow {
    Q_OBJECT
  public:
    explicit TForm15(QWidget* parent = nullptr);

    QLabel* StaticText3 = nullptr; // a save that read too little of the meter to write anything
};
