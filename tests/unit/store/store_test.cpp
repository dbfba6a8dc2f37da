#include "store/store.h"
#include "store/storepool.h"
#include "testdatabases.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

using namespace store;
using State = PeriodRow::State;

TEST(StoreLocation, Forms) {
    struct Row {
        const char* url;
        bool ok;
        Location::Kind kind;
        const char* path;
        const char* user;
        const char* host;
        int port;
        const char* database;
    };
    const Row rows[] = {
        {"", true, Location::Kind::SQLite, "kastari.db", "", "", 0, ""},
        {"sqlite:/var/lib/kastari/kastari.db", true, Location::Kind::SQLite, "/var/lib/kastari/kastari.db",
         "", "", 0, ""},
        {"fleet.db", true, Location::Kind::SQLite, "fleet.db", "", "", 0, ""},
        {"postgresql://collector@127.0.0.1:5433/fleet", true, Location::Kind::PostgreSQL, "", "collector",
         "127.0.0.1", 5433, "fleet"},
        {"postgres://collector@db/fleet", true, Location::Kind::PostgreSQL, "", "collector", "db", 0,
         "fleet"},
        {"postgresql://collector@%2Fvar%2Frun%2Fpostgresql/fleet", true, Location::Kind::PostgreSQL, "",
         "collector", "/var/run/postgresql", 0, "fleet"},
        {"postgresql://collector:secret@db/fleet", false, {}, "", "", "", 0, ""},
        {"postgresql://db/fleet", false, {}, "", "", "", 0, ""},
        {"postgresql://collector@db/", false, {}, "", "", "", 0, ""},
        {"mysql://collector@db/fleet", false, {}, "", "", "", 0, ""},
        {"sqlite:", false, {}, "", "", "", 0, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.url);
        QString error;
        const std::optional<Location> loc = parseLocation(QString::fromUtf8(r.url), &error);
        ASSERT_EQ(loc.has_value(), r.ok) << error.toStdString();
        if (!r.ok) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_EQ(loc->kind, r.kind);
        EXPECT_EQ(loc->path, QString::fromUtf8(r.path));
        EXPECT_EQ(loc->user, QString::fromUtf8(r.user));
        EXPECT_EQ(loc->host, QString::fromUtf8(r.host));
        EXPECT_EQ(loc->port, r.port);
        EXPECT_EQ(loc->database, QString::fromUtf8(r.database));
    }
}

class StoreTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        const std::optional<QString> url = newDatabaseOrSkip(GetParam());
        if (!url) return;
        QString error;
        location = *parseLocation(*url, &error);
    }
    std::unique_ptr<Store> open(int version = SchemaVersion) {
        QString error;
        std::unique_ptr<Store> s = Store::open(location, &error, version);
        EXPECT_TRUE(s) << error.toStdString();
        return s;
    }
    Location location;
};

MeterVisit visit(std::uint32_t number) {
    MeterVisit v{.number = number,
                 .line = QStringLiteral("/dev/ttyS0"),
                 .name = QStringLiteral("Котельная 3"),
                 .address = 5,
                 .deviceText = QStringLiteral("КАСТАРИ-ДК v1"),
                 .twoChannelMode = true};
    v.periods = {
        {.archive = 0, .channel = 1, .start = 3600, .state = State::NoBase, .recordedAt = 3600},
        {.archive = 0,
         .channel = 1,
         .start = 7200,
         .state = State::Volumes,
         .plus = 1.25,
         .minus = 0.5,
         .downtime = 60,
         .recordedAt = 7200},
        {.archive = 0, .channel = 1, .start = 10800, .state = State::Gap},
        {.archive = 0,
         .channel = 2,
         .start = 7200,
         .state = State::Volumes,
         .plus = 0.1f,
         .minus = 3,
         .downtime = 0,
         .recordedAt = 7200},
        {.archive = 2,
         .channel = 1,
         .start = 86400,
         .state = State::Volumes,
         .plus = 1e6f,
         .minus = -2.5,
         .recordedAt = 86400 + 3600},
    };
    v.entries = {
        {.journal = 3, .code = 1, .started = 5000, .ended = 6000},
        {.journal = 5, .code = 16, .started = 5000},
        {.journal = 6, .code = 16, .started = 5000, .ended = 5100},
        {.journal = 4, .code = 2, .started = 0, .ended = 7000},
        {.journal = 4, .code = 2, .started = 0, .ended = 8000},
    };
    return v;
}

