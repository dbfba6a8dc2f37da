#pragma once
// Builds a panel's parameter fields from their rows: the caption, the control (an edit with the
// row's key filter, a display-only edit, a list or a radio group), its geometry, name and Tag, and
// fills them from a register block. Whatever the panel, an Enter reports committed(name, text), a
// choice chosen(name, index), and a key that changes a field whose poll pauses, typing(name).
#include "device/paramfield.h"

#include <QHash>
#include <QObject>

class QComboBox;
class QLabel;
class QLineEdit;
class RadioGroup;

class FieldBuilder : public QObject {
    Q_OBJECT
  public:
    explicit FieldBuilder(QObject* parent);

    // Builds the row in `host` as control `name`, with `reg` the register the row stands for on
    // the control's channel, at the row's place or one the panel works out. The caption label is
    // named `captionName`, or "Label" + name.
    QWidget* build(const param::Field& field, QWidget* host, const QString& name, int reg);
    QWidget* build(const param::Field& field, QWidget* host, const QString& name, int reg,
                   const param::Place& place, const QString& captionName = {});

    // Shows what the block holds for the row; a selection changed here reports no choice.
    void fill(const param::Field& field, const QString& name, int reg, const RegisterBlock& block);

    QLineEdit* edit(const QString& name) const { return m_edits.value(name); }
    QComboBox* combo(const QString& name) const { return m_combos.value(name); }
    RadioGroup* radio(const QString& name) const { return m_radios.value(name); }
    QLabel* caption(const QString& name) const { return m_captions.value(name); }
    // Item index of a list or radio group (-1: none).
    int itemIndex(const QString& name) const;

  signals:
    void committed(const QString& name, const QString& text);
    void chosen(const QString& name, int index);
    void typing(const QString& name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QHash<QString, QLineEdit*> m_edits;
    QHash<QString, QComboBox*> m_combos;
    QHash<QString, RadioGroup*> m_radios;
    QHash<QString, QLabel*> m_captions;
};
