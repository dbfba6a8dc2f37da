#pragma once
// "Чтение журнала": the window shown while the journal is read.
#include "ui/readingwindow.h"

class TForm13 : public ReadingWindow {
    Q_OBJECT
  public:
    explicit TForm13(QWidget* parent = nullptr);
};
