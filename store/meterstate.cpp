#include "store/meterstate.h"

#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <tuple>

namespace store {

namespace {

constexpr std::int64_t Day = 86400;

// Each figure of a meter is its own small lookup on a key or an index (the newest period of an
// archive's channel, its open events), so one statement serves the whole fleet without reading a
// year of periods per meter: a GROUP BY over archive_periods would scan all of them. Where one
// lookup finds several figures (the last visit's time, outcome and reason; the newest day and its
// downtime) they come back as one text, which saves a lookup per meter each. A visit that stored
// part of what it read (outcome 3) had the link all the same: it counts as the meter collected.
const char* const KnownMeters = R"(
SELECT m.number, m.name, m.line, m.address, m.device_text,
  (SELECT MAX(visited_ms) FROM run_meters r WHERE r.meter = m.number AND r.outcome IN (0, 3)),
  (SELECT visited_ms || ' ' || outcome || ' ' || reason FROM run_meters r WHERE r.meter = m.number
   ORDER BY visited_ms DESC LIMIT 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 0 AND p.channel = 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 0 AND p.channel = 2),
  (SELECT period_start_s || ' ' || COALESCE(downtime_s, -1) FROM archive_periods p
   WHERE p.meter = m.number AND p.archive = 1 AND p.channel = 1 ORDER BY period_start_s DESC LIMIT 1),
  (SELECT period_start_s || ' ' || COALESCE(downtime_s, -1) FROM archive_periods p
   WHERE p.meter = m.number AND p.archive = 1 AND p.channel = 2 ORDER BY period_start_s DESC LIMIT 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 2 AND p.channel = 1),
  (SELECT MAX(period_start_s) FROM archive_periods p WHERE p.meter = m.number AND p.archive = 2 AND p.channel = 2),
  (SELECT COUNT(*) FROM archive_periods p WHERE p.meter = m.number AND p.state = 1),
  (SELECT COUNT(*) FROM archive_periods p WHERE p.meter = m.number AND p.state = 1 AND p.period_start_s >
     (SELECT MAX(n.period_start_s) FROM archive_periods n
      WHERE n.meter = p.meter AND n.archive = p.archive AND n.channel = p.channel) - ?),
  (SELECT SUM(DISTINCT CASE WHEN j.journal = 3 THEN 1 WHEN j.channel = 1 THEN 2 ELSE 4 END)
   FROM journal_entries j WHERE j.meter = m.number AND j.journal IN (3, 5) AND j.ended_s IS NULL)
FROM meters m
)";

// The visits that found no meter, the latest per place: a meter of the list that never answered,
// or a known one that has stopped. The newest run's start tells a place still on the list from one
// taken off it.
const char* const Unanswered = R"(
SELECT line, address, name, visited_ms, reason, (SELECT MAX(started_ms) FROM runs)
FROM (SELECT line, address, name, visited_ms, reason,
        ROW_NUMBER() OVER (PARTITION BY line, address ORDER BY visited_ms DESC) AS n
      FROM run_meters WHERE meter IS NULL) latest
WHERE n = 1
)";

std::optional<std::int64_t> optionalInt(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return v.toLongLong();
}

std::optional<std::int64_t> newer(const QVariant& a, const QVariant& b) {
    const auto x = optionalInt(a), y = optionalInt(b);
    if (x && y) return std::max(*x, *y);
    return x ? x : y;
}

QDateTime msecs(const QVariant& v) {
    return v.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(v.toLongLong());
}

void judge(MeterState& m, const Thresholds& t, const QDateTime& now) {
    QList<Condition>& p = m.problems;
    if (!m.lastCollected.isValid() || m.lastCollected.secsTo(now) > t.silentHours * 3600)
        p << Condition::NoLink;
    if (m.openFault) p << Condition::Fault;
    if (m.openAbnormal[0] || m.openAbnormal[1]) p << Condition::Abnormal;
    for (const auto& d : m.lastDayDowntime)
        if (d && *d > t.downtimeMinutes * 60) {
            p << Condition::Downtime;
            break;
        }
    if (m.recentGaps > 0) p << Condition::Gaps;
    m.condition = p.isEmpty() ? Condition::Normal : p.first();
}

