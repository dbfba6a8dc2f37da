// The main window's scan of the line, the device menu, the choice of a device and modem dialling.
#include "app/tform1.h"

#include "device/identification.h"
#include "device/sysparams.h"
#include "link/linespeed.h"
#include "link/linkport.h"
#include "link/modem.h"
#include "link/tmodbus.h"
#include "ui/statusbar.h"
#include "ui/tform20.h"
#include "ui/tform3.h"
#include "ui/tform8.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTimer>

std::optional<QString> TForm1::identify(int address) {
    ModBus->ReportSlaveId(std::uint8_t(address));
    if (!ModBus->replyOk()) return std::nullopt;
    return ident::deviceText(ModBus->replyFrame());
}

void TForm1::MenuConnectClick() {
    if (!Form3) return;
    OperatorAction action(*this,
                          {.guard = OperatorAction::Guard::Opened, .poll = OperatorAction::Poll::Stopped});
    setMenuEnabled(MenuLink, false);
    setMenuEnabled(MenuTypeParam, false);
    setMenuEnabled(MenuChoiceChannel, false);
    // No meter is chosen from here until the operator picks one: the previous meter's view and its
    // file commands would otherwise still write to it (an edit's Enter, "Очистка архивов").
    hideGroupViews();
    for (QAction* item : {MenuSaveArchive, MenuSaveParam, MenuLoadParam})
        item->setEnabled(false);
    Memo1->setVisible(UseModem);
    {
        // The modem's dialogue stays readable while the window refuses input.
        const DisabledWindow disabled = action.disableWindow(Memo1);
        if (!UseModem || ConnectModem()) {
            // The scan window stays usable ("Stop") while the main window is disabled.
            Form3->prepare();
            Form3->show();
            for (int n = 1; n <= DeviceItemCount; ++n) {
                Device[n]->setText(QString());
                Device[n]->setVisible(false);
            }
            const QString speed = linespeed::textOf(ModBus->MSComm1()->Settings());
            const TModBus::RetriesOff askOnce(*ModBus);
            int found = 0;
            for (int address = 1; address <= DeviceItemCount; ++address) {
                if (Form3->StopRequested) break;
                if (const std::optional<QString> text = identify(address)) {
                    Form3->addDevice(address, speed, *text);
                    ++found;
                    setCaption(Device[found], ident::entryText(*text, address));
                    Device[found]->setVisible(true);
                }
                Form3->setProgress(address);
            }
            Form3->hide();
        }
        setMenuEnabled(MenuLink, true);
    }
}

void TForm1::channelMenuForDevice(bool channelShown) {
    if (channelShown) {
        setMenuEnabled(MenuChoiceChannel, true);
        showChannelPanel(FirstChannel->isChecked() ? captionOf(FirstChannel) : captionOf(SecondChannel));
    } else {
        setMenuEnabled(MenuChoiceChannel, false);
        hideChannelPanel();
    }
}

void TForm1::DeviceClick(QAction* item) {
    if (!item) return;
    OperatorAction action(*this, {.guard = OperatorAction::Guard::Opened});
    Memo1->hide();
    const QString caption = captionOf(item);
    {
        const DisabledWindow disabled = action.disableWindow();
        if (menuEnabled(MenuTypeParam)) {
            // The device we leave goes back to work: adjustment mode off, operational work mode.
            hideGroupViews();
            m_exchange->clearCoil(4);
            m_exchange->writeRegister(15, 0);
        }
        const std::optional<int> address = ident::addressOfEntry(caption);
        if (!address) return;
        DeviceAddress = *address;
        meterChosen();
        const std::optional<RegisterBlock> block =
            m_exchange->readHolding(sysparams::ChannelModeRead.first, sysparams::ChannelModeRead.count);
        if (!block) {
            // The meter did not answer: the guard stays as the menu left it.
            action.leaveGuard();
            return;
        }
        TwoChannelMode = sysparams::twoChannelMode(*block).value_or(false);
        StatusBar2->setText(0, caption);
        StatusBar2->setBevel(0, StatusBar::Bevel::Raised);
        setMenuEnabled(MenuTypeParam, true);
        MenuSaveParam->setEnabled(true);
        MenuLoadParam->setEnabled(true);
        channelMenuForDevice(Adjustment->isChecked() || Archives->isChecked() || Nstate->isChecked());
    }
    if (QAction* current = currentGroupChoice()) MenuTypeParamClick(current);
}

void TForm1::MenuOtherDeviceClick() {
    const OperatorAction action(*this, {.guard = OperatorAction::Guard::Opened});
    if (Form8) {
        Form8->exec();
        if (!Form8->InvalidInput) {
            DeviceAddress = Form8->Address;
            meterChosen();
            setMenuEnabled(MenuTypeParam, true);
            channelMenuForDevice(Adjustment->isChecked() || Archives->isChecked());
            setCaption(Device[1], Form8->EntryText);
            StatusBar2->setText(0, Form8->EntryText);
            StatusBar2->setBevel(0, StatusBar::Bevel::Raised);
            // A meter that answered its identification is as chosen as one from the scan; an
            // address taken after "Прибор не найден" has no entry text and gets no file commands.
            const bool answered = !Form8->EntryText.isEmpty();
            MenuSaveParam->setEnabled(answered);
            MenuLoadParam->setEnabled(answered);
        }
    }
}

// --- Modem ----------------------------------------------------------------------------------------

bool TForm1::ConnectModem() {
    const modem::DialResult result =
        modem::dial(*ModBus,
                    {.initString = ModemInitString,
                     .dialPrefix = DialPrefix,
                     .phoneNumber = PhoneNumber,
                     .delaySeconds = ModemDelay},
                    [this](const QString& line) { Memo1->appendPlainText(line); });
    if (result == modem::DialResult::Connected) return true;
    if (Form20) {
        const NormalCursor normal;
        Form20->execWith(modem::operatorText(result));
    }
    return false;
}
