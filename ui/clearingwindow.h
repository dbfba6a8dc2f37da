#pragma once
// The window of an archive or journal clearing: TForm19 and TForm14 differ only by their caption.
#include "ui/waitwindow.h"

class ClearingWindow : public WaitWindow {
    Q_OBJECT
  public:
    ClearingWindow(const QString& caption, QWidget* parent)
        : WaitWindow(caption, QStringLiteral("Очистка завершена"), parent) {}
};