TEST_P(StoreTest, AVisitStoredTwiceIsStoredOnce) {
    auto s = open();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->schemaVersion(), SchemaVersion);
    const MeterVisit v = visit(4000123456u);
    QString error;
    std::optional<Written> first = s->storeVisit(v, &error);
    ASSERT_TRUE(first) << error.toStdString();
    EXPECT_EQ(first->periods, 5);
    EXPECT_EQ(first->entries, 5);
    std::optional<Written> again = s->storeVisit(v, &error);
    ASSERT_TRUE(again) << error.toStdString();
    EXPECT_EQ(again->periods, 0);
    EXPECT_EQ(again->entries, 0);

    QList<PeriodRow> stored =
        s->periods(v.number, 0, 1) + s->periods(v.number, 0, 2) + s->periods(v.number, 2, 1);
    EXPECT_EQ(stored, v.periods);
    QSqlQuery q(s->db());
    // A period the meter did not record has no volumes at all, not zeros.
    ASSERT_TRUE(
        q.exec("SELECT volume_plus IS NULL, downtime_s IS NULL FROM archive_periods WHERE state = 1"));
    ASSERT_TRUE(q.next());
    EXPECT_TRUE(q.value(0).toBool());
    EXPECT_TRUE(q.value(1).toBool());
    EXPECT_EQ(s->entries(v.number, 4).size(), 2);
    EXPECT_EQ(s->entries(v.number, 5), QList<EntryRow>{v.entries[1]});
    EXPECT_EQ(s->entries(v.number, 6), QList<EntryRow>{v.entries[2]});
    const std::optional<MeterVisit> meter = s->meter(v.number);
    ASSERT_TRUE(meter);
    EXPECT_EQ(meter->deviceText, v.deviceText);
    EXPECT_TRUE(meter->twoChannelMode);
    EXPECT_EQ(meter->address, 5);
}

TEST_P(StoreTest, AJournalRangeHoldsEveryEventThatOverlapsIt) {
    auto s = open();
    ASSERT_TRUE(s);
    MeterVisit v = visit(23);
    v.periods.clear();
    // Codes name the events; the range asked for is 1000..2000.
    v.entries = {
        {.journal = 3, .code = 1, .started = 500, .ended = 1500},   // began before, ended inside
        {.journal = 3, .code = 2, .started = 1200, .ended = 1300},  // inside
        {.journal = 3, .code = 3, .started = 1800, .ended = 2500},  // began inside, ended after
        {.journal = 3, .code = 4, .started = 500, .ended = 2500},   // around the whole range
        {.journal = 3, .code = 5, .started = 500},                  // began before, goes on
        {.journal = 3, .code = 6, .started = 0, .ended = 1100},     // start unknown, ended inside
        {.journal = 3, .code = 7, .started = 100, .ended = 900},    // over before the range
        {.journal = 3, .code = 8, .started = 2100, .ended = 2200},  // after the range
        {.journal = 3, .code = 9, .started = 0, .ended = 900},      // start unknown, ended before
        {.journal = 3, .code = 10, .started = 0, .ended = 2100},    // start unknown, ended after
        {.journal = 3, .code = 11, .started = 1000, .ended = 1000}, // on the first second
        {.journal = 3, .code = 12, .started = 2000},                // on the last second, goes on
    };
    QString error;
    ASSERT_TRUE(s->storeVisit(v, &error)) << error.toStdString();
    const auto codes = [](const QList<EntryRow>& rows) {
        QList<int> list;
        for (const EntryRow& e : rows)
            list << e.code;
        std::sort(list.begin(), list.end());
        return list;
    };
    EXPECT_EQ(codes(s->entries(v.number, 3, 1000, 2000)), (QList<int>{1, 2, 3, 4, 5, 6, 11, 12}));
    // Without a range nothing is left out.
    EXPECT_EQ(s->entries(v.number, 3).size(), v.entries.size());
}

TEST_P(StoreTest, OnlyUnknownVolumesAndOpenEndsAreFilledInLater) {
    auto s = open();
    ASSERT_TRUE(s);
    MeterVisit v = visit(17);
    QString error;
    ASSERT_TRUE(s->storeVisit(v, &error)) << error.toStdString();

    MeterVisit later{.number = 17};
    later.periods = {
        // its volumes are known now
        {.archive = 0,
         .channel = 1,
         .start = 3600,
         .state = State::Volumes,
         .plus = 2,
         .minus = 1,
         .downtime = 5},
        // a stored period is never rewritten, nor a gap turned into volumes
        {.archive = 0,
         .channel = 1,
         .start = 7200,
         .state = State::Volumes,
         .plus = 9,
         .minus = 9,
         .downtime = 9},
        {.archive = 0,
         .channel = 1,
         .start = 10800,
         .state = State::Volumes,
         .plus = 9,
         .minus = 9,
         .downtime = 9},
        {.archive = 0, .channel = 2, .start = 7200, .state = State::NoBase},
    };
    later.entries = {
        {.journal = 5, .code = 16, .started = 5000, .ended = 5400}, // the event ended
        {.journal = 3, .code = 1, .started = 5000},                 // an end never goes away
    };
    const std::optional<Written> w = s->storeVisit(later, &error);
    ASSERT_TRUE(w) << error.toStdString();
    EXPECT_EQ(w->periods, 1);
    EXPECT_EQ(w->entries, 1);
    const QList<PeriodRow> ch1 = s->periods(17, 0, 1);
    ASSERT_EQ(ch1.size(), 3);
    EXPECT_EQ(ch1[0], later.periods[0]);
    EXPECT_EQ(ch1[1], v.periods[1]);
    EXPECT_EQ(ch1[2], v.periods[2]);
    EXPECT_EQ(s->periods(17, 0, 2), QList<PeriodRow>{v.periods[3]});
    EXPECT_EQ(s->entries(17, 5), QList<EntryRow>{later.entries[0]});
    EXPECT_EQ(s->entries(17, 3), QList<EntryRow>{v.entries[0]});
}

