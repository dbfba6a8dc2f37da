#pragma once
// "Инициализация прибора": the wait window shown, without blocking, while the device initialises.
#include "ui/busywindow.h"

class TForm11 : public BusyWindow {
    Q_OBJECT
  public:
    explicit TForm11(QWidget* parent = nullptr);
};
