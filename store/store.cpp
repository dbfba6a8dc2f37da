#include "store/store.h"

#include "store/transaction.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>

namespace store {

namespace {

// Each step takes the schema from the version before it to its own. A database made by an older
// program is brought forward in place, its rows kept; the steps are never edited once released.
const QStringList SchemaSteps[] = {
    // 1: the tables.
    {
        QStringLiteral("CREATE TABLE schema_info (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO schema_info (version) VALUES (0)"),
        QStringLiteral(
            "CREATE TABLE meters (number BIGINT PRIMARY KEY, name TEXT NOT NULL, line TEXT NOT NULL,"
            " address INTEGER NOT NULL, device_text TEXT NOT NULL, first_seen BIGINT NOT NULL,"
            " last_seen BIGINT NOT NULL)"),
        // period_start and recorded_at are the meter's clock in device seconds; the volumes are
        // null for a period the meter did not record, never 0.
        QStringLiteral(
            "CREATE TABLE archive_periods (meter BIGINT NOT NULL REFERENCES meters (number),"
            " archive SMALLINT NOT NULL, channel SMALLINT NOT NULL, period_start BIGINT NOT NULL,"
            " state SMALLINT NOT NULL, volume_plus DOUBLE PRECISION, volume_minus DOUBLE PRECISION,"
            " downtime BIGINT, recorded_at BIGINT,"
            " CHECK (archive BETWEEN 0 AND 2 AND channel IN (1, 2) AND state BETWEEN 0 AND 2),"
            " PRIMARY KEY (meter, archive, channel, period_start))"),
        // An event is known by its code and start; one whose start the meter did not know (0) by
        // its end instead, which it then always has. ended is null while the event goes on.
        QStringLiteral("CREATE TABLE journal_entries (meter BIGINT NOT NULL REFERENCES meters (number),"
                       " journal SMALLINT NOT NULL, channel SMALLINT NOT NULL, code SMALLINT NOT NULL,"
                       " started BIGINT NOT NULL, ended BIGINT, end_if_no_start BIGINT NOT NULL,"
                       " CHECK (journal BETWEEN 3 AND 5 AND channel BETWEEN 0 AND 2),"
                       " PRIMARY KEY (meter, journal, channel, code, started, end_if_no_start))"),
        QStringLiteral("CREATE TABLE runs (id TEXT PRIMARY KEY, host TEXT NOT NULL, started BIGINT NOT NULL,"
                       " finished BIGINT)"),
        QStringLiteral("CREATE TABLE run_meters (run TEXT NOT NULL REFERENCES runs (id), line TEXT NOT NULL,"
                       " address INTEGER NOT NULL, name TEXT NOT NULL, meter BIGINT, visited BIGINT NOT NULL,"
                       " outcome SMALLINT NOT NULL, reason TEXT NOT NULL, periods INTEGER NOT NULL,"
                       " entries INTEGER NOT NULL, requests INTEGER NOT NULL, bytes BIGINT NOT NULL,"
                       " link_failures INTEGER NOT NULL, bad_records INTEGER NOT NULL, clock_offset BIGINT,"
                       " PRIMARY KEY (run, line, address))"),
    },
    // 2: what the status report looks up per meter.
    {
        QStringLiteral("CREATE INDEX run_meters_meter ON run_meters (meter, visited)"),
        QStringLiteral("CREATE INDEX archive_periods_state ON archive_periods (meter, state)"),
    },
    // 3: the meter's channel mode, which names some abnormal situations.
    {
        QStringLiteral("ALTER TABLE meters ADD COLUMN two_channel_mode SMALLINT NOT NULL DEFAULT 0"),
    },
    // 4: a period that could not be read is kept, as state 3, until a later visit reads it. An event
    // is known by its place (seq) among the meter's events: two of them can share code and start.
    // The rows the code, start and end key kept are numbered in that key's order; the next visit
    // puts them in the meter's. Tables are made anew, which both databases can do alike.
    {
        QStringLiteral(
            "CREATE TABLE archive_periods_4 (meter BIGINT NOT NULL REFERENCES meters (number),"
            " archive SMALLINT NOT NULL, channel SMALLINT NOT NULL, period_start BIGINT NOT NULL,"
            " state SMALLINT NOT NULL, volume_plus DOUBLE PRECISION, volume_minus DOUBLE PRECISION,"
            " downtime BIGINT, recorded_at BIGINT,"
            " CHECK (archive BETWEEN 0 AND 2 AND channel IN (1, 2) AND state BETWEEN 0 AND 3),"
            " PRIMARY KEY (meter, archive, channel, period_start))"),
        QStringLiteral("INSERT INTO archive_periods_4 SELECT meter, archive, channel, period_start, state,"
                       " volume_plus, volume_minus, downtime, recorded_at FROM archive_periods"),
        QStringLiteral("DROP TABLE archive_periods"),
        QStringLiteral("ALTER TABLE archive_periods_4 RENAME TO archive_periods"),
        QStringLiteral("CREATE INDEX archive_periods_state ON archive_periods (meter, state)"),
        QStringLiteral("CREATE TABLE journal_entries_4 (meter BIGINT NOT NULL REFERENCES meters (number),"
                       " journal SMALLINT NOT NULL, channel SMALLINT NOT NULL, seq BIGINT NOT NULL,"
                       " code SMALLINT NOT NULL, started BIGINT NOT NULL, ended BIGINT,"
                       " CHECK (journal BETWEEN 3 AND 5 AND channel BETWEEN 0 AND 2),"
                       " PRIMARY KEY (meter, journal, channel, seq))"),
        QStringLiteral(
            "INSERT INTO journal_entries_4 SELECT meter, journal, channel,"
            " ROW_NUMBER() OVER (PARTITION BY meter, journal, channel ORDER BY started, code, ended),"
            " code, started, ended FROM journal_entries"),
        QStringLiteral("DROP TABLE journal_entries"),
        QStringLiteral("ALTER TABLE journal_entries_4 RENAME TO journal_entries"),
    },
    // 5: every time names its unit, since the meter's clock and the PC's sat under like names: _s
    // is seconds (the meter's clock, or a length of time), _ms the PC's milliseconds since 1970.
    {
        QStringLiteral("ALTER TABLE meters RENAME COLUMN first_seen TO first_seen_ms"),
        QStringLiteral("ALTER TABLE meters RENAME COLUMN last_seen TO last_seen_ms"),
        QStringLiteral("ALTER TABLE archive_periods RENAME COLUMN period_start TO period_start_s"),
        QStringLiteral("ALTER TABLE archive_periods RENAME COLUMN recorded_at TO recorded_at_s"),
        QStringLiteral("ALTER TABLE archive_periods RENAME COLUMN downtime TO downtime_s"),
        QStringLiteral("ALTER TABLE journal_entries RENAME COLUMN started TO started_s"),
        QStringLiteral("ALTER TABLE journal_entries RENAME COLUMN ended TO ended_s"),
        QStringLiteral("ALTER TABLE runs RENAME COLUMN started TO started_ms"),
        QStringLiteral("ALTER TABLE runs RENAME COLUMN finished TO finished_ms"),
        QStringLiteral("ALTER TABLE run_meters RENAME COLUMN visited TO visited_ms"),
        QStringLiteral("ALTER TABLE run_meters RENAME COLUMN clock_offset TO clock_offset_s"),
    },
};
static_assert(std::size(SchemaSteps) == SchemaVersion);

QAtomicInt connectionCount;

// Rows are walked once, front to back: Qt then keeps none of those already read, which a year of a
// meter's hours would otherwise cost.
QSqlQuery query(const QSqlDatabase& db) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    return q;
}

QVariant nullable(const std::optional<std::int64_t>& v) {
    return v ? QVariant(qlonglong(*v)) : QVariant(QMetaType::fromType<qlonglong>());
}

double volume(const QVariant& v) {
    return v.isNull() ? std::numeric_limits<double>::quiet_NaN() : v.toDouble();
}

std::optional<std::int64_t> optionalInt(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return v.toLongLong();
}

// Qt binds a null QString as SQL NULL; the text columns want an empty text instead.
QString text(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

// Of two readings of one period, whether `a` tells more than `b`: what was read more than what was
// not, volumes more than a record without a base.
bool knowsMore(const PeriodRow& a, const PeriodRow& b) {
    using S = PeriodRow::State;
    return (b.state == S::NotRead && a.state != S::NotRead) ||
           (b.state == S::NoBase && a.state == S::Volumes);
}

int channelOfJournal(int journal) {
    return journal == 5 ? 1 : journal == 6 ? 2 : 0;
}

struct StoredEntry {
    std::int64_t seq = 0; // the place among the journal's stored events
    EntryRow event{};
};

// What a visit changes in one journal.
struct JournalMerge {
    QList<StoredEntry> rows{};        // to insert, or, for a stored seq, whose end became known
    QList<std::int64_t> renumbered{}; // stored rows to delete first: they come back in rows
    int written = 0;                  // new events and events whose end became known
};

// The journal is read whole at every visit, and a ring drops its oldest events, so the stored ones
// are matched to those read: the same code, start and end is the same event (events alike in all
// three are as many as the meter lists); an event that has ended since takes a stored one of its
// code and start still going on; a stored end is never lost. What the meter no longer holds stays,
// before what it holds, which keeps the meter's order.
JournalMerge mergeJournal(const QList<StoredEntry>& stored, const QList<EntryRow>& read) {
    JournalMerge merge;
    QList<int> match(read.size(), -1); // index into stored
    QList<bool> taken(stored.size(), false);
    const auto identity = [](const EntryRow& e) {
        return std::tuple(e.code, e.started, e.ended.value_or(-1));
    };
    std::map<std::tuple<int, std::int64_t, std::int64_t>, std::pair<QList<int>, QList<int>>> alike;
    for (int i = 0; i < read.size(); ++i)
        alike[identity(read[i])].first << i;
    for (int s = 0; s < stored.size(); ++s)
        if (auto it = alike.find(identity(stored[s].event)); it != alike.end()) it->second.second << s;
    for (const auto& [id, lists] : alike) {
        const auto& [readIndex, storedIndex] = lists;
        // More stored than read: the oldest of them have left the meter.
        const qsizetype skip = std::max<qsizetype>(0, storedIndex.size() - readIndex.size());
        for (qsizetype j = 0; j < readIndex.size() && skip + j < storedIndex.size(); ++j) {
            match[readIndex[j]] = storedIndex[skip + j];
            taken[storedIndex[skip + j]] = true;
        }
    }
    QList<bool> ended(read.size(), false); // a stored event whose end this visit brings
    for (int i = 0; i < read.size(); ++i) {
        if (match[i] >= 0) continue;
        for (int s = 0; s < stored.size(); ++s) {
            const EntryRow& e = stored[s].event;
            if (taken[s] || e.code != read[i].code || e.started != read[i].started ||
                e.ended.has_value() == read[i].ended.has_value())
                continue;
            match[i] = s;
            taken[s] = true;
            ended[i] = read[i].ended.has_value();
            break;
        }
    }
    // In order when the stored events keep theirs and the new ones all come after them.
    bool inOrder = true, fresh = false;
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    for (int i = 0; i < read.size(); ++i) {
        if (match[i] < 0) {
            fresh = true;
            continue;
        }
        inOrder = inOrder && !fresh && stored[match[i]].seq > last;
        last = stored[match[i]].seq;
    }
    std::int64_t next = stored.isEmpty() ? 1 : stored.last().seq + 1;
    for (int i = 0; i < read.size(); ++i) {
        StoredEntry row{.seq = 0, .event = read[i]};
        if (match[i] >= 0) {
            const StoredEntry& was = stored[match[i]];
            if (!row.event.ended) row.event.ended = was.event.ended;
            merge.written += ended[i];
            if (!inOrder) {
                merge.renumbered << was.seq;
                row.seq = next++;
            } else if (ended[i]) {
                row.seq = was.seq;
            } else {
                continue;
            }
        } else {
            ++merge.written;
            row.seq = next++;
        }
        merge.rows << row;
    }
    return merge;
}

// Runs a prepared statement again with these values bound in order; the error goes to *error.
bool execPrepared(QSqlQuery& q, const QVariantList& values, QString* error) {
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec()) {
        if (error) *error = q.lastError().text();
        return false;
    }
    return true;
}

bool prepare(QSqlQuery& q, const QString& sql, QString* error) {
    if (q.prepare(sql)) return true;
    if (error) *error = q.lastError().text();
    return false;
}

// One column of rows as a PostgreSQL array literal: exact numbers (a double's shortest text that
// reads back to the same bits), NULL for a null.
QString arrayLiteral(const QList<QVariantList>& rows, qsizetype first, qsizetype count, int column) {
    QString out;
    out.reserve(count * 12 + 2);
    out += u'{';
    for (qsizetype r = first; r < first + count; ++r) {
        if (r > first) out += u',';
        const QVariant& v = rows[r][column];
        if (v.isNull()) {
            out += QStringLiteral("NULL");
        } else if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            if (std::isnan(d))
                out += QStringLiteral("NaN");
            else if (std::isinf(d))
                out += d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
            else
                out += QString::number(d, 'g', QLocale::FloatingPointShortest);
        } else {
            out += QString::number(v.toLongLong());
        }
    }
    out += u'}';
    return out;
}