QString date(const QDateTime& t) {
    return t.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

QString hoursMinutes(std::int64_t seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

std::optional<Thresholds> readThresholds(const QString& path, QString* error) {
    Thresholds t;
    if (path.isEmpty()) return t;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const struct {
        const char* key;
        std::int64_t Thresholds::*field;
    } keys[] = {{"silent_hours", &Thresholds::silentHours},
                {"downtime_minutes", &Thresholds::downtimeMinutes},
                {"gap_days", &Thresholds::gapDays}};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].section(u'#', 0, 0).trimmed();
        if (line.isEmpty()) continue;
        const auto fail = [&](const QString& why) {
            if (error) *error = QStringLiteral("%1:%2: %3").arg(path).arg(i + 1).arg(why);
            return std::nullopt;
        };
        const QString key = line.section(u'=', 0, 0).trimmed();
        if (!line.contains(u'=')) return fail(QStringLiteral("expected KEY = VALUE"));
        const auto row = std::find_if(std::begin(keys), std::end(keys),
                                      [&](const auto& k) { return key == QLatin1String(k.key); });
        if (row == std::end(keys)) return fail(QStringLiteral("unknown key %1").arg(key));
        bool ok = false;
        const qlonglong value = line.section(u'=', 1).trimmed().toLongLong(&ok);
        // Beyond a hundred years nothing is ever a problem, and the seconds would overflow.
        if (!ok || value < 1 || value > 876000)
            return fail(QStringLiteral("%1 takes a whole number from 1").arg(key));
        t.*(row->field) = value;
    }
    return t;
}

QString thresholdsHelp() {
    const Thresholds d;
    return QStringLiteral(
               "silent_hours = %1      # no good collection for longer: \"Нет связи\"\n"
               "downtime_minutes = %2  # more downtime in the newest stored day: \"Простой\"\n"
               "gap_days = %3           # periods not recorded within the newest days: \"Пропуски\"\n")
        .arg(d.silentHours)
        .arg(d.downtimeMinutes)
        .arg(d.gapDays);
}

QString conditionName(Condition c) {
    switch (c) {
    case Condition::NoLink:
        return QStringLiteral("Нет связи");
    case Condition::Fault:
        return QStringLiteral("Отказ");
    case Condition::Abnormal:
        return QStringLiteral("Нештатная ситуация");
    case Condition::Downtime:
        return QStringLiteral("Простой");
    case Condition::Gaps:
        return QStringLiteral("Пропуски");
    case Condition::Normal:
        return QStringLiteral("Норма");
    }
    return {};
}

bool critical(Condition c) {
    return c == Condition::NoLink || c == Condition::Fault;
}

QStringList MeterState::reasons(const Thresholds& t) const {
    QStringList out;
    for (Condition c : problems) {
        switch (c) {
        case Condition::NoLink:
            out << (!number ? QStringLiteral("прибор ни разу не ответил")
                    : lastCollected.isValid() ? QStringLiteral("нет удачного опроса с ") + date(lastCollected)
                                              : QStringLiteral("ни одного удачного опроса"));
            break;
        case Condition::Fault:
            out << QStringLiteral("незавершённый отказ в журнале");
            break;
        case Condition::Abnormal:
            for (int ch = 0; ch < 2; ++ch)
                if (openAbnormal[ch])
                    out << QStringLiteral("незавершённая нештатная ситуация, канал %1").arg(ch + 1);
            break;
        case Condition::Downtime:
            for (int ch = 0; ch < 2; ++ch)
                if (lastDayDowntime[ch] && *lastDayDowntime[ch] > t.downtimeMinutes * 60)
                    out << QStringLiteral("простой %1 за последние сутки, канал %2")
                               .arg(hoursMinutes(*lastDayDowntime[ch]))
                               .arg(ch + 1);
            break;
        case Condition::Gaps:
            out << QStringLiteral("не записано периодов за %1 сут: %2").arg(t.gapDays).arg(recentGaps);
            break;
        case Condition::Normal:
            break;
        }
    }
    return out;
}

