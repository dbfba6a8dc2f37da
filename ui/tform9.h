#pragma once
// TForm9: the shared error dialog ("ERROR") with a warning image and one of two texts.
#include "ui/fixeddialog.h"

class QLabel;
class QPushButton;

class TForm9 : public FixedDialog {
    Q_OBJECT
  public:
    enum class Message { InvalidValues, DeviceNotFound };

    explicit TForm9(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* LabelInvalid;  // "Некорректные значения"
    QLabel* LabelNotFound; // "Прибор не найден"
    QPushButton* Button1;  // "Ok"

    // Makes exactly the chosen text visible.
    void setMessage(Message message);
    // Shows the dialog modally with the chosen text; returns when "Ok" closes it.
    int execWith(Message message);
};