// Inserts rows of numbers into columns of these PostgreSQL types: one statement carries each column
// as one array, so a first visit's thousands of rows cost a round trip or two instead of hundreds
// (bound one by one, Qt takes a time that grows faster than their count). The rows go in the order
// given.
bool upsertArrays(QSqlQuery& q, const QString& head, const QString& tail, const QStringList& types,
                  const QList<QVariantList>& rows, int* affected, QString* error) {
    constexpr qsizetype RowsPerStatement = 10000;
    QStringList arrays, columns;
    for (qsizetype c = 0; c < types.size(); ++c) {
        arrays << QStringLiteral("CAST(? AS %1[])").arg(types[c]);
        columns << QStringLiteral("c%1").arg(c);
    }
    const QString sql = head +
                        QStringLiteral(" SELECT %1 FROM unnest(%2) WITH ORDINALITY AS u(%1, n) ORDER BY n")
                            .arg(columns.join(u','), arrays.join(u',')) +
                        tail;
    if (!prepare(q, sql, error)) return false;
    for (qsizetype first = 0; first < rows.size(); first += RowsPerStatement) {
        const qsizetype count = std::min(RowsPerStatement, rows.size() - first);
        QVariantList columnArrays;
        for (int c = 0; c < int(types.size()); ++c)
            columnArrays << arrayLiteral(rows, first, count, c);
        if (!execPrepared(q, columnArrays, error)) return false;
        *affected += q.numRowsAffected();
    }
    return true;
}

