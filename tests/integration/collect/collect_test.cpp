// The collector against simulated meters on two lines (a pseudo-terminal and a serial device
// server), on SQLite and on PostgreSQL: what it stores is what the monitor's own readers give, and
// a later run asks only for what is new.
#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "collect/collector.h"
#include "device/encodings.h"
#include "link/linkport.h"
#include "link/tmodbus.h"
#include "sim/simulator.h"
#include "store/store.h"
#include "testdatabases.h"

#include <QHostAddress>
#include <QSerialPort>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <gtest/gtest.h>

using namespace collect;
using store::PeriodRow;

namespace {

// 10:30 on the 1st of a month: an hour, a day and a month have just ended.
const quint32 Start = enc::DateToSec(QDateTime(QDate(2026, 3, 1), QTime(10, 30), Qt::UTC));

// With a dial result, the line is behind a modem that answers the dial with it.
std::unique_ptr<sim::Simulator> simulator(QList<int> addresses, bool tcp, quint32 seed,
                                          const QString& modemDial = {}) {
    sim::SimOptions o;
    for (int a : addresses)
        o.devices.append(sim::DeviceOptions{.address = a, .idText1 = {}, .idText2 = {}});
    o.seed = seed;
    o.pacing = false;
    o.startTime = Start;
    o.clockRuns = false;
    o.modem = !modemDial.isEmpty();
    o.modemDialResult = modemDial;
    o.modemDialDelayMs = 20;
    if (tcp) {
        o.tcpPort = 0;
        o.pty = false;
    }
    auto s = std::make_unique<sim::Simulator>(o);
    QString error;
    EXPECT_TRUE(s->start(&error)) << error.toStdString();
    return s;
}

QString lineOf(const sim::Simulator& s) {
    return s.tcpPort() ? QStringLiteral("tcp://127.0.0.1:%1").arg(s.tcpPort()) : s.portPath();
}

// What the monitor's readers make of a meter: every archive and channel in full, every journal.
struct Reference {
    std::uint32_t number = 0;
    QList<PeriodRow> periods[3][2];
    QList<store::EntryRow> entries[7];
};

Reference readAsTheMonitorDoes(sim::Simulator& s, int address) {
    TModBus bus;
    bus.MSComm1()->setSystemPortName(lineOf(s));
    bus.setFastCompletion(true);
    const auto addr = std::uint8_t(address);
    const archives::RequestFn send = [&](const archives::Request& r) -> std::optional<QByteArray> {
        archives::send(bus, addr, r);
        if (!bus.replyOk()) return std::nullopt;
        return bus.reply();
    };
    Reference ref;
    ref.number = (quint32(s.holding(address, 8)) << 16) | s.holding(address, 9);
    const QDateTime now = enc::SecToDate(s.deviceTime(address));
    for (int a = 0; a < 3; ++a)
        for (int c = 0; c < 2; ++c) {
            const archives::ArchiveReading r = archives::readArchive(archives::Kind(a), {}, c, now, send);
            EXPECT_FALSE(r.linkFailed());
            for (const archives::Period& p : r.periods) {
                PeriodRow row{.archive = a, .channel = c + 1, .start = enc::DateToSec(p.start)};
                if (p.recorded) row.recordedAt = p.recorded;
                if (p.state == archives::Period::State::Row) {
                    row.plus = p.plus;
                    row.minus = p.minus;
                    if (a < 2) row.downtime = p.downtime;
                } else {
                    row.state = p.state == archives::Period::State::NotRecorded ? PeriodRow::State::Gap
                                : p.state == archives::Period::State::NoBase    ? PeriodRow::State::NoBase
                                                                                : PeriodRow::State::NotRead;
                }
                ref.periods[a][c].append(row);
            }
        }
    for (int j = 3; j <= 6; ++j) {
        QList<JournalEntry> entries;
        EXPECT_FALSE(archives::readJournal(j, false, send, {}, &entries).linkFailed());
        for (const JournalEntry& e : entries)
            ref.entries[j].append({.journal = j,
                                   .code = e.code,
                                   .started = e.start,
                                   .ended = e.end ? std::optional<std::int64_t>(e.end) : std::nullopt});
    }
    return ref;
}

// The archive requests (function 65 by date) the simulator served.
int archiveRequests(const sim::Simulator& s) {
    int n = 0;
    for (const QByteArray& f : s.requests())
        n += f.size() > 6 && quint8(f[1]) == 65 && f[6] == 1;
    return n;
}

class Collect : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        const std::optional<QString> url = newDatabaseOrSkip(GetParam());
        if (!url) return;
        options.database = *store::parseLocation(*url, nullptr);
        options.fast = true;
        lineA = simulator({1, 2}, false, 11);
        lineB = simulator({7}, true, 12);
        QString error;
        meters = *parseMeterList(QStringLiteral("%1 1 Котельная\n%1 2\n%2 7 19200 Насосная\n%2 9 отключён\n")
                                     .arg(lineOf(*lineA), lineOf(*lineB)),
                                 "meters", &error);
        db = store::Store::open(options.database, &error);
        ASSERT_TRUE(db) << error.toStdString();
    }

    QList<store::Outcome> collect(const QString& run) {
        std::atomic<bool> stop{false};
        EXPECT_TRUE(db->beginRun(run, QDateTime::currentDateTime(), "test"));
        return collectOnce(meters, options, run, {}, stop);
    }

    // The database holds, for every meter, exactly what a full reading gives now.
    void expectEqualsAFullReading() {
        const std::pair<sim::Simulator*, int> all[] = {{lineA.get(), 1}, {lineA.get(), 2}, {lineB.get(), 7}};
        for (const auto& [s, address] : all) {
            SCOPED_TRACE(address);
            const Reference ref = readAsTheMonitorDoes(*s, address);
            for (int a = 0; a < 3; ++a)
                for (int c = 0; c < 2; ++c) {
                    SCOPED_TRACE(a * 10 + c);
                    ASSERT_FALSE(ref.periods[a][c].isEmpty());
                    EXPECT_EQ(db->periods(ref.number, a, c + 1, ref.periods[a][c].first().start),
                              ref.periods[a][c]);
                }
            for (int j = 3; j <= 6; ++j)
                EXPECT_EQ(db->entries(ref.number, j), ref.entries[j]) << j;
        }
    }

    // The rows of a meter's archives, both channels, marked as not read.
    int notReadRows(std::uint32_t meter) {
        int n = 0;
        for (int a = 0; a < 3; ++a)
            for (int c = 1; c <= 2; ++c)
                for (const PeriodRow& p : db->periods(meter, a, c))
                    n += p.state == PeriodRow::State::NotRead;
        return n;
    }

    CollectOptions options;
    std::unique_ptr<sim::Simulator> lineA, lineB;
    QList<MeterEntry> meters;
    std::unique_ptr<store::Store> db;
};

