#pragma once
// "Инициализация прибора": the wait window shown, without blocking, while the device initialises.
#include "ui/fixeddialog.h"

class QLabel;

class TForm11 : public FixedDialog {
    Q_OBJECT
public:
    explicit TForm11(QWidget* parent = nullptr);
    QLabel* StaticText1 = nullptr;
};
