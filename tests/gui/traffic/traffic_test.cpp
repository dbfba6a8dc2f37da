// "Сервис" > "Монитор обмена" against the simulator with faults: rows, red errors, counters,
// decoding, filter, pause and the CSV export; the window itself never talks to the meter.
#include "app/trafficmonitor.h"
#include "archives/archivereading.h"
#include "device/encodings.h"
#include "fakecomm.h"
#include "link/crc16.h"
#include "link/trafficrecorder.h"
#include "mainwindowfixture.h"
#include "ui/trafficcountersmodel.h"
#include "ui/trafficmodel.h"
#include "ui/trafficwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

namespace {

class TrafficMonitorTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startSimulator({device(1)});
        writeSensCfg(sensCfg());
        createWindow();
        monitor = TrafficMonitor::install(*form);
        pretendSelected(1);
        form->findChild<QAction*>(QStringLiteral("MenuTrafficMonitor"))->trigger();
        window = monitor->window();
    }
    // Row texts of the table as the operator reads them.
    QString cell(int row, int column) const { return window->model().index(row, column).data().toString(); }
    int counter(int address, int column) const {
        const TrafficCountersModel& counters = window->countersModel();
        const int row = counters.rowOf(address);
        return row < 0 ? -1 : counters.index(row, column).data().toInt();
    }

    TrafficMonitor* monitor = nullptr;
    TrafficWindow* window = nullptr;
};

TEST_F(TrafficMonitorTest, ShowsEveryFrameWithErrorsInRedCountsThemAndSavesThem) {
    ASSERT_TRUE(window->isVisible());
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::BadCrc, 2));
    ASSERT_TRUE(form->exchange().readHolding(0, 21));
    ASSERT_FALSE(form->exchange().readHolding(0, 21));
    ASSERT_FALSE(form->exchange().readHolding(300, 20)); // past the register map: an exception
    ASSERT_FALSE(form->identify(9));                     // nobody there
    const int served = int(sim->requests().size());

    window->refresh();
    const TrafficModel& model = window->model();
    ASSERT_EQ(model.rowCount(), 8);
    QStringList verdicts;
    QList<int> red;
    for (int r = 0; r < model.rowCount(); ++r) {
        verdicts << cell(r, TrafficModel::ColVerdict);
        if (model.index(r, 0).data(Qt::ForegroundRole).value<QBrush>().color() == Qt::red) red << r;
    }
    EXPECT_EQ(verdicts[1], QStringLiteral("норма, конец по тишине"));
    EXPECT_EQ(verdicts[3], QStringLiteral("ошибка CRC, конец по тишине"));
    EXPECT_EQ(verdicts[5], QStringLiteral("исключение 2: недопустимый адрес данных, конец по тишине"));
    EXPECT_EQ(verdicts[7], QStringLiteral("нет ответа"));
    EXPECT_EQ(red, QList<int>({3, 5, 7}));

    // Requests, good replies, no reply, CRC errors, exceptions.
    EXPECT_EQ(counter(1, 1), 3);
    EXPECT_EQ(counter(1, 2), 1);
    EXPECT_EQ(counter(1, 4), 1);
    EXPECT_EQ(counter(1, 5), 1);
    EXPECT_EQ(counter(9, 3), 1);
    EXPECT_FALSE(
        window->countersModel().index(0, TrafficCountersModel::ColMeanMs).data().toString().isEmpty())
        << "a mean reply time";

    window->TableTraffic->selectRow(1);
    EXPECT_TRUE(window->MemoDecode->toPlainText().contains(QStringLiteral("функция 3 (чтение регистров)")));
    EXPECT_TRUE(window->MemoDecode->toPlainText().contains(QStringLiteral("\n  20  0x")));

    window->ComboAddress->setCurrentIndex(window->ComboAddress->findData(9));
    emit window->ComboAddress->activated(window->ComboAddress->currentIndex());
    EXPECT_EQ(model.rowCount(), 2);

    const QString path = m_dir.filePath(QStringLiteral("обмен.csv"));
    window->askFileName = [&](const QString&) { return path; };
    QTest::mouseClick(window->ButtonSave, Qt::LeftButton);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, the two rows shown, and the end of the last line
    EXPECT_TRUE(lines[1].contains(",tx,9,17,09 11 "));
    EXPECT_TRUE(lines[2].contains(",event,9,17,,no reply,,"));

    QStringList errors;
    window->reportError = [&](const QString& text) { errors << text; };
    EXPECT_FALSE(window->saveTo(m_dir.filePath(QStringLiteral("нет/обмен.csv"))));
    EXPECT_EQ(errors.size(), 1);

    EXPECT_EQ(sim->requests().size(), served) << "looking, filtering and saving send nothing";
}