// Inserts rows of values (the columns of the PostgreSQL types given); *affected grows by the rows
// inserted or updated. SQLite has no round trip to save: one prepared statement runs for each row.
bool upsert(QSqlQuery& q, bool postgres, const QString& head, const QString& tail, const QStringList& types,
            const QList<QVariantList>& rows, int* affected, QString* error) {
    if (rows.isEmpty()) return true;
    if (postgres) return upsertArrays(q, head, tail, types, rows, affected, error);
    if (!prepare(q,
                 head + QStringLiteral(" VALUES (") +
                     QStringList(types.size(), QStringLiteral("?")).join(u',') + u')' + tail,
                 error))
        return false;
    for (const QVariantList& row : rows) {
        if (!execPrepared(q, row, error)) return false;
        *affected += q.numRowsAffected();
    }
    return true;
}

// Runs a statement with its values bound in order; the error goes to *error.
bool exec(QSqlQuery& q, const QString& sql, const QVariantList& values, QString* error) {
    return prepare(q, sql, error) && execPrepared(q, values, error);
}

// The statement run on a query of its own. One that failed is not active and has no rows, so a
// reader that finds none needs no other branch.
QSqlQuery exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
               QString* error = nullptr) {
    QSqlQuery q = query(db);
    exec(q, sql, values, error);
    return q;
}

