// The flow trend and the archive chart in the real window against the simulator: what they keep of
// the polls and readings (failed polls and unrecorded periods as gaps), the "Сервис" items that
// open them, and their pictures saved through the save dialog.
#include "mainwindowfixture.h"

#include "app/adjustmentview.h"
#include "app/archivechartview.h"
#include "app/archivesview.h"
#include "app/countersview.h"
#include "app/flowtrendview.h"
#include "app/systemparams.h"
#include "archives/archivechart.h"
#include "device/encodings.h"
#include "link/linkport.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "ui/archivebarchart.h"
#include "ui/chartwindow.h"
#include "ui/flowtrendwindow.h"
#include "ui/paneladjustment.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform15.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChartView>
#include <limits>
#include <tuple>

namespace {

using State = archives::Period::State;

class Charts : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen();
        SystemParams::install(*form);
        adjustment = AdjustmentView::install(*form);
        CountersView::install(*form);
        archives = ArchivesView::install(*form);
        archives->now = [] { return enc::SecToDate(DeviceStart); };
        archiveChart = ArchiveChartView::install(*form, *archives);
        trendView = FlowTrendView::install(*form);
        trendView->clock = [this] { return ms; };
        form->MenuTypeParamClick(form->SystemParam); // the electronic number names the save folder
    }

    // A poll of the shown view, 10 s after the one before.
    void poll() {
        ms += 10000;
        form->Timer1Timer();
    }
    QString shownFlow() const { return adjustment->panel()->edit(QStringLiteral("EditConsuption"))->text(); }

    // Presses "Сохранить в PNG" of a chart window, answering the save dialog with `path`. A press
    // during an exchange must not open the dialog inside the engine's wait, only after it.
    void savePng(ChartWindow* window, const QString& path, QString* suggested = nullptr,
                 bool duringExchange = false) {
        ModalDriver driver;
        driver.then(chooseFile(path, suggested));
        driver.then(pressIn(form->Form15, form->Form15->Button1));
        {
            std::optional<OperatorAction> exchange;
            if (duringExchange)
                exchange.emplace(*form, OperatorAction::Options{.guard = OperatorAction::Guard::Opened});
            window->ButtonSavePng->click();
            EXPECT_EQ(driver.done(), !duringExchange);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return driver.done(); }, 5000));
    }

    AdjustmentView* adjustment = nullptr;
    ArchivesView* archives = nullptr;
    ArchiveChartView* archiveChart = nullptr;
    FlowTrendView* trendView = nullptr;
    std::int64_t ms = 1'700'000'000'000;
};

TEST_F(Charts, BothOpenFromTheServiceMenu) {
    const QList<QAction*> items = form->MenuService->menu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(form->MenuService->isVisible());
    items[0]->trigger();
    items[1]->trigger();
    EXPECT_TRUE(trendView->window()->isVisible());
    EXPECT_TRUE(archiveChart->window()->isVisible());
    // Nothing read yet: nothing to save.
    EXPECT_FALSE(archiveChart->window()->ButtonSavePng->isEnabled());
    // Kept above the main window, which each poll activates.
    for (ChartWindow* window : {static_cast<ChartWindow*>(trendView->window()), archiveChart->window()})
        EXPECT_EQ(window->windowHandle()->transientParent(), form->windowHandle());
    // The main window, disabled during every exchange, must not take the chart windows with it.
    form->setEnabled(false);
    EXPECT_TRUE(trendView->window()->isEnabled());
    form->setEnabled(true);
}

