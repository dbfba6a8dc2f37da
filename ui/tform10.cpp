#include "ui/tform10.h"

#include "device/encodings.h"
#include "ui/keypressfilter.h"
#include "ui/placed.h"
#include "ui/tform9.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QColor Silver(0xC0, 0xC0, 0xC0);
const QString DateKeys = KeyPressFilter::Digits + QStringLiteral(" .:");
} // namespace

TForm10::TForm10(QWidget* parent)
    : FixedDialog(QStringLiteral("Границы архива"), 384, 176, Border::NoIcons, parent) {
    setObjectName(QStringLiteral("Form10"));

    RadioButtonFull =
        placed<QRadioButton>(this, "RadioButtonFull", {16, 10, 352, 22}, QStringLiteral("Полный архив"));
    RadioButtonFull->setChecked(true);
    RadioButtonChoice = placed<QRadioButton>(this, "RadioButtonChoice", {16, 34, 360, 22},
                                             QStringLiteral("Выборка записей по дате и времени архивации"));

    StaticText1 = placed<QLabel>(this, "StaticText1", {34, 68, 136, 23}, QStringLiteral("Начальная дата"));
    EditDateStart = placed<QLineEdit>(this, "EditDateStart", {176, 68, 170, 23});
    StaticText2 = placed<QLabel>(this, "StaticText2", {34, 100, 136, 23}, QStringLiteral("Конечная дата"));
    EditDateEnd = placed<QLineEdit>(this, "EditDateEnd", {176, 100, 170, 23});
    for (QLineEdit* edit : {EditDateStart, EditDateEnd})
        edit->setPlaceholderText(QStringLiteral("дд.мм.гггг чч:мм"));
    new KeyPressFilter(EditDateStart, DateKeys, [this] { EditDateStartEnter(); });
    new KeyPressFilter(EditDateEnd, DateKeys, [this] { EditDateEndEnter(); });

    ButtonOkRangeArchive = placed<QPushButton>(this, "ButtonOkRangeArchive", {(384 - 75) / 2, 138, 75, 27},
                                               QStringLiteral("Ok"));
    ButtonOkRangeArchive->setAutoDefault(false);

    connect(RadioButtonFull, &QRadioButton::clicked, this, &TForm10::RadioButtonFullClick);
    connect(RadioButtonChoice, &QRadioButton::clicked, this, &TForm10::RadioButtonChoiceClick);
    connect(ButtonOkRangeArchive, &QPushButton::clicked, this, &TForm10::ButtonOkRangeArchiveClick);
    setChoiceEnabled(false);
}

void TForm10::setChoiceEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{StaticText1, StaticText2, EditDateStart, EditDateEnd})
        w->setEnabled(enabled);
    for (QLineEdit* edit : {EditDateStart, EditDateEnd}) {
        QPalette pal = edit->palette();
        pal.setColor(QPalette::Base, enabled ? palette().color(QPalette::Active, QPalette::Base) : Silver);
        edit->setPalette(pal);
    }
}

void TForm10::RadioButtonFullClick() {
    FullArchive = true;
    setChoiceEnabled(false);
}

void TForm10::RadioButtonChoiceClick() {
    setChoiceEnabled(true);
    EditDateStart->setFocus();
}

void TForm10::refuse() {
    if (!m_errors) m_errors = new TForm9(this);
    m_errors->execWith(TForm9::Message::InvalidValues);
}

void TForm10::EditDateStartEnter() {
    const std::optional<QDateTime> start = enc::parseDateTime(EditDateStart->text());
    if (!start) {
        refuse();
        return;
    }
    RangeStart = *start;
    EditDateEnd->setFocus();
}

void TForm10::EditDateEndEnter() {
    const std::optional<QDateTime> start = enc::parseDateTime(EditDateStart->text());
    const std::optional<QDateTime> end = enc::parseDateTime(EditDateEnd->text());
    if (start) RangeStart = *start;
    if (end) RangeEnd = *end;
    if (!start || !end || RangeEnd < RangeStart) {
        refuse();
        return;
    }
    FullArchive = false;
    done(1);
}

void TForm10::ButtonOkRangeArchiveClick() {
    if (RadioButtonChoice->isChecked())
        EditDateEndEnter();
    else
        done(1);
}