// The file as SQLite opens it only to read. A WAL database needs its shared-memory file: when a
// reader may not make it and no writer has it open, the file cannot change while it is read.
QString readOnlyUri(const QString& path) {
    const QFileInfo file(path);
    const bool shared = QFileInfo::exists(path + QStringLiteral("-shm"));
    const bool immutable = !shared && !QFileInfo(file.absolutePath()).isWritable();
    return QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) +
           (immutable ? QStringLiteral("?immutable=1") : QStringLiteral("?mode=ro"));
}

// Why the collector could not write the file (or make it in its folder, with its journal beside
// it); empty when it can.
QString notWritable(const QString& path) {
    const QFileInfo file(path);
    if (file.exists() && !file.isWritable()) return QStringLiteral("the file is read-only");
    const QFileInfo folder(file.absolutePath());
    if (folder.isDir() && !folder.isWritable())
        return QStringLiteral("read-only: its folder %1 cannot be written").arg(folder.filePath());
    return {};
}

} // namespace

Store::Store(const QString& connection) : m_connection(connection) {}

Store::~Store() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<Store> Store::open(const Location& location, QString* error, int target, bool create) {
    std::unique_ptr<Store> s(
        new Store(QStringLiteral("kastari-store-%1").arg(connectionCount.fetchAndAddOrdered(1))));
    s->m_postgres = location.kind == Location::Kind::PostgreSQL;
    s->m_db = QSqlDatabase::addDatabase(location.driver(), s->m_connection);
    if (!s->m_db.isValid()) {
        if (error)
            *error = QStringLiteral("no Qt SQL driver %1 (install libqt6sql6-%2)")
                         .arg(location.driver(),
                              s->m_postgres ? QStringLiteral("psql") : QStringLiteral("sqlite"));
        return nullptr;
    }
    if (s->m_postgres) {
        s->m_db.setHostName(location.host);
        s->m_db.setUserName(location.user);
        s->m_db.setDatabaseName(location.database);
        if (location.port) s->m_db.setPort(location.port);
        s->m_db.setConnectOptions(postgresConnectOptions());
    } else if (location.readOnly) {
        s->m_db.setDatabaseName(readOnlyUri(location.path));
        s->m_db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000;QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    } else {
        if (const QString why = notWritable(location.path); !why.isEmpty()) {
            if (error) *error = why;
            return nullptr;
        }
        s->m_db.setDatabaseName(location.path);
        // Collectors on several lines write one file: a writer waits its turn instead of failing.
        s->m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
    }
    if (!s->m_db.open()) {
        if (error) *error = s->m_db.lastError().text();
        return nullptr;
    }
    if (!s->m_postgres) {
        // SQLite opens lazily: a file it cannot read shows only at the first statement.
        QSqlQuery probe(s->m_db);
        if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !probe.next()) {
            if (error) *error = probe.lastError().databaseText();
            return nullptr;
        }
    }
    // Before anything is set on it: a database of someone else's stays as it was.
    if (!create && s->schemaVersion() == 0) {
        if (error) *error = QString::fromLatin1(NotCollected);
        return nullptr;
    }
    const int version = s->schemaVersion();
    if (version > SchemaVersion) {
        if (error)
            *error = QStringLiteral("the database's schema is version %1, newer than this program's %2")
                         .arg(version)
                         .arg(SchemaVersion);
        return nullptr;
    }
    if (location.readOnly) {
        // An older database is brought forward once by a program that may write it.
        if (version < target) {
            Location writable = location;
            writable.readOnly = false;
            s.reset();
            QString why;
            std::unique_ptr<Store> upgraded = open(writable, &why, target, create);
            if (!upgraded && error)
                *error =
                    QStringLiteral("the database's schema is version %1, older than this program's %2, and "
                                   "cannot be brought forward: %3")
                        .arg(version)
                        .arg(target)
                        .arg(why);
            return upgraded;
        }
        return s;
    }
    QSqlQuery q(s->m_db);
    if (!s->m_postgres) {
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        // A kill still loses nothing committed; a power cut may lose the last visits, never the
        // file's consistency, and they are read again next run. Saves a disk flush per meter.
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    if (version < target && !s->migrate(version, target, error)) return nullptr;
    return s;
}

