#include "link/portmap.h"
#include "modaldriver.h"
#include "ui/radiogroup.h"
#include "ui/tform4.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

LinkSettings sample() {
    LinkSettings s;
    s.Settings = QStringLiteral("9600,n,8,1");
    s.CommPort = 2;
    s.RtsMode = false;
    s.UseModem = true;
    s.ModemInitString = QStringLiteral("ATZ");
    s.DialPrefix = QStringLiteral("ATDP");
    s.PhoneNumber = QStringLiteral("1234567");
    s.ModemDelay = 45;
    return s;
}

bool modemFieldsOn(const TForm4& f) {
    const QColor window = f.palette().color(QPalette::Window);
    bool on = true, off = true;
    for (QWidget* w : f.Panel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        on = on && w->isEnabled();
        off = off && !w->isEnabled();
    }
    for (QLineEdit* e : {f.EditStrInit, f.EditPrefNum, f.EditPhoneNum}) {
        const bool grey = e->palette().color(QPalette::Base) == window;
        on = on && !grey;
        off = off && grey;
    }
    EXPECT_TRUE(on || off) << "modem fields half enabled";
    return on;
}

} // namespace

TEST(TForm4, FillSelectsSpeedPortAndTexts) {
    TForm4 f;
    f.fill(sample());
    EXPECT_EQ(f.RadioGroup1->item(f.RadioGroup1->itemIndex()), "9600");
    EXPECT_EQ(f.RadioGroup2->itemIndex(), 1);
    EXPECT_TRUE(f.EnableModem->isChecked());
    EXPECT_FALSE(f.EnableRTS->isChecked());
    EXPECT_EQ(f.EditStrInit->text(), "ATZ");
    EXPECT_EQ(f.EditPrefNum->text(), "ATDP");
    EXPECT_EQ(f.EditPhoneNum->text(), "1234567");
    EXPECT_EQ(f.EditDelay->text(), "45");

    // A speed the list lacks leaves the previous selection; a port beyond the list selects none.
    LinkSettings odd = sample();
    odd.Settings = QStringLiteral("115200,n,8,1");
    odd.CommPort = 7;
    f.fill(odd);
    EXPECT_EQ(f.RadioGroup1->item(f.RadioGroup1->itemIndex()), "9600");
    EXPECT_EQ(f.RadioGroup2->itemIndex(), -1);
}

TEST(TForm4, PortItemsShowTheirSystemPorts) {
    PortMap::clear();
    PortMap::set(2, QStringLiteral("/dev/ttyUSB0"));
    TForm4 f;
    f.fill(sample());
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(f.RadioGroup2->item(n - 1), QStringLiteral("Comm %1").arg(n));
        ASSERT_NE(f.RadioGroup2->itemNote(n - 1), nullptr);
        EXPECT_EQ(f.RadioGroup2->itemNote(n - 1)->toolTip(), PortMap::systemPort(n));
    }
    EXPECT_EQ(f.RadioGroup2->itemNote(1)->toolTip(), "/dev/ttyUSB0");
    PortMap::clear();
}

