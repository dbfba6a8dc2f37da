// The scan of the line, the device menu, choosing a device and reaching one by typed address.
#include "mainwindowfixture.h"

#include "app/systemparams.h"
#include "link/linkport.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform3.h"
#include "ui/tform8.h"
#include "ui/tform9.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

const QString Id = QStringLiteral("KASTARI-DK   v3.12");

QStringList visibleDevices(const TForm1& form) {
    QStringList out;
    for (int n = 1; n <= TForm1::DeviceItemCount; ++n)
        if (form.Device[n]->isVisible())
            out << QStringLiteral("%1:%2").arg(n).arg(TForm1::captionOf(form.Device[n]));
    return out;
}

QStringList gridRows(const StringGrid* grid) {
    QStringList rows;
    for (int r = 1; r < grid->rowCount(); ++r)
        rows << grid->cell(0, r) + u'|' + grid->cell(1, r) + u'|' + grid->cell(2, r);
    return rows;
}

} // namespace

using Discovery = MainWindowTest;

TEST_F(Discovery, ScanListsBothDevicesInGridAndMenu) {
    writeSensCfg(sensCfg());
    startSimulator({device(1), device(5, 1)});
    createWindow();
    form->MenuConnectClick();

    const QList<QByteArray> requests = sim->requests();
    ASSERT_EQ(requests.size(), 127);
    for (int a = 1; a <= 127; ++a) {
        EXPECT_EQ(quint8(requests[a - 1][0]), a);
        EXPECT_EQ(requests[a - 1][1], 0x11);
    }

    EXPECT_EQ(gridRows(form->Form3->StringGrid1), QStringList({"1|9600|" + Id, "5|9600|" + Id, "||"}));
    EXPECT_EQ(form->Form3->StringGrid1->fixedRows(), 3);
    EXPECT_EQ(form->Form3->ProgressBar1->value(), 127);
    EXPECT_FALSE(form->Form3->isVisible());
    EXPECT_EQ(visibleDevices(*form), QStringList({"1:" + Id + " адрес:   1", "2:" + Id + " адрес:   5"}));
    EXPECT_TRUE(form->MenuLink->isEnabled());
    EXPECT_FALSE(form->MenuTypeParam->isEnabled());
    EXPECT_FALSE(form->MenuChoiceChannel->isEnabled());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(form->LinkIdle);
    EXPECT_EQ(form->listedAddresses(), QList<int>({1, 5}));
}

TEST_F(Discovery, ScanOfAQuietLineFindsNothing) {
    writeSensCfg(sensCfg());
    startSimulator({device(200)});
    createWindow();
    // What an earlier scan listed is gone afterwards.
    TForm1::setCaption(form->Device[1], QStringLiteral("old адрес:   9"));
    form->Device[1]->setVisible(true);
    form->ModBus->setRetries(2); // a silent address is the scan's usual answer, not one to ask again
    form->MenuConnectClick();
    EXPECT_EQ(sim->requests().size(), 127);
    EXPECT_EQ(form->ModBus->retries(), 2);
    EXPECT_EQ(form->Form3->StringGrid1->rowCount(), 2);
    EXPECT_EQ(form->Form3->ProgressBar1->value(), 127);
    EXPECT_TRUE(visibleDevices(*form).isEmpty());
    EXPECT_TRUE(form->Device[1]->text().isEmpty());
}

TEST_F(Discovery, GarbageAnswersAreNoDevices) {
    writeSensCfg(sensCfg());
    startSimulator({device(1), device(2)}, [](sim::SimOptions& o) {
        sim::FaultSpec crc = sim::FaultSpec::always(sim::Fault::BadCrc);
        crc.address = 1;
        sim::FaultSpec other = sim::FaultSpec::always(sim::Fault::WrongAddress);
        other.address = 2;
        o.faults = {crc, other};
    });
    createWindow();
    form->MenuConnectClick();
    EXPECT_TRUE(visibleDevices(*form).isEmpty());
}