int Store::schemaVersion() {
    if (!m_db.tables().contains(QStringLiteral("schema_info"))) return 0;
    QSqlQuery q = exec(m_db, QStringLiteral("SELECT version FROM schema_info"), {});
    if (!q.next()) return 0;
    return q.value(0).toInt();
}

bool Store::migrate(int from, int to, QString* error) {
    Transaction t(m_db);
    if (!t.begun(error)) return false;
    QSqlQuery q = query(m_db);
    // Every step is undone with the transaction: the database stays as the older program left it.
    const auto failed = [&](int step) {
        if (error)
            *error = QStringLiteral("the schema cannot be brought to version %1, left at version %2: %3")
                         .arg(step + 1)
                         .arg(from)
                         .arg(q.lastError().text());
        return false;
    };
    // Two collectors starting on one new database must not both create it: the first to get the
    // lock does, the other then finds it done. SQLite's lock came with the transaction.
    if (m_postgres && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7273)"))) return failed(from);
    from = std::max(from, schemaVersion());
    for (int step = from; step < to; ++step) {
        for (const QString& sql : SchemaSteps[step])
            if (!q.exec(sql)) return failed(step);
        // A step whose version is not written would be applied again on top of itself next time.
        if (!q.exec(QStringLiteral("UPDATE schema_info SET version = %1").arg(step + 1))) return failed(step);
    }
    return t.commit(error);
}

