#pragma once
// TForm20: the modem error dialog ("Error") with a bold message.
#include "ui/fixeddialog.h"

class QLabel;
class QPushButton;

class TForm20 : public FixedDialog {
    Q_OBJECT
  public:
    explicit TForm20(QWidget* parent = nullptr);

    QLabel* LabelMsg;
    QPushButton* Button1; // "Ok"

    // Puts the text into LabelMsg and shows the dialog modally.
    int execWith(const QString& message);
};