TEST_F(Discovery, StopKeepsWhatWasFound) {
    writeSensCfg(sensCfg());
    startSimulator({device(2), device(4)});
    createWindow();
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (form->Form3->isVisible() && form->Form3->ProgressBar1->value() >= 6) {
            watch.stop();
            form->Form3->Button1->click();
        }
    });
    watch.start();
    form->MenuConnectClick();
    EXPECT_LT(sim->requests().size(), 20);
    EXPECT_EQ(gridRows(form->Form3->StringGrid1), QStringList({"2|9600|" + Id, "4|9600|" + Id, "||"}));
    EXPECT_EQ(visibleDevices(*form), QStringList({"1:" + Id + " адрес:   2", "2:" + Id + " адрес:   4"}));
    EXPECT_FALSE(form->Form3->isVisible());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(Discovery, PortThatCannotBeOpenedEndsTheScanAfterOneAddress) {
    writeSensCfg(sensCfg());
    PortMap::set(1, m_dir.filePath(QStringLiteral("no-such-port")));
    createWindow();
    form->MenuConnectClick();
    EXPECT_EQ(messages, QStringList({"Ошибка|Ошибка при открытии порта!"}));
    EXPECT_EQ(form->Form3->ProgressBar1->value(), 1);
    EXPECT_TRUE(visibleDevices(*form).isEmpty());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(Discovery, ANewScanLeavesNoMeterChosenUntilOneIsPicked) {
    writeSensCfg(sensCfg());
    startSimulator({device(1)});
    createWindow();
    SystemParams::install(*form);
    form->MenuConnectClick();
    form->DeviceClick(form->Device[1]);
    ASSERT_TRUE(form->PanelSystemParam->isVisibleTo(form.get()));
    auto* clear = form->PanelSystemParam->findChild<QPushButton*>("ButtonClearArh");
    ASSERT_NE(clear, nullptr);

    // Nothing of the previous meter stays at hand: its view (with "Очистка архивов") and the file
    // commands would act on it though it is no longer chosen.
    form->MenuConnectClick();
    EXPECT_FALSE(clear->isVisibleTo(form.get()));
    EXPECT_FALSE(form->PanelSystemParam->isVisibleTo(form.get()));
    for (QAction* item : {form->MenuSaveArchive, form->MenuSaveParam, form->MenuLoadParam})
        EXPECT_FALSE(item->isEnabled()) << item->objectName().toStdString();

    form->DeviceClick(form->Device[1]);
    EXPECT_TRUE(clear->isVisibleTo(form.get()));
    EXPECT_TRUE(form->MenuSaveParam->isEnabled());
    EXPECT_TRUE(form->MenuLoadParam->isEnabled());
}

TEST_F(Discovery, ChoosingADeviceReadsItsChannelModeAndRepeatsTheGroup) {
    writeSensCfg(sensCfg());
    startSimulator({device(1), device(5, 1)});
    createWindow();
    form->MenuConnectClick();
    QList<int> reads;
    form->setGroupReader(TForm1::GroupSystem, [&] { reads << 5; });
    form->setGroupReader(TForm1::GroupAdjustment, [&] { reads << 7; });

    sim->clearLog();
    form->Memo1->show();
    form->LinkIdle = false; // the opened menu
    form->DeviceClick(form->Device[1]);
    EXPECT_EQ(requestPdus(), QStringList({"01 03 00 60 00 01", "01 05 00 04 00 00"}));
    EXPECT_EQ(form->DeviceAddress, 1);
    EXPECT_TRUE(form->TwoChannelMode);
    EXPECT_EQ(form->StatusBar2->text(0), Id + " адрес:   1");
    EXPECT_EQ(form->StatusBar2->bevel(0), StatusBar::Bevel::Raised);
    EXPECT_TRUE(form->MenuTypeParam->isEnabled());
    EXPECT_TRUE(form->MenuSaveParam->isEnabled());
    EXPECT_TRUE(form->MenuLoadParam->isEnabled());
    EXPECT_FALSE(form->MenuSaveArchive->isEnabled());
    EXPECT_FALSE(form->MenuChoiceChannel->isEnabled());
    EXPECT_FALSE(form->Memo1->isVisibleTo(form.get()));
    EXPECT_EQ(reads, QList<int>({5}));
    EXPECT_TRUE(form->LinkIdle);

    // The adjustment view puts device 1 into adjustment mode; pretend it was also in verification.
    form->MenuTypeParamClick(form->Adjustment);
    EXPECT_TRUE(sim->coil(1, 4));
    sim->setHolding(1, 15, 1);

    // The second device: the first goes back to work first, then the same view opens on the second.
    sim->clearLog();
    reads.clear();
    form->DeviceClick(form->Device[2]);
    EXPECT_EQ(requestPdus(), QStringList({"01 05 00 04 00 00", "01 06 00 0f 00 00", "05 03 00 60 00 01",
                                          "05 05 00 02 00 00", "05 05 00 04 ff 00"}));
    EXPECT_FALSE(sim->coil(1, 4));
    EXPECT_EQ(sim->holding(1, 15), 0);
    EXPECT_TRUE(sim->coil(5, 4));
    EXPECT_EQ(form->DeviceAddress, 5);
    EXPECT_FALSE(form->TwoChannelMode);
    EXPECT_EQ(reads, QList<int>({7}));
    EXPECT_TRUE(form->MenuChoiceChannel->isEnabled());
    EXPECT_EQ(form->StatusBar2->text(0), Id + " адрес:   5");
}

TEST_F(Discovery, DeviceThatDoesNotAnswerLeavesTheMenusAsTheyWere) {
    writeSensCfg(sensCfg());
    startSimulator({device(1)});
    createWindow();
    TForm1::setCaption(form->Device[1], QStringLiteral("A   B адрес:   9"));
    TForm1::setCaption(form->Device[2], QStringLiteral("A   B адрес: abc"));
    form->LinkIdle = false;
    form->DeviceClick(form->Device[1]);
    EXPECT_EQ(requestPdus(), QStringList({"09 03 00 60 00 01"}));
    EXPECT_EQ(form->StatusBar1->text(0), QStringLiteral("          Ошибка связи"));
    EXPECT_EQ(form->StatusBar1->bevel(0), StatusBar::Bevel::Raised);
    EXPECT_FALSE(form->MenuTypeParam->isEnabled());
    EXPECT_TRUE(form->StatusBar2->text(0).isEmpty());
    EXPECT_FALSE(form->LinkIdle);
    EXPECT_TRUE(form->isEnabled());

    // A caption that ends in no number selects nothing and sends nothing.
    sim->clearLog();
    form->DeviceClick(form->Device[2]);
    EXPECT_TRUE(sim->requests().isEmpty());
    EXPECT_EQ(form->DeviceAddress, 9);
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(Discovery, ManualChoiceIdentifiesWithoutReading) {
    writeSensCfg(sensCfg());
    startSimulator({device(5)});
    createWindow();
    ModalDriver driver;
    driver.then(on<TForm8>([](TForm8* d) {
        d->EditAddr->setText(QStringLiteral("5"));
        d->ComboBoxSpeed->setCurrentIndex(d->ComboBoxSpeed->findText(QStringLiteral("19200")));
        press(d->Button1);
    }));
    driver.then(on<TForm8>([](TForm8* d) { press(d->Button1); },
                           [](TForm8* d) { return d->Button1->text() == QLatin1String("Ok"); }));
    form->MenuOtherDeviceClick();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(driver.unexpected(), 0);
    EXPECT_EQ(requestPdus(), QStringList({"05 11"}));
    EXPECT_EQ(form->ModBus->MSComm1()->Settings(), QStringLiteral("19200,n,8,1"));
    EXPECT_EQ(form->DeviceAddress, 5);
    EXPECT_EQ(TForm1::captionOf(form->Device[1]), Id + " адрес:   5");
    EXPECT_FALSE(form->Device[1]->isVisible());
    EXPECT_EQ(form->StatusBar2->text(0), Id + " адрес:   5");
    EXPECT_EQ(form->StatusBar2->bevel(0), StatusBar::Bevel::Raised);
    EXPECT_TRUE(form->MenuTypeParam->isEnabled());
    // The meter answered: its parameters can be saved and loaded as a scanned meter's can.
    EXPECT_TRUE(form->MenuSaveParam->isEnabled());
    EXPECT_TRUE(form->MenuLoadParam->isEnabled());
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(Discovery, ManualChoiceFailures) {
    struct Case {
        const char* name;
        const char* address;
        const char* error;  // the TForm9 text shown
        int adoptedAddress; // what the window takes once the dialog is closed with its close box
        bool fileCommands; // "Сохранить параметры" and "Загрузить параметры" enabled afterwards
    };
    const Case cases[] = {
        // Nothing is adopted: the file commands of the meter chosen before stay.
        {"not a number", "abc", "Некорректные значения", 0, true},
        // A typed address that answers nothing is still taken, with an empty device text, but
        // nothing can be saved from or loaded into a meter that did not answer.
        {"nobody there", "9", "Прибор не найден", 9, false},
    };
    writeSensCfg(sensCfg());
    startSimulator({device(5)});
    createWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->DeviceAddress = 0;
        form->MenuSaveParam->setEnabled(true);
        form->MenuLoadParam->setEnabled(true);
        QString shown;
        ModalDriver driver;
        driver.then(on<TForm8>([&](TForm8* d) {
            d->EditAddr->setText(QString::fromLatin1(c.address));
            d->ComboBoxSpeed->setCurrentIndex(d->ComboBoxSpeed->findText(QStringLiteral("9600")));
            press(d->Button1);
        }));
        driver.then(on<TForm9>([&](TForm9* d) {
            for (QLabel* l : {d->LabelInvalid, d->LabelNotFound})
                if (l->isVisibleTo(d)) shown += l->text();
            press(d->Button1);
        }));
        driver.then(on<TForm8>([](TForm8* d) { d->close(); }));
        form->MenuOtherDeviceClick();
        EXPECT_TRUE(driver.done());
        EXPECT_EQ(shown, QString::fromUtf8(c.error));
        EXPECT_EQ(form->DeviceAddress, c.adoptedAddress);
        EXPECT_EQ(form->MenuSaveParam->isEnabled(), c.fileCommands);
        EXPECT_EQ(form->MenuLoadParam->isEnabled(), c.fileCommands);
        EXPECT_TRUE(form->LinkIdle);
    }
    EXPECT_TRUE(TForm1::captionOf(form->Device[1]).isEmpty());
}