std::optional<Written> Store::storeVisit(const MeterVisit& visit, QString* error) {
    Transaction t(m_db);
    if (!t.begun(error)) return std::nullopt;
    QSqlQuery q = query(m_db);
    const qlonglong meter = visit.number;
    const qlonglong now = QDateTime::currentMSecsSinceEpoch();
    if (!exec(q,
              QStringLiteral(
                  "INSERT INTO meters (number, name, line, address, device_text, two_channel_mode,"
                  " first_seen_ms, last_seen_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (number) DO "
                  "UPDATE SET"
                  " name = CASE WHEN excluded.name = '' THEN meters.name ELSE excluded.name END,"
                  " line = excluded.line, address = excluded.address,"
                  " device_text = excluded.device_text, two_channel_mode = excluded.two_channel_mode,"
                  " last_seen_ms = excluded.last_seen_ms"),
              {meter, text(visit.name), text(visit.line), visit.address, text(visit.deviceText),
               int(visit.twoChannelMode), now, now},
              error))
        return std::nullopt;

    Written written;
    // Rows go in key order, so two collectors storing the same meter wait for each other instead
    // of deadlocking. A key given twice in one visit is one row, as if the second were stored after
    // the first: a statement may not touch one row twice.
    QList<PeriodRow> periods = visit.periods;
    std::stable_sort(periods.begin(), periods.end(), [](const PeriodRow& a, const PeriodRow& b) {
        return std::tie(a.archive, a.channel, a.start) < std::tie(b.archive, b.channel, b.start);
    });
    QList<QVariantList> periodValues;
    const QVariant noVolume(QMetaType::fromType<double>());
    for (qsizetype i = 0; i < periods.size(); ++i) {
        PeriodRow p = periods[i];
        for (; i + 1 < periods.size() && periods[i + 1].archive == p.archive &&
               periods[i + 1].channel == p.channel && periods[i + 1].start == p.start;
             ++i)
            if (knowsMore(periods[i + 1], p)) p = periods[i + 1];
        const bool volumes = p.state == PeriodRow::State::Volumes;
        periodValues.append({meter, p.archive, p.channel, qlonglong(p.start), int(p.state),
                             volumes ? QVariant(p.plus) : noVolume, volumes ? QVariant(p.minus) : noVolume,
                             nullable(volumes ? p.downtime : std::nullopt), nullable(p.recordedAt)});
    }
    if (!upsert(
            q, m_postgres,
            QStringLiteral("INSERT INTO archive_periods (meter, archive, channel, period_start_s, state,"
                           " volume_plus, volume_minus, downtime_s, recorded_at_s)"),
            QStringLiteral(
                " ON CONFLICT (meter, archive, channel, period_start_s) DO UPDATE SET state = excluded.state,"
                " volume_plus = excluded.volume_plus, volume_minus = excluded.volume_minus,"
                " downtime_s = excluded.downtime_s, recorded_at_s = excluded.recorded_at_s"
                // Only a period whose volumes were not known takes them, and one not read anything
                // read; nothing else is rewritten.
                " WHERE (archive_periods.state = 2 AND excluded.state = 0)"
                " OR (archive_periods.state = 3 AND excluded.state <> 3)"),
            {"bigint", "smallint", "smallint", "bigint", "smallint", "double precision", "double precision",
             "bigint", "bigint"},
            periodValues, &written.periods, error))
        return std::nullopt;

    // The meter's row, written first, stays locked until the commit: another collector's visit of
    // the same meter waits, so the journals read here stay as they are until this visit's events
    // are merged into them.
    std::map<std::pair<int, int>, QList<StoredEntry>> storedJournals;
    if (!exec(q,
              QStringLiteral("SELECT journal, channel, seq, code, started_s, ended_s FROM journal_entries"
                             " WHERE meter = ? ORDER BY journal, channel, seq"),
              {meter}, error))
        return std::nullopt;
    while (q.next())
        storedJournals[{q.value(0).toInt(), q.value(1).toInt()}].append(
            {.seq = q.value(2).toLongLong(),
             .event = {.code = q.value(3).toInt(),
                       .started = q.value(4).toLongLong(),
                       .ended = optionalInt(q.value(5))}});
    // Journals 5 and 6 are one journal's channels.
    std::map<std::pair<int, int>, QList<EntryRow>> readJournals;
    for (const EntryRow& e : visit.entries)
        readJournals[{e.journal == 6 ? 5 : e.journal, channelOfJournal(e.journal)}].append(e);
    QList<QVariantList> entryValues;
    for (const auto& [key, read] : readJournals) {
        const JournalMerge merge = mergeJournal(storedJournals[key], read);
        written.entries += merge.written;
        if (!merge.renumbered.isEmpty()) {
            QStringList seqs;
            for (const std::int64_t seq : merge.renumbered)
                seqs << QString::number(seq);
            if (!exec(q,
                      QStringLiteral(
                          "DELETE FROM journal_entries WHERE meter = ? AND journal = ? AND channel = ?"
                          " AND seq IN (%1)")
                          .arg(seqs.join(u',')),
                      {meter, key.first, key.second}, error))
                return std::nullopt;
        }
        for (const StoredEntry& e : merge.rows)
            entryValues.append({meter, key.first, key.second, qlonglong(e.seq), e.event.code,
                                qlonglong(e.event.started), nullable(e.event.ended)});
    }
    int affected = 0;
    if (!upsert(q, m_postgres,
                QStringLiteral(
                    "INSERT INTO journal_entries (meter, journal, channel, seq, code, started_s, ended_s)"),
                QStringLiteral(
                    " ON CONFLICT (meter, journal, channel, seq) DO UPDATE SET ended_s = excluded.ended_s"
                    " WHERE journal_entries.ended_s IS NULL AND excluded.ended_s IS NOT NULL"),
                {"bigint", "smallint", "smallint", "bigint", "smallint", "bigint", "bigint"}, entryValues,
                &affected, error))
        return std::nullopt;
    if (!t.commit(error)) return std::nullopt;
    return written;
}

