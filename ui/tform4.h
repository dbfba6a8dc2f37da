#pragma once
// TForm4: the link settings dialog ("Настройка параметров RS-232"): speed, port, RS-485 direction
// control by RTS, and the modem. It edits a LinkSettings value; the caller copies it back.
#include "link/linksettings.h"
#include "ui/fixeddialog.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class RadioGroup;

class TForm4 : public FixedDialog {
    Q_OBJECT
  public:
    explicit TForm4(QWidget* parent = nullptr);

    RadioGroup* RadioGroup1; // "Скорость обмена"
    RadioGroup* RadioGroup2; // "Порт": "Comm 1".."Comm 4", each with its system port beside it
    QCheckBox* EnableRTS;
    QCheckBox* EnableModem;
    QFrame* Panel1;
    QLineEdit* EditStrInit;
    QLineEdit* EditPrefNum;
    QLineEdit* EditPhoneNum;
    QLineEdit* EditDelay;
    QPushButton* Button1; // "Ok"
    QPushButton* Button2; // "Cancel"

    // What the dialog was filled from, changed by "Ok" step by step. Both buttons close the
    // dialog alike; the caller always copies Values back, unchanged fields included.
    LinkSettings Values;

    void fill(const LinkSettings& settings);
    // "Ok": applies the controls to Values in order and closes; false (dialog kept open, the
    // conversion error shown) when EditDelay holds no integer.
    bool Button1Click();

    // Modem fields enabled and white with the modem on, greyed with it off; the modem excludes RTS.
    void applyModemState();
    // Shows which system port each "Comm n" stands for.
    void refreshPortNotes();

  protected:
    void showEvent(QShowEvent* event) override;
};
