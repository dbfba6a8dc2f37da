#include "ui/tform4.h"

#include "link/linespeed.h"
#include "link/portmap.h"
#include "ui/errorbox.h"
#include "ui/radiogroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel* label(const QString& text, QWidget* parent, int x, int y, int w) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 21);
    return l;
}

QLineEdit* edit(const char* name, QWidget* parent, int x, int y, int w) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(x, y, w, 21);
    return e;
}
} // namespace

TForm4::TForm4(QWidget* parent)
    : FixedDialog(QStringLiteral("Настройка параметров RS-232"), 448, 392, Border::CloseBox, parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    RadioGroup1 = new RadioGroup(QStringLiteral("Скорость обмена"),
                                 {QStringLiteral("38400"), QStringLiteral("19200"), QStringLiteral("9600"),
                                  QStringLiteral("4800"), QStringLiteral("2400"), QStringLiteral("1200"),
                                  QStringLiteral("600"), QStringLiteral("300")},
                                 this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(8, 8, 136, 200);

    RadioGroup2 = new RadioGroup(QStringLiteral("Порт"),
                                 {QStringLiteral("Comm 1"), QStringLiteral("Comm 2"),
                                  QStringLiteral("Comm 3"), QStringLiteral("Comm 4")},
                                 this);
    RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
    RadioGroup2->setGeometry(152, 8, 288, 120);

    EnableRTS = new QCheckBox(QStringLiteral("Использовать линию RTS"), this);
    EnableRTS->setObjectName(QStringLiteral("EnableRTS"));
    EnableRTS->setGeometry(160, 144, 280, 21);
    EnableModem = new QCheckBox(QStringLiteral("Использовать модем"), this);
    EnableModem->setObjectName(QStringLiteral("EnableModem"));
    EnableModem->setGeometry(160, 176, 280, 21);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(8, 216, 432, 128);
    label(QStringLiteral("Строка инициализации :"), Panel1, 8, 10, 190)
        ->setObjectName(QStringLiteral("Label1"));
    EditStrInit = edit("EditStrInit", Panel1, 204, 10, 220);
    label(QStringLiteral("Префикс набора номера :"), Panel1, 8, 38, 190)
        ->setObjectName(QStringLiteral("Label2"));
    EditPrefNum = edit("EditPrefNum", Panel1, 204, 38, 220);
    label(QStringLiteral("Номер телефона :"), Panel1, 8, 66, 190)->setObjectName(QStringLiteral("Label3"));
    EditPhoneNum = edit("EditPhoneNum", Panel1, 204, 66, 220);
    label(QStringLiteral("Время ожидания связи :"), Panel1, 8, 94, 190)
        ->setObjectName(QStringLiteral("Label4"));
    EditDelay = edit("EditDelay", Panel1, 204, 94, 56);
    label(QStringLiteral("сек."), Panel1, 266, 94, 40)->setObjectName(QStringLiteral("Label5"));

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(272, 356, 80, 27);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(360, 356, 80, 27);

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
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(group, QPalette::Base, base);
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