TEST_F(Charts, TheTrendKeepsEveryPollAndDrawsFailedOnesAsGaps) {
    trendView->MenuFlowTrendClick();
    form->MenuTypeParamClick(form->Adjustment); // the first reading is a poll too
    const QString firstFlow = shownFlow();
    poll();
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 1));
    poll();
    sim->clearFaults();
    poll();
    ms += 10000;
    form->ChannelClick(form->SecondChannel); // channel 2's block holds no flow of channel 1

    const trend::FlowTrend& samples = trendView->samples();
    ASSERT_EQ(samples.size(), 5u);
    EXPECT_EQ(enc::MyFormatFloat(samples.at(0).flow[0]), firstFlow);
    EXPECT_TRUE(samples.at(2).failed);
    EXPECT_FALSE(samples.at(3).failed);
    EXPECT_TRUE(std::isnan(samples.at(4).flow[0]));
    EXPECT_EQ(enc::MyFormatFloat(samples.at(4).flow[1]), shownFlow());
    EXPECT_EQ(samples.at(4).address, 1);

    const trend::Plot& plot = trendView->plot();
    EXPECT_EQ(plot.failures, (std::vector<std::int64_t>{samples.at(2).ms}));
    ASSERT_EQ(plot.lines[0].size(), 2u);
    EXPECT_EQ(plot.lines[0][0].size(), 2u);
    EXPECT_EQ(plot.lines[0][1].size(), 1u);
    for (const auto& run : plot.lines[0])
        for (const trend::Point& p : run)
            EXPECT_NE(p.ms, samples.at(2).ms);

    // A span that reaches back less far leaves the older polls out.
    trendView->window()->ComboTrendSpan->setCurrentIndex(0); // a minute
    ms += 45000;
    trendView->refresh();
    EXPECT_TRUE(trendView->plot().failures.empty());
}

TEST_F(Charts, APollThroughAPortThatCannotBeOpenedIsMarkedWhileItsMessageWaits) {
    trendView->MenuFlowTrendClick();
    form->MenuTypeParamClick(form->Measurements);
    poll();
    // While the operator reads "Ошибка при открытии порта!" the trend goes on being drawn.
    QList<bool> markedWhileAsked;
    TForm1::messageHook() = [&](const QString&, const QString&) {
        trendView->refresh();
        const auto& failures = trendView->plot().failures;
        markedWhileAsked << (!failures.empty() && failures.back() == ms);
    };
    // The adapter is gone: the port cannot be opened again.
    PortMap::set(1, m_dir.filePath(QStringLiteral("no-such-port")));
    form->ModBus->MSComm1()->setPortOpen(false);
    poll();
    poll();
    EXPECT_EQ(markedWhileAsked, QList<bool>({true, true}));
    const trend::FlowTrend& samples = trendView->samples();
    ASSERT_EQ(samples.size(), 4u) << "each failed poll once";
    EXPECT_TRUE(samples.at(2).failed);
    EXPECT_TRUE(samples.at(3).failed);
    const std::vector<std::int64_t>& failures = trendView->plot().failures;
    ASSERT_GE(failures.size(), 2u);
    EXPECT_EQ(failures[failures.size() - 2], samples.at(2).ms);
    EXPECT_EQ(failures.back(), samples.at(3).ms);
}

TEST_F(Charts, TheMeasurementsTakeTheFlowsTheirLayoutReads) {
    const struct {
        int workMode;
        bool ch1, ch2;
    } cases[] = {
        {0, true, true},   // operation: both channels
        {1, true, false},  // verification: the checked channel
        {2, false, false}, // no layout: answered, but no flow
    };
    for (const auto& c : cases) {
        sim->setHolding(1, 15, quint16(c.workMode));
        form->MenuTypeParamClick(form->Measurements);
        const trend::Sample& s = trendView->samples().at(trendView->samples().size() - 1);
        EXPECT_FALSE(s.failed) << c.workMode;
        EXPECT_EQ(!std::isnan(s.flow[0]), c.ch1) << c.workMode;
        EXPECT_EQ(!std::isnan(s.flow[1]), c.ch2) << c.workMode;
    }
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 2)); // the operation layout's read
    sim->setHolding(1, 15, 0);
    poll();
    EXPECT_TRUE(trendView->samples().at(trendView->samples().size() - 1).failed);
}