TEST_F(TrafficMonitorTest, PauseHoldsTheRowsWhileTheLineGoesOnAndAnExchangeDoesNotDisableIt) {
    window->CheckPause->setChecked(true);
    bool enabledDuringExchange = false;
    QTimer::singleShot(5, window, [&] { enabledDuringExchange = window->ButtonSave->isEnabled(); });
    form->setEnabled(false); // as during every reading
    form->exchange().readHolding(0, 21);
    form->setEnabled(true);
    EXPECT_TRUE(enabledDuringExchange);
    window->refresh();
    EXPECT_EQ(window->model().rowCount(), 0);
    EXPECT_EQ(counter(1, 1), 1) << "the counters stay live";
    window->CheckPause->setChecked(false);
    EXPECT_EQ(window->model().rowCount(), 2);
}

TEST_F(TrafficMonitorTest, SaveWaitsForTheExchangeUnderWayAndHoldsPollsWhileItsDialogIsOpen) {
    int asked = 0;
    bool idleWhileAsked = true;
    window->askFileName = [&](const QString&) {
        ++asked;
        idleWhileAsked = form->LinkIdle;
        return QString();
    };
    {
        // A dialog opened inside the engine's wait would hold the exchange until it closed.
        const OperatorAction exchange(*form, {.guard = OperatorAction::Guard::Opened});
        QTest::mouseClick(window->ButtonSave, Qt::LeftButton);
        EXPECT_EQ(asked, 0);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked == 1; }, 5000));
    EXPECT_FALSE(idleWhileAsked);
    EXPECT_TRUE(form->LinkIdle);
}

// The exchange log open on a full ring while a long reading runs: whatever the window does about
// each exchange must not reach the line.
class TrafficLogDuringAReading : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen();
        monitor = TrafficMonitor::install(*form);
        form->ModBus->setFastCompletion(true);
    }
    // The whole hour archive, as "Часовой" with "Весь архив" reads it; the requests that went out.
    QStringList readHourArchive() {
        sim->clearLog();
        const archives::ArchiveReading reading = archives::readArchive(
            archives::Kind::Hour, {}, 0, enc::SecToDate(DeviceStart),
            [this](const archives::Request& r) { return form->exchange().readArchive(r); });
        EXPECT_FALSE(reading.linkFailed());
        return requestPdus();
    }
    // Fills the ring with replies from 127 addresses, as a long session with scans leaves it.
    void fillRing() {
        FakeComm line;
        line.open = true;
        line.responder = [](const QByteArray& request) {
            return QList<Chunk>{{-1, crc16::appended(request.left(1) + QByteArray::fromHex("0302 1111"))}};
        };
        TModBus other{&line};
        other.setModbusSilenceMs(0);
        monitor->recorder().attach(other);
        for (int n = 0; monitor->recorder().entries().size() < TrafficRecorder::DefaultCapacity; ++n)
            other.ReadHoldingRegisters(std::uint8_t(1 + n % 127), 1, 0);
    }

    TrafficMonitor* monitor = nullptr;
};

TEST_F(TrafficLogDuringAReading, AFullHourArchiveSendsTheSameRequestsWithTheLogOpenOnAFullRing) {
    const QStringList closed = readHourArchive();
    ASSERT_GT(closed.size(), 80);
    fillRing();
    form->findChild<QAction*>(QStringLiteral("MenuTrafficMonitor"))->trigger();
    TrafficWindow* window = monitor->window();
    ASSERT_TRUE(window->isVisible());
    window->refresh();
    ASSERT_EQ(window->countersModel().rowCount(), 127);
    EXPECT_EQ(readHourArchive(), closed);
    EXPECT_EQ(monitor->recorder().entries().size(), size_t(TrafficRecorder::DefaultCapacity));
}

// The screen of the offscreen tests (800 x 800) is smaller than the window's first size.
TEST_F(TrafficMonitorTest, OpensWithinTheScreenAndCanStillBeMadeLarger) {
    const QRect area = window->screen()->availableGeometry();
    ASSERT_LT(area.width(), 960);
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
    EXPECT_GT(window->maximumHeight(), area.height());
    // Where the operator leaves it, it stays when shown again.
    window->hide();
    window->resize(700, 500);
    form->findChild<QAction*>(QStringLiteral("MenuTrafficMonitor"))->trigger();
    EXPECT_EQ(window->size(), QSize(700, 500));
}

} // namespace