TEST_P(Collect, FirstRunStoresWhatTheReadersGiveAndTheNextOnlyWhatIsNew) {
    const QList<store::Outcome> first = collect("run-1");
    ASSERT_EQ(first.size(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(first[i].result, store::Outcome::Result::Stored) << first[i].reason.toStdString();
        EXPECT_GT(first[i].periods, 1000);
    }
    EXPECT_EQ(first[3].result, store::Outcome::Result::Failed);
    EXPECT_EQ(first[3].reason, "no reply (electronic number)");
    // A full hour archive is a base and 84 blocks, a day archive 9 requests, a month archive 4;
    // the second channel comes from the same replies.
    EXPECT_EQ(archiveRequests(*lineB), 85 + 9 + 4);
    expectEqualsAFullReading();

    // Three hours later: the new hours are read, nothing else of the archives.
    lineA->advanceClock(3 * 3600);
    lineB->advanceClock(3 * 3600);
    lineA->clearLog();
    lineB->clearLog();
    const QList<store::Outcome> second = collect("run-2");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(second[i].result, store::Outcome::Result::Stored) << second[i].reason.toStdString();
        EXPECT_EQ(second[i].periods, 2 * 3);
    }
    EXPECT_EQ(archiveRequests(*lineA), 2 * 2); // per meter the base hour and one block
    EXPECT_EQ(archiveRequests(*lineB), 2);
    expectEqualsAFullReading();

    // The same moment again, one line at a time: nothing new, nothing stored twice.
    options.lines = 1;
    lineB->clearLog();
    const QList<store::Outcome> third = collect("run-3");
    EXPECT_EQ(third[0].result, store::Outcome::Result::Stored);
    EXPECT_EQ(third[2].result, store::Outcome::Result::Stored);
    EXPECT_EQ(third[2].periods, 0);
    EXPECT_EQ(third[2].entries, 0);
    EXPECT_EQ(archiveRequests(*lineB), 0);
    const QList<store::Outcome> recorded = db->outcomes("run-3");
    ASSERT_EQ(recorded.size(), 4);
    EXPECT_EQ(recorded[3].result, store::Outcome::Result::Failed); // sorted by line and address
}

