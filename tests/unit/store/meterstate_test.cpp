#include "meterfleet.h"
#include "store/meterstate.h"
#include "testdatabases.h"

#include <QFile>
#include <QHash>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace store;
using State = PeriodRow::State;

using namespace meterfleet;

TEST(MeterStateThresholds, FileForms) {
    QTemporaryDir dir;
    const struct {
        const char* text;
        bool ok;
        Thresholds expected;
        const char* error;
    } rows[] = {
        {"", true, {}, ""},
        {"# defaults but one\n  gap_days = 3  # three days\n", true, {.gapDays = 3}, ""},
        {"silent_hours=24\ndowntime_minutes = 5\ngap_days=30\n", true, {24, 5, 30}, ""},
        {"silent_hours = 0\n", false, {}, ":1: silent_hours takes"},
        {"\ngap_days = 2d\n", false, {}, ":2: gap_days takes"},
        {"gap_days = 9999999\n", false, {}, ":1:"},
        {"silence = 3\n", false, {}, "unknown key silence"},
        {"gap_days\n", false, {}, "KEY = VALUE"},
    };
    int n = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const QString path = dir.filePath(QString::number(++n));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(r.text);
        f.close();
        QString error;
        const std::optional<Thresholds> t = readThresholds(path, &error);
        ASSERT_EQ(t.has_value(), r.ok) << error.toStdString();
        if (t) {
            EXPECT_EQ(t->silentHours, r.expected.silentHours);
            EXPECT_EQ(t->downtimeMinutes, r.expected.downtimeMinutes);
            EXPECT_EQ(t->gapDays, r.expected.gapDays);
        } else {
            EXPECT_TRUE(error.contains(r.error)) << error.toStdString();
        }
    }
    QString error;
    EXPECT_FALSE(readThresholds(dir.filePath("none"), &error));
    EXPECT_TRUE(readThresholds("", &error));
}

class MeterStateTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        const std::optional<QString> url = newDatabaseOrSkip(GetParam());
        if (!url) return;
        QString error;
        db = Store::open(*parseLocation(*url, &error), &error);
        ASSERT_TRUE(db) << error.toStdString();
    }
    void store(const MeterVisit& v, const QString& run, Outcome::Result result = Outcome::Result::Stored) {
        QString error;
        if (result == Outcome::Result::Stored) {
            ASSERT_TRUE(db->storeVisit(v, &error)) << error.toStdString();
        }
        ASSERT_TRUE(db->recordOutcome(run, {.line = v.line,
                                            .name = v.name,
                                            .address = v.address,
                                            .number = v.number ? std::optional(v.number) : std::nullopt,
                                            .result = result,
                                            .reason = result == Outcome::Result::Stored ? "" : "no reply"}));
    }
    // Moves a place's visits back in time, as if they had happened that long ago.
    void age(const QString& line, int address, std::int64_t seconds) {
        QSqlQuery q(db->db());
        q.prepare("UPDATE run_meters SET visited_ms = visited_ms - ? WHERE line = ? AND address = ?");
        q.addBindValue(qlonglong(seconds * 1000));
        q.addBindValue(line);
        q.addBindValue(address);
        ASSERT_TRUE(q.exec());
    }
    std::unique_ptr<Store> db;
};