TEST(TForm4, ModemAndRtsExcludeEachOther) {
    struct Case {
        const char* name;
        bool rts, modem; // filled from
        int click;       // 0 none, 1 EnableRTS, 2 EnableModem
        bool wantRts, wantModem;
    };
    const Case cases[] = {
        {"modem on enables its fields", false, true, 0, false, true},
        {"both on in the file: the modem wins", true, true, 0, false, true},
        {"checking RTS turns the modem off", false, true, 1, true, false},
        {"checking the modem turns RTS off", true, false, 2, false, true},
        {"unchecking the modem greys its fields", false, true, 2, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TForm4 f;
        LinkSettings s = sample();
        s.RtsMode = c.rts;
        s.UseModem = c.modem;
        f.fill(s);
        if (c.click == 1) f.EnableRTS->click();
        if (c.click == 2) f.EnableModem->click();
        EXPECT_EQ(f.EnableRTS->isChecked(), c.wantRts);
        EXPECT_EQ(f.EnableModem->isChecked(), c.wantModem);
        EXPECT_EQ(modemFieldsOn(f), c.wantModem);
    }
}

TEST(TForm4, ShowingAppliesTheModemState) {
    TForm4 f;
    f.fill(sample());
    // Change the box behind the coupling's back; showing must bring the fields in line.
    {
        const QSignalBlocker block(f.EnableModem);
        f.EnableModem->setChecked(false);
    }
    EXPECT_TRUE(modemFieldsOn(f));
    f.show();
    EXPECT_FALSE(modemFieldsOn(f));
}

TEST(TForm4, OkAppliesInOrder) {
    struct Case {
        const char* name;
        QString speed; // item to pick, empty: leave
        int port;      // item to pick, -1: leave
        LinkSettings want;
    };
    LinkSettings changed = sample();
    changed.Settings = QStringLiteral("19200,n,8,1");
    changed.CommPort = 4;
    LinkSettings odd = sample();
    odd.Settings = QStringLiteral("57600,n,8,1");
    odd.CommPort = 9;
    const Case cases[] = {
        {"nothing changed leaves every value as it was", {}, -1, sample()},
        {"new speed and port", QStringLiteral("19200"), 3, changed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TForm4 f;
        f.fill(sample());
        if (!c.speed.isEmpty()) f.RadioGroup1->button(f.RadioGroup1->indexOf(c.speed))->click();
        if (c.port >= 0) f.RadioGroup2->button(c.port)->click();
        f.show();
        EXPECT_TRUE(f.Button1Click());
        EXPECT_EQ(f.result(), QDialog::Accepted);
        EXPECT_FALSE(f.isVisible());
        EXPECT_EQ(f.Values, c.want);
    }
    // Settings the dialog cannot show are kept rather than replaced by whatever is selected.
    TForm4 f;
    f.fill(odd);
    f.Button1Click();
    EXPECT_EQ(f.Values.Settings, "57600,n,8,1");
    EXPECT_EQ(f.Values.CommPort, 9);
}

TEST(TForm4, BadDelayKeepsTheDialogOpenWithEarlierStepsApplied) {
    TForm4 f;
    f.fill(sample());
    f.RadioGroup1->button(f.RadioGroup1->indexOf("4800"))->click();
    f.RadioGroup2->button(0)->click();
    f.EnableRTS->click(); // modem off, RTS on
    f.EditStrInit->setText("AT&F");
    f.EditDelay->setText("abc");
    f.show();

    QString title, text;
    ModalDriver watch(ModalDriver::Unclaimed::CloseAtOnce, [&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            title = box->windowTitle();
            text = box->text();
        }
    });
    EXPECT_FALSE(f.Button1Click());
    EXPECT_EQ(watch.unexpected(), 1);
    EXPECT_EQ(title, "Монитор КАСТАРИ-ДК");
    EXPECT_EQ(text, "'abc' is not a valid integer value.");
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.Values.Settings, "4800,n,8,1");
    EXPECT_EQ(f.Values.CommPort, 1);
    EXPECT_TRUE(f.Values.RtsMode);
    EXPECT_FALSE(f.Values.UseModem);
    EXPECT_EQ(f.Values.ModemInitString, "AT&F");
    EXPECT_EQ(f.Values.ModemDelay, 45);

    f.EditDelay->setText("30");
    EXPECT_TRUE(f.Button1Click());
    EXPECT_EQ(f.Values.ModemDelay, 30);
    EXPECT_FALSE(f.isVisible());
}

TEST(TForm4, CancelChangesNothing) {
    TForm4 f;
    f.fill(sample());
    f.RadioGroup1->button(0)->click();
    f.EditPhoneNum->setText("999");
    f.show();
    f.Button2->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.Values, sample());
}
