// "Сервис" > "Архивы в базе" in the real window, on a database filled by a real collection from the
// simulated meter: the meters list, the grid equal to the monitor's own reading of the same archive,
// the chart's bars equal to its rows, the export byte-identical to the monitor's; and the databases
// it must refuse without harm.
#include "mainwindowfixture.h"

#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/consumptionreportview.h"
#include "app/databaseview.h"
#include "collect/visit.h"
#include "device/encodings.h"
#include "device/identification.h"
#include "store/store.h"
#include "ui/databasewindow.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform15.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>

namespace {

class DatabaseWindowTest : public MainWindowTest {
  protected:
    static constexpr quint32 Number = 633190;

    void SetUp() override {
        MainWindowTest::SetUp();
        sim::DeviceOptions meter = device(1);
        meter.electronicNumber = Number;
        startWithMeterChosen({meter});
        archives = ArchivesView::install(*form);
        archives->now = [] { return enc::SecToDate(DeviceStart); };
        chart = ArchiveChartView::install(*form, *archives);
        report = ConsumptionReportView::install(*form, *archives);
        view = DatabaseView::install(*form, *archives, *chart, *report);
    }

    // The meter collected into a fresh SQLite file through the window's own engine.
    void collect() {
        QString error;
        store::Location at;
        at.path = QDir::current().filePath("kastari.db");
        std::unique_ptr<store::Store> db = store::Store::open(at, &error);
        ASSERT_TRUE(db) << error.toStdString();
        const store::Outcome outcome = collect::visitMeter(
            *form->ModBus, *db, {.line = "Comm 1", .port = sim->portPath(), .name = "Насосная"});
        ASSERT_EQ(outcome.result, store::Outcome::Result::Stored) << outcome.reason.toStdString();
        deviceText = db->meter(Number).value_or(store::MeterVisit{}).deviceText;
    }
    void openDatabase(const QString& url) {
        view->window()->EditDatabase->setText(url);
        view->window()->ButtonOpenDatabase->click();
    }
    QString status() const { return view->window()->LabelStatus->text(); }

