#include "archives/archivereading.h"

#include "device/encodings.h"
#include "device/records.h"

#include <algorithm>

namespace archives {

namespace {

constexpr std::uint32_t HourSeconds = 3600;
constexpr std::uint32_t DaySeconds = 86400;
constexpr int FullCount[] = {671, 63, 23};
// A longer range is cut to the full archive's length before its end; one of exactly this many
// periods is read whole.
constexpr int RangeLimit[] = {672, 64, 24};

std::uint32_t secondsAt(const QDate& date, int hour) {
    return enc::DateToSec(enc::dayNumber(date), double(hour) * HourSeconds * 1000);
}

QDate firstOfMonth(const QDate& date) {
    return QDate(date.year(), date.month(), 1);
}

// Device seconds of the 1st of the month `months` away from the one containing t.
std::uint32_t monthStep(std::uint32_t t, int months) {
    return secondsAt(enc::SecToDate(t).date().addMonths(months), 0);
}

std::uint32_t step(Kind kind, std::uint32_t t, int periods) {
    switch (kind) {
    case Kind::Hour:
        return t + std::uint32_t(periods) * HourSeconds;
    case Kind::Day:
        return t + std::uint32_t(periods) * DaySeconds;
    case Kind::Month:
        return monthStep(t, periods);
    }
    return t;
}

bool samePeriod(Kind kind, std::uint32_t a, std::uint32_t b) {
    switch (kind) {
    case Kind::Hour:
        return a / HourSeconds == b / HourSeconds;
    case Kind::Day:
        return a / DaySeconds == b / DaySeconds;
    case Kind::Month: {
        const QDate da = enc::SecToDate(a).date(), db = enc::SecToDate(b).date();
        return da.year() == db.year() && da.month() == db.month();
    }
    }
    return false;
}

QString twoDigits(std::uint32_t v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString periodText(Kind kind, std::uint32_t time) {
    const QDateTime t = enc::SecToDate(time);
    if (kind == Kind::Hour)
        return QStringLiteral("   ") + enc::formatDate(t) + QStringLiteral("    ") +
               twoDigits(t.time().hour()) + QStringLiteral(" час.");
    return QStringLiteral("       ") + enc::formatDate(t) + u' ';
}

QString downtimeText(Kind kind, std::uint32_t seconds) {
    // The hour archive shows the downtime as a time of day, the day archive as hours that may pass 24.
    const std::uint32_t hours =
        kind == Kind::Hour ? seconds % DaySeconds / HourSeconds : seconds / HourSeconds;
    return twoDigits(hours) + u':' + twoDigits(seconds % HourSeconds / 60) + u':' + twoDigits(seconds % 60);
}

// The counters of the last accepted record, from which the next row's differences are taken.
struct Base {
    bool held = false;
    float plus = 0, minus = 0;
    // The downtime counter as it would read at the end of the last accepted period.
    std::uint32_t downtime = 0;
};

} // namespace

const QString NotReadText = QStringLiteral("Не прочитан");

int ArchiveReading::notRead() const {
    return int(std::count_if(periods.begin(), periods.end(),
                             [](const Period& p) { return p.state == Period::State::NotRead; }));
}

ArchivePlan planArchive(Kind kind, const Range& range, const QDateTime& now) {
    const int k = int(kind);
    std::uint32_t start = 0;
    int count = FullCount[k];
    if (kind == Kind::Month) {
        const QDate current = firstOfMonth(now.date());
        QDate first = current.addMonths(-FullCount[k]);
        if (!range.full) {
            first = firstOfMonth(range.start.date());
            QDate end = firstOfMonth(range.end.date());
            if (now.date() < end) end = current;
            count = 0;
            for (QDate d = first; d < end && count <= RangeLimit[k]; d = d.addMonths(1))
                ++count;
            if (count > RangeLimit[k]) {
                count = FullCount[k];
                first = end.addMonths(-count);
            }
        }
        start = secondsAt(first, 0);
    } else {
        const bool hours = kind == Kind::Hour;
        const std::uint32_t period = hours ? HourSeconds : DaySeconds;
        const auto truncated = [hours](const QDateTime& t) {
            return secondsAt(t.date(), hours ? t.time().hour() : 0);
        };
        const std::uint32_t current = truncated(now);
        start = current - std::uint32_t(count) * period;
        if (!range.full) {
            start = truncated(range.start);
            std::uint32_t end = truncated(range.end);
            if (current < end) end = current;
            // Unsigned on purpose: a start after the end wraps to a huge count, and the reading
            // becomes the full archive before the end.
            const std::uint32_t periods = (end - start) / period;
            if (periods > std::uint32_t(RangeLimit[k])) {
                count = FullCount[k];
                start = end - std::uint32_t(count) * period;
            } else {
                count = int(periods);
            }
        }
    }
    return {enc::SecToDate(step(kind, start, -1)), enc::SecToDate(start), count};
}

QStringList archiveHeader(Kind kind) {
    QStringList header{kind == Kind::Hour ? QStringLiteral("Дата и время архивации")
                                          : QStringLiteral("      Дата архивации"),
                       QStringLiteral("          Объем +"), QStringLiteral("          Объем -"),
                       QStringLiteral("   Суммарный объем")};
    if (kind != Kind::Month) header << QStringLiteral("        Время простоя");
    return header;
}

QStringList archiveRow(Kind kind, const Period& p) {
    QStringList row{periodText(kind, p.recorded), enc::MyFormatFloat(p.plus), enc::MyFormatFloat(p.minus),
                    enc::MyFormatFloat(p.plus + p.minus)};
    if (kind != Kind::Month) row << downtimeText(kind, p.downtime);
    return row;
}

QStringList notReadRow(Kind kind, const Period& period) {
    QStringList row{periodText(kind, enc::DateToSec(period.start)), NotReadText};
    row.resize(archiveHeader(kind).size());
    return row;
}

ArchiveReading readArchive(Kind kind, const Range& range, int channel, const QDateTime& now,
                           const RequestFn& request, const ProgressFn& progress) {
    const ArchivePlan plan = planArchive(kind, range, now);
    const int archive = int(kind);
    const std::uint32_t start = enc::DateToSec(plan.start);
    ArchiveReading reading;
    reading.header = archiveHeader(kind);
    reading.kind = kind;
    reading.channel = channel;
    reading.planned = plan.count;
    Requests requests(request, progress, plan.requests(), reading);
    const auto ask = [&](std::uint32_t at, int count) {
        return requests({.archive = archive, .count = count, .mode = 1, .date = enc::SecToDate(at)});
    };

    Base base;
    // The base was lost to a record that could not be read, not to a period the meter left out:
    // the period that takes the next base then has no volumes for a reason the operator must see.
    bool lost = true;
    const std::uint32_t baseTime = enc::DateToSec(plan.base);
    const std::optional<QByteArray> baseReply = ask(baseTime, 1);
    if (!baseReply) return reading;
    // Only what the reply holds is decoded: a short reply gives fewer records, never stale ones.
    for (const ArchiveRecord& r : records::archiveRecords(*baseReply, 1)) {
        lost = !r.checkOk;
        if (!r.checkOk || !samePeriod(kind, r.time, baseTime)) continue;
        base = {true, r.volume[channel][0], r.volume[channel][1], start - 1 - r.time + r.downtime[channel]};
    }

    std::uint32_t cursor = start;
    for (int remaining = plan.count; remaining > 0;) {
        const int n = std::min(remaining, RecordsPerRequest);
        const std::optional<QByteArray> reply = ask(cursor, n);
        if (!reply) return reading;
        const QList<ArchiveRecord> got = records::archiveRecords(*reply, n);
        // The reply's records stand for consecutive periods by their places, so one that cannot be
        // read still takes its period: the cursor moves on, and the records after it keep theirs.
        for (int i = 0; i < n; ++i) {
            const std::uint32_t periodStart = cursor;
            cursor = step(kind, cursor, 1);
            Period period{.start = enc::SecToDate(periodStart), .state = Period::State::NotRecorded};
            if (i >= got.size() || !got[i].checkOk) {
                // A damaged record breaks the chain: the next good one starts it again.
                base.held = false;
                lost = true;
                period.state = Period::State::NotRead;
                reading.rows.append(notReadRow(kind, period));
                reading.periods.append(period);
                continue;
            }
            const ArchiveRecord& r = got[i];
            const bool match = samePeriod(kind, r.time, periodStart);
            // Seconds from the record to the end of the period it stands for.
            const std::uint32_t toPeriodEnd = cursor - 1 - r.time;
            const float plus = r.volume[channel][0], minus = r.volume[channel][1];
            const std::uint32_t downtime = toPeriodEnd + r.downtime[channel];
            if (match) {
                period.recorded = r.time;
                if (base.held) {
                    period = {period.start,
                              Period::State::Row,
                              plus - base.plus,
                              minus - base.minus,
                              kind == Kind::Month ? 0 : downtime - base.downtime,
                              r.time};
                    reading.rows.append(archiveRow(kind, period));
                } else if (lost) {
                    period.state = Period::State::NotRead;
                    reading.rows.append(notReadRow(kind, period));
                } else {
                    period.state = Period::State::NoBase;
                }
                base = {true, plus, minus, downtime};
                lost = false;
            } else if (base.held && kind != Kind::Month) {
                // The meter did not record this period because it was off. Its downtime counter
                // takes that whole period in at power-on, and no row stands for it; the volumes
                // stay, so the next row covers the skipped periods.
                base.downtime += kind == Kind::Hour ? HourSeconds : DaySeconds;
            }
            reading.periods.append(period);
        }
        reading.done = int(reading.periods.size());
        remaining -= n;
    }
    return reading;
}

} // namespace archives
