// "RS-232": the settings dialog filled from the link, its check-box coupling, "Ok" taken in order
// (a bad delay keeps what came before it), and what the window takes back.
#include "mainwindowfixture.h"

#include "link/linkport.h"
#include "ui/radiogroup.h"
#include "ui/tform4.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

using LinkSettingsDialog = MainWindowTest;

TEST_F(LinkSettingsDialog, CouplingAndOkInOrderWithABadDelay) {
    writeSensCfg(sensCfg("1 9600,n,8,1", "False"));
    PortMap::set(1, QStringLiteral("/tmp/kastari-test-port"));
    createWindow();

    struct Seen {
        QString speed, note;
        int port = -1;
        bool rtsAfterModem = true, initEnabledWithModem = false;
        bool modemAfterRts = true, initEnabledWithRts = true;
        QString error;
    } seen;

    ModalDriver driver;
    driver.then(on<TForm4>([&](TForm4* d) {
        seen.speed = d->RadioGroup1->item(d->RadioGroup1->itemIndex());
        seen.port = d->RadioGroup2->itemIndex();
        seen.note = d->RadioGroup2->itemNote(0)->text();
        d->EnableRTS->setChecked(true);
        d->EnableModem->setChecked(true);
        seen.rtsAfterModem = d->EnableRTS->isChecked();
        seen.initEnabledWithModem = d->EditStrInit->isEnabled();
        d->EnableRTS->setChecked(true);
        seen.modemAfterRts = d->EnableModem->isChecked();
        seen.initEnabledWithRts = d->EditStrInit->isEnabled();
        d->RadioGroup1->setItemIndex(d->RadioGroup1->indexOf(QStringLiteral("19200")));
        d->RadioGroup2->setItemIndex(1);
        d->EditStrInit->setText(QStringLiteral("AT&F"));
        d->EditDelay->setText(QStringLiteral("soon"));
        press(d->Button1);
    }));
    driver.then(on<QMessageBox>([&](QMessageBox* box) {
        seen.error = box->text();
        box->accept();
    }));
    driver.then(on<TForm4>([](TForm4* d) { press(d->Button2); })); // still open: give up with Cancel

    form->LinkIdle = false;
    form->MenuRS232Click();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(seen.speed, QStringLiteral("9600"));
    EXPECT_EQ(seen.port, 0);
    EXPECT_TRUE(seen.note.contains(QStringLiteral("/tmp/kastari-test-port"))) << seen.note.toStdString();
    EXPECT_FALSE(seen.rtsAfterModem);
    EXPECT_TRUE(seen.initEnabledWithModem);
    EXPECT_FALSE(seen.modemAfterRts);
    EXPECT_FALSE(seen.initEnabledWithRts);
    EXPECT_TRUE(seen.error.contains(QStringLiteral("'soon'"))) << seen.error.toStdString();

    // Everything before the delay was taken; the delay kept its value.
    EXPECT_EQ(form->ModBus->MSComm1()->Settings(), QStringLiteral("19200,n,8,1"));
    EXPECT_EQ(form->ModBus->MSComm1()->CommPort(), 2);
    EXPECT_TRUE(form->ModBus->rtsMode());
    EXPECT_FALSE(form->UseModem);
    EXPECT_EQ(form->ModemInitString, QStringLiteral("AT&F"));
    EXPECT_EQ(form->ModemDelay, 5);
    EXPECT_TRUE(form->LinkIdle);

    // And they are what shutdown saves.
    form.reset();
    EXPECT_TRUE(readSensCfg().startsWith("2 19200,n,8,1\r\n10000\r\nTrue\r\nFalse\r\nAT&F\r\n"));
}

TEST_F(LinkSettingsDialog, ModemOnShowsTheMemo) {
    writeSensCfg(sensCfg("1 9600,n,8,1", "False"));
    createWindow();
    ModalDriver driver;
    driver.then(on<TForm4>([](TForm4* d) {
        d->EnableModem->setChecked(true);
        d->EditDelay->setText(QStringLiteral("12"));
        press(d->Button1);
    }));
    form->MenuRS232Click();
    EXPECT_TRUE(driver.done());
    EXPECT_TRUE(form->UseModem);
    EXPECT_EQ(form->ModemDelay, 12);
    EXPECT_EQ(form->ModBus->MSComm1()->Settings(), QStringLiteral("9600,n,8,1"));
    EXPECT_TRUE(form->Memo1->isVisibleTo(form.get()));
}
