#pragma once
// "Чтение архива": the window shown while the archive is read.
#include "ui/readingwindow.h"

class TForm12 : public ReadingWindow {
    Q_OBJECT
  public:
    explicit TForm12(QWidget* parent = nullptr);
};
