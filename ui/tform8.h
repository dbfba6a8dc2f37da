#pragma once
// TForm8: reaching a device by typed address and speed ("Выбор прибора"). "Соединение" asks the
// address for its identification through a callback; once found the button reads "Ok" and closes.
#include "ui/fixeddialog.h"

#include <QString>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TForm9;

class TForm8 : public FixedDialog {
    Q_OBJECT
  public:
    explicit TForm8(QWidget* parent = nullptr);

    QLabel* Label1; // "Сетевой адрес"
    QLineEdit* EditAddr;
    QLabel* Label2; // "Скорость обмена RS-232"
    QComboBox* ComboBoxSpeed;
    QPushButton* Button1; // "Соединение", then "Ok"

    // The outcome the caller reads after the dialog closed (also after its close box).
    int Address = 0;
    QString Speed;
    // Set until a typed address and speed have been accepted, so closing a fresh dialog selects nothing.
    bool InvalidInput = true;
    QString EntryText; // "<device text> адрес: <%3d address>" of the identified device; else empty

    // Sets the line speed (Settings := speed + ",n,8,1") and asks the address for its
    // identification; returns the device text when a device answered.
    std::function<std::optional<QString>(int address, const QString& speed)> Identify;

    // The shared error dialog; the dialog makes its own when none is given.
    void setErrorDialog(TForm9* dialog) { m_errors = dialog; }

    void Button1Click();

  private:
    TForm9* errorDialog();
    void backToConnect();
    TForm9* m_errors = nullptr;
};