TEST_F(Charts, TheTrendIsSavedAsAPictureOfTheChart) {
    trendView->MenuFlowTrendClick();
    form->MenuTypeParamClick(form->Adjustment);
    poll();
    QString suggested;
    savePng(trendView->window(), QDir::current().filePath("trend"), &suggested, true);
    EXPECT_TRUE(suggested.endsWith("/FlowTrend.png")) << suggested.toStdString();
    // A name typed without a suffix gets ".png".
    EXPECT_EQ(QImage("trend.png", "PNG").size(), trendView->window()->chart()->size());
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(Charts, TheArchiveChartShowsTheGridsRowsAndMarksTheDaysNotRecordedOrNotRead) {
    // The third day of the first block (after two coils, the meter's number and the base) comes with
    // a wrong check byte.
    sim::FaultSpec damaged = sim::FaultSpec::onNth(sim::Fault::BadRecord, 5);
    damaged.badRecord = 3;
    sim->setFault(damaged);
    archiveChart->MenuArchiveChartClick();
    ModalDriver driver;
    driver.then(on<TForm10>([](TForm10* d) {
        d->RadioButtonFull->click();
        press(d->ButtonOkRangeArchive);
    }));
    form->MenuTypeParamClick(form->Day);
    ASSERT_TRUE(archiveChart->chart());
    const archives::ArchiveChart& chart = *archiveChart->chart();
    const QList<archives::Period>& periods = archives->lastArchive()->reading.periods;
    EXPECT_EQ(chart.periods(), 63);
    EXPECT_EQ(chart.downtimeTitle, "Простой, ч");

    // Every row of the grid is a bar of the same volumes, or a period not read; every period
    // without a bar lies in a marked gap.
    const StringGrid& grid = *form->StringGridArchives;
    int row = 1;
    bool notRecorded = false;
    for (int i = 0; i < chart.periods(); ++i) {
        if (periods[i].state == State::Row) {
            EXPECT_EQ(enc::MyFormatFloat(chart.plus[i]), grid.cell(1, row)) << i;
            EXPECT_EQ(enc::MyFormatFloat(chart.minus[i]), grid.cell(2, row)) << i;
            ++row;
            continue;
        }
        if (periods[i].state == State::NotRead) {
            EXPECT_EQ(grid.cell(0, row).trimmed(), periods[i].start.toString("dd.MM.yyyy")) << i;
            EXPECT_EQ(grid.cell(1, row++), archives::NotReadText) << i;
        }
        notRecorded |= periods[i].state == State::NotRecorded;
        EXPECT_TRUE(std::any_of(chart.gaps.begin(), chart.gaps.end(), [i](const archives::ChartGap& g) {
            return g.first <= i && i <= g.last;
        })) << i;
    }
    EXPECT_EQ(row, grid.rowCount());
    EXPECT_TRUE(notRecorded) << "the simulated meter was off for a whole day";
    EXPECT_EQ(periods[2].state, State::NotRead);
    EXPECT_EQ(periods.last().start.date(), enc::SecToDate(DeviceStart).date().addDays(-1))
        << "the last day is read";
    EXPECT_TRUE(std::count(chart.gaps.begin(), chart.gaps.end(),
                           archives::ChartGap{2, 3, archives::ChartMark::NotRead}))
        << "the damaged day and the next, whose volumes it would have given";

    QString suggested;
    savePng(archiveChart->window(), QDir::current().filePath("days.png"), &suggested);
    const QString number = form->findChild<QLineEdit*>("EditElNumber")->text();
    EXPECT_EQ(suggested, QDir::current().filePath(number + "/Archive1_ch1.png"));
    EXPECT_EQ(QImage("days.png", "PNG").size(), archiveChart->window()->chart()->size());
}

// Drawn, every period keeps its place among the bars, even one whose volume is no number, and every
// mark has its entry in the legend.
TEST(ArchiveBars, EveryPeriodKeepsItsPlace) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    archives::ArchiveReading reading;
    reading.kind = archives::Kind::Day;
    const QList<std::tuple<State, float, float>> days{{State::Row, 1, 0},   {State::Row, inf, 0},
                                                      {State::Row, 2, 0},   {State::NotRead, 0, 0},
                                                      {State::Row, 3, nan}, {State::Row, 4, 0}};
    for (const auto& [state, plus, minus] : days)
        reading.periods.append(
            {.start = QDateTime(QDate(2024, 3, int(reading.periods.size()) + 1), QTime(), Qt::UTC),
             .state = state,
             .plus = plus,
             .minus = minus});
    ArchiveBarChart bars;
    bars.draw(archives::chartOf(reading), "t");
    const QChart* chart = bars.findChild<QChartView*>("ArchiveChartView")->chart();
    QList<qreal> plus;
    QStringList legend;
    for (QAbstractSeries* series : chart->series()) {
        legend << series->name();
        if (auto* sets = qobject_cast<QBarSeries*>(series))
            for (int i = 0; i < sets->barSets()[0]->count(); ++i)
                plus << sets->barSets()[0]->at(i);
    }
    EXPECT_EQ(plus, (QList<qreal>{1, 0, 2, 0, 3, 4}));
    EXPECT_TRUE(legend.contains("Не прочитан")) << legend.join(", ").toStdString();
    EXPECT_TRUE(legend.contains("Недопустимый объем")) << legend.join(", ").toStdString();
}

} // namespace
