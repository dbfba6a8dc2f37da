// "Сервис" > "Архивы в базе" in the real window, on a database filled by a real collection from the
// simulated meter: the meters list, the grid equal to the monitor's own reading of the same archive,
// the chart's bars equal to its rows, the export byte-identical to the monitor's; and the databases
// it must refuse without harm, and a server that never answers waited for off the window's thread.
#include "mainwindowfixture.h"

#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/consumptionreportview.h"
#include "app/databaseview.h"
#include "collect/visit.h"
#include "device/encodings.h"
#include "device/identification.h"
#include "meterfleet.h"
#include "store/store.h"
#include "testdatabases.h"
#include "ui/databasewindow.h"
#include "ui/floatingwindow.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform15.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTcpServer>
#include <QThreadPool>
#include <QUrl>

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
    // The database answers on a thread of its own: until it has, or was given up.
    void settle() {
        const QDeadlineTimer limit(120000);
        while (view->waiting() && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_FALSE(view->waiting());
    }
    void openDatabase(const QString& url) {
        view->window()->EditDatabase->setText(url);
        view->window()->ButtonOpenDatabase->click();
        settle();
    }
    // A database of ours holding one meter, numbered `number`, never collected in a run.
    static void storeMeter(const QString& path, std::uint32_t number) {
        QString error;
        store::Location at;
        at.path = QDir::current().filePath(path);
        std::unique_ptr<store::Store> db = store::Store::open(at, &error);
        ASSERT_TRUE(db) << error.toStdString();
        ASSERT_TRUE(
            db->storeVisit({.number = number, .line = "Comm 1", .name = "Склад", .address = 9}, &error))
            << error.toStdString();
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
    readWhole(form->Day);
    const QList<QStringList> monitorRows = form->StringGridArchives->rows();
    ASSERT_GT(monitorRows.size(), 30);
    ModalDriver saving;
    saving.then(chooseFile(QDir::current().filePath("monitor.txt")));
    saving.then(pressIn(form->Form15, form->Form15->Button1));
    archives->MenuSaveArchiveClick();
    ASSERT_TRUE(saving.done());

    view->MenuDatabaseClick();
    settle();
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
    settle();
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
    storeMeter("kastari.db", 100); // listed first
    // No meter chosen in the main window while the database opens; one chosen afterwards.
    form->DeviceAddress = 0;
    view->MenuDatabaseClick();
    settle();
    DatabaseWindow& w = *view->window();
    ASSERT_EQ(w.TableMeters->rowCount(), 2);
    EXPECT_EQ(w.TableMeters->item(1, 5)->text(), "не собран");
    form->DeviceAddress = 1;
    ASSERT_TRUE(w.ButtonCollect->isEnabled());
    // The collected meter's journal shown, from the second row.
    w.TableMeters->selectRow(1);
    w.ComboArchive->setCurrentIndex(3);
    w.ButtonShow->click();
    settle();
    sim->clearLog();
    w.ButtonCollect->click();
    EXPECT_TRUE(status().startsWith(QStringLiteral("Прибор %1 дополнен").arg(Number)))
        << status().toStdString();
    // Only what is new is read: far fewer archive requests than a first collection.
    EXPECT_LT(requestPdus().filter(QRegularExpression("^01 41")).size(), 20);
    ASSERT_EQ(w.TableMeters->rowCount(), 2);
    EXPECT_EQ(w.TableMeters->item(1, 1)->text(), "Насосная");
    // The list still points at the meter the grid shows, and the collection counts as one.
    EXPECT_EQ(w.chosenMeter(), QString::number(Number));
    EXPECT_NE(w.TableMeters->item(1, 5)->text(), "не собран");
    EXPECT_EQ(w.TableMeters->item(0, 5)->text(), "не собран");
    EXPECT_TRUE(windowUsable());
}

TEST_F(DatabaseWindowTest, EachMeterShowsItsStateAndOneThatNeverAnsweredCannotBeChosen) {
    using namespace meterfleet;
    const struct {
        std::uint32_t number;
        void (*change)(store::MeterVisit&);
        bool collected; // visited in a run: else never collected
        const char* state;
    } rows[] = {
        {1, [](store::MeterVisit&) {}, true, "Норма"},
        {3,
         [](store::MeterVisit& v) { setPeriod(v, 1, 2, Newest - Day, {.plus = 24, .downtime = 2 * Hour}); },
         true, "Простой"},
        {4,
         [](store::MeterVisit& v) {
             v.entries << store::EntryRow{.journal = 3, .code = 4, .started = Newest};
         },
         true, "Отказ"},
        {5,
         [](store::MeterVisit& v) {
             v.entries << store::EntryRow{.journal = 6, .code = 16, .started = Newest};
         },
         true, "Нештатная ситуация"},
        {7,
         [](store::MeterVisit& v) {
             setPeriod(v, 0, 1, Newest - Day, {.state = store::PeriodRow::State::Gap});
         },
         true, "Пропуски"},
        {11, [](store::MeterVisit&) {}, false, "Нет связи"},
    };
    {
        QString error;
        store::Location at;
        at.path = QDir::current().filePath("states.db");
        std::unique_ptr<store::Store> db = store::Store::open(at, &error);
        ASSERT_TRUE(db) << error.toStdString();
        ASSERT_TRUE(db->beginRun("run", QDateTime::currentDateTime(), "h"));
        for (const auto& r : rows) {
            store::MeterVisit v = healthy(r.number);
            r.change(v);
            ASSERT_TRUE(db->storeVisit(v, &error)) << error.toStdString();
            if (r.collected)
                ASSERT_TRUE(db->recordOutcome(
                    "run", {.line = v.line, .name = v.name, .address = v.address, .number = r.number}));
        }
        // A meter of the list that has never given its number.
        ASSERT_TRUE(db->recordOutcome("run", {.line = "/dev/ttyS1",
                                              .name = "Подвал",
                                              .address = 3,
                                              .result = store::Outcome::Result::Failed,
                                              .reason = "нет ответа"}));
    }
    openDatabase("states.db");
    DatabaseWindow& w = *view->window();
    ASSERT_EQ(w.TableMeters->rowCount(), int(std::size(rows)) + 1);
    const int stateColumn = 2, lineColumn = 3, addressColumn = 4;
    EXPECT_EQ(w.TableMeters->horizontalHeaderItem(stateColumn)->text(), "Состояние");
    for (int i = 0; i < int(std::size(rows)); ++i) {
        SCOPED_TRACE(rows[i].number);
        EXPECT_EQ(w.TableMeters->item(i, 0)->text(), QString::number(rows[i].number));
        EXPECT_EQ(w.TableMeters->item(i, stateColumn)->text(), QString::fromUtf8(rows[i].state));
    }
    EXPECT_TRUE(w.TableMeters->item(1, stateColumn)->toolTip().contains("простой 2:00")) << 1;
    // The one that never answered: last, by its line and address, not to be chosen.
    const int never = int(std::size(rows));
    EXPECT_EQ(w.TableMeters->item(never, 0)->text(), "");
    EXPECT_EQ(w.TableMeters->item(never, lineColumn)->text(), "/dev/ttyS1");
    EXPECT_EQ(w.TableMeters->item(never, addressColumn)->text(), "3");
    EXPECT_EQ(w.TableMeters->item(never, stateColumn)->text(), "Нет связи");
    EXPECT_TRUE(w.TableMeters->item(never, stateColumn)->toolTip().contains("ни разу не ответил"));
    EXPECT_EQ(status(), "Приборов в базе: 6, ни разу не ответивших: 1");
    w.TableMeters->selectRow(2);
    w.TableMeters->scrollToItem(w.TableMeters->item(never, 1));
    QTest::mouseClick(w.TableMeters->viewport(), Qt::LeftButton, {},
                      w.TableMeters->visualItemRect(w.TableMeters->item(never, 1)).center());
    EXPECT_EQ(w.chosenMeter(), "4");
    EXPECT_TRUE(w.ButtonShow->isEnabled());

    // Only meters that never answered: none chosen, nothing to show.
    {
        QString error;
        store::Location at;
        at.path = QDir::current().filePath("silent.db");
        std::unique_ptr<store::Store> db = store::Store::open(at, &error);
        ASSERT_TRUE(db) << error.toStdString();
        ASSERT_TRUE(db->beginRun("run", QDateTime::currentDateTime(), "h"));
        ASSERT_TRUE(db->recordOutcome(
            "run", {.line = "/dev/ttyS1", .address = 3, .result = store::Outcome::Result::Failed}));
    }
    openDatabase("silent.db");
    ASSERT_EQ(w.TableMeters->rowCount(), 1);
    EXPECT_EQ(w.chosenMeter(), "");
    EXPECT_FALSE(w.ButtonShow->isEnabled());
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
        {"postgresql://nobody@127.0.0.1:1/none", "Соединение отклонено"},
    };
    storeMeter("ours.db", 100);
    DatabaseWindow& w = *view->window();
    for (const auto& c : cases) {
        openDatabase("ours.db");
        ASSERT_EQ(w.TableMeters->rowCount(), 1);
        openDatabase(c.url);
        EXPECT_TRUE(status().contains(QString::fromUtf8(c.says))) << c.url << ": " << status().toStdString();
        EXPECT_FALSE(view->isOpen()) << c.url;
        EXPECT_FALSE(w.ButtonShow->isEnabled());
        // Nothing left of the database before.
        EXPECT_EQ(w.TableMeters->rowCount(), 0) << c.url;
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

TEST_F(DatabaseWindowTest, AServersRefusalIsNamedShortlyWithItsOwnWordsBehindDetails) {
    const std::optional<QString> url = newDatabaseOrSkip(Backend::PostgreSQL);
    if (!url) return;
    QString error;
    const std::optional<store::Location> at = store::parseLocation(*url, &error);
    ASSERT_TRUE(at);
    ASSERT_TRUE(store::Store::open(*at, &error)) << error.toStdString();
    const QString host = QString(QUrl::toPercentEncoding(at->host));
    const auto elsewhere = [&](const QString& user, const QString& database) {
        return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(at->port).arg(database);
    };
    const struct {
        QString url;
        const char* says;
    } cases[] = {
        {elsewhere("nobody", at->database), "Неверное имя пользователя или пароль"},
        {elsewhere(at->user, "nowhere"), "Нет такой базы данных"},
    };
    DatabaseWindow& w = *view->window();
    view->MenuDatabaseClick();
    settle();
    const int screenWidth = w.screen()->availableGeometry().width();
    for (const auto& c : cases) {
        openDatabase(*url);
        ASSERT_TRUE(view->isOpen()) << status().toStdString();
        openDatabase(c.url);
        EXPECT_TRUE(status().contains(QString::fromUtf8(c.says))) << status().toStdString();
        EXPECT_FALSE(view->isOpen());
        // The server's own words, a click away; the window no wider for them.
        EXPECT_TRUE(w.ButtonDetails->isVisibleTo(&w));
        EXPECT_FALSE(w.TextDetails->toPlainText().isEmpty());
        EXPECT_FALSE(w.TextDetails->isVisibleTo(&w));
        w.ButtonDetails->click();
        EXPECT_TRUE(w.TextDetails->isVisibleTo(&w));
        EXPECT_LE(w.frameGeometry().width(), screenWidth);
    }
    w.setStatus(QString(4000, u'ж'));
    QCoreApplication::processEvents();
    EXPECT_LE(w.frameGeometry().width(), screenWidth);
}

// A PostgreSQL server that takes the connection and never says a word.
class SilentServer : public DatabaseWindowTest {
  protected:
    void SetUp() override {
        DatabaseWindowTest::SetUp();
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        url = QStringLiteral("postgresql://kastari@127.0.0.1:%1/fleet").arg(server.serverPort());
        qputenv("PGCONNECT_TIMEOUT", "2");
        view->MenuDatabaseClick();
        settle();
        form->Timer1->setInterval(20);
        form->Timer1->start();
        QObject::connect(form->Timer1, &QTimer::timeout, form.get(), [this] {
            if (!view->waiting()) return;
            ++pollsWhileWaiting;
            if (!form->isEnabled()) mainWindowDisabled = true;
        });
    }
    void TearDown() override {
        // What was given up ends on its own; its answer is not to reach the next test.
        QThreadPool::globalInstance()->waitForDone();
        qunsetenv("PGCONNECT_TIMEOUT");
        DatabaseWindowTest::TearDown();
    }
    void startOpening() {
        view->window()->EditDatabase->setText(url);
        view->window()->ButtonOpenDatabase->click();
    }
    QTcpServer server;
    QString url;
    int pollsWhileWaiting = 0;
    bool mainWindowDisabled = false;
};

TEST_F(SilentServer, IsWaitedForWithThePollGoingOnAndNamedAfterTheTimeLimit) {
    DatabaseWindow& w = *view->window();
    startOpening();
    ASSERT_TRUE(view->waiting());
    EXPECT_EQ(w.cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(w.ButtonStop->isVisibleTo(&w));
    EXPECT_FALSE(w.ButtonOpenDatabase->isEnabled());
    settle();
    EXPECT_GT(pollsWhileWaiting, 0);
    EXPECT_FALSE(mainWindowDisabled);
    EXPECT_TRUE(status().contains("Сервер базы данных не отвечает")) << status().toStdString();
    EXPECT_TRUE(w.ButtonDetails->isVisibleTo(&w));
    EXPECT_NE(w.cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(w.ButtonOpenDatabase->isEnabled());
}

TEST_F(SilentServer, CanBeGivenUpAndItsLateAnswerIsThrownAway) {
    DatabaseWindow& w = *view->window();
    startOpening();
    ASSERT_TRUE(view->waiting());
    QSignalSpy settled(view, &DatabaseView::settled);
    w.ButtonStop->click();
    EXPECT_FALSE(view->waiting());
    EXPECT_EQ(settled.size(), 1);
    EXPECT_TRUE(w.ButtonOpenDatabase->isEnabled());
    // The late answer, once in, changes nothing.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(settled.size(), 1);
    EXPECT_EQ(status(), "Ожидание ответа базы данных прервано");
    EXPECT_FALSE(view->isOpen());
}

TEST_F(DatabaseWindowTest, EscClosesItAndItOpensBesideTheMainWindow) {
    view->MenuDatabaseClick();
    settle();
    DatabaseWindow& w = *view->window();
    ASSERT_TRUE(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());

    // Right of the other window where the screen has room; else left, below, above; else covering
    // as little of it as the screen allows. Never larger than the screen.
    const QRect screen(0, 0, 1920, 1080);
    const struct {
        QRect other;
        QSize size;
        QRect placed;
    } cases[] = {
        {{100, 100, 700, 500}, {720, 700}, {800, 100, 720, 700}},
        {{1100, 100, 700, 500}, {720, 700}, {380, 100, 720, 700}},
        {{0, 0, 1920, 300}, {720, 700}, {0, 300, 720, 700}},
        {{0, 700, 1920, 380}, {720, 700}, {0, 0, 720, 700}},
        {{600, 200, 700, 600}, {720, 700}, {1200, 200, 720, 700}},
        {{0, 0, 700, 500}, {2500, 1500}, {0, 0, 1920, 1080}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(placeBeside(screen, c.other, c.size), c.placed) << c.other.x() << ',' << c.other.y();
}

TEST_F(DatabaseWindowTest, ADateTypedWhereverTheCursorStandsIsTakenWhole) {
    DatabaseWindow& w = *view->window();
    view->MenuDatabaseClick();
    settle();
    const struct {
        int cursor;
        const char* typed;
        QDate becomes;
    } cases[] = {
        {0, "06.10.2026", {2026, 10, 6}}, // before the day
        {1, "06.10.2026", {2026, 10, 6}}, // inside the day
        {3, "12", {2026, 12, 1}},         // the month alone
        {10, "2025", {2025, 10, 1}},      // the year alone, from its end
        {0, "6.7.2026", {2026, 7, 6}},    // single digits closed by the dot
    };
    for (const auto& c : cases) {
        w.DateFrom->setDate({2026, 10, 1});
        w.DateFrom->setFocus();
        w.DateFrom->findChild<QLineEdit*>()->deselect();
        w.DateFrom->findChild<QLineEdit*>()->setCursorPosition(c.cursor);
        QTest::keyClicks(w.DateFrom, QString::fromLatin1(c.typed));
        EXPECT_EQ(w.DateFrom->date(), c.becomes) << c.cursor << ' ' << c.typed;
    }
}

} // namespace
