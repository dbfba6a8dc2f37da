#pragma once
// "Очистка архивов": the window of the archive clearing.
#include "ui/clearingwindow.h"

class TForm19 : public ClearingWindow {
    Q_OBJECT
  public:
    explicit TForm19(QWidget* parent = nullptr);
};