std::optional<QList<MeterState>> meterStates(Store& db, const Thresholds& t, const QDateTime& now,
                                             QString* error, std::optional<std::uint32_t> only) {
    QList<MeterState> list;
    QSqlQuery q(db.db());
    q.setForwardOnly(true);
    const auto failed = [&]() -> std::optional<QList<MeterState>> {
        if (error) *error = q.lastError().text();
        return std::nullopt;
    };
    QString sql = QString::fromLatin1(KnownMeters);
    if (only) sql += QStringLiteral(" WHERE m.number = ?");
    if (!q.prepare(sql)) return failed();
    q.addBindValue(qlonglong(t.gapDays * Day));
    if (only) q.addBindValue(qlonglong(*only));
    if (!q.exec()) return failed();
    QHash<QPair<QString, int>, qsizetype> byPlace;
    while (q.next()) {
        MeterState m{.number = std::uint32_t(q.value(0).toLongLong()),
                     .name = q.value(1).toString(),
                     .line = q.value(2).toString(),
                     .address = q.value(3).toInt(),
                     .deviceText = q.value(4).toString()};
        m.lastCollected = msecs(q.value(5));
        if (const QString last = q.value(6).toString(); !last.isEmpty()) {
            m.lastVisit = QDateTime::fromMSecsSinceEpoch(last.section(u' ', 0, 0).toLongLong());
            m.lastResult = Outcome::Result(last.section(u' ', 1, 1).toInt());
            m.lastReason = last.section(u' ', 2);
        }
        for (int ch = 0; ch < 2; ++ch) {
            const QString day = q.value(9 + ch).toString();
            if (day.isEmpty()) continue;
            m.newest[1] =
                std::max<std::int64_t>(m.newest[1].value_or(INT64_MIN), day.section(u' ', 0, 0).toLongLong());
            if (const qlonglong downtime = day.section(u' ', 1, 1).toLongLong(); downtime >= 0)
                m.lastDayDowntime[ch] = downtime;
        }
        m.newest[0] = newer(q.value(7), q.value(8));
        m.newest[2] = newer(q.value(11), q.value(12));
        m.gaps = q.value(13).toInt();
        m.recentGaps = q.value(14).toInt();
        // Which of the fault journal and the two channels' abnormal ones hold an open event, as bits.
        const int open = q.value(15).toInt();
        m.openFault = open & 1;
        m.openAbnormal[0] = open & 2;
        m.openAbnormal[1] = open & 4;
        byPlace.insert({m.line, m.address}, list.size());
        list << m;
    }
    if (!q.exec(QString::fromLatin1(Unanswered))) return failed();
    while (q.next()) {
        const QPair<QString, int> place{q.value(0).toString(), q.value(1).toInt()};
        const QDateTime visited = msecs(q.value(3));
        if (const auto known = byPlace.constFind(place); known != byPlace.cend()) {
            // A known meter that has stopped answering: its last visit is this one.
            MeterState& m = list[*known];
            if (visited > m.lastVisit) {
                m.lastVisit = visited;
                m.lastResult = Outcome::Result::Failed;
                m.lastReason = q.value(4).toString();
            }
            continue;
        }
        if (only) continue;
        // A place taken off the list is last visited long before the newest run.
        const QDateTime newestRun = msecs(q.value(5));
        if (newestRun.isValid() && visited.secsTo(newestRun) > t.silentHours * 3600) continue;
        list << MeterState{.name = q.value(2).toString(),
                           .line = place.first,
                           .address = place.second,
                           .lastVisit = visited,
                           .lastResult = Outcome::Result::Failed,
                           .lastReason = q.value(4).toString()};
    }
    for (MeterState& m : list)
        judge(m, t, now);
    std::stable_sort(list.begin(), list.end(), [](const MeterState& a, const MeterState& b) {
        return std::tuple(a.condition, !a.number, a.number.value_or(0), a.line, a.address) <
               std::tuple(b.condition, !b.number, b.number.value_or(0), b.line, b.address);
    });
    return list;
}

} // namespace store
