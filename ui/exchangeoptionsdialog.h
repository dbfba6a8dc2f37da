#pragma once
// "Параметры обмена": how the program exchanges with the meters, beyond the link settings: whether a
// reply ends as soon as it is complete instead of after 500 ms of silence, and how many times a read
// that got no valid reply is asked again.
#include "ui/fixeddialog.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

class ExchangeOptionsDialog : public FixedDialog {
    Q_OBJECT
  public:
    explicit ExchangeOptionsDialog(QWidget* parent = nullptr);

    QCheckBox* CheckFastCompletion;
    QLabel* LabelFastCompletion; // what the choice does
    QLabel* LabelRetries;        // "Повторов при ошибке"
    QSpinBox* SpinRetries;       // 0 to 5
    QLabel* LabelRetriesHint;    // what the repetition covers
    QPushButton* Button1;        // "Ok"
    QPushButton* Button2;        // "Cancel"
};