TEST_P(StoreTest, AVisitOfManyRowsAndRepeatedKeysIsStoredAsRowByRow) {
    auto s = open();
    ASSERT_TRUE(s);
    MeterVisit v{.number = 42};
    // More hours than one statement takes, the last of them given twice as readings can: first
    // without a base and then with its volumes, or the other way round.
    for (int h = 0; h < 1203; ++h)
        v.periods.append({.archive = 0, .channel = 1, .start = 3600 * h, .state = State::Gap});
    const PeriodRow noBase{.archive = 1, .channel = 2, .start = 86400, .state = State::NoBase},
        volumes{.archive = 1, .channel = 2, .start = 86400, .plus = 1, .minus = 2, .downtime = 3};
    v.periods += {noBase, volumes, {.archive = 1, .channel = 2, .start = 0, .state = State::Gap}};
    v.periods += {volumes, noBase}; // the same period again: nothing changes
    // Events of one code and start that the journal lists apart are two events.
    v.entries = {{.journal = 5, .code = 4, .started = 100},
                 {.journal = 5, .code = 4, .started = 100, .ended = 200},
                 {.journal = 6, .code = 4, .started = 100}};
    QString error;
    const std::optional<Written> w = s->storeVisit(v, &error);
    ASSERT_TRUE(w) << error.toStdString();
    EXPECT_EQ(w->periods, 1203 + 2);
    EXPECT_EQ(w->entries, 3);
    EXPECT_EQ(s->periods(42, 0, 1).size(), 1203);
    EXPECT_EQ(s->periods(42, 1, 2).value(1), volumes);
    EXPECT_EQ(s->entries(42, 5), v.entries.mid(0, 2));
    EXPECT_EQ(s->entries(42, 6), QList<EntryRow>{v.entries[2]});
}

TEST_P(StoreTest, APeriodNotReadIsKeptMarkedUntilAVisitReadsIt) {
    auto s = open();
    ASSERT_TRUE(s);
    const auto hour = [](int h, State state, double plus = 0) {
        PeriodRow p{.archive = 0, .channel = 1, .start = 3600 * h, .state = state};
        if (state == State::Volumes) {
            p.plus = plus;
            p.downtime = 0;
        }
        return p;
    };
    MeterVisit v{.number = 44};
    v.periods = {hour(1, State::Volumes, 1), hour(2, State::NotRead), hour(3, State::NotRead),
                 hour(4, State::Volumes, 4)};
    QString error;
    ASSERT_TRUE(s->storeVisit(v, &error)) << error.toStdString();
    QList<std::int64_t> notRead;
    EXPECT_EQ(s->periodStarts(44, 0, 1, 0, &notRead), (QList<std::int64_t>{3600, 7200, 10800, 14400}));
    EXPECT_EQ(notRead, (QList<std::int64_t>{7200, 10800}));
    EXPECT_EQ(s->periods(44, 0, 1), v.periods);
    QSqlQuery q(s->db());
    // Not read is neither zero volumes nor a gap.
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM archive_periods WHERE state = 3 AND volume_plus IS NULL"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 2);

    MeterVisit later{.number = 44};
    later.periods = {hour(1, State::NotRead),    hour(2, State::Volumes, 2), hour(3, State::Gap),
                     hour(4, State::NotRead),    hour(5, State::NotRead),    hour(5, State::Volumes, 5),
                     hour(6, State::Volumes, 6), hour(6, State::NotRead)};
    const std::optional<Written> w = s->storeVisit(later, &error);
    ASSERT_TRUE(w) << error.toStdString();
    EXPECT_EQ(w->periods, 4); // the two read at last and two new; a stored period is never unread
    EXPECT_EQ(s->periods(44, 0, 1), (QList<PeriodRow>{v.periods[0], later.periods[1], later.periods[2],
                                                      v.periods[3], later.periods[5], later.periods[6]}));
    notRead.clear();
    s->periodStarts(44, 0, 1, 0, &notRead);
    EXPECT_TRUE(notRead.isEmpty());
}