QList<std::int64_t> Store::periodStarts(std::uint32_t meter, int archive, int channel, std::int64_t since,
                                        QList<std::int64_t>* notRead) {
    QList<std::int64_t> starts;
    QSqlQuery q =
        exec(m_db,
             QStringLiteral("SELECT period_start_s, state FROM archive_periods WHERE meter = ? AND"
                            " archive = ? AND channel = ? AND period_start_s >= ? ORDER BY period_start_s"),
             {qlonglong(meter), archive, channel, qlonglong(since)});
    while (q.next()) {
        starts << q.value(0).toLongLong();
        if (notRead && q.value(1).toInt() == int(PeriodRow::State::NotRead)) *notRead << starts.last();
    }
    return starts;
}

QList<PeriodRow> Store::periods(std::uint32_t meter, int archive, int channel, std::int64_t from,
                                std::int64_t to) {
    QList<PeriodRow> rows;
    QSqlQuery q = exec(
        m_db,
        QStringLiteral("SELECT period_start_s, state, volume_plus, volume_minus, downtime_s, recorded_at_s"
                       " FROM archive_periods WHERE meter = ? AND archive = ? AND channel = ?"
                       " AND period_start_s >= ? AND period_start_s <= ? ORDER BY period_start_s"),
        {qlonglong(meter), archive, channel, qlonglong(from), qlonglong(to)});
    while (q.next()) {
        PeriodRow p{.archive = archive,
                    .channel = channel,
                    .start = q.value(0).toLongLong(),
                    .state = PeriodRow::State(q.value(1).toInt())};
        if (p.state == PeriodRow::State::Volumes) {
            // SQLite keeps a NaN as a null: a volume the meter gave as NaN comes back as NaN, not 0.
            p.plus = volume(q.value(2));
            p.minus = volume(q.value(3));
            p.downtime = optionalInt(q.value(4));
        }
        p.recordedAt = optionalInt(q.value(5));
        rows << p;
    }
    return rows;
}

QList<EntryRow> Store::entries(std::uint32_t meter, int journal, std::int64_t from, std::int64_t to) {
    QList<EntryRow> rows;
    // In the meter's order, as the monitor lists them: by start, an event whose start the meter lost
    // would come first. Every event that overlaps the range: one that began before it and ended (or
    // goes on) inside it belongs to it too. One whose start the meter did not know belongs where its
    // end falls.
    QSqlQuery q = exec(
        m_db,
        QStringLiteral("SELECT code, started_s, ended_s FROM journal_entries WHERE meter = ? AND journal = ?"
                       " AND channel = ? AND started_s <= ? AND (ended_s IS NULL OR ended_s >= ?)"
                       " AND (started_s <> 0 OR ended_s IS NULL OR ended_s <= ?) ORDER BY seq"),
        {qlonglong(meter), journal == 6 ? 5 : journal, channelOfJournal(journal), qlonglong(to),
         qlonglong(from), qlonglong(to)});
    while (q.next())
        rows << EntryRow{.journal = journal,
                         .code = q.value(0).toInt(),
                         .started = q.value(1).toLongLong(),
                         .ended = optionalInt(q.value(2))};
    return rows;
}

std::optional<std::uint32_t> Store::meterAt(const QString& line, int address) {
    QSqlQuery q = exec(
        m_db,
        QStringLiteral("SELECT number FROM meters WHERE line = ? AND address = ? ORDER BY last_seen_ms DESC"),
        {text(line), address});
    if (!q.next()) return std::nullopt;
    return std::uint32_t(q.value(0).toLongLong());
}

std::optional<MeterVisit> Store::meter(std::uint32_t number) {
    QSqlQuery q =
        exec(m_db,
             QStringLiteral(
                 "SELECT name, line, address, device_text, two_channel_mode FROM meters WHERE number = ?"),
             {qlonglong(number)});
    if (!q.next()) return std::nullopt;
    return MeterVisit{.number = number,
                      .line = q.value(1).toString(),
                      .name = q.value(0).toString(),
                      .address = q.value(2).toInt(),
                      .deviceText = q.value(3).toString(),
                      .twoChannelMode = q.value(4).toBool()};
}

bool Store::beginRun(const QString& run, const QDateTime& started, const QString& host, QString* error) {
    return exec(m_db, QStringLiteral("INSERT INTO runs (id, host, started_ms) VALUES (?, ?, ?)"),
                {run, text(host), started.toMSecsSinceEpoch()}, error)
        .isActive();
}

