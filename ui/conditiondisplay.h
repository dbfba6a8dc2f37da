#pragma once
// The " Состояние канала " group of a channel: a warning picture, the texts "Нештатная ситуация",
// "нормальное" and "Отказ" in one place, and the button "Обзор" that opens the legend. It shows one
// of three states; until the first state is set only "Отказ" shows.
#include "device/channelcondition.h"

#include <QGroupBox>
#include <QPixmap>

class QLabel;
class QPushButton;

class ConditionDisplay : public QGroupBox {
    Q_OBJECT
  public:
    static constexpr int Width = 209, Height = 49;

    // The button is named as its view calls it (ButtonBrouse, ButtonBrouseCh1, ...).
    ConditionDisplay(const QString& objectName, const QString& buttonName, QWidget* parent = nullptr);

    void setState(condition::State state);

    QLabel* picture() const { return m_picture; }
    QLabel* abnormalText() const { return m_abnormal; }
    QLabel* normalText() const { return m_normal; }
    QLabel* failureText() const { return m_failure; }
    QPushButton* browseButton() const { return m_browse; }

    // The warning sign, drawn here so that it needs no image file.
    static QPixmap warningPicture(int size);

  private:
    QLabel* m_picture;
    QLabel* m_abnormal;
    QLabel* m_normal;
    QLabel* m_failure;
    QPushButton* m_browse;
};
