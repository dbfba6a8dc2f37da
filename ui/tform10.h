#pragma once
// TForm10 ("Границы архива"): the full archive, or the records between two typed dates.
#include "archives/archivereading.h"
#include "ui/fixeddialog.h"

#include <QDateTime>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TForm9;

class TForm10 : public FixedDialog {
    Q_OBJECT
  public:
    explicit TForm10(QWidget* parent = nullptr);

    QRadioButton* RadioButtonFull; // "Полный архив"
    QRadioButton* RadioButtonChoice; // "Выборка записей по дате и времени архивации"
    QLabel* StaticText1;             // "Начальная дата"
    QLineEdit* EditDateStart;
    QLabel* StaticText2; // "Конечная дата"
    QLineEdit* EditDateEnd;
    QPushButton* ButtonOkRangeArchive;

    // Kept for the whole run, as are the typed texts and the chosen button.
    bool FullArchive = true;
    QDateTime RangeStart;
    QDateTime RangeEnd;
    archives::Range range() const { return {FullArchive, RangeStart, RangeEnd}; }

    // The shared error dialog; the dialog makes its own when none is given.
    void setErrorDialog(TForm9* dialog) { m_errors = dialog; }

    void RadioButtonFullClick();
    void RadioButtonChoiceClick();
    void ButtonOkRangeArchiveClick();
    // The Enter branches of the two edits' key handlers (the other keys are their filters).
    void EditDateStartEnter();
    void EditDateEndEnter();

  private:
    void setChoiceEnabled(bool enabled);
    void refuse();
    TForm9* m_errors = nullptr;
};
