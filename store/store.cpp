#include "store/store.h"

#include <QAtomicInt>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <cmath>
#include <limits>

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
};
static_assert(std::size(SchemaSteps) == SchemaVersion);

QAtomicInt connectionCount;

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

int channelOfJournal(int journal) {
    return journal == 5 ? 1 : journal == 6 ? 2 : 0;
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
        for (int c = 0; c < int(types.size()); ++c)
            q.bindValue(c, arrayLiteral(rows, first, count, c));
        if (!q.exec()) {
            if (error) *error = q.lastError().text();
            return false;
        }
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
    } else {
        s->m_db.setDatabaseName(location.path);
        // Collectors on several lines write one file: a writer waits its turn instead of failing.
        s->m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
    }
    if (!s->m_db.open()) {
        if (error) *error = s->m_db.lastError().text();
        return nullptr;
    }
    // Before anything is set on it: a database of someone else's stays as it was.
    if (!create && s->schemaVersion() == 0) {
        if (error) *error = QString::fromLatin1(NotCollected);
        return nullptr;
    }
    QSqlQuery q(s->m_db);
    if (!s->m_postgres) {
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        // A kill still loses nothing committed; a power cut may lose the last visits, never the
        // file's consistency, and they are read again next run. Saves a disk flush per meter.
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    const int version = s->schemaVersion();
    if (version > SchemaVersion) {
        if (error)
            *error = QStringLiteral("the database's schema is version %1, newer than this program's %2")
                         .arg(version)
                         .arg(SchemaVersion);
        return nullptr;
    }
    if (version < target && !s->migrate(version, target, error)) return nullptr;
    return s;
}

int Store::schemaVersion() {
    if (!m_db.tables().contains(QStringLiteral("schema_info"))) return 0;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT version FROM schema_info")) || !q.next()) return 0;
    return q.value(0).toInt();
}

bool Store::migrate(int from, int to, QString* error) {
    QSqlQuery q(m_db);
    // Two collectors starting on one new database must not both create it: the first to get the
    // lock does, the other then finds it done.
    if (!q.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        if (error) *error = q.lastError().text();
        return false;
    }
    if (m_postgres) q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7273)"));
    const int now = schemaVersion();
    if (now > from) from = now;
    for (int step = from; step < to; ++step) {
        for (const QString& sql : SchemaSteps[step]) {
            if (!q.exec(sql)) {
                if (error)
                    *error = QStringLiteral("schema step %1: %2").arg(step + 1).arg(q.lastError().text());
                QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
                return false;
            }
        }
        q.exec(QStringLiteral("UPDATE schema_info SET version = %1").arg(step + 1));
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        if (error) *error = q.lastError().text();
        return false;
    }
    return true;
}

