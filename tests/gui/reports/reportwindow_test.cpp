// "Сервис" > "Отчёт о потреблении" in the real window: built from the day archive just read, a day
// per grid row with the grid's volumes, and saved as a PDF in the meter's folder.
#include "mainwindowfixture.h"

#include "app/archivesview.h"
#include "app/consumptionreportview.h"
#include "device/encodings.h"
#include "ui/reportwindow.h"
#include "ui/stringgrid.h"
#include "ui/tform15.h"

#include <QMessageBox>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {

using State = consumption::Day::State;

class ReportWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        sim::DeviceOptions meter = device(1);
        meter.electronicNumber = 633190;
        startWithMeterChosen({meter});
        archives = ArchivesView::install(*form);
        archives->now = [] { return enc::SecToDate(DeviceStart); };
        view = ConsumptionReportView::install(*form, *archives);
    }
    void readDays() { readWhole(form->Day); }

    ArchivesView* archives = nullptr;
    ConsumptionReportView* view = nullptr;
};

TEST_F(ReportWindowTest, EveryDayOfTheGridIsARowOfTheReportWithTheSameVolumes) {
    readDays();
    view->MenuConsumptionReportClick();
    ASSERT_TRUE(view->report());
    const consumption::Report& report = *view->report();
    EXPECT_EQ(report.heading.electronicNumber, "633190");
    EXPECT_EQ(report.heading.channel, 1);
    EXPECT_GT(report.notRecorded, 0); // the simulated meter was off for a day
    const QList<QStringList> rows = form->StringGridArchives->rows();
    int matched = 0;
    for (const consumption::Day& day : report.days) {
        if (day.state != State::Recorded) continue;
        const QString date = day.date.toString("dd.MM.yyyy");
        for (const QStringList& row : rows)
            if (row.value(0).trimmed() == date) {
                EXPECT_EQ(enc::MyFormatFloat(float(day.plus)), row.value(1).trimmed()) << date.toStdString();
                EXPECT_EQ(enc::MyFormatFloat(float(day.minus)), row.value(2).trimmed()) << date.toStdString();
                ++matched;
            }
    }
    EXPECT_EQ(matched, report.recorded);
    EXPECT_TRUE(view->window()->isVisible());
    EXPECT_GE(view->window()->preview()->pageCount(), 1);
    EXPECT_TRUE(windowUsable());
}

TEST_F(ReportWindowTest, ThePdfGoesIntoTheMetersFolder) {
    readDays();
    view->MenuConsumptionReportClick();
    QString folder;
    ModalDriver driver;
    driver.then(chooseFile(QDir::current().filePath("633190/report.pdf"), nullptr, &folder));
    driver.then(pressIn(form->Form15, form->Form15->Button1));
    view->window()->ButtonSavePdf->click();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(folder, QDir::current().filePath("633190"));
    EXPECT_TRUE(fileBytes("633190/report.pdf").startsWith("%PDF"));
}

TEST_F(ReportWindowTest, WithoutADayArchiveItSaysWhatToReadAndSendsNothing) {
    sim->clearLog();
    view->MenuConsumptionReportClick();
    EXPECT_FALSE(view->report());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("суточному архиву")) << messages[0].toStdString();
    EXPECT_TRUE(sim->requests().isEmpty());
}

TEST_F(ReportWindowTest, SayingWhatToReadFirstIsInformationNotAnError) {
    TForm1::messageHook() = {}; // the real box, to see its sign
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalDriver driver;
    driver.then(on<QMessageBox>([&](QMessageBox* box) {
        icon = box->icon();
        press(box->button(QMessageBox::Ok));
    }));
    view->MenuConsumptionReportClick();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(icon, QMessageBox::Information);
}

} // namespace