// A journal is read whole at every visit: each visit below gives one journal as the meter lists it.
TEST_P(StoreTest, JournalsKeepEveryEventInTheMetersOrder) {
    auto s = open();
    ASSERT_TRUE(s);
    const auto event = [](int code, std::int64_t started, std::optional<std::int64_t> ended = {}) {
        return EntryRow{.journal = 3, .code = code, .started = started, .ended = ended};
    };
    const EntryRow a = event(1, 100, 150), b = event(2, 200, 260), c = event(1, 300, 310), d = event(5, 400);
    const struct {
        const char* what;
        QList<QList<EntryRow>> visits;
        QList<int> written; // per visit
        QList<EntryRow> stored;
    } rows[] = {
        {"two events of one code and start that ended apart",
         {{event(4, 100, 200), event(4, 100, 300)}},
         {2},
         {event(4, 100, 200), event(4, 100, 300)}},
        {"two alike going on, then one ends",
         {{event(4, 100), event(4, 100)}, {event(4, 100, 250), event(4, 100)}},
         {2, 1},
         {event(4, 100, 250), event(4, 100)}},
        {"an event whose start the meter lost stays where the meter lists it",
         {{a, event(3, 0, 700), b}},
         {3},
         {a, event(3, 0, 700), b}},
        {"a ring that dropped its oldest: they stay, first", {{a, b, c}, {b, c, d}}, {3, 1}, {a, b, c, d}},
        {"an event missed once comes back in its place", {{a, c}, {a, b, c}}, {2, 1}, {a, b, c}},
        {"the same journal again writes nothing", {{a, b}, {a, b}}, {2, 0}, {a, b}},
        {"an end never goes away", {{a}, {event(1, 100)}}, {1, 0}, {a}},
        {"an event going on ends", {{a, d}, {a, event(5, 400, 500)}}, {2, 1}, {a, event(5, 400, 500)}},
    };
    std::uint32_t meter = 100;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ++meter;
        for (int i = 0; i < r.visits.size(); ++i) {
            QString error;
            const std::optional<Written> w =
                s->storeVisit({.number = meter, .periods = {}, .entries = r.visits[i]}, &error);
            ASSERT_TRUE(w) << error.toStdString();
            EXPECT_EQ(w->entries, r.written[i]) << "visit " << i;
        }
        EXPECT_EQ(s->entries(meter, 3), r.stored);
        QString error;
        EXPECT_EQ(
            s->storeVisit({.number = meter, .periods = {}, .entries = r.visits.last()}, &error)->entries, 0);
        EXPECT_EQ(s->entries(meter, 3), r.stored);
    }
}

TEST_P(StoreTest, AVersion3DatabaseKeepsItsEventsAndTakesTheMetersOrder) {
    {
        auto old = open(3);
        ASSERT_TRUE(old);
        QSqlQuery q(old->db());
        ASSERT_TRUE(
            q.exec("INSERT INTO meters (number, name, line, address, device_text, first_seen, last_seen)"
                   " VALUES (5, '', '/dev/ttyS0', 3, 'KASTARI', 0, 0)"));
        // What the code-and-start key kept: of the two code 4 events at 100 only one.
        ASSERT_TRUE(q.exec("INSERT INTO journal_entries (meter, journal, channel, code, started, ended,"
                           " end_if_no_start) VALUES (5, 3, 0, 4, 100, 200, 0), (5, 3, 0, 3, 0, 700, 700),"
                           " (5, 3, 0, 1, 500, 600, 0), (5, 5, 2, 16, 50, NULL, 0)"));
    }
    auto s = open();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->schemaVersion(), SchemaVersion);
    const auto event = [](int journal, int code, std::int64_t started, std::optional<std::int64_t> ended) {
        return EntryRow{.journal = journal, .code = code, .started = started, .ended = ended};
    };
    EXPECT_EQ(s->entries(5, 3),
              (QList<EntryRow>{event(3, 3, 0, 700), event(3, 4, 100, 200), event(3, 1, 500, 600)}));
    EXPECT_EQ(s->entries(5, 6), QList<EntryRow>{event(6, 16, 50, {})});

    MeterVisit v{.number = 5};
    v.entries = {event(3, 4, 100, 200), event(3, 4, 100, 300), event(3, 1, 500, 600), event(3, 3, 0, 700),
                 event(6, 16, 50, 90)};
    v.periods = {{.archive = 1, .channel = 2, .start = 86400, .state = State::NotRead}};
    QString error;
    const std::optional<Written> w = s->storeVisit(v, &error);
    ASSERT_TRUE(w) << error.toStdString();
    EXPECT_EQ(w->entries, 2); // the event the old key lost, and an end
    EXPECT_EQ(w->periods, 1);
    EXPECT_EQ(s->entries(5, 3), v.entries.mid(0, 4));
    EXPECT_EQ(s->entries(5, 6), v.entries.mid(4));
    EXPECT_EQ(s->periods(5, 1, 2), v.periods);
}