std::optional<Written> Store::storeVisit(const MeterVisit& visit, QString* error) {
    QSqlQuery q(m_db);
    if (!q.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        if (error) *error = q.lastError().text();
        return std::nullopt;
    }
    const auto fail = [&]() -> std::optional<Written> {
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        return std::nullopt;
    };
    const qlonglong meter = visit.number;
    const qlonglong now = QDateTime::currentMSecsSinceEpoch();
    if (!exec(
            q,
            QStringLiteral(
                "INSERT INTO meters (number, name, line, address, device_text, two_channel_mode, first_seen,"
                " last_seen) VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (number) DO UPDATE SET"
                " name = CASE WHEN excluded.name = '' THEN meters.name ELSE excluded.name END,"
                " line = excluded.line, address = excluded.address,"
                " device_text = excluded.device_text, two_channel_mode = excluded.two_channel_mode,"
                " last_seen = excluded.last_seen"),
            {meter, text(visit.name), text(visit.line), visit.address, text(visit.deviceText),
             int(visit.twoChannelMode), now, now},
            error))
        return fail();

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
            if (p.state == PeriodRow::State::NoBase && periods[i + 1].state == PeriodRow::State::Volumes)
                p = periods[i + 1];
        const bool volumes = p.state == PeriodRow::State::Volumes;
        periodValues.append({meter, p.archive, p.channel, qlonglong(p.start), int(p.state),
                             volumes ? QVariant(p.plus) : noVolume, volumes ? QVariant(p.minus) : noVolume,
                             nullable(volumes ? p.downtime : std::nullopt), nullable(p.recordedAt)});
    }
    if (!upsert(
            q, m_postgres,
            QStringLiteral("INSERT INTO archive_periods (meter, archive, channel, period_start, state,"
                           " volume_plus, volume_minus, downtime, recorded_at)"),
            QStringLiteral(
                " ON CONFLICT (meter, archive, channel, period_start) DO UPDATE SET state = excluded.state,"
                " volume_plus = excluded.volume_plus, volume_minus = excluded.volume_minus,"
                " downtime = excluded.downtime, recorded_at = excluded.recorded_at"
                // Only a period whose volumes were not known takes them; nothing else is rewritten.
                " WHERE archive_periods.state = 2 AND excluded.state = 0"),
            {"bigint", "smallint", "smallint", "bigint", "smallint", "double precision", "double precision",
             "bigint", "bigint"},
            periodValues, &written.periods, error))
        return fail();

    // An entry's key as stored: journals 5 and 6 are one journal's channels.
    const auto entryKey = [](const EntryRow& e) {
        return std::tuple(e.journal == 6 ? 5 : e.journal, channelOfJournal(e.journal), e.code, e.started,
                          e.started == 0 ? e.ended.value_or(0) : 0);
    };
    QList<EntryRow> entries = visit.entries;
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const EntryRow& a, const EntryRow& b) { return entryKey(a) < entryKey(b); });
    QList<QVariantList> entryValues;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        EntryRow e = entries[i];
        for (; i + 1 < entries.size() && entryKey(entries[i + 1]) == entryKey(e); ++i)
            if (!e.ended) e.ended = entries[i + 1].ended;
        const auto [journal, channel, code, started, endIfNoStart] = entryKey(e);
        entryValues.append(
            {meter, journal, channel, code, qlonglong(started), nullable(e.ended), qlonglong(endIfNoStart)});
    }
    if (!upsert(q, m_postgres,
                QStringLiteral("INSERT INTO journal_entries (meter, journal, channel, code, started, ended,"
                               " end_if_no_start)"),
                QStringLiteral(" ON CONFLICT (meter, journal, channel, code, started, end_if_no_start)"
                               " DO UPDATE SET ended = excluded.ended"
                               " WHERE journal_entries.ended IS NULL AND excluded.ended IS NOT NULL"),
                {"bigint", "smallint", "smallint", "smallint", "bigint", "bigint", "bigint"}, entryValues,
                &written.entries, error))
        return fail();
    if (!q.exec(QStringLiteral("COMMIT"))) {
        if (error) *error = q.lastError().text();
        return fail();
    }
    return written;
}

QList<std::int64_t> Store::periodStarts(std::uint32_t meter, int archive, int channel, std::int64_t since) {
    QList<std::int64_t> starts;
    QSqlQuery q(m_db);
    if (!exec(q,
              QStringLiteral(
                  "SELECT period_start FROM archive_periods WHERE meter = ? AND archive = ? AND channel = ?"
                  " AND period_start >= ? ORDER BY period_start"),
              {qlonglong(meter), archive, channel, qlonglong(since)}, nullptr))
        return starts;
    while (q.next())
        starts << q.value(0).toLongLong();
    return starts;
}

QList<PeriodRow> Store::periods(std::uint32_t meter, int archive, int channel, std::int64_t from,
                                std::int64_t to) {
    QList<PeriodRow> rows;
    QSqlQuery q(m_db);
    if (!exec(q,
              QStringLiteral("SELECT period_start, state, volume_plus, volume_minus, downtime, recorded_at"
                             " FROM archive_periods WHERE meter = ? AND archive = ? AND channel = ?"
                             " AND period_start >= ? AND period_start <= ? ORDER BY period_start"),
              {qlonglong(meter), archive, channel, qlonglong(from), qlonglong(to)}, nullptr))
        return rows;
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
    QSqlQuery q(m_db);
    // Ordered as the meter's journal lists them is unknowable here; by start is what people read.
    // Every event that overlaps the range: one that began before it and ended (or goes on) inside
    // it belongs to it too. One whose start the meter did not know belongs where its end falls.
    if (!exec(q,
              QStringLiteral(
                  "SELECT code, started, ended FROM journal_entries WHERE meter = ? AND journal = ?"
                  " AND channel = ? AND started <= ? AND (ended IS NULL OR ended >= ?)"
                  " AND (started <> 0 OR ended IS NULL OR ended <= ?) ORDER BY started, code, ended"),
              {qlonglong(meter), journal == 6 ? 5 : journal, channelOfJournal(journal), qlonglong(to),
               qlonglong(from), qlonglong(to)},
              nullptr))
        return rows;
    while (q.next())
        rows << EntryRow{.journal = journal,
                         .code = q.value(0).toInt(),
                         .started = q.value(1).toLongLong(),
                         .ended = optionalInt(q.value(2))};
    return rows;
}

