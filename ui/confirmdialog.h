#pragma once
// A question asked before a command that cannot be undone (clearing archives or journals, a volume
// reset): "Да" goes ahead; "Нет", the default and Escape do nothing.
#include "ui/fixeddialog.h"

class QLabel;
class QPushButton;

class ConfirmDialog : public FixedDialog {
    Q_OBJECT
  public:
    ConfirmDialog(const QString& caption, const QString& question, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* ButtonYes = nullptr; // "Да": accepts
    QPushButton* ButtonNo = nullptr;  // "Нет": rejects

  protected:
    void showEvent(QShowEvent* event) override;
};