TEST_P(Collect, FaultsStoreNothingWrongAndTheNextRunTakesUpWhereTheyLeft) {
    // Each meter's 20th request, in the middle of its hour archive, goes wrong in its own way.
    const auto fault = [](sim::Fault kind, int address) {
        sim::FaultSpec f = sim::FaultSpec::onNth(kind, 20);
        f.address = address;
        return f;
    };
    lineA->setFault(fault(sim::Fault::BadRecord, 1));
    lineA->setFault(fault(sim::Fault::Silence, 2));
    lineB->setFault(fault(sim::Fault::Drop, 7));
    const QList<store::Outcome> first = collect("run-1");
    EXPECT_EQ(first[0].result, store::Outcome::Result::Partial);
    const int notRead = notReadRows(first[0].number.value());
    EXPECT_GT(notRead, 0);
    EXPECT_TRUE(
        first[0].reason.startsWith(QStringLiteral("%1 periods not read, left to read again;").arg(notRead)))
        << first[0].reason.toStdString();
    EXPECT_EQ(first[1].result, store::Outcome::Result::Failed);
    EXPECT_TRUE(first[1].reason.startsWith("no reply (hour);")) << first[1].reason.toStdString();
    EXPECT_EQ(first[2].result, store::Outcome::Result::Failed);
    EXPECT_TRUE(first[2].reason.contains("(hour)")) << first[2].reason.toStdString();

    // What was stored is right, only not all of it.
    const std::pair<sim::Simulator*, int> all[] = {{lineA.get(), 1}, {lineA.get(), 2}, {lineB.get(), 7}};
    for (const auto& [s, address] : all) {
        SCOPED_TRACE(address);
        const Reference ref = readAsTheMonitorDoes(*s, address);
        for (int a = 0; a < 3; ++a)
            for (int c = 0; c < 2; ++c)
                for (const PeriodRow& p : db->periods(ref.number, a, c + 1)) {
                    const auto same = std::find_if(ref.periods[a][c].begin(), ref.periods[a][c].end(),
                                                   [&](const PeriodRow& r) { return r.start == p.start; });
                    ASSERT_NE(same, ref.periods[a][c].end());
                    if (p.state != PeriodRow::State::NotRead) EXPECT_EQ(p, *same);
                }
    }
    // A damaged record costs its own periods only: the rest of the archive is stored.
    const Reference damaged = readAsTheMonitorDoes(*lineA, 1);
    EXPECT_EQ(db->periods(damaged.number, 0, 1).size(), damaged.periods[0][0].size());

    lineA->clearFaults();
    lineB->clearFaults();
    const QList<store::Outcome> second = collect("run-2");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(second[i].result, store::Outcome::Result::Stored) << second[i].reason.toStdString();
    EXPECT_GE(second[0].periods, notRead) << "the periods not read are read now";
    expectEqualsAFullReading();
}

// A line another program holds: the outcome says so instead of blaming the meter. A serial port's
// lock is plain; a device server's hang-up without a reply is what a server serving someone else
// does, and is said as likely.
TEST_P(Collect, ALineAnotherProgramHoldsIsSaidToBeInUse) {
    QSerialPort serial(lineOf(*lineA));
    ASSERT_TRUE(serial.open(QIODevice::ReadWrite)) << serial.errorString().toStdString();
    QTcpSocket server;
    server.connectToHost(QHostAddress::LocalHost, quint16(lineB->tcpPort()));
    ASSERT_TRUE(server.waitForConnected(5000));
    const QList<store::Outcome> outcomes = collect("run-1");
    ASSERT_EQ(outcomes.size(), 4);
    const QString serialInUse =
        "port cannot be opened: " + lineOf(*lineA) + ": the line is in use by another program";
    const QString serverInUse =
        "the device server hung up without a reply: the line is likely in use by another "
        "program (electronic number)";
    const QString expected[] = {serialInUse, serialInUse, serverInUse, serverInUse};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(outcomes[i].result, store::Outcome::Result::Failed) << i;
        EXPECT_EQ(outcomes[i].reason.toStdString(), expected[i].toStdString()) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, Collect, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& info) { return std::string(backendName(info.param)); });

} // namespace

