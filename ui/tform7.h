#pragma once
// TForm7: the poll period dialog ("Выбор периода опроса"), in whole seconds. The up-down reaches
// 60 s; longer periods up to 2000 s are typed.
#include "ui/fixeddialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class UpDown;

class TForm7 : public FixedDialog {
    Q_OBJECT
  public:
    static constexpr int MaxSeconds = 2000;

    explicit TForm7(QWidget* parent = nullptr);

    QLineEdit* EditSelectInterval;
    UpDown* UpDownSelectInterval; // 0..60
    QLabel* Label1;               // "Сек."
    QPushButton* Button1;         // "Ok"

    // The period in milliseconds; only a successful "Ok" changes it.
    void setPeriodMs(int ms);
    int periodMs() const { return m_periodMs; }

    // "Ok": 0..2000 s closes with the new period; anything else returns the focus to the edit.
    bool Button1Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void showPeriod();
    int m_periodMs = 10000;
};
