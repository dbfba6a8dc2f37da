#pragma once
// "Чтение архива": the window shown while the archive is read.
#include "ui/busywindow.h"

class TForm12 : public BusyWindow {
    Q_OBJECT
  public:
    explicit TForm12(QWidget* parent = nullptr);
};