std::optional<std::uint32_t> Store::meterAt(const QString& line, int address) {
    QSqlQuery q(m_db);
    if (!exec(q,
              QStringLiteral(
                  "SELECT number FROM meters WHERE line = ? AND address = ? ORDER BY last_seen DESC"),
              {text(line), address}, nullptr) ||
        !q.next())
        return std::nullopt;
    return std::uint32_t(q.value(0).toLongLong());
}

std::optional<MeterVisit> Store::meter(std::uint32_t number) {
    QSqlQuery q(m_db);
    if (!exec(q,
              QStringLiteral(
                  "SELECT name, line, address, device_text, two_channel_mode FROM meters WHERE number = ?"),
              {qlonglong(number)}, nullptr) ||
        !q.next())
        return std::nullopt;
    return MeterVisit{.number = number,
                      .line = q.value(1).toString(),
                      .name = q.value(0).toString(),
                      .address = q.value(2).toInt(),
                      .deviceText = q.value(3).toString(),
                      .twoChannelMode = q.value(4).toBool()};
}

bool Store::beginRun(const QString& run, const QDateTime& started, const QString& host) {
    QSqlQuery q(m_db);
    return exec(q, QStringLiteral("INSERT INTO runs (id, host, started) VALUES (?, ?, ?)"),
                {run, text(host), started.toMSecsSinceEpoch()}, nullptr);
}

bool Store::recordOutcome(const QString& run, const Outcome& o) {
    QSqlQuery q(m_db);
    return exec(
        q,
        QStringLiteral("INSERT INTO run_meters (run, line, address, name, meter, visited, outcome, reason,"
                       " periods, entries, requests, bytes, link_failures, bad_records, clock_offset)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                       " ON CONFLICT (run, line, address) DO NOTHING"),
        {run, text(o.line), o.address, text(o.name),
         o.number ? QVariant(qlonglong(*o.number)) : QVariant(QMetaType::fromType<qlonglong>()),
         QDateTime::currentMSecsSinceEpoch(), int(o.result), text(o.reason), o.periods, o.entries, o.requests,
         qlonglong(o.bytes), o.linkFailures, o.badRecords, nullable(o.clockOffset)},
        nullptr);
}

bool Store::finishRun(const QString& run, const QDateTime& finished) {
    QSqlQuery q(m_db);
    return exec(q, QStringLiteral("UPDATE runs SET finished = ? WHERE id = ?"),
                {finished.toMSecsSinceEpoch(), run}, nullptr);
}

QList<Outcome> Store::outcomes(const QString& run) {
    QList<Outcome> list;
    QSqlQuery q(m_db);
    if (!exec(q,
              QStringLiteral(
                  "SELECT line, address, name, meter, outcome, reason, periods, entries, requests, bytes,"
                  " link_failures, bad_records, clock_offset FROM run_meters WHERE run = ?"
                  " ORDER BY line, address"),
              {run}, nullptr))
        return list;
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
    QList<MeterStatus> list;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT number, name, line, address FROM meters ORDER BY number")))
        return list;
    while (q.next())
        list << MeterStatus{.number = std::uint32_t(q.value(0).toLongLong()),
                            .name = q.value(1).toString(),
                            .line = q.value(2).toString(),
                            .address = q.value(3).toInt()};
    for (MeterStatus& m : list) {
        const qlonglong meter = m.number;
        QSqlQuery r(m_db);
        qlonglong lastGood = 0;
        if (exec(r, QStringLiteral("SELECT MAX(visited) FROM run_meters WHERE meter = ? AND outcome = 0"),
                 {meter}, nullptr) &&
            r.next() && !r.value(0).isNull()) {
            lastGood = r.value(0).toLongLong();
            m.lastCollected = QDateTime::fromMSecsSinceEpoch(lastGood);
        }
        if (exec(
                r,
                QStringLiteral("SELECT reason FROM run_meters WHERE meter = ? AND outcome = 1 AND visited > ?"
                               " ORDER BY visited DESC"),
                {meter, lastGood}, nullptr) &&
            r.next())
            m.lastError = r.value(0).toString();
        if (exec(r,
                 QStringLiteral("SELECT archive, MAX(period_start) FROM archive_periods WHERE meter = ?"
                                " GROUP BY archive"),
                 {meter}, nullptr))
            while (r.next())
                if (const int a = r.value(0).toInt(); a >= 0 && a < 3) m.newest[a] = r.value(1).toLongLong();
        if (exec(r, QStringLiteral("SELECT COUNT(*) FROM archive_periods WHERE meter = ? AND state = 1"),
                 {meter}, nullptr) &&
            r.next())
            m.gaps = r.value(0).toInt();
    }
    return list;
}

QString Store::lastError() const {
    return m_db.lastError().text();
}

} // namespace store