    ArchivesView* archives = nullptr;
    ArchiveChartView* chart = nullptr;
    ConsumptionReportView* report = nullptr;
    DatabaseView* view = nullptr;
    QString deviceText;
};

TEST_F(DatabaseWindowTest, TheCollectedDayArchiveLooksChartsAndExportsAsTheMonitorsOwnReading) {
    collect();
    // The monitor's own reading of the whole day archive, and its export.
    // The meter chosen as the device menu chooses it names itself in the top status bar.
    form->StatusBar2->setText(0, ident::entryText(deviceText, 1));
    ModalDriver range;
    range.then(on<TForm10>([](TForm10* d) {
        d->RadioButtonFull->click();
        press(d->ButtonOkRangeArchive);
    }));
    form->LinkIdle = false;
    form->MenuTypeParamClick(form->Day);
    ASSERT_TRUE(range.done());
    const QList<QStringList> monitorRows = form->StringGridArchives->rows();
    ASSERT_GT(monitorRows.size(), 30);
    ModalDriver saving;
    saving.then(chooseFile(QDir::current().filePath("monitor.txt")));
    saving.then(pressIn(form->Form15, form->Form15->Button1));
    archives->MenuSaveArchiveClick();
    ASSERT_TRUE(saving.done());

    view->MenuDatabaseClick();
    DatabaseWindow& w = *view->window();
    ASSERT_EQ(w.TableMeters->rowCount(), 1);
    EXPECT_EQ(w.TableMeters->item(0, 0)->text(), QString::number(Number));
    EXPECT_EQ(w.TableMeters->item(0, 1)->text(), "Насосная");
    // The same days as the monitor's grid: its first row to its last.
    const auto dayOf = [](const QStringList& row) {
        return QDate::fromString(row.value(0).trimmed(), "dd.MM.yyyy");
    };
    w.ComboArchive->setCurrentIndex(1);
    w.ComboChannel->setCurrentIndex(0);
    w.DateFrom->setDate(dayOf(monitorRows[1]));
    w.DateTo->setDate(dayOf(monitorRows.last()));
    w.ButtonShow->click();
    EXPECT_EQ(w.StringGridArchives->rows(), monitorRows);
    EXPECT_TRUE(w.StringGridArchives->isVisibleTo(&w));

    ModalDriver exporting;
    QString folder;
    exporting.then(chooseFile(QDir::current().filePath("database.txt"), nullptr, &folder));
    exporting.then(pressIn(form->Form15, form->Form15->Button1));
    w.ButtonSaveArchive->click();
    ASSERT_TRUE(exporting.done());
    EXPECT_EQ(folder, QDir::current().filePath(QString::number(Number)));
    EXPECT_EQ(fileBytes("database.txt"), fileBytes("monitor.txt"));
    ModalDriver csv;
    csv.then(chooseFile(QDir::current().filePath("database.csv")));
    csv.then(pressIn(form->Form15, form->Form15->Button1));
    w.ButtonSaveArchive->click();
    ASSERT_TRUE(csv.done());
    const QList<QByteArray> csvLines = fileBytes("database.csv").split('\n');
    EXPECT_TRUE(csvLines.value(0).startsWith("meter,archive,channel,period_start"));
    EXPECT_GE(csvLines.size(), monitorRows.size());

    w.ButtonChart->click();
    ASSERT_TRUE(chart->chart());
    const archives::ArchiveChart& bars = *chart->chart();
    int row = 1;
    for (int i = 0; i < bars.periods(); ++i) {
        if (bars.plus[i] == 0 && bars.minus[i] == 0) continue; // a gap
        ASSERT_LT(row, monitorRows.size());
        EXPECT_EQ(enc::MyFormatFloat(bars.plus[i]), monitorRows[row][1].trimmed()) << i;
        ++row;
    }
    EXPECT_EQ(row, monitorRows.size());

    w.ButtonReport->click();
    ASSERT_TRUE(report->report());
    EXPECT_EQ(report->report()->heading.name, "Насосная");
    EXPECT_EQ(report->report()->recorded, monitorRows.size() - 1);
}

TEST_F(DatabaseWindowTest, TheChosenMeterIsAddedToTheDatabaseThroughTheOpenLinkKeepingItsName) {
    collect();
    view->MenuDatabaseClick();
    DatabaseWindow& w = *view->window();
    ASSERT_TRUE(w.ButtonCollect->isEnabled());
    sim->clearLog();
    w.ButtonCollect->click();
    EXPECT_TRUE(status().startsWith(QStringLiteral("Прибор %1 дополнен").arg(Number)))
        << status().toStdString();
    // Only what is new is read: far fewer archive requests than a first collection.
    EXPECT_LT(requestPdus().filter(QRegularExpression("^01 41")).size(), 20);
    ASSERT_EQ(w.TableMeters->rowCount(), 1);
    EXPECT_EQ(w.TableMeters->item(0, 1)->text(), "Насосная");
    EXPECT_TRUE(windowUsable());
}

TEST_F(DatabaseWindowTest, WhatCannotBeOpenedIsNamedAndLeftAlone) {
    // An SQLite file of someone else's.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(QDir::current().filePath("other.db"));
        ASSERT_TRUE(other.open());
        QSqlQuery(other).exec("CREATE TABLE notes (text TEXT)");
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    const QByteArray before = fileBytes("other.db");
    const struct {
        const char* url;
        const char* says;
    } cases[] = {
        {"missing.db", "Нет файла базы данных"},
        {"other.db", "нет собранных данных"},
        {"postgresql://", "Адрес базы данных не понят"},
        {"postgresql://nobody@127.0.0.1:1/none", "открыть не удалось"},
    };
    for (const auto& c : cases) {
        openDatabase(c.url);
        EXPECT_TRUE(status().contains(QString::fromUtf8(c.says))) << c.url << ": " << status().toStdString();
        EXPECT_FALSE(view->isOpen()) << c.url;
        EXPECT_FALSE(view->window()->ButtonShow->isEnabled());
    }
    EXPECT_FALSE(QFile::exists("missing.db"));
    EXPECT_EQ(fileBytes("other.db"), before);

    // Ours, but empty.
    QString error;
    store::Location at;
    at.path = QDir::current().filePath("empty.db");
    ASSERT_TRUE(store::Store::open(at, &error));
    openDatabase("empty.db");
    EXPECT_TRUE(view->isOpen());
    EXPECT_EQ(status(), "В базе нет ни одного прибора");
}

} // namespace
