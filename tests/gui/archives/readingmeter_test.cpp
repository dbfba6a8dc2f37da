// Two meters of one kind on the line, and rows read from one while the other is chosen: the export
// file, the chart's picture and the consumption report name the meter the rows were read from.
#include "mainwindowfixture.h"

#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/consumptionreportview.h"
#include "app/systemparams.h"
#include "device/encodings.h"
#include "device/identification.h"
#include "ui/chartwindow.h"
#include "ui/reportwindow.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform15.h"

#include <QAction>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>
#include <QtCharts/QChartView>

namespace {

class ReadingMeter : public MainWindowTest {
  protected:
    static constexpr quint32 First = 111111, Fifth = 555555;
    inline static const QString Id = QStringLiteral("KASTARI-DK   v3.12");
    inline static const QString NumberRead = QStringLiteral("03 00 08 00 02");

    void SetUp() override {
        MainWindowTest::SetUp();
        sim::DeviceOptions one = device(1), five = device(5);
        one.electronicNumber = First;
        five.electronicNumber = Fifth;
        writeSensCfg(sensCfg());
        startSimulator({one, five}, atDeviceStart);
        createWindow();
        SystemParams::install(*form);
        archives = ArchivesView::install(*form);
        archives->now = [] { return enc::SecToDate(DeviceStart); };
        chart = ArchiveChartView::install(*form, *archives);
        report = ConsumptionReportView::install(*form, *archives);
        TForm1::setCaption(form->Device[1], ident::entryText(Id, 1));
        TForm1::setCaption(form->Device[2], ident::entryText(Id, 5));
    }

    // Chooses a meter from the device menu; an archive shown asks for its range again: Esc.
    void choose(int address) {
        ModalDriver driver;
        driver.then(on<TForm10>([](TForm10* d) { d->reject(); }));
        form->LinkIdle = false;
        form->DeviceClick(form->Device[address == 1 ? 1 : 2]);
        ASSERT_EQ(form->DeviceAddress, address);
    }
    void readFullDayArchive() {
        readWhole(form->Day);
        ASSERT_GT(form->StringGridArchives->rowCount(), 10);
    }
    // Takes the file a save dialog suggests, noting it and the dialog's title.
    static ModalDriver::Step acceptSuggested(QString* title, QString* suggested) {
        return on<QFileDialog>([=](QFileDialog* d) {
            if (title) *title = d->windowTitle();
            *suggested = d->selectedFiles().value(0);
            QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        });
    }
    // "Сохранить архив" answered with the file the dialog suggests: the lines written, the dialog's
    // title and the file.
    QStringList saveArchive(QString* title = nullptr, QString* suggested = nullptr) {
        QString path;
        ModalDriver driver;
        driver.then(acceptSuggested(title, &path));
        driver.then(pressIn(form->Form15, form->Form15->Button1));
        archives->MenuSaveArchiveClick();
        EXPECT_TRUE(driver.done());
        if (suggested) *suggested = path;
        return QStringDecoder("windows-1251")(fileBytes(path)).operator QString().split("\r\n");
    }
    static QString folderOf(quint32 number) { return QDir::current().filePath(QString::number(number)); }
    static QStringList fileLines(const QList<QStringList>& rows) {
        QStringList out;
        for (const QStringList& row : rows)
            out << row.join('#');
        return out;
    }
    int numberReads(int address) const {
        return int(requestPdus()
                       .filter(QStringLiteral("%1 %2").arg(address, 2, 10, QChar('0')).arg(NumberRead))
                       .size());
    }

