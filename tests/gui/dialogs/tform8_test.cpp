#include "modaldriver.h"
#include "ui/tform8.h"
#include "ui/tform9.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Identification {
    std::optional<QString> answer;
    QList<QPair<int, QString>> calls;
};

// A TForm8 whose identification exchange is scripted and whose error dialog is answered.
struct Fixture {
    TForm8 form;
    TForm9 errors;
    Identification id;
    QStringList shownErrors; // the visible text of each TForm9 shown

    Fixture() {
        form.setErrorDialog(&errors);
        form.Identify = [this](int address, const QString& speed) {
            id.calls.append({address, speed});
            return id.answer;
        };
        form.show();
    }
    void type(const QString& address, const QString& speed) {
        form.EditAddr->setText(address);
        form.ComboBoxSpeed->setCurrentIndex(form.ComboBoxSpeed->findText(speed));
    }
    void press() {
        ModalDriver watch(ModalDriver::Unclaimed::CloseAtOnce, [this](QWidget* w) {
            if (w == &errors) {
                QStringList visible;
                for (QLabel* l : {errors.LabelInvalid, errors.LabelNotFound})
                    if (l->isVisibleTo(&errors)) visible << l->text();
                shownErrors << visible.join('|');
            }
        });
        form.Button1->click();
    }
};

} // namespace

TEST(TForm8, RefusesInputThatIsNoAddressOrSpeed) {
    struct Case {
        const char* name;
        QString address, speed;
    };
    const Case cases[] = {
        {"letters", "abc", "9600"},
        {"empty address", "", "9600"},
        {"no speed chosen", "5", ""},
        // These would go out as address 0, a broadcast every meter on the line carries out.
        {"broadcast address", "0", "9600"},
        {"low byte zero", "256", "9600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture t;
        t.type(c.address, c.speed);
        t.press();
        EXPECT_EQ(t.shownErrors, QStringList{"Некорректные значения"});
        EXPECT_TRUE(t.id.calls.isEmpty());
        EXPECT_TRUE(t.form.InvalidInput);
        EXPECT_TRUE(t.form.isVisible());
        EXPECT_EQ(t.form.Button1->text(), "Соединение");
    }
}

TEST(TForm8, DeviceNotFoundKeepsTheTypedAddress) {
    Fixture t;
    t.type("5", "19200");
    t.press();
    EXPECT_EQ(t.shownErrors, QStringList{"Прибор не найден"});
    ASSERT_EQ(t.id.calls.size(), 1);
    EXPECT_EQ(t.id.calls[0], qMakePair(5, QString("19200")));
    EXPECT_TRUE(t.form.isVisible());
    EXPECT_EQ(t.form.Button1->text(), "Соединение");
    // Closed now with its close box, the caller adopts address 5 without a device text.
    t.form.reject();
    EXPECT_FALSE(t.form.InvalidInput);
    EXPECT_EQ(t.form.Address, 5);
    EXPECT_EQ(t.form.Speed, "19200");
    EXPECT_EQ(t.form.EntryText, "");
}

TEST(TForm8, FoundDeviceTurnsTheButtonIntoOkWhichCloses) {
    Fixture t;
    t.id.answer = QStringLiteral("A   B");
    t.type(" 5", "9600");
    t.press();
    EXPECT_TRUE(t.shownErrors.isEmpty());
    EXPECT_EQ(t.form.EntryText, "A   B адрес:   5");
    EXPECT_EQ(t.form.Button1->text(), "Ok");
    EXPECT_TRUE(t.form.isVisible());

    t.press();
    EXPECT_EQ(t.id.calls.size(), 1);
    EXPECT_FALSE(t.form.isVisible());
    EXPECT_EQ(t.form.result(), QDialog::Accepted);
    EXPECT_EQ(t.form.Button1->text(), "Соединение");
    EXPECT_FALSE(t.form.InvalidInput);
    EXPECT_EQ(t.form.Address, 5);
}

TEST(TForm8, EditingAfterIdentificationAsksToConnectAgain) {
    Fixture t;
    t.id.answer = QStringLiteral("A   B");
    t.type("5", "9600");
    t.press();
    ASSERT_EQ(t.form.Button1->text(), "Ok");
    t.form.EditAddr->selectAll();
    QTest::keyClicks(t.form.EditAddr, "6");
    EXPECT_EQ(t.form.Button1->text(), "Соединение");
    t.press();
    EXPECT_EQ(t.id.calls.size(), 2);
    EXPECT_EQ(t.form.EntryText, "A   B адрес:   6");
}

TEST(TForm8, NewDialogClosedUntouchedSelectsNothing) {
    TForm8 f;
    f.show();
    f.reject();
    EXPECT_TRUE(f.InvalidInput);
}

TEST(TForm8, AnAddressAboveTheByteIsSentAsItsLowByte) {
    Fixture t;
    t.type("261", "9600");
    t.press();
    ASSERT_EQ(t.id.calls.size(), 1);
    EXPECT_EQ(t.id.calls[0].first, 261); // the window sends the low byte, 5
}
