// Two meters on the line, the system view read on one and another chosen without reading it again:
// the number that names folders, heads exports and ties a snapshot to its meter is the chosen
// meter's, never the one the system view still shows.
#include "mainwindowfixture.h"

#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/paramfiles.h"
#include "app/systemparams.h"
#include "device/encodings.h"
#include "ui/chartwindow.h"
#include "ui/statusbar.h"
#include "ui/tform15.h"
#include "ui/tform16.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>

namespace {

class WrongMeter : public MainWindowTest {
  protected:
    static constexpr quint32 First = 633190, Fifth = 849661;

    void SetUp() override {
        MainWindowTest::SetUp();
        sim::DeviceOptions one = device(1), five = device(5);
        one.electronicNumber = First;
        five.electronicNumber = Fifth;
        startWithMeterChosen({one, five});
        SystemParams::install(*form);
        files = ParamFiles::install(*form);
        files->pause = [](int) {};
        archives = ArchivesView::install(*form);
        archives->now = [] { return enc::SecToDate(DeviceStart); };
        chart = ArchiveChartView::install(*form, *archives);

        // Meter 5's system view read and its parameters saved; then meter 1 chosen.
        pretendSelected(5);
        form->MenuTypeParamClick(form->SystemParam);
        ASSERT_EQ(form->findChild<QLineEdit*>("EditElNumber")->text(), QString::number(Fifth));
        ModalDriver driver;
        driver.then(chooseFile(folderOf(Fifth) + "/Param.txt"));
        driver.then(pressIn(form->Form15, form->Form15->Button1));
        files->MenuSaveParamClick();
        ASSERT_TRUE(driver.done());
        fifthReport = fileBytes(folderOf(Fifth) + "/Param.txt");
        ASSERT_FALSE(fifthReport.isEmpty());
        pretendSelected(1);
        sim->clearLog();
    }

    static QString folderOf(quint32 number) { return QDir::current().filePath(QString::number(number)); }
    QStringList writes() const { return requestPdus().filter(QRegularExpression("^.. (05|06|10)")); }

    ParamFiles* files = nullptr;
    ArchivesView* archives = nullptr;
    ArchiveChartView* chart = nullptr;
    QByteArray fifthReport;
};

TEST_F(WrongMeter, AnotherMetersSnapshotIsRefusedAndTheDialogOpensInTheChosenMetersFolder) {
    QDir().mkdir(folderOf(First));
    QString folder, outcome;
    ModalDriver driver;
    driver.then(chooseFile(folderOf(Fifth) + "/Param.bin", nullptr, &folder));
    driver.then([&](QWidget* w) {
        if (w != files->Form16()) return false;
        outcome = files->Form16()->StaticText3->isVisible() ? "refused" : "loaded";
        press(files->Form16()->Button1);
        return true;
    });
    files->MenuLoadParamClick();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(folder, folderOf(First));
    EXPECT_EQ(outcome, "refused");
    EXPECT_EQ(requestPdus(), QStringList{"01 03 00 08 00 02"});
    EXPECT_TRUE(windowUsable());
}

TEST_F(WrongMeter, AMeterThatDoesNotTellItsNumberGetsNoLoadAndNoDialog) {
    sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    ModalDriver driver;
    files->MenuLoadParamClick();
    EXPECT_TRUE(driver.done()); // no dialog was opened
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_TRUE(windowUsable());
}

TEST_F(WrongMeter, SavingParametersGoesToTheChosenMetersFolderAndLeavesTheOtherMetersFiles) {
    QString suggested;
    ModalDriver driver;
    driver.then(chooseFile(folderOf(First) + "/Param.txt", &suggested));
    driver.then(pressIn(form->Form15, form->Form15->Button1));
    files->MenuSaveParamClick();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(suggested, folderOf(First) + "/Param.txt");
    EXPECT_EQ(fileBytes(folderOf(Fifth) + "/Param.txt"), fifthReport);
    const QByteArray snapshot = fileBytes(folderOf(First) + "/Param.bin");
    ASSERT_EQ(snapshot.size(), 655);
    EXPECT_EQ(enc::u32(reinterpret_cast<const std::uint8_t*>(snapshot.constData())), First);
}

TEST_F(WrongMeter, AnExportAndTheArchiveChartsPictureCarryTheChosenMetersNumber) {
    readWhole(form->Month);

    QString folder;
    ModalDriver exportDriver;
    exportDriver.then(chooseFile(QDir::current().filePath("month.txt"), nullptr, &folder));
    exportDriver.then(pressIn(form->Form15, form->Form15->Button1));
    archives->MenuSaveArchiveClick();
    EXPECT_TRUE(exportDriver.done());
    EXPECT_EQ(folder, folderOf(First));
    const QStringList lines =
        QStringDecoder("windows-1251")(fileBytes("month.txt")).operator QString().split("\r\n");
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines[1], "Электронный номер прибора :" + QString::number(First));

    chart->MenuArchiveChartClick();
    ModalDriver pngDriver;
    pngDriver.then(chooseFile(QDir::current().filePath("month.png"), nullptr, &folder));
    pngDriver.then(pressIn(form->Form15, form->Form15->Button1));
    chart->window()->ButtonSavePng->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return pngDriver.done(); }, 5000));
    EXPECT_EQ(folder, folderOf(First));
    EXPECT_FALSE(QDir(folderOf(Fifth)).exists("Archive2_ch1.png"));
}

} // namespace