namespace {

// Meters behind dial-up modems; a twin without the modem (same seed, same clock) shows what a
// direct line would give.
class CollectThroughModem : public ::testing::Test {
  protected:
    void SetUp() override {
        QString skip;
        bool failed = false;
        options.database = *store::parseLocation(*newDatabase(Backend::SQLite, &skip, &failed), nullptr);
        options.fast = true;
        options.silenceMs = 50;
        options.modem = {
            .initString = "ATZ", .dialPrefix = "ATDT", .phoneNumber = "ignored", .delaySeconds = 30};
        QString error;
        db = store::Store::open(options.database, &error);
        ASSERT_TRUE(db) << error.toStdString();
    }
    QList<store::Outcome> collect(const QString& list, const CollectReport& report = {}) {
        QString error;
        const std::optional<QList<MeterEntry>> meters = parseMeterList(list, "meters", &error);
        EXPECT_TRUE(meters) << error.toStdString();
        EXPECT_TRUE(db->beginRun("run", QDateTime::currentDateTime(), "test"));
        return collectOnce(meters.value_or(QList<MeterEntry>()), options, "run", report, stop);
    }
    // The modem commands the simulator heard, in order.
    static QStringList commands(const sim::Simulator& s) {
        QStringList list;
        for (const sim::LogEntry& e : s.log())
            if (e.fromMaster && e.note == "modem command") list << QString::fromLatin1(e.frame);
        return list;
    }

    CollectOptions options;
    std::unique_ptr<store::Store> db;
    std::atomic<bool> stop{false};
};

TEST_F(CollectThroughModem, StoresWhatADirectLineGivesAndHangsUp) {
    const auto viaModem = simulator({1, 2}, false, 21, "CONNECT 9600");
    const auto busy = simulator({3}, false, 22, "BUSY");
    const auto direct = simulator({1, 2}, false, 21);
    // Meter 9 is not there: the call ends after a meter that failed.
    const QList<store::Outcome> outcomes = collect(
        QStringLiteral(
            "modem:%1:5551234 1\nmodem:%2:5559876 3 Занятый\nmodem:%1:5551234 2\nmodem:%1:5551234 9\n")
            .arg(viaModem->portPath(), busy->portPath()));
    ASSERT_EQ(outcomes.size(), 4);
    EXPECT_EQ(outcomes[0].result, store::Outcome::Result::Stored) << outcomes[0].reason.toStdString();
    EXPECT_EQ(outcomes[2].result, store::Outcome::Result::Stored) << outcomes[2].reason.toStdString();
    EXPECT_EQ(outcomes[1].result, store::Outcome::Result::Failed);
    EXPECT_EQ(outcomes[1].reason, "modem: the line is busy (BUSY)");
    EXPECT_EQ(outcomes[3].result, store::Outcome::Result::Failed);
    EXPECT_EQ(outcomes[3].reason, "no reply (electronic number)");
    EXPECT_EQ(db->outcomes("run").size(), 4) << "a failed dial is on record too";

    for (int address : {1, 2}) {
        SCOPED_TRACE(address);
        const Reference ref = readAsTheMonitorDoes(*direct, address);
        EXPECT_EQ(outcomes[address == 1 ? 0 : 2].number.value_or(0), ref.number);
        for (int a = 0; a < 3; ++a)
            for (int c = 0; c < 2; ++c)
                EXPECT_EQ(db->periods(ref.number, a, c + 1, ref.periods[a][c].first().start),
                          ref.periods[a][c]);
        for (int j = 3; j <= 6; ++j)
            EXPECT_EQ(db->entries(ref.number, j), ref.entries[j]) << j;
    }

    // The three meters in one call, dialled with the list's number, and the call ended.
    EXPECT_EQ(commands(*viaModem), (QStringList{"ATZ", "ATDT5551234", "ATH"}));
    EXPECT_FALSE(viaModem->modemCallUp());
    // The busy line got no ModBus frame; its modem is on-hook and was not told to hang up.
    EXPECT_EQ(commands(*busy), (QStringList{"ATZ", "ATDT5559876"}));
    EXPECT_EQ(busy->requests().size(), 2);
}

TEST_F(CollectThroughModem, AStoppedRunEndsTheCall) {
    const auto line = simulator({1, 4}, false, 23, "CONNECT 9600");
    const auto stopInFirstMeter = [&](int, const QString& text) {
        if (text.contains("hour")) stop = true;
    };
    const QList<store::Outcome> outcomes =
        collect(QStringLiteral("modem:%1:1 1\nmodem:%1:1 4\n").arg(line->portPath()),
                {.progress = stopInFirstMeter, .visited = {}});
    EXPECT_EQ(outcomes[0].result, store::Outcome::Result::Stored) << outcomes[0].reason.toStdString();
    EXPECT_EQ(outcomes[1].reason, "not visited: stopped");
    EXPECT_EQ(commands(*line).last(), "ATH");
    EXPECT_FALSE(line->modemCallUp());
}

} // namespace

