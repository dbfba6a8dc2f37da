#pragma once
// The measurements and counters panel, built from the counters map: the clock, the operation layout
// (both channels side by side with their volumes, speeds, condition and volume reset) and the
// verification layout (one channel with its zero shift, pulse-output mode and the device's signal
// imitator). It shows values and reports what the operator does; the exchanges are the controller's.
#include "device/counters.h"

#include <QFrame>
#include <QHash>
#include <array>

class ConditionDisplay;
class FieldBuilder;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class PanelCounters : public QFrame {
    Q_OBJECT
  public:
    static constexpr int Left = 8, Top = 24, Width = 673, Height = 457;

    explicit PanelCounters(QWidget* parent = nullptr);

    // Fills the fields of a group that the block holds (channel groups and the verification group
    // for the given channel); list changes made here report no choice.
    void fill(counters::Group group, const RegisterBlock& data, int channel);
    // The groups of a layout: GroupBox4 and GroupBox5, or GroupBox2.
    void setLayoutVisible(counters::Layout layout, bool visible);
    bool layoutVisible(counters::Layout layout) const;
    // The imitator's texts, the caption of ButtonIMR and its Tag (1 when a click connects).
    void showSimulator(bool connected);

    QGroupBox* group(const QString& name) const { return m_groups.value(name); }
    ConditionDisplay* condition(int channel) const { return m_conditions.at(channel == 2 ? 1 : 0); }
    QLineEdit* edit(const QString& name) const;
    QComboBox* combo(const QString& name) const;
    QPushButton* button(const QString& name) const { return m_buttons.value(name); }
    // Captions ("Label" + the control's name) and the verification group's texts.
    QLabel* label(const QString& name) const { return m_labels.value(name); }

  signals:
    void clearVolumeClicked(const QString& button);
    void simulatorClicked();
    // A key that changes the zero-shift field, and its Enter.
    void shiftZeroKeyPressed();
    void shiftZeroCommitted(const QString& name, const QString& text);
    void pulseModeChosen(int index);

  private:
    QWidget* parentFor(counters::Group group, int channel);
    QPushButton* addButton(const QString& name, const QString& caption, QWidget* parent, const QRect& place);
    QLabel* addText(const QString& name, const QString& text, QWidget* parent, const QRect& place);

    QHash<QString, QGroupBox*> m_groups;
    std::array<ConditionDisplay*, 2> m_conditions{};
    FieldBuilder* m_fields = nullptr;
    QHash<QString, QPushButton*> m_buttons;
    QHash<QString, QLabel*> m_labels;
};
