#pragma once
// The installation-parameter panel: the device clock, work mode and sensor type at the top, and a
// pair of channel boxes for each of the four layouts, of which the reader shows one pair. It shows
// values and reports what the operator commits; the exchanges are the controller's.
#include "device/generalparams.h"

#include <QFrame>
#include <QList>

class FieldBuilder;
class GeneralParamBox;
class QComboBox;
class QLabel;
class QLineEdit;

class PanelGeneralParam : public QFrame {
    Q_OBJECT
  public:
    static constexpr int Left = 8, Top = 32, Width = 673, Height = 457;
    static constexpr int BoxY = 48;
    static constexpr int BoxX[2] = {8, 340};

    explicit PanelGeneralParam(QWidget* parent = nullptr);

    // The top fields from the common read (registers 0 to 17); a code without a text leaves its
    // field as it was.
    void fillCommon(const RegisterBlock& block);
    void fill(genparams::Variant variant, const RegisterBlock& block, bool twoChannelMode);
    void showLayout(genparams::Variant variant);
    // Hides the boxes of every layout but the given one (all of them for none).
    void hideLayoutsBut(std::optional<genparams::Variant> variant);
    // Shows the results of a pair edit at once, in the box of the typed field.
    void showPair(const genparams::Control& typed, const genparams::PairEdit& pair);
    // Shows the other picture of the clicked picture's cell.
    void flipCell(const QString& pictureName);

    GeneralParamBox* box(genparams::Variant variant, int channel) const;
    QLineEdit* edit(const QString& objectName) const;
    QComboBox* combo(const QString& objectName) const;

  signals:
    void editCommitted(const QString& objectName);
    void listChosen(const QString& objectName, int index);
    void cellClicked(const QString& pictureName);

  private:
    FieldBuilder* m_common = nullptr;
    QList<GeneralParamBox*> m_boxes; // by layout, then channel
};