TEST_P(StoreTest, VolumesComeBackBitForBit) {
    auto s = open();
    ASSERT_TRUE(s);
    const double inf = std::numeric_limits<double>::infinity();
    const QList<std::pair<double, double>> volumes = {
        {0.1 + 0.2, -2.5},
        {1.7976931348623157e308, 5e-324},
        {inf, -inf},
        {double(0.1f), -1e-9},
        {123456789.123456789, 1e-7},
        {std::nan(""), 0}}; // a NaN: SQLite would keep it as a null
    MeterVisit v{.number = 43};
    for (int i = 0; i < volumes.size(); ++i)
        v.periods.append({.archive = 0,
                          .channel = 1,
                          .start = 3600 * i,
                          .state = State::Volumes,
                          .plus = volumes[i].first,
                          .minus = volumes[i].second,
                          .downtime = i});
    QString error;
    ASSERT_TRUE(s->storeVisit(v, &error)) << error.toStdString();
    const QList<PeriodRow> back = s->periods(43, 0, 1);
    ASSERT_EQ(back.size(), volumes.size());
    for (int i = 0; i < volumes.size(); ++i) {
        EXPECT_EQ(std::memcmp(&back[i].plus, &volumes[i].first, sizeof(double)) == 0 ||
                      (std::isnan(back[i].plus) && std::isnan(volumes[i].first)),
                  true)
            << i << ": " << back[i].plus;
        EXPECT_EQ(std::memcmp(&back[i].minus, &volumes[i].second, sizeof(double)), 0)
            << i << ": " << back[i].minus;
    }
}

