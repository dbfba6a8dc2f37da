// The main window's switching between parameter groups and channels, polling and the guard.
#include "app/tform1.h"

#include "ui/statusbar.h"
#include "ui/tform4.h"
#include "ui/tform7.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

void setChecked(std::initializer_list<QAction*> items, bool checked) {
    for (QAction* item : items)
        item->setChecked(checked);
}

} // namespace

QAction* TForm1::checkedTypeItem() const {
    for (QAction* item : m_typeItems)
        if (item->isChecked()) return item;
    return nullptr;
}

QAction* TForm1::checkedArchiveOrJournalItem() const {
    for (QAction* item : {Hour, Day, Month, Fault, Operator, Nstate})
        if (item->isChecked()) return item;
    return nullptr;
}

QAction* TForm1::currentGroupChoice() const {
    QAction* current = checkedTypeItem();
    if (current && (tagOf(current) == GroupArchives || tagOf(current) == GroupJournals))
        current = checkedArchiveOrJournalItem();
    return current;
}

void TForm1::showChannelPanel(const QString& text) {
    StatusBar2->setText(2, text);
    StatusBar2->setBevel(2, StatusBar::Bevel::Raised);
}

void TForm1::hideChannelPanel() {
    StatusBar2->setText(2, QString());
    StatusBar2->setBevel(2, StatusBar::Bevel::Lowered);
}

void TForm1::MenuTypeParamClick(QAction* item) {
    if (!item) return;
    OperatorAction action(*this,
                          {.guard = OperatorAction::Guard::Opened, .poll = OperatorAction::Poll::Stopped});
    {
        const DisabledWindow disabled = action.disableWindow();
        hideGroupViews();

        const int tag = tagOf(item);
        for (QAction* typeItem : std::as_const(m_typeItems)) {
            const bool chosen = tagOf(typeItem) == tag;
            typeItem->setChecked(chosen);
            if (chosen) setTag(MenuTypeParam, tag);
        }

        bool rangeConfirmed = false;
        if (tag >= ArchiveHour && tag <= ArchiveMonth) {
            rangeConfirmed = ArchiveRangeDialog && ArchiveRangeDialog();
            for (QAction* a : {Hour, Day, Month})
                a->setChecked(a == item);
            ArchiveNumber = tag - ArchiveHour;
            setTag(MenuTypeParam, GroupArchives);
            Archives->setChecked(true);
            MenuSaveArchive->setEnabled(!ArchiveSaveAllowed || ArchiveSaveAllowed());
            setChecked({Fault, Operator, Nstate}, false);
        } else if (tag >= JournalFault && tag <= JournalNstate) {
            for (QAction* a : {Fault, Operator, Nstate})
                a->setChecked(a == item);
            ArchiveNumber = tag - ArchiveHour;
            if (tag == JournalNstate && SecondChannel->isChecked()) ArchiveNumber = 6;
            setTag(MenuTypeParam, GroupJournals);
            Journals->setChecked(true);
            MenuSaveArchive->setEnabled(!ArchiveSaveAllowed || ArchiveSaveAllowed());
            setChecked({Hour, Day, Month}, false);
        } else {
            MenuSaveArchive->setEnabled(false);
            setChecked({Hour, Day, Month, Fault, Operator, Nstate}, false);
        }

        const int group = tagOf(MenuTypeParam);
        if (group == GroupAdjustment || group == GroupArchives || tag == JournalNstate) {
            setMenuEnabled(MenuChoiceChannel, true);
            if (FirstChannel->isChecked()) {
                showChannelPanel(QStringLiteral("1 - канал"));
                m_exchange->clearCoil(2);
            } else {
                showChannelPanel(QStringLiteral("2 - канал"));
                m_exchange->setCoil(2);
            }
        } else {
            setMenuEnabled(MenuChoiceChannel, false);
            hideChannelPanel();
        }
        if (group == GroupAdjustment)
            m_exchange->setCoil(4);
        else
            m_exchange->clearCoil(4);

        if (group != GroupArchives || rangeConfirmed) runGroupReader(group);
    }
}

void TForm1::ChannelClick(QAction* item) {
    if (!item) return;
    OperatorAction action(*this,
                          {.guard = OperatorAction::Guard::Opened, .poll = OperatorAction::Poll::Stopped});
    const bool first = item == FirstChannel;
    {
        const DisabledWindow disabled = action.disableWindow();
        FirstChannel->setChecked(first);
        SecondChannel->setChecked(!first);
        setMenuEnabled(MenuLink, false);
        setMenuEnabled(MenuChoiceChannel, false);
        if (first)
            m_exchange->clearCoil(2);
        else
            m_exchange->setCoil(2);
        setMenuEnabled(MenuLink, true);
        setMenuEnabled(MenuChoiceChannel, true);
        StatusBar2->setText(2, first ? QStringLiteral("1 - й канал") : QStringLiteral("2 - канал"));
    }
    if (QAction* current = currentGroupChoice()) MenuTypeParamClick(current);
}

void TForm1::TopMenuOpened() {
    // An open menu holds the guard beyond its own end, until Timer3 finds the window active again.
    OperatorAction opened(*this);
    if (!opened) return;
    opened.leaveGuard();
    Timer3->start();
}

void TForm1::Timer1Timer() {
    // A period of 0 means no polling, though a toolkit timer would then tick without pause.
    if (Timer1->interval() <= 0) {
        Timer1->stop();
        return;
    }
    OperatorAction action(*this, {.poll = OperatorAction::Poll::Paused});
    if (!action) return;
    action.exchange([this] {
        const int group = tagOf(MenuTypeParam);
        if (group >= GroupSystem && group <= GroupCounters) runGroupReader(group);
    });
}

void TForm1::Timer3Timer() {
    // A tick that arrives while an exchange runs (the engine pumps events as it waits) must not
    // open the guard under it; the next tick will.
    if (!isActiveWindow() || exchangeRunning()) return;
    Timer3->stop();
    // The open menu's hold ends as any menu choice's does: the guard opens.
    const OperatorAction menuClosed(*this, {.guard = OperatorAction::Guard::Opened});
}

void TForm1::MenuPollPeriodClick() {
    const OperatorAction action(*this, {.guard = OperatorAction::Guard::Opened});
    if (Form7) {
        Form7->setPeriodMs(Timer1->interval());
        Form7->exec();
        Timer1->setInterval(Form7->periodMs());
    }
}

void TForm1::MenuRS232Click() {
    const OperatorAction action(*this, {.guard = OperatorAction::Guard::Opened});
    if (Form4) {
        Form4->fill(linkSettings());
        Form4->exec();
        // "Ok" and "Cancel" close alike; what "Ok" took before a refused field stays taken.
        applyLinkSettings(Form4->Values);
    }
    Memo1->setVisible(UseModem);
}
