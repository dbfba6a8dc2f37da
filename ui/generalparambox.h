#pragma once
// One channel's group box of an installation-parameter layout, built from the layout's table: the
// captioned fields and lists in two columns and, where the layout has them, the status-output
// condition cells. It shows values and reports what the operator commits or clicks.
#include "device/generalparams.h"

#include <QGroupBox>
#include <QHash>
#include <array>

class ConditionPicture;
class FieldBuilder;
class QComboBox;
class QLabel;
class QLineEdit;

class GeneralParamBox : public QGroupBox {
    Q_OBJECT
  public:
    static constexpr int Width = 321;

    GeneralParamBox(const genparams::Layout& layout, int channel, QWidget* parent = nullptr);

    const genparams::Layout& layout() const { return m_layout; }

    // Fills every field whose registers the block holds; the others keep what they show. Selection
    // changes made here never report a choice.
    void fill(const RegisterBlock& block, bool twoChannelMode);
    // Shows a value in a float field of this box by the field's table name.
    void showValue(const char* fieldName, float value);
    // Shows the other picture of the clicked picture's cell.
    void flipCell(ConditionPicture* clicked);

    QLineEdit* edit(const genparams::Row& row) const;

  signals:
    void editCommitted(const QString& objectName);
    void listChosen(const QString& objectName, int index);
    void cellClicked(const QString& pictureName);

  private:
    QLabel* addCaption(const QString& name, const QString& text, int x, int y);
    void addField(const genparams::Row& row, int captionY);
    void addCells(const genparams::Row& row);
    void setPulseOutputMode(int mode);

    const genparams::Layout& m_layout;
    int m_channel;
    FieldBuilder* m_fields = nullptr;
    QLabel* m_pulseWeightCaption = nullptr;
    // Bar and cross picture of each bit.
    std::array<std::array<ConditionPicture*, 2>, 8> m_cells{};
};
