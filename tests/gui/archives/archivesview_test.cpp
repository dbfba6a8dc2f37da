// The archive and journal views in the real window against the simulator: the menus that lead to
// them, the grids they fill, channel switching, a link that fails mid-archive, and the export.
#include "mainwindowfixture.h"

#include "app/archivesview.h"
#include "app/filesave.h"
#include "app/systemparams.h"
#include "device/encodings.h"
#include "device/records.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform15.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>

namespace {

class ArchivesWindow : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen();
        SystemParams::install(*form);
        view = ArchivesView::install(*form);
        view->now = [] { return enc::SecToDate(DeviceStart); };
        form->MenuTypeParamClick(form->SystemParam); // the electronic number for the export
    }

    // Chooses a menu item, answering the range dialog with a range (or the full archive) or Esc.
    void choose(QAction* item, const char* from = nullptr, const char* to = nullptr, bool cancel = false) {
        ModalDriver driver;
        driver.then(on<TForm10>([=](TForm10* d) {
            if (cancel) return d->reject();
            (from ? d->RadioButtonChoice : d->RadioButtonFull)->click();
            d->EditDateStart->setText(from);
            d->EditDateEnd->setText(to);
            press(d->ButtonOkRangeArchive);
        }));
        sim->clearLog();
        form->LinkIdle = false;
        form->MenuTypeParamClick(item);
    }
    QStringList archiveRequests() const { return requestPdus().filter(QRegularExpression("^01 41")); }
    float volume(quint32 time, int channel, int reverse) const {
        ArchiveRecord r;
        EXPECT_TRUE(sim->archiveRecord(1, 0, time, &r));
        return r.volume[channel][reverse];
    }
    // Saves through the menu handler into path, answering the save dialog and the finished window.
    QString save(const QString& path, QString* suggested = nullptr, QString* folder = nullptr) {
        ModalDriver driver;
        driver.then(chooseFile(path, suggested, folder));
        driver.then(pressIn(form->Form15, form->Form15->Button1));
        view->MenuSaveArchiveClick();
        return QStringDecoder("windows-1251")(fileBytes(path));
    }

    ArchivesView* view = nullptr;
};

TEST_F(ArchivesWindow, AnHourSelectionIsReadIntoTheGrid) {
    choose(form->Hour, "05.03.2024 10:30", "05.03.2024 13:59");
    EXPECT_EQ(archiveRequests(), (QStringList{"01 41 00 00 00 01 01 00 00 09 05 03 18",
                                              "01 41 00 00 00 03 01 00 00 0a 05 03 18"}));
    StringGrid* grid = form->StringGridArchives;
    EXPECT_TRUE(grid->isVisible());
    EXPECT_EQ(form->ArchiveNumber, 0);
    ASSERT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(grid->cell(0, 0), "Дата и время архивации");
    EXPECT_EQ(grid->cell(0, 1), "   05.03.2024    10 час.");
    const quint32 hour10 = DeviceStart - DeviceStart % 3600 - 4 * 3600;
    EXPECT_EQ(grid->cell(1, 1), enc::MyFormatFloat(volume(hour10, 0, 0) - volume(hour10 - 3600, 0, 0)));

    // Another channel repeats the choice: the range dialog again, then channel 2's counters.
    ModalDriver driver;
    driver.then(on<TForm10>([](TForm10* d) { press(d->ButtonOkRangeArchive); }));
    form->ChannelClick(form->SecondChannel);
    EXPECT_EQ(form->StatusBar2->text(2), "2 - канал");
    EXPECT_EQ(grid->cell(1, 1), enc::MyFormatFloat(volume(hour10, 1, 0) - volume(hour10 - 3600, 1, 0)));
    EXPECT_TRUE(grid->isVisible());
}

TEST_F(ArchivesWindow, CancellingTheRangeReadsNothing) {
    choose(form->Day, nullptr, nullptr, true);
    EXPECT_TRUE(archiveRequests().isEmpty());
    EXPECT_FALSE(form->StringGridArchives->isVisible());
    EXPECT_TRUE(form->MenuSaveArchive->isEnabled());
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(ArchivesWindow, TheAbnormalJournalOfChannel2) {
    form->ChannelClick(form->SecondChannel);
    choose(form->Nstate);
    EXPECT_EQ(form->ArchiveNumber, 6);
    const QStringList sent = archiveRequests();
    ASSERT_EQ(sent.size(), 6);
    EXPECT_EQ(sent[0], "01 41 00 06 00 19 00 00 00");
    EXPECT_EQ(sent[5], "01 41 00 06 00 03 00 00 7d");
    StringGrid* grid = form->StringGridJournals;
    EXPECT_TRUE(grid->isVisible());
    EXPECT_EQ(grid->rowCount(), 1 + sim->journal(1, 6).size());
    EXPECT_EQ(grid->cell(3, 0), "                   Описание нештатных ситуаций");
}

TEST_F(ArchivesWindow, ALinkFailureMidArchiveHidesTheGridButExportsTheRowsRead) {
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 5)); // after two coils, the base and a block
    choose(form->Month);
    EXPECT_EQ(archiveRequests().size(), 3);
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_FALSE(form->StringGridArchives->isVisible());
    EXPECT_EQ(form->StringGridArchives->rowCount(), 1 + 8 + 1);
    EXPECT_TRUE(form->isEnabled());

    QString suggested, folder;
    const QString text = save(QDir::current().filePath("month.txt"), &suggested, &folder);
    const QString number = form->findChild<QLineEdit*>("EditElNumber")->text();
    ASSERT_FALSE(number.isEmpty());
    EXPECT_EQ(folder, QDir::current().filePath(number));
    EXPECT_TRUE(suggested.endsWith("/Archive2_ch1.txt"));
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 4 + 10 + 1);
    EXPECT_EQ(lines[1], "Электронный номер прибора :" + number);
    EXPECT_EQ(lines[2], "Месячный архив 1 - канал");
    EXPECT_EQ(lines[13], "###");
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(ArchivesWindow, AnExceptionReplyIsALinkFailureNotData) {
    sim->setFault(sim::FaultSpec::always(sim::Fault::Exception));
    choose(form->Operator);
    EXPECT_EQ(archiveRequests().size(), 1);
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_FALSE(form->StringGridJournals->isVisible());
    const QList<QStringList> rows = form->StringGridJournals->rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0][0], "   Действия оператора");
    EXPECT_EQ(rows[1], QStringList(4));
}

TEST_F(ArchivesWindow, AFileThatCannotBeWrittenIsNamedInAnErrorBox) {
    // Not even root may create a file in /proc; the dialog is left out, as it would browse there.
    const QString path = QStringLiteral("/proc/kastari-faults.txt");
    EXPECT_FALSE(filesave::write(*form, {{path, "x"}}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(path)) << messages[0].toStdString();
    EXPECT_FALSE(form->Form15->isVisible());
}

} // namespace
