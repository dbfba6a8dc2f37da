// The exchange log window over a busy line: a look at the recorder costs what changed (the rows of
// the addresses whose counters moved, the entries that came and left), never a rebuild.
#include "fakecomm.h"
#include "link/crc16.h"
#include "link/trafficrecorder.h"
#include "ui/trafficcountersmodel.h"
#include "ui/trafficmodel.h"
#include "ui/trafficwindow.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Every address answers a one-register read at once.
struct BusyLine {
    explicit BusyLine(int capacity) : recorder(capacity) {
        comm.responder = [](const QByteArray& request) {
            QByteArray reply = request.left(1) + QByteArray::fromHex("03021234");
            return QList<Chunk>{{-1, crc16::appended(reply)}};
        };
        bus.setModbusSilenceMs(0);
        recorder.attach(bus);
    }
    void poll(int address) { bus.ReadHoldingRegisters(std::uint8_t(address), 1, 0); }

    FakeComm comm;
    TModBus bus{&comm};
    TrafficRecorder recorder;
};

struct Spies {
    explicit Spies(QAbstractItemModel* model)
        : changed(model, &QAbstractItemModel::dataChanged),
          inserted(model, &QAbstractItemModel::rowsInserted),
          removed(model, &QAbstractItemModel::rowsRemoved), reset(model, &QAbstractItemModel::modelReset) {}
    QSignalSpy changed, inserted, removed, reset;
};

TEST(TrafficWindowUpdates, ARefreshRedrawsOnlyTheCounterRowsThatMovedAndInsertsNewAddresses) {
    BusyLine line(TrafficRecorder::DefaultCapacity);
    // Not shown: its own refresh timer would take looks while the engine waits.
    TrafficWindow window(line.recorder);
    for (int address = 1; address <= 127; address += 2)
        line.poll(address);
    window.refresh();
    TrafficCountersModel& counters = window.countersModel();
    ASSERT_EQ(counters.rowCount(), 64);

    Spies spies(&counters);
    line.poll(41);
    line.poll(41);
    window.refresh();
    ASSERT_EQ(spies.changed.size(), 1);
    const auto topLeft = spies.changed[0][0].value<QModelIndex>();
    const auto bottomRight = spies.changed[0][1].value<QModelIndex>();
    EXPECT_EQ(topLeft.row(), counters.rowOf(41));
    EXPECT_EQ(bottomRight.row(), topLeft.row());
    EXPECT_EQ(counters.index(topLeft.row(), TrafficCountersModel::ColRequests).data().toString(), "3");
    EXPECT_TRUE(spies.inserted.isEmpty());
    EXPECT_TRUE(spies.reset.isEmpty());

    // A new address: one row in its place, and in the address list after "все"; nothing redrawn.
    spies.changed.clear();
    line.poll(42);
    window.refresh();
    ASSERT_EQ(spies.inserted.size(), 1);
    EXPECT_EQ(spies.inserted[0][1].toInt(), counters.rowOf(42));
    EXPECT_EQ(counters.rowOf(42), counters.rowOf(41) + 1);
    EXPECT_TRUE(spies.changed.isEmpty());
    EXPECT_EQ(window.ComboAddress->itemData(counters.rowOf(42) + 1).toInt(), 42);
    EXPECT_EQ(window.ComboAddress->count(), 66);

    // Nothing new: nothing at all.
    spies.inserted.clear();
    window.refresh();
    EXPECT_TRUE(spies.changed.isEmpty() && spies.inserted.isEmpty() && spies.reset.isEmpty());
}

TEST(TrafficWindowUpdates, TheLogTakesNewEntriesAtTheEndAndLetsGoOfWhatLeftTheRing) {
    BusyLine line(20);
    // Not shown: its own refresh timer would take looks while the engine waits.
    TrafficWindow window(line.recorder);
    // A filter too: its rows must leave with the ring as well, not when the table is full.
    for (int filter : {-1, 7}) {
        SCOPED_TRACE(filter);
        window.model().setAddressFilter(filter);
        for (int i = 0; i < 10; ++i)
            line.poll(7);
        window.refresh();
        TrafficModel& log = window.model();
        ASSERT_EQ(log.rowCount(), 20);

        Spies spies(&log);
        line.poll(7);
        line.poll(8);
        line.poll(7);
        window.refresh();
        EXPECT_TRUE(spies.reset.isEmpty());
        ASSERT_EQ(spies.removed.size(), 1);
        EXPECT_EQ(spies.removed[0][1].toInt(), 0);
        ASSERT_EQ(spies.inserted.size(), 1);
        const int shown = filter < 0 ? 20 : 18; // address 8's request and reply are not shown
        EXPECT_EQ(log.rowCount(), shown);
        EXPECT_EQ(spies.removed[0][2].toInt() + 1, 6) << "the six entries pushed out of the ring";
        EXPECT_EQ(log.entry(0).number, line.recorder.entries().front().number);
        EXPECT_EQ(log.entry(log.rowCount() - 1).number, line.recorder.nextNumber() - 1);
    }
}

} // namespace
