#pragma once
// "Очистка журналов": the window of the journal clearing.
#include "ui/clearingwindow.h"

class TForm14 : public ClearingWindow {
    Q_OBJECT
  public:
    explicit TForm14(QWidget* parent = nullptr);
};
