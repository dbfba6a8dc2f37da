// The archive and journal views in the real window against the simulator: the menus that lead to
// them, the grids they fill, channel switching, a link that fails mid-archive, and the export.
#include "mainwindowfixture.h"

#include "app/archivesview.h"
#include "app/filesave.h"
#include "app/systemparams.h"
#include "device/encodings.h"
#include "device/records.h"
#include "ui/confirmdialog.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform12.h"
#include "ui/tform13.h"
#include "ui/tform15.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
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

TEST_F(ArchivesWindow, ADamagedRecordIsMarkedInItsOwnHourAndTheStatusSaysSo) {
    choose(form->Hour, "05.03.2024 00:00", "05.03.2024 10:00");
    QList<QStringList> expected = form->StringGridArchives->rows();
    ASSERT_EQ(expected.size(), 1 + 10);
    EXPECT_EQ(form->StatusBar1->text(1), "");

    // The first block (after two coils and the base) spoils hour 2. It and hour 3, whose volumes it
    // would have given, are not read; hour 4 and every later one keep their rows.
    sim::FaultSpec damaged = sim::FaultSpec::onNth(sim::Fault::BadRecord, 4);
    damaged.badRecord = 3;
    sim->setFault(damaged);
    choose(form->Hour, "05.03.2024 00:00", "05.03.2024 10:00");
    for (int hour : {2, 3})
        expected[1 + hour] =
            QStringList{QStringLiteral("   05.03.2024    %1 час.").arg(hour, 2, 10, QChar('0')),
                        "Не прочитан", "", "", ""};
    EXPECT_EQ(form->StringGridArchives->rows(), expected);
    EXPECT_TRUE(form->StringGridArchives->isVisible());
    EXPECT_EQ(form->StatusBar1->text(1), "Не прочитано периодов: 2 из 10 (в таблице: «Не прочитан»)");
    EXPECT_EQ(form->StatusBar1->bevel(1), StatusBar::Bevel::Raised);
    EXPECT_EQ(form->StatusBar1->text(0), "");

    // It goes with the grid.
    form->MenuTypeParamClick(form->SystemParam);
    EXPECT_EQ(form->StatusBar1->text(1), "");
    EXPECT_EQ(form->StatusBar1->bevel(1), StatusBar::Bevel::Lowered);
}

TEST_F(ArchivesWindow, CancellingTheRangeReadsNothing) {
    choose(form->Day, nullptr, nullptr, true);
    EXPECT_TRUE(archiveRequests().isEmpty());
    EXPECT_FALSE(form->StringGridArchives->isVisible());
    EXPECT_FALSE(form->MenuSaveArchive->isEnabled()) << "nothing read, nothing to save";
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
    // After two coils, the meter's number (asked once for the choice), the base and a block.
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 6));
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

// "Стоп" in a reading's window ends the reading before its next request, as a lost link would, but
// what was read is shown and, once the operator agrees to a file with what is missing, exported
// without a row waiting to be filled.
TEST_F(ArchivesWindow, StopEndsALongReadingAndShowsWhatWasRead) {
    struct Case {
        QAction* item;
        BusyWindow* window;
        StringGrid* grid;
        int stopAfter;
        const char* question;
    };
    for (const Case& c : {Case{form->Hour, view->Form12(), form->StringGridArchives, 3,
                               "Чтение прервано: прочитано 16 из 671 периодов. Сохранить?"},
                          Case{form->Nstate, view->Form13(), form->StringGridJournals, 2,
                               "Чтение прервано: прочитано 50 из 128 записей. Сохранить?"}}) {
        auto* stop = c.window->findChild<QPushButton*>(QStringLiteral("ButtonStop"));
        ASSERT_NE(stop, nullptr);
        EXPECT_EQ(stop->text(), "Стоп");
        QObject watch;
        QObject::connect(c.window->ProgressBar, &QProgressBar::valueChanged, &watch, [&](int done) {
            if (done == c.stopAfter) stop->click();
        });
        choose(c.item);
        EXPECT_EQ(archiveRequests().size(), c.stopAfter);
        EXPECT_FALSE(c.window->isVisible());
        EXPECT_NE(form->StatusBar1->text(0), LinkFailure);
        EXPECT_TRUE(c.grid->isVisible());
        EXPECT_GT(c.grid->rowCount(), 2);
        EXPECT_TRUE(windowUsable());

        EXPECT_FALSE(c.grid->rows().last().join("").isEmpty());

        // Asked first, "Нет" the default: nothing is written.
        const QString path = QDir::current().filePath(c.window->objectName() + ".txt");
        QString question;
        bool noIsDefault = false;
        ModalDriver refuse;
        refuse.then(on<ConfirmDialog>([&](ConfirmDialog* d) {
            question = d->Label1->text();
            noIsDefault = d->ButtonNo->isDefault();
            press(d->ButtonNo);
        }));
        view->MenuSaveArchiveClick();
        EXPECT_TRUE(refuse.done());
        EXPECT_EQ(question, QString::fromUtf8(c.question));
        EXPECT_TRUE(noIsDefault);
        EXPECT_FALSE(QFile::exists(path));

        ModalDriver agree;
        agree.then(on<ConfirmDialog>([](ConfirmDialog* d) { press(d->ButtonYes); }));
        const QStringList lines = save(path).split("\r\n");
        EXPECT_TRUE(agree.done());
        EXPECT_EQ(lines.size(), 5 + c.grid->rowCount());
        EXPECT_EQ(lines.mid(4, c.grid->rowCount()).last(), c.grid->rows().last().join('#'));
        EXPECT_FALSE(lines.mid(4, c.grid->rowCount()).last().remove('#').isEmpty()) << "no empty row";
    }
    // The next reading starts afresh.
    choose(form->Fault);
    EXPECT_EQ(archiveRequests().size(), 2);
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
