#pragma once
// TForm6 "Отказы и нештатные ситуации": the legend of the device's failures (" Отказы ") and of a
// channel's abnormal situations (" Нештатные ситуации "), a marker beside each row that is lit.
#include "device/failurelegend.h"
#include "ui/fixeddialog.h"

#include <QPixmap>
#include <array>

class QGroupBox;
class QLabel;
class QPushButton;

class TForm6 : public FixedDialog {
    Q_OBJECT
  public:
    explicit TForm6(QWidget* parent = nullptr);

    QGroupBox* GroupBoxFailures;   // " Отказы "
    QGroupBox* GroupBoxConditions; // " Нештатные ситуации "
    QPushButton* Button1;          // "Ok"

    // Image1..Image8 mark condition bits 0-7, Image9..Image15 failures 1-7.
    QLabel* image(int number) const { return m_images.at(number - 1); }
    QLabel* failureText(int index) const { return m_failureTexts.at(index); }
    QLabel* conditionText(int bit) const { return m_conditionTexts.at(bit); }
    QLabel* firstBeamText() const { return m_firstBeam; }

    // Lights the markers of the set bits; the two-beam rows show only where the channel has them.
    void showMarkers(const legend::Markers& markers);

    // A lit marker, drawn here so that it needs no image file.
    static QPixmap markerPicture(int size);

  private:
    std::array<QLabel*, legend::FailureCount + legend::ConditionCount> m_images{};
    std::array<QLabel*, legend::FailureCount> m_failureTexts{};
    std::array<QLabel*, legend::ConditionCount> m_conditionTexts{};
    QLabel* m_firstBeam = nullptr;
};
