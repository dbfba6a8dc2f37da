#pragma once
// "Загрузка параметров из файла": the window shown while a snapshot is loaded into the meter, and
// how the load ended.
#include "ui/waitwindow.h"

class TForm16 : public WaitWindow {
    Q_OBJECT
  public:
    explicit TForm16(QWidget* parent = nullptr);

    QLabel* StaticText3 = nullptr; // "Некорректные данные": a file that is not this meter's snapshot
    // "Некорректные данные", with a second line saying why when there is one.
    void setRefusal(const QString& reason);
    // Registers that got no valid reply, so the operator knows the meter holds a mix.
    QLabel* StaticTextFailed = nullptr;
    void setFailedRegisters(const QString& ranges);
};