    ArchivesView* archives = nullptr;
    ArchiveChartView* chart = nullptr;
    ConsumptionReportView* report = nullptr;
};

TEST_F(ReadingMeter, AnArchiveIsSavedOnlyUnderTheMeterItWasReadFrom) {
    choose(5);
    readFullDayArchive();
    const QList<QStringList> fifthRows = form->StringGridArchives->rows();
    EXPECT_TRUE(form->MenuSaveArchive->isEnabled());
    QString title, suggested;
    QStringList lines = saveArchive(&title, &suggested);
    EXPECT_EQ(title, "Запись архива в файл");
    EXPECT_EQ(suggested, folderOf(Fifth) + "/Archive1_ch1.txt");
    ASSERT_GT(lines.size(), 4);
    EXPECT_EQ(lines[0], "Расходомер-счетчик КАСТАРИ ДК, версия " + Id);
    EXPECT_EQ(lines[1], "Электронный номер прибора :555555");
    EXPECT_EQ(lines.mid(4, fifthRows.size()), fileLines(fifthRows));

    // Meter 1 chosen, its range refused: the grid still holds meter 5's rows, and nothing saves them
    // under meter 1.
    choose(1);
    EXPECT_FALSE(form->StringGridArchives->isVisible());
    EXPECT_FALSE(form->MenuSaveArchive->isEnabled());
    {
        ModalDriver driver(ModalDriver::Unclaimed::CloseAtOnce);
        archives->MenuSaveArchiveClick();
        EXPECT_EQ(driver.unexpected(), 0);
    }
    EXPECT_FALSE(QDir(folderOf(First)).exists());

    // Meter 1's own rows go under meter 1; its number was asked once for the choice, not per file.
    sim->clearLog();
    readFullDayArchive();
    EXPECT_TRUE(form->MenuSaveArchive->isEnabled());
    lines = saveArchive(nullptr, &suggested);
    QFile::remove(suggested); // else the dialog asks before replacing it
    saveArchive();
    EXPECT_EQ(suggested, folderOf(First) + "/Archive1_ch1.txt");
    EXPECT_EQ(lines.value(1), "Электронный номер прибора :111111");
    EXPECT_NE(lines.mid(4, fifthRows.size()), fileLines(fifthRows)) << "the meters' archives differ";
    EXPECT_EQ(numberReads(1), 1);
    EXPECT_TRUE(windowUsable());
}

TEST_F(ReadingMeter, TheChartOfAnotherMetersArchiveKeepsItsNumberAndFolder) {
    choose(5);
    readFullDayArchive();
    choose(1);
    chart->MenuArchiveChartClick();
    const QString title =
        chart->window()->findChild<QChartView*>(QStringLiteral("ArchiveChartView"))->chart()->title();
    EXPECT_TRUE(title.contains("555555")) << title.toStdString();

    QString suggested, dialogTitle;
    ModalDriver driver;
    driver.then(acceptSuggested(&dialogTitle, &suggested));
    driver.then(pressIn(form->Form15, form->Form15->Button1));
    sim->clearLog();
    chart->window()->ButtonSavePng->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return driver.done(); }, 5000));
    EXPECT_EQ(suggested, folderOf(Fifth) + "/Archive1_ch1.png");
    EXPECT_EQ(dialogTitle, "Запись изображения в файл");
    EXPECT_TRUE(QFile::exists(suggested));
    EXPECT_FALSE(QDir(folderOf(First)).exists());
    EXPECT_TRUE(sim->requests().isEmpty()) << "the picture's meter is known, not asked";
}

// The clerk reads meter 1's days, goes to the system view, chooses meter 5 and makes the report.
TEST_F(ReadingMeter, TheReportOfAnotherMetersDaysNamesThatMeterInItsHeadingAndFile) {
    choose(5);
    readFullDayArchive();
    const QList<QStringList> fifthRows = form->StringGridArchives->rows();
    choose(1);
    readFullDayArchive();
    const QList<QStringList> firstRows = form->StringGridArchives->rows();
    form->LinkIdle = false;
    form->MenuTypeParamClick(form->SystemParam);
    choose(5);

    report->MenuConsumptionReportClick();
    ASSERT_TRUE(report->report());
    const consumption::Report& r = *report->report();
    EXPECT_EQ(r.heading.electronicNumber, "111111");
    EXPECT_EQ(r.heading.deviceText, Id.simplified());
    EXPECT_TRUE(r.heading.address.endsWith("сетевой адрес 1")) << r.heading.address.toStdString();
    EXPECT_TRUE(consumption::headingLines(r).join('\n').contains("111111"));
    // Every recorded day has meter 1's volume "+", and at least one differs from meter 5's.
    int matched = 0, differ = 0;
    const auto plusOf = [](const QList<QStringList>& rows, const QString& date) {
        for (const QStringList& row : rows)
            if (row.value(0).trimmed() == date) return row.value(1).trimmed();
        return QString();
    };
    for (const consumption::Day& day : r.days) {
        if (day.state != consumption::Day::State::Recorded) continue;
        const QString date = day.date.toString("dd.MM.yyyy");
        matched += plusOf(firstRows, date) == enc::MyFormatFloat(float(day.plus));
        differ += plusOf(fifthRows, date) != enc::MyFormatFloat(float(day.plus));
    }
    EXPECT_EQ(matched, r.recorded);
    EXPECT_GT(differ, 0);

    QString suggested, dialogTitle;
    ModalDriver driver;
    driver.then(acceptSuggested(&dialogTitle, &suggested));
    driver.then(pressIn(form->Form15, form->Form15->Button1));
    report->window()->ButtonSavePdf->click();
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(dialogTitle, "Запись отчёта в файл");
    // A full day archive is 63 days, not a calendar month: the name gives both ends.
    EXPECT_EQ(suggested, folderOf(First) + "/Report_ch1_" + r.heading.from.toString("yyyy-MM-dd") + "_" +
                             r.heading.to.toString("yyyy-MM-dd") + ".pdf");
    EXPECT_TRUE(fileBytes(suggested).startsWith("%PDF"));
    EXPECT_FALSE(QDir(folderOf(Fifth)).exists());
}

TEST_F(ReadingMeter, AMeterSilentAtSaveTimeStillGetsItsFolderAndNumber) {
    choose(5);
    readFullDayArchive();
    sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    QString suggested;
    const QStringList lines = saveArchive(nullptr, &suggested);
    EXPECT_EQ(suggested, folderOf(Fifth) + "/Archive1_ch1.txt");
    EXPECT_EQ(lines.value(1), "Электронный номер прибора :555555");
}

} // namespace