TEST_P(MeterStateTest, EachProblemFoundAndTheWorstFirst) {
    ASSERT_TRUE(db);
    const QDateTime now = QDateTime::currentDateTime();
    ASSERT_TRUE(db->beginRun("old", now.addDays(-5), "h"));
    ASSERT_TRUE(db->beginRun("new", now, "h"));
    const struct {
        std::uint32_t number;
        void (*change)(MeterVisit&);
        QList<Condition> problems;
    } rows[] = {
        {1, [](MeterVisit&) {}, {}},
        // Downtime within the threshold in the newest day, and a large one a day earlier.
        {2,
         [](MeterVisit& v) {
             setPeriod(v, 1, 1, Newest - Day, {.plus = 24, .downtime = 3600});
             setPeriod(v, 1, 2, Newest - 2 * Day, {.plus = 24, .downtime = 20 * Hour});
         },
         {}},
        {3,
         [](MeterVisit& v) { setPeriod(v, 1, 2, Newest - Day, {.plus = 24, .downtime = 3601}); },
         {Condition::Downtime}},
        {4,
         [](MeterVisit& v) { v.entries << EntryRow{.journal = 3, .code = 4, .started = Newest - Hour}; },
         {Condition::Fault}},
        {5,
         [](MeterVisit& v) { v.entries << EntryRow{.journal = 6, .code = 16, .started = Newest}; },
         {Condition::Abnormal}},
        // An open operator event is no problem; a closed abnormal situation neither.
        {6,
         [](MeterVisit& v) {
             v.entries << EntryRow{.journal = 4, .code = 2, .started = Newest - Hour}
                       << EntryRow{.journal = 5, .code = 16, .started = Newest - Hour, .ended = Newest};
         },
         {}},
        {7,
         [](MeterVisit& v) { setPeriod(v, 0, 1, Newest - 3 * Day, {.state = State::Gap}); },
         {Condition::Gaps}},
        // A gap older than the newest seven days, and one just inside them on the day archive.
        {8, [](MeterVisit& v) { setPeriod(v, 0, 2, Newest - 9 * Day, {.state = State::Gap}); }, {}},
        {9,
         [](MeterVisit& v) { setPeriod(v, 1, 1, Newest - 7 * Day, {.state = State::Gap}); },
         {Condition::Gaps}},
        {10,
         [](MeterVisit& v) {
             v.entries << EntryRow{.journal = 3, .code = 4, .started = Newest - Hour}
                       << EntryRow{.journal = 5, .code = 16, .started = Newest};
             setPeriod(v, 0, 1, Newest, {.state = State::Gap});
         },
         {Condition::Fault, Condition::Abnormal, Condition::Gaps}},
    };
    for (const auto& r : rows) {
        MeterVisit v = healthy(r.number);
        r.change(v);
        store(v, "new");
    }
    // 11 was last collected five days ago and has not answered since; 12 two hours ago.
    store(healthy(11), "old");
    age("/dev/ttyS0", 11, 5 * Day);
    store({.number = 0, .line = "/dev/ttyS0", .address = 11}, "new", Outcome::Result::Failed);
    store(healthy(12), "old");
    age("/dev/ttyS0", 12, 2 * Hour);
    // A meter of the list that never answered, and one taken off the list long ago.
    store({.number = 0, .line = "/dev/ttyS1", .name = "<b>Подвал</b>", .address = 3}, "new",
          Outcome::Result::Failed);
    store({.number = 0, .line = "/dev/ttyS1", .address = 4}, "old", Outcome::Result::Failed);
    age("/dev/ttyS1", 4, 5 * Day);

    QString error;
    const std::optional<QList<MeterState>> states = meterStates(*db, {}, now, &error);
    ASSERT_TRUE(states) << error.toStdString();
    QList<std::uint32_t> order;
    for (const MeterState& m : *states)
        order << m.number.value_or(0);
    EXPECT_EQ(order, (QList<std::uint32_t>{11, 0, 4, 10, 5, 3, 7, 9, 1, 2, 6, 8, 12}));
    for (const auto& r : rows) {
        SCOPED_TRACE(r.number);
        const auto m = std::find_if(states->begin(), states->end(),
                                    [&](const MeterState& s) { return s.number == r.number; });
        ASSERT_NE(m, states->end());
        EXPECT_EQ(m->problems, r.problems);
        EXPECT_EQ(m->condition, r.problems.value(0, Condition::Normal));
        EXPECT_EQ(m->reasons({}).size(), r.problems.size());
        EXPECT_EQ(m->newest[0], Newest);
        EXPECT_EQ(m->newest[1], Newest - Day);
    }
    const MeterState& silent = (*states)[0];
    EXPECT_EQ(silent.problems, QList<Condition>{Condition::NoLink});
    EXPECT_EQ(silent.lastResult, Outcome::Result::Failed);
    EXPECT_EQ(silent.lastReason, "no reply");
    EXPECT_LT(silent.lastCollected, silent.lastVisit);
    const MeterState& never = (*states)[1];
    EXPECT_EQ(never.number, std::nullopt);
    EXPECT_EQ(never.line, "/dev/ttyS1");
    EXPECT_EQ(never.address, 3);
    EXPECT_EQ(never.name, "<b>Подвал</b>");
    EXPECT_EQ(never.condition, Condition::NoLink);
    EXPECT_FALSE(never.lastCollected.isValid());

    // The thresholds move the verdicts: a day of silence is too long, an hour of downtime is not.
    const std::optional<QList<MeterState>> strict =
        meterStates(*db, {.silentHours = 1, .downtimeMinutes = 120, .gapDays = 10}, now, &error);
    ASSERT_TRUE(strict);
    QHash<std::uint32_t, Condition> byNumber;
    for (const MeterState& m : *strict)
        byNumber.insert(m.number.value_or(0), m.condition);
    EXPECT_EQ(byNumber[12], Condition::NoLink);
    EXPECT_EQ(byNumber[3], Condition::Normal);
    EXPECT_EQ(byNumber[8], Condition::Gaps);
}

TEST_P(MeterStateTest, AnEmptyDatabaseHasNoMeters) {
    ASSERT_TRUE(db);
    QString error;
    const auto states = meterStates(*db, {}, QDateTime::currentDateTime(), &error);
    ASSERT_TRUE(states) << error.toStdString();
    EXPECT_TRUE(states->isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Backends, MeterStateTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& info) { return std::string(backendName(info.param)); });
