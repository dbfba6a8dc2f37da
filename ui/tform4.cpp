#include "ui/tform4.h"

#include "link/linespeed.h"
#include "link/portmap.h"
#include "ui/errorbox.h"
#include "ui/placed.h"
#include "ui/radiogroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm4::TForm4(QWidget* parent)
    : FixedDialog(QStringLiteral("Настройка параметров RS-232"), 448, 392, Border::CloseBox, parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    RadioGroup1 =
        placed<RadioGroup>(this, "RadioGroup1", {8, 8, 136, 200}, QStringLiteral("Скорость обмена"),
                           QStringList{QStringLiteral("38400"), QStringLiteral("19200"),
                                       QStringLiteral("9600"), QStringLiteral("4800"), QStringLiteral("2400"),
                                       QStringLiteral("1200"), QStringLiteral("600"), QStringLiteral("300")});

    RadioGroup2 = placed<RadioGroup>(this, "RadioGroup2", {152, 8, 288, 120}, QStringLiteral("Порт"),
                                     QStringList{QStringLiteral("Comm 1"), QStringLiteral("Comm 2"),
                                                 QStringLiteral("Comm 3"), QStringLiteral("Comm 4")});

    EnableRTS =
        placed<QCheckBox>(this, "EnableRTS", {160, 144, 280, 21}, QStringLiteral("Использовать линию RTS"));
    EnableModem =
        placed<QCheckBox>(this, "EnableModem", {160, 176, 280, 21}, QStringLiteral("Использовать модем"));

    Panel1 = placed<QFrame>(this, "Panel1", {8, 216, 432, 128});
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    placed<QLabel>(Panel1, "Label1", {8, 10, 190, 21}, QStringLiteral("Строка инициализации :"));
    EditStrInit = placed<QLineEdit>(Panel1, "EditStrInit", {204, 10, 220, 21});
    placed<QLabel>(Panel1, "Label2", {8, 38, 190, 21}, QStringLiteral("Префикс набора номера :"));
    EditPrefNum = placed<QLineEdit>(Panel1, "EditPrefNum", {204, 38, 220, 21});
    placed<QLabel>(Panel1, "Label3", {8, 66, 190, 21}, QStringLiteral("Номер телефона :"));
    EditPhoneNum = placed<QLineEdit>(Panel1, "EditPhoneNum", {204, 66, 220, 21});
    placed<QLabel>(Panel1, "Label4", {8, 94, 190, 21}, QStringLiteral("Время ожидания связи :"));
    EditDelay = placed<QLineEdit>(Panel1, "EditDelay", {204, 94, 56, 21});
    placed<QLabel>(Panel1, "Label5", {266, 94, 40, 21}, QStringLiteral("сек."));

    Button1 = placed<QPushButton>(this, "Button1", {272, 356, 80, 27}, QStringLiteral("Ok"));
    Button1->setDefault(true);
    Button2 = placed<QPushButton>(this, "Button2", {360, 356, 80, 27}, QStringLiteral("Cancel"));

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    // The modem and RS-485 direction control are never both on.
    connect(EnableModem, &QCheckBox::toggled, this, [this] { applyModemState(); });
    connect(EnableRTS, &QCheckBox::toggled, this, [this](bool on) {
        if (on) EnableModem->setChecked(false);
        applyModemState();
    });

    refreshPortNotes();
    applyModemState();
}

void TForm4::fill(const LinkSettings& settings) {
    Values = settings;
    const int speed = RadioGroup1->indexOf(linespeed::textOf(settings.Settings));
    // A speed the list does not hold leaves the selection as it was.
    if (speed >= 0) RadioGroup1->setItemIndex(speed);
    RadioGroup2->setItemIndex(settings.CommPort - 1);
    EnableRTS->setChecked(settings.RtsMode);
    EnableModem->setChecked(settings.UseModem);
    EditStrInit->setText(settings.ModemInitString);
    EditPrefNum->setText(settings.DialPrefix);
    EditPhoneNum->setText(settings.PhoneNumber);
    EditDelay->setText(QString::number(settings.ModemDelay));
    refreshPortNotes();
}

bool TForm4::Button1Click() {
    // Without a selection there is nothing to assign: the port and speed are kept as they are.
    if (RadioGroup1->itemIndex() >= 0)
        Values.Settings = linespeed::settingsFor(RadioGroup1->item(RadioGroup1->itemIndex()));
    if (RadioGroup2->itemIndex() >= 0) Values.CommPort = RadioGroup2->itemIndex() + 1;
    Values.RtsMode = EnableRTS->isChecked();
    Values.UseModem = EnableModem->isChecked();
    Values.ModemInitString = EditStrInit->text();
    Values.DialPrefix = EditPrefNum->text();
    Values.PhoneNumber = EditPhoneNum->text();
    const std::optional<int> delay = integerOrError(this, EditDelay->text());
    if (!delay) return false;
    Values.ModemDelay = *delay;
    accept();
    return true;
}

void TForm4::applyModemState() {
    const bool modem = EnableModem->isChecked();
    for (QWidget* w : Panel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        w->setEnabled(modem);
    const QColor base = modem ? QApplication::palette().color(QPalette::Active, QPalette::Base)
                              : palette().color(QPalette::Active, QPalette::Window);
    for (QLineEdit* e : {EditStrInit, EditPrefNum, EditPhoneNum}) {
        QPalette pal = e->palette();
        pal.setColor(QPalette::Base, base);
        e->setPalette(pal);
    }
    if (modem) EnableRTS->setChecked(false);
}

void TForm4::refreshPortNotes() {
    for (int n = 1; n <= RadioGroup2->count(); ++n)
        RadioGroup2->setItemNote(n - 1, PortMap::systemPort(n));
}

void TForm4::showEvent(QShowEvent* event) {
    refreshPortNotes();
    applyModemState();
    FixedDialog::showEvent(event);
}
