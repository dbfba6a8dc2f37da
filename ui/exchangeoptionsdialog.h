#pragma once
// "Параметры обмена": how the program exchanges with the meters, beyond the link settings. For now
// one choice: whether a reply ends as soon as it is complete instead of after 500 ms of silence.
#include "ui/fixeddialog.h"

class QCheckBox;
class QLabel;
class QPushButton;

class ExchangeOptionsDialog : public FixedDialog {
    Q_OBJECT
  public:
    explicit ExchangeOptionsDialog(QWidget* parent = nullptr);

    QCheckBox* CheckFastCompletion;
    QLabel* LabelFastCompletion; // what the choice does
    QPushButton* Button1;        // "Ok"
    QPushButton* Button2;        // "Cancel"
};