// Each line writing through a connection of its own would let a server's connection limit (100 by
// default, less what else uses it) cap how many lines a collector reads at once. A role allowed
// only the collector's few connections collects many lines all the same.
TEST(CollectManyLines, ShareAFewDatabaseConnections) {
    const std::optional<QString> url = newDatabaseOrSkip(Backend::PostgreSQL);
    if (!url) return;
    QString error;
    const store::Location owner = *store::parseLocation(*url, &error);
    const std::unique_ptr<store::Store> db = store::Store::open(owner, &error);
    ASSERT_TRUE(db) << error.toStdString();
    QSqlQuery q(db->db());
    q.exec(QStringLiteral("CREATE ROLE few_connections LOGIN CONNECTION LIMIT %1").arg(MaxConnections));
    ASSERT_TRUE(q.exec("GRANT ALL ON ALL TABLES IN SCHEMA public TO few_connections"))
        << q.lastError().text().toStdString();
    ASSERT_TRUE(db->beginRun("run", QDateTime::currentDateTime(), "test"));

    std::vector<std::unique_ptr<sim::Simulator>> lines;
    QString list;
    for (int i = 0; i < 2 * MaxConnections + 2; ++i) {
        lines.push_back(simulator({1}, true, quint32(40 + i)));
        list += lineOf(*lines.back()) + " 1\n";
    }
    CollectOptions options{.database = owner, .fast = true};
    options.database.user = "few_connections";
    std::atomic<bool> stop{false};
    const QList<store::Outcome> outcomes =
        collectOnce(*parseMeterList(list, "meters", &error), options, "run", {}, stop);
    ASSERT_EQ(outcomes.size(), int(lines.size()));
    for (const store::Outcome& o : outcomes)
        EXPECT_EQ(o.result, store::Outcome::Result::Stored) << o.reason.toStdString();
    EXPECT_EQ(db->outcomes("run").size(), outcomes.size());
}

namespace {

// Two meters on one line; meter 2 answers late (after the silence has ended its transaction), when
// meter 3 would be waiting for its own reply.
TEST(CollectBesideALateMeter, OnlyTheLateMeterFailsAndRetriesMendAReplyLateOnce) {
    using Result = store::Outcome::Result;
    const struct {
        const char* name;
        bool fast;
        int retries;
        int late; // which of meter 2's requests is answered late; 0: every one
        Result meter2;
    } cases[] = {
        {"every reply late", false, 0, 0, Result::Failed},
        {"every reply late, fast", true, 0, 0, Result::Failed},
        {"every reply late, asked again", true, 2, 0, Result::Failed},
        {"the first reply late", true, 0, 1, Result::Failed},
        {"the first reply late, asked again", false, 1, 1, Result::Stored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        bool failed = false;
        CollectOptions options;
        options.database = *store::parseLocation(*newDatabase(Backend::SQLite, &error, &failed), nullptr);
        options.fast = c.fast;
        options.retries = c.retries;
        options.silenceMs = 50;
        const auto line = simulator({2, 3}, false, 31);
        sim::FaultSpec late = c.late ? sim::FaultSpec::onNth(sim::Fault::Late, c.late)
                                     : sim::FaultSpec::always(sim::Fault::Late);
        late.address = 2;
        late.lateDelayMs = 80; // within a silence after the transaction ends, as 700 ms are after 500
        line->setFault(late);
        const std::unique_ptr<store::Store> db = store::Store::open(options.database, &error);
        ASSERT_TRUE(db) << error.toStdString();
        ASSERT_TRUE(db->beginRun("run", QDateTime::currentDateTime(), "test"));
        const std::atomic<bool> stop{false};
        const QList<store::Outcome> o = collectOnce(
            *parseMeterList(QStringLiteral("%1 2\n%1 3\n").arg(line->portPath()), "meters", &error), options,
            "run", {}, stop);
        ASSERT_EQ(o.size(), 2);
        EXPECT_EQ(o[0].result, c.meter2) << o[0].reason.toStdString();
        if (c.meter2 == Result::Failed) EXPECT_EQ(o[0].reason, "no reply (electronic number)");
        EXPECT_EQ(o[1].result, Result::Stored) << o[1].reason.toStdString();
    }
}

} // namespace
