#include "ui/tform8.h"

#include "device/encodings.h"
#include "device/identification.h"
#include "ui/placed.h"
#include "ui/tform9.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString ConnectCaption = QStringLiteral("Соединение");
const QString OkCaption = QStringLiteral("Ok");
} // namespace

TForm8::TForm8(QWidget* parent)
    : FixedDialog(QStringLiteral("Выбор прибора"), 304, 124, Border::CloseBox, parent) {
    setObjectName(QStringLiteral("Form8"));

    Label1 = placed<QLabel>(this, "Label1", {16, 16, 170, 23}, QStringLiteral("Сетевой адрес"));
    EditAddr = placed<QLineEdit>(this, "EditAddr", {192, 16, 96, 23});

    Label2 = placed<QLabel>(this, "Label2", {16, 48, 170, 23}, QStringLiteral("Скорость обмена RS-232"));
    ComboBoxSpeed = placed<QComboBox>(this, "ComboBoxSpeed", {192, 48, 96, 23});
    ComboBoxSpeed->addItems({QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("1200"),
                             QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                             QStringLiteral("19200"), QStringLiteral("38400")});
    ComboBoxSpeed->setCurrentIndex(-1);

    Button1 = placed<QPushButton>(this, "Button1", {96, 86, 112, 27}, ConnectCaption);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm8::Button1Click);

    // "Ok" stands for the device just identified; another address or speed must be connected anew.
    connect(EditAddr, &QLineEdit::textEdited, this, &TForm8::backToConnect);
    connect(ComboBoxSpeed, &QComboBox::currentIndexChanged, this, &TForm8::backToConnect);
}

void TForm8::Button1Click() {
    if (Button1->text() == OkCaption) {
        Button1->setText(ConnectCaption);
        accept();
        return;
    }
    InvalidInput = false;
    EntryText.clear();
    // The address goes out as its low byte; one whose low byte is 0 would make every later
    // request a broadcast that all meters on the line carry out, so it is refused like a typo.
    if (const std::optional<std::int32_t> address = enc::parseInt(EditAddr->text());
        address && (*address & 0xFF))
        Address = *address;
    else
        InvalidInput = true;
    Speed = ComboBoxSpeed->currentText();
    if (ComboBoxSpeed->findText(Speed, Qt::MatchExactly) < 0) InvalidInput = true;
    if (InvalidInput) {
        errorDialog()->execWith(TForm9::Message::InvalidValues);
        return;
    }
    const std::optional<QString> device = Identify ? Identify(Address, Speed) : std::nullopt;
    if (!device) {
        errorDialog()->execWith(TForm9::Message::DeviceNotFound);
        return;
    }
    EntryText = ident::entryText(*device, Address);
    Button1->setText(OkCaption);
}

TForm9* TForm8::errorDialog() {
    if (!m_errors) m_errors = new TForm9(this);
    return m_errors;
}

void TForm8::backToConnect() {
    Button1->setText(ConnectCaption);
}
