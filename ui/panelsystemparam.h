#pragma once
// The device-wide parameter panel, built from the system parameter map: its fields, lists, the
// additional-gain radio group and the four command buttons. It shows values and reports what the
// operator commits; the exchanges are the controller's.
#include "device/registerblock.h"

#include <QFrame>
#include <QHash>
#include <QString>

class FieldBuilder;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RadioGroup;

class PanelSystemParam : public QFrame {
    Q_OBJECT
  public:
    static constexpr int Left = 8, Top = 32, Width = 673, Height = 393;

    explicit PanelSystemParam(QWidget* parent = nullptr);

    // Fills every control whose registers the block holds; the others keep what they show. The
    // selection changes made here never report a choice.
    void fill(const RegisterBlock& block);

    QLineEdit* edit(const QString& objectName) const;
    QComboBox* combo(const QString& objectName) const;
    RadioGroup* radioGroup() const;
    QPushButton* button(const QString& objectName) const;
    QLabel* caption(const QString& objectName) const;
    // Item index of a list or the radio group (-1: none).
    int itemIndex(const QString& objectName) const;

  signals:
    void editCommitted(const QString& objectName, const QString& text);
    void listChosen(const QString& objectName, int index);
    void clockClicked();
    void initClicked();
    void clearArchivesClicked();
    void clearJournalsClicked();

  private:
    FieldBuilder* m_fields = nullptr;
    QHash<QString, QPushButton*> m_buttons;
};