bool Store::recordOutcome(const QString& run, const Outcome& o, QString* error) {
    return exec(m_db,
                QStringLiteral(
                    "INSERT INTO run_meters (run, line, address, name, meter, visited_ms, outcome, reason,"
                    " periods, entries, requests, bytes, link_failures, bad_records, clock_offset_s)"
                    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                    " ON CONFLICT (run, line, address) DO NOTHING"),
                {run, text(o.line), o.address, text(o.name), nullable(o.number),
                 QDateTime::currentMSecsSinceEpoch(), int(o.result), text(o.reason), o.periods, o.entries,
                 o.requests, qlonglong(o.bytes), o.linkFailures, o.badRecords, nullable(o.clockOffset)},
                error)
        .isActive();
}

bool Store::finishRun(const QString& run, const QDateTime& finished, QString* error) {
    const QSqlQuery q = exec(m_db, QStringLiteral("UPDATE runs SET finished_ms = ? WHERE id = ?"),
                             {finished.toMSecsSinceEpoch(), run}, error);
    if (!q.isActive()) return false;
    // A run whose start was never recorded has nothing to finish: that is a failure too.
    if (q.numRowsAffected() == 1) return true;
    if (error) *error = QStringLiteral("the run %1 is not on record").arg(run);
    return false;
}

QList<Outcome> Store::outcomes(const QString& run) {
    QList<Outcome> list;
    QSqlQuery q =
        exec(m_db,
             QStringLiteral(
                 "SELECT line, address, name, meter, outcome, reason, periods, entries, requests, bytes,"
                 " link_failures, bad_records, clock_offset_s FROM run_meters WHERE run = ?"
                 " ORDER BY line, address"),
             {run});
    while (q.next()) {
        Outcome o{
            .line = q.value(0).toString(), .name = q.value(2).toString(), .address = q.value(1).toInt()};
        if (!q.value(3).isNull()) o.number = std::uint32_t(q.value(3).toLongLong());
        o.result = Outcome::Result(q.value(4).toInt());
        o.reason = q.value(5).toString();
        o.periods = q.value(6).toInt();
        o.entries = q.value(7).toInt();
        o.requests = q.value(8).toInt();
        o.bytes = q.value(9).toLongLong();
        o.linkFailures = q.value(10).toInt();
        o.badRecords = q.value(11).toInt();
        o.clockOffset = optionalInt(q.value(12));
        list << o;
    }
    return list;
}

QList<MeterStatus> Store::status() {
    // One statement for the fleet. Each figure is a lookup on a key or an index (a channel's newest
    // period, the count of a state, a meter's visits); the newest of an archive is that of its
    // newer channel, since a MAX over both would read every period of the archive.
    static const QString sql = QStringLiteral(R"(
SELECT m.number, m.name, m.line, m.address,
  (SELECT MAX(visited_ms) FROM run_meters r WHERE r.meter = m.number AND r.outcome = 0),
  (SELECT reason FROM run_meters r WHERE r.meter = m.number AND r.outcome IN (1, 3)
     AND r.visited_ms > COALESCE((SELECT MAX(g.visited_ms) FROM run_meters g
                                  WHERE g.meter = m.number AND g.outcome = 0), 0)
   ORDER BY r.visited_ms DESC LIMIT 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 0 AND p.channel = 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 0 AND p.channel = 2),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 1 AND p.channel = 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 1 AND p.channel = 2),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 2 AND p.channel = 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 2 AND p.channel = 2),
  (SELECT COUNT(*) FROM archive_periods p WHERE p.meter = m.number AND p.state = 1)
FROM meters m ORDER BY m.number
)");
    QList<MeterStatus> list;
    QSqlQuery q = exec(m_db, sql, {});
    while (q.next()) {
        MeterStatus m{.number = std::uint32_t(q.value(0).toLongLong()),
                      .name = q.value(1).toString(),
                      .line = q.value(2).toString(),
                      .address = q.value(3).toInt()};
        if (!q.value(4).isNull()) m.lastCollected = QDateTime::fromMSecsSinceEpoch(q.value(4).toLongLong());
        m.lastError = q.value(5).toString();
        for (int a = 0; a < 3; ++a)
            for (int channel = 0; channel < 2; ++channel)
                if (const QVariant start = q.value(6 + 2 * a + channel); !start.isNull())
                    m.newest[a] = std::max<std::int64_t>(m.newest[a].value_or(INT64_MIN), start.toLongLong());
        m.gaps = q.value(12).toInt();
        list << m;
    }
    return list;
}

QString Store::lastError() const {
    return m_db.lastError().text();
}

} // namespace store
