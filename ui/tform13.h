#pragma once
// "Чтение журнала": the window shown while the journal is read.
#include "ui/busywindow.h"

class TForm13 : public BusyWindow {
    Q_OBJECT
  public:
    explicit TForm13(QWidget* parent = nullptr);
};