TEST_P(StoreTest, AFailedVisitLeavesNothing) {
    auto s = open();
    ASSERT_TRUE(s);
    MeterVisit v = visit(99);
    v.periods.append({.archive = 0, .channel = 3, .start = 1}); // no such channel: the write fails
    QString error;
    EXPECT_FALSE(s->storeVisit(v, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(s->periods(99, 0, 1).isEmpty());
    EXPECT_TRUE(s->entries(99, 3).isEmpty());
    EXPECT_TRUE(s->status().isEmpty());
    // and the connection goes on working
    EXPECT_TRUE(s->storeVisit(visit(99), &error)) << error.toStdString();
}

TEST_P(StoreTest, AnOlderSchemaIsUpgradedInPlaceAndANewerOneRefused) {
    {
        auto old = open(1);
        ASSERT_TRUE(old);
        EXPECT_EQ(old->schemaVersion(), 1);
        // rows as the first version's program wrote them
        QSqlQuery q(old->db());
        ASSERT_TRUE(
            q.exec("INSERT INTO meters (number, name, line, address, device_text, first_seen, last_seen)"
                   " VALUES (5, 'Котельная', '/dev/ttyS0', 3, 'KASTARI', 0, 0)"));
        ASSERT_TRUE(
            q.exec("INSERT INTO archive_periods (meter, archive, channel, period_start, state, volume_plus,"
                   " volume_minus, downtime) VALUES (5, 0, 1, 3600, 0, 1.5, 0, 60)"));
    }
    {
        // A command that only reads brings it forward too, as it did before it opened read-only.
        Location reading = location;
        reading.readOnly = true;
        QString error;
        auto s = Store::open(reading, &error, SchemaVersion, false);
        ASSERT_TRUE(s) << error.toStdString();
        EXPECT_EQ(s->schemaVersion(), SchemaVersion);
        const PeriodRow old{.archive = 0, .channel = 1, .start = 3600, .plus = 1.5, .downtime = 60};
        EXPECT_EQ(s->periods(5, 0, 1), QList<PeriodRow>{old});
        EXPECT_EQ(s->meter(5)->name, "Котельная");
        EXPECT_FALSE(s->meter(5)->twoChannelMode);
        EXPECT_TRUE(s->storeVisit(visit(5), &error)) << error.toStdString();
        QSqlQuery q(s->db());
        ASSERT_TRUE(q.exec("UPDATE schema_info SET version = 99"));
    }
    QString error;
    EXPECT_FALSE(Store::open(location, &error));
    EXPECT_TRUE(error.contains("99")) << error.toStdString();
    Location reading = location;
    reading.readOnly = true;
    EXPECT_FALSE(Store::open(reading, &error, SchemaVersion, false));
    EXPECT_TRUE(error.contains("99")) << error.toStdString();
}

TEST_P(StoreTest, AVersion4DatabaseKeepsEveryRowUnderNamesThatSayTheirUnits) {
    {
        auto old = open(4);
        ASSERT_TRUE(old);
        QSqlQuery q(old->db());
        for (const char* sql : {
                 "INSERT INTO meters (number, name, line, address, device_text, two_channel_mode, first_seen,"
                 " last_seen) VALUES (5, 'Котельная', '/dev/ttyS0', 3, 'KASTARI', 1, 1000, 2000)",
                 "INSERT INTO archive_periods (meter, archive, channel, period_start, state, volume_plus,"
                 " volume_minus, downtime, recorded_at) VALUES (5, 0, 1, 3600, 0, 1.5, 0.25, 60, 3601),"
                 " (5, 0, 2, 7200, 1, NULL, NULL, NULL, NULL), (5, 1, 1, 86400, 3, NULL, NULL, NULL, NULL)",
                 "INSERT INTO journal_entries (meter, journal, channel, seq, code, started, ended)"
                 " VALUES (5, 3, 0, 1, 4, 100, 200), (5, 5, 2, 1, 16, 50, NULL)",
                 "INSERT INTO runs (id, host, started, finished) VALUES ('run-1', 'host', 5000, 9000)",
                 "INSERT INTO run_meters (run, line, address, name, meter, visited, outcome, reason, periods,"
                 " entries, requests, bytes, link_failures, bad_records, clock_offset)"
                 " VALUES ('run-1', '/dev/ttyS0', 3, 'Котельная', 5, 6000, 0, '', 3, 2, 40, 900, 1, 2, -7)",
             })
            ASSERT_TRUE(q.exec(sql)) << sql << ": " << q.lastError().text().toStdString();
    }
    auto s = open();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->schemaVersion(), SchemaVersion);
    EXPECT_EQ(s->periods(5, 0, 1), (QList<PeriodRow>{{.archive = 0,
                                                      .channel = 1,
                                                      .start = 3600,
                                                      .plus = 1.5,
                                                      .minus = 0.25,
                                                      .downtime = 60,
                                                      .recordedAt = 3601}}));
    EXPECT_EQ(s->periods(5, 0, 2),
              (QList<PeriodRow>{{.archive = 0, .channel = 2, .start = 7200, .state = State::Gap}}));
    QList<std::int64_t> notRead;
    EXPECT_EQ(s->periodStarts(5, 1, 1, 0, &notRead), QList<std::int64_t>{86400});
    EXPECT_EQ(notRead, QList<std::int64_t>{86400});
    EXPECT_EQ(s->entries(5, 3), (QList<EntryRow>{{.journal = 3, .code = 4, .started = 100, .ended = 200}}));
    EXPECT_EQ(s->entries(5, 6), (QList<EntryRow>{{.journal = 6, .code = 16, .started = 50}}));
    EXPECT_EQ(s->meterAt("/dev/ttyS0", 3), 5u);
    EXPECT_TRUE(s->meter(5)->twoChannelMode);
    const Outcome o = s->outcomes("run-1").value(0);
    EXPECT_EQ(std::tuple(o.number, o.periods, o.entries, o.requests, o.bytes, o.linkFailures, o.badRecords,
                         o.clockOffset),
              std::tuple(std::optional(5u), 3, 2, 40, qint64(900), 1, 2, std::optional<std::int64_t>(-7)));
    const QList<MeterStatus> status = s->status();
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0].lastCollected, QDateTime::fromMSecsSinceEpoch(6000));
    EXPECT_EQ(status[0].gaps, 1);
    QSqlQuery q(s->db());
    ASSERT_TRUE(
        q.exec("SELECT m.first_seen_ms, m.last_seen_ms, r.started_ms, r.finished_ms FROM meters m, runs r"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(std::tuple(q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toInt()),
              std::tuple(1000, 2000, 5000, 9000));
}

// A schema step that cannot be written fails the open and takes back every step before it: the
// database stays as the older program left it, rows and names.
TEST_P(StoreTest, AMigrationThatCannotBeWrittenLeavesTheDatabaseAsItWas) {
    const bool postgres = location.kind == Location::Kind::PostgreSQL;
    const struct {
        const char* what;
        QStringList obstacle;
    } cases[] = {
        {"a column already bearing a new name", {"ALTER TABLE runs ADD COLUMN finished_ms BIGINT"}},
        {"the version that cannot be written",
         postgres ? QStringList{"CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql"
                                " AS $$ BEGIN RAISE EXCEPTION 'refused'; END $$",
                                "CREATE TRIGGER refuse BEFORE UPDATE ON schema_info FOR EACH ROW"
                                " EXECUTE FUNCTION refuse()"}
                  : QStringList{"CREATE TRIGGER refuse BEFORE UPDATE ON schema_info"
                                " BEGIN SELECT RAISE(ABORT, 'refused'); END"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp(); // a new database
        {
            auto old = open(4);
            ASSERT_TRUE(old);
            QSqlQuery q(old->db());
            ASSERT_TRUE(q.exec("INSERT INTO meters (number, name, line, address, device_text, first_seen,"
                               " last_seen) VALUES (5, '', '/dev/ttyS0', 3, 'KASTARI', 0, 0)"));
            for (const QString& sql : c.obstacle)
                ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        }
        QString error;
        EXPECT_FALSE(Store::open(location, &error));
        EXPECT_TRUE(error.contains("version 5")) << error.toStdString();
        auto old = open(4);
        ASSERT_TRUE(old);
        EXPECT_EQ(old->schemaVersion(), 4);
        QSqlQuery q(old->db());
        EXPECT_TRUE(q.exec("SELECT number, first_seen FROM meters") && q.next()) << "the renames undone";
        EXPECT_EQ(q.value(0).toInt(), 5);
    }
}

// One statement gives every meter's status; each figure comes from its own rows, whatever the
// other meters hold.
TEST_P(StoreTest, StatusOfMetersInEveryState) {
    auto s = open();
    ASSERT_TRUE(s);
    using R = Outcome::Result;
    struct Visit {
        R result;
        const char* reason;
        qint64 atMs;
    };
    const struct {
        std::uint32_t number;
        QList<PeriodRow> periods{};
        QList<EntryRow> entries{};
        QList<Visit> visits{};
        // what status() says of it
        qint64 lastCollectedMs; // 0: never
        std::optional<std::int64_t> newest[3];
        int gaps;
        const char* lastError;
    } meters[] = {
        {.number = 30,
         .lastCollectedMs = 0,
         .newest = {},
         .gaps = 0,
         .lastError = ""}, // stored, nothing read
        {.number = 10,
         .periods = {{.archive = 0, .channel = 2, .start = 7200, .state = State::Gap},
                     {.archive = 1, .channel = 1, .start = 86400, .state = State::NoBase},
                     {.archive = 1, .channel = 2, .start = 2 * 86400, .state = State::Gap},
                     {.archive = 2, .channel = 1, .start = 0, .state = State::NotRead}},
         .visits = {{R::Stored, "", 1000}},
         .lastCollectedMs = 1000,
         .newest = {7200, 2 * 86400, 0},
         .gaps = 2,
         .lastError = ""},
        {.number = 40, // journal only; never complete, its latest failure stands
         .entries = {{.journal = 3, .code = 1, .started = 5000}},
         .visits = {{R::Failed, "no reply", 1000},
                    {R::Partial, "2 periods not read", 3000},
                    {R::Failed, "CRC error", 2000}},
         .lastCollectedMs = 0,
         .newest = {},
         .gaps = 0,
         .lastError = "2 periods not read"},
        {.number = 20, // failed, then complete, then skipped: nothing to report
         .periods = {{.archive = 0, .channel = 1, .start = 3600, .state = State::Gap}},
         .visits = {{R::Failed, "no reply", 1000}, {R::Stored, "", 2000}, {R::Skipped, "stopped", 3000}},
         .lastCollectedMs = 2000,
         .newest = {3600, std::nullopt, std::nullopt},
         .gaps = 1,
         .lastError = ""},
    };
    QString error;
    ASSERT_TRUE(s->beginRun("run", QDateTime::fromMSecsSinceEpoch(0), "host"));
    for (const auto& m : meters) {
        ASSERT_TRUE(s->storeVisit({.number = m.number, .periods = m.periods, .entries = m.entries}, &error))
            << error.toStdString();
        for (int i = 0; i < m.visits.size(); ++i) {
            const Visit& v = m.visits[i];
            const QString line = QStringLiteral("/dev/ttyS%1").arg(i);
            ASSERT_TRUE(s->recordOutcome("run", {.line = line,
                                                 .address = int(m.number),
                                                 .number = m.number,
                                                 .result = v.result,
                                                 .reason = v.reason}));
            QSqlQuery q(s->db());
            q.prepare("UPDATE run_meters SET visited_ms = ? WHERE line = ? AND address = ?");
            q.addBindValue(v.atMs);
            q.addBindValue(line);
            q.addBindValue(int(m.number));
            ASSERT_TRUE(q.exec());
        }
    }
    const QList<MeterStatus> status = s->status();
    ASSERT_EQ(status.size(), int(std::size(meters)));
    QList<std::uint32_t> order;
    for (const MeterStatus& m : status)
        order << m.number;
    EXPECT_EQ(order, (QList<std::uint32_t>{10, 20, 30, 40}));
    for (const auto& m : meters) {
        SCOPED_TRACE(m.number);
        const MeterStatus& got = *std::find_if(status.begin(), status.end(),
                                               [&](const MeterStatus& x) { return x.number == m.number; });
        EXPECT_EQ(got.lastCollected,
                  m.lastCollectedMs ? QDateTime::fromMSecsSinceEpoch(m.lastCollectedMs) : QDateTime());
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(got.newest[a], m.newest[a]) << "archive " << a;
        }
        EXPECT_EQ(got.gaps, m.gaps);
        EXPECT_EQ(got.lastError, m.lastError);
    }
}

// Opened only to read, a database is neither made nor written: a file that is not there stays
// absent, a database without the collector's tables stays without them.
TEST_P(StoreTest, OpenedToReadNothingIsMadeOrWritten) {
    Location reading = location;
    reading.readOnly = true;
    QString error;
    EXPECT_FALSE(Store::open(reading, &error, SchemaVersion, false));
    EXPECT_FALSE(error.isEmpty());
    if (location.kind == Location::Kind::SQLite) EXPECT_FALSE(QFile::exists(location.path));
    EXPECT_FALSE(Store::open(location, &error, SchemaVersion, false)) << "no tables were made";
    EXPECT_EQ(error, Store::NotCollected);
}

TEST_P(StoreTest, RunsGiveEachMetersStatus) {
    auto s = open();
    ASSERT_TRUE(s);
    QString error;
    ASSERT_TRUE(s->storeVisit(visit(7), &error)) << error.toStdString();
    const QDateTime t0 = QDateTime::currentDateTime();
    ASSERT_TRUE(s->beginRun("run-1", t0, "host-a"));
    Outcome ok{.line = "/dev/ttyS0",
               .name = "Котельная 3",
               .address = 5,
               .number = 7u,
               .periods = 5,
               .requests = 120,
               .bytes = 30000,
               .clockOffset = -4};
    Outcome silent{.line = "/dev/ttyS0",
                   .address = 6,
                   .result = Outcome::Result::Failed,
                   .reason = "no reply",
                   .requests = 1,
                   .linkFailures = 1};
    ASSERT_TRUE(s->recordOutcome("run-1", ok));
    ASSERT_TRUE(s->recordOutcome("run-1", silent));
    ASSERT_TRUE(s->finishRun("run-1", t0.addSecs(60)));
    const QList<Outcome> outcomes = s->outcomes("run-1");
    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(outcomes[0].number, 7u);
    EXPECT_EQ(outcomes[0].clockOffset, -4);
    EXPECT_EQ(outcomes[0].bytes, 30000);
    EXPECT_EQ(outcomes[1].number, std::nullopt);
    EXPECT_EQ(outcomes[1].reason, "no reply");

    QList<MeterStatus> status = s->status();
    ASSERT_EQ(status.size(), 1);
    EXPECT_TRUE(status[0].lastCollected.isValid());
    EXPECT_EQ(status[0].newest[0], 10800);
    EXPECT_EQ(status[0].newest[1], std::nullopt);
    EXPECT_EQ(status[0].newest[2], 86400);
    EXPECT_EQ(status[0].gaps, 1);
    EXPECT_TRUE(status[0].lastError.isEmpty());

    std::this_thread::sleep_for(std::chrono::milliseconds(5)); // a later visit, by the PC's clock
    ASSERT_TRUE(s->beginRun("run-2", t0.addSecs(3600), "host-a"));
    ASSERT_TRUE(s->recordOutcome("run-2", {.line = "/dev/ttyS1",
                                           .address = 5,
                                           .number = 7u,
                                           .result = Outcome::Result::Failed,
                                           .reason = "CRC error"}));
    status = s->status();
    EXPECT_EQ(status[0].lastError, "CRC error");

    // A partial visit is not a complete one: its reason stands until one is.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const QDateTime lastComplete = status[0].lastCollected;
    ASSERT_TRUE(s->beginRun("run-3", t0.addSecs(7200), "host-a"));
    ASSERT_TRUE(s->recordOutcome("run-3", {.line = "/dev/ttyS1",
                                           .address = 5,
                                           .number = 7u,
                                           .result = Outcome::Result::Partial,
                                           .reason = "4 periods not read, left to read again"}));
    status = s->status();
    EXPECT_EQ(status[0].lastError, "4 periods not read, left to read again");
    EXPECT_EQ(status[0].lastCollected, lastComplete);
    EXPECT_EQ(s->outcomes("run-3").value(0).result, Outcome::Result::Partial);
}

TEST_P(StoreTest, TwoWritersOnOverlappingMetersStoreEachRowOnce) {
    QString error;
    ASSERT_TRUE(open()); // the schema exists before the writers start
    const auto writer = [this](int first, int* failures) {
        QString why;
        std::unique_ptr<Store> s = Store::open(location, &why);
        if (!s) {
            ++*failures;
            return;
        }
        for (int m = first; m < first + 6; ++m)
            for (int round = 0; round < 2; ++round)
                if (!s->storeVisit(visit(std::uint32_t(m)), &why)) ++*failures;
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(writer, 1, &failuresA), b(writer, 4, &failuresB);
    a.join();
    b.join();
    EXPECT_EQ(failuresA + failuresB, 0);
    auto s = open();
    ASSERT_TRUE(s);
    QSqlQuery q(s->db());
    ASSERT_TRUE(q.exec("SELECT COUNT(*), COUNT(DISTINCT meter) FROM archive_periods"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 9 * 5);
    EXPECT_EQ(q.value(1).toInt(), 9);
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM journal_entries"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 9 * 5);
}

// Threads many, connections few: every job is done, and on no more connections than the pool has.
TEST_P(StoreTest, APoolServesManyThreadsOnItsFewConnections) {
    ASSERT_TRUE(open());
    QString error;
    const std::unique_ptr<StorePool> pool = StorePool::open(location, 2, &error);
    ASSERT_TRUE(pool) << error.toStdString();
    std::atomic<int> stored{0};
    std::mutex lock;
    std::set<std::thread::id> connections;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            stored += bool(pool->storeVisit(visit(std::uint32_t(100 + t)), nullptr));
            pool->run([&](Store&) {
                const std::lock_guard<std::mutex> held(lock);
                connections.insert(std::this_thread::get_id());
            });
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(stored, 8);
    EXPECT_LE(connections.size(), 2u);
    EXPECT_EQ(pool->periodStarts(107, 0, 1, 0), (QList<std::int64_t>{3600, 7200, 10800}));
    EXPECT_EQ(pool->meterAt("/dev/ttyS0", 5).has_value(), true);

    Location nowhere = location;
    nowhere.path = "/proc/no/such/folder.db";
    nowhere.database = "no_such_database";
    error.clear();
    EXPECT_FALSE(StorePool::open(nowhere, 2, &error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& info) { return std::string(backendName(info.param)); });
