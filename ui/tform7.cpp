#include "ui/tform7.h"

#include "device/encodings.h"
#include "ui/keypressfilter.h"
#include "ui/placed.h"
#include "ui/updown.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm7::TForm7(QWidget* parent)
    : FixedDialog(QStringLiteral("Выбор периода опроса"), 232, 92, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("Form7"));

    EditSelectInterval = placed<QLineEdit>(this, "EditSelectInterval", {56, 16, 57, 23});

    UpDownSelectInterval = placed<UpDown>(this, "UpDownSelectInterval", {113, 16, 16, 23});
    UpDownSelectInterval->setRange(0, 60);
    UpDownSelectInterval->setBuddy(EditSelectInterval);

    Label1 = placed<QLabel>(this, "Label1", {136, 16, 40, 23}, QStringLiteral("Сек."));

    Button1 = placed<QPushButton>(this, "Button1", {78, 54, 75, 27}, QStringLiteral("Ok"));

    new KeyPressFilter(EditSelectInterval, KeyPressFilter::Digits, [this] { Button1Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    showPeriod();
}

void TForm7::setPeriodMs(int ms) {
    m_periodMs = ms;
    showPeriod();
}

bool TForm7::Button1Click() {
    const std::optional<std::int32_t> seconds = enc::parseInt(EditSelectInterval->text());
    if (!seconds || *seconds < 0 || *seconds > MaxSeconds) {
        EditSelectInterval->setFocus();
        return false;
    }
    m_periodMs = *seconds * 1000;
    accept();
    return true;
}

void TForm7::showEvent(QShowEvent* event) {
    showPeriod();
    FixedDialog::showEvent(event);
    EditSelectInterval->setFocus();
}

void TForm7::showPeriod() {
    const int seconds = m_periodMs / 1000;
    // The edit shows the whole period even where the up-down stops at 60.
    EditSelectInterval->setText(QString::number(seconds));
    UpDownSelectInterval->setPosition(seconds);
}
