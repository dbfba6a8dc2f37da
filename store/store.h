#pragma once
// The collected archives and journals of a fleet of meters in one database (SQLite or PostgreSQL
// through Qt SQL). Meters are known by their electronic number; collecting the same period or
// event twice changes nothing. One Store is one connection and belongs to the thread that opened
// it: each collecting thread opens its own.
#include "store/database.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace store {

constexpr int SchemaVersion = 5;

// One period of an archive. Times are the meter's own clock, in device seconds.
struct PeriodRow {
    enum class State {
        Volumes = 0, // recorded, with its volumes (and downtime for hours and days)
        Gap = 1,     // the meter did not record it: switched off, never written
        NoBase = 2,  // recorded, but nothing earlier to take its volumes from
        // The reply held no usable record for it, or its volumes would come from such a record: the
        // meter may well have recorded it, so a later visit reads it again.
        NotRead = 3,
    };
    int archive = 0; // 0 hour, 1 day, 2 month
    int channel = 1; // 1 or 2
    std::int64_t start = 0;
    State state = State::Volumes;
    double plus = 0, minus = 0;               // Volumes only
    std::optional<std::int64_t> downtime{};   // seconds within the period; hours and days
    std::optional<std::int64_t> recordedAt{}; // the record's own time
    bool operator==(const PeriodRow&) const = default;
};

// One event of a journal. The start is 0 when the meter did not know it; the end is none while the
// event goes on. A visit gives a journal's events in the meter's order, and they come back in it.
struct EntryRow {
    int journal = 3; // 3 faults, 4 operator, 5/6 abnormal situations of channel 1/2
    int code = 0;
    std::int64_t started = 0;
    std::optional<std::int64_t> ended{};
    bool operator==(const EntryRow&) const = default;
};

struct MeterVisit {
    std::uint32_t number = 0; // the electronic number
    QString line{}, name{};
    int address = 0;
    QString deviceText{};        // what the meter says of itself
    bool twoChannelMode = false; // its channels work apart (the journals' texts depend on it)
    QList<PeriodRow> periods{};
    QList<EntryRow> entries{};
};

struct Written {
    int periods = 0; // new periods, and periods whose volumes became known or that were read at last
    int entries = 0; // new events, and events whose end became known
};

// How one meter's visit in a run went.
struct Outcome {
    QString line{}, name{};
    int address = 0;
    std::optional<std::uint32_t> number{}; // none when the meter never answered
    // Partial: stored, but some periods or journal entries could not be read; the next visit reads
    // them again.
    enum class Result { Stored = 0, Failed = 1, Skipped = 2, Partial = 3 };
    Result result = Result::Stored;
    QString reason{};
    int periods = 0, entries = 0;
    int requests = 0, linkFailures = 0, badRecords = 0;
    std::int64_t bytes = 0;
    std::optional<std::int64_t> clockOffset{}; // meter minus PC, seconds
    double writeMs = 0; // spent writing the visit and its outcome to the database; not itself stored

    // The reasons read most telling first: what decided the outcome, then what was noticed on the
    // way, then what happened after it.
    void tellFirst(const QString& text) {
        reason = reason.isEmpty() ? text : text + QStringLiteral("; ") + reason;
    }
    void tellLast(const QString& text) {
        reason = reason.isEmpty() ? text : reason + QStringLiteral("; ") + text;
    }
    void fail(const QString& why) {
        result = Result::Failed;
        tellFirst(why);
    }
};

struct MeterStatus {
    std::uint32_t number = 0;
    QString name{}, line{};
    int address = 0;
    QDateTime lastCollected{};               // the last run that stored all of it; invalid: never
    std::optional<std::int64_t> newest[3]{}; // newest stored period start per archive
    int gaps = 0;                            // periods the meter never recorded
    QString lastError{}; // of its latest failed or partial visit, if after the last complete one
};

// What a meter's visit asks of the database. A Store answers on the thread that opened it; a
// StorePool answers any thread on one of its few connections.
class VisitStore {
  public:
    virtual ~VisitStore() = default;
    // The meter last found at this address of this line.
    virtual std::optional<std::uint32_t> meterAt(const QString& line, int address) = 0;
    // Period starts stored for an archive and channel, from `since` on, oldest first; those of them
    // marked not read also go to *notRead.
    virtual QList<std::int64_t> periodStarts(std::uint32_t meter, int archive, int channel,
                                             std::int64_t since, QList<std::int64_t>* notRead = nullptr) = 0;
    // All of the visit in one transaction: after a failure (or a kill) the database is as before.
    virtual std::optional<Written> storeVisit(const MeterVisit& visit, QString* error) = 0;
};

class Store : public VisitStore {
  public:
    // Opens (creating the SQLite file or the tables when missing) and brings the schema up to date
    // (tests stop at an older version to make an old database). With `create` false a database
    // that holds none of the collector's tables is refused with NotCollected, and left untouched.
    static std::unique_ptr<Store> open(const Location& location, QString* error, int version = SchemaVersion,
                                       bool create = true);
    static constexpr const char* NotCollected = "the database holds no collected data";
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    int schemaVersion();

    std::optional<Written> storeVisit(const MeterVisit& visit, QString* error) override;
    QList<std::int64_t> periodStarts(std::uint32_t meter, int archive, int channel, std::int64_t since,
                                     QList<std::int64_t>* notRead = nullptr) override;
    QList<PeriodRow> periods(std::uint32_t meter, int archive, int channel, std::int64_t from = 0,
                             std::int64_t to = INT64_MAX);
    // The events that overlap from..to: those that began in it, and those that began before and
    // ended in it or after it or go on; an event without a known start where its end falls.
    QList<EntryRow> entries(std::uint32_t meter, int journal, std::int64_t from = 0,
                            std::int64_t to = INT64_MAX);
    std::optional<std::uint32_t> meterAt(const QString& line, int address) override;
    // The meter as last visited; nothing when it never was.
    std::optional<MeterVisit> meter(std::uint32_t number);

    // A run's record: its start, each meter's outcome, its end. False when it could not be written,
    // *error then saying why.
    bool beginRun(const QString& run, const QDateTime& started, const QString& host,
                  QString* error = nullptr);
    bool recordOutcome(const QString& run, const Outcome& outcome, QString* error = nullptr);
    bool finishRun(const QString& run, const QDateTime& finished, QString* error = nullptr);
    QList<Outcome> outcomes(const QString& run);

    QList<MeterStatus> status();

    QString lastError() const;
    QSqlDatabase& db() { return m_db; }

  private:
    bool migrate(int from, int to, QString* error);
    explicit Store(const QString& connection);
    QString m_connection{};
    QSqlDatabase m_db;
    bool m_postgres = false;
};

} // namespace store
