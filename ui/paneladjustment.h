#pragma once
// The adjustment panel of one channel, built from the adjustment map: the condition display, the
// gain fields with their up-downs, the radio groups, set points, window shift, zero offset with
// "Начало" and "Конец", the live measurements and the two calculators. It shows values and reports
// what the operator does; the exchanges are the controller's.
#include "device/adjustment.h"

#include <QFrame>
#include <QHash>

class ConditionDisplay;
class FieldBuilder;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RadioGroup;
class UpDown;

class PanelAdjustment : public QFrame {
    Q_OBJECT
  public:
    static constexpr int Left = 8, Top = 24, Width = 673, Height = 457;

    explicit PanelAdjustment(QWidget* parent = nullptr);

    // Fills the controls of one block from its read; selection and position changes made here
    // never report an operator action.
    void fill(adjustment::Block block, const RegisterBlock& data, const adjustment::Context& context);

    QLineEdit* edit(const QString& name) const;
    RadioGroup* radioGroup(const QString& name) const;
    UpDown* upDown(const QString& name) const { return m_upDowns.value(name); }
    QPushButton* button(const QString& name) const { return m_buttons.value(name); }
    QGroupBox* group(const QString& name) const { return m_groups.value(name); }
    QLabel* caption(const QString& name) const;
    ConditionDisplay* condition() const { return m_condition; }
    // The up-down that goes with a field's Tag, and the field that shows an up-down's position.
    UpDown* upDownWithTag(int tag) const;
    QLineEdit* editWithTag(int tag) const;

  signals:
    // Any key the operator types into an editable field (Enter too).
    void editKeyPressed(const QString& name);
    void editCommitted(const QString& name);
    void radioClicked(const QString& name, int index);
    // An arrow steps the up-down (also while it is held down), and is let go.
    void upDownChanging(const QString& name);
    void upDownReleased(const QString& name);

  private:
    QWidget* parentFor(const char* group);

    ConditionDisplay* m_condition = nullptr;
    QHash<QString, QGroupBox*> m_groups;
    FieldBuilder* m_fields = nullptr;
    QHash<QString, UpDown*> m_upDowns;
    QHash<QString, QPushButton*> m_buttons;
};
