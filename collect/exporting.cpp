#include "collect/exporting.h"

#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "device/encodings.h"
#include "device/identification.h"
#include "files/exportfile.h"
#include "link/csv.h"

namespace collect {

namespace {

// Device time as ISO 8601 without a zone: the meter's clock keeps none.
QString isoTime(std::int64_t t) {
    return enc::SecToDate(std::uint32_t(t)).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QString stateName(store::PeriodRow::State s) {
    switch (s) {
    case store::PeriodRow::State::Volumes:
        return QStringLiteral("recorded");
    case store::PeriodRow::State::Gap:
        return QStringLiteral("not recorded");
    case store::PeriodRow::State::NoBase:
        return QStringLiteral("no earlier record");
    case store::PeriodRow::State::NotRead:
        return QStringLiteral("not read");
    }
    return {};
}

QString volume(double v) {
    return QString::number(float(v), 'g', 9);
}

} // namespace

std::optional<StoredReading> storedReading(store::Store& db, const ExportRequest& r, QString* error) {
    const std::optional<store::MeterVisit> meter = db.meter(r.meter);
    if (!meter) {
        if (error) *error = QStringLiteral("meter %1 is not in the database").arg(r.meter);
        return std::nullopt;
    }
    StoredReading s;
    s.meter = *meter;
    // An abnormal-situation journal is one per channel: its number says which.
    s.archiveNumber = r.archiveNumber == 5 && r.channel == 1 ? 6 : r.archiveNumber;
    archives::ArchiveReading& reading = s.reading;
    reading.channel = r.channel;
    if (r.archiveNumber < 3) {
        const auto kind = archives::Kind(r.archiveNumber);
        reading.kind = kind;
        reading.header = archives::archiveHeader(kind);
        s.csv.append({"meter", "archive", "channel", "period_start", "recorded_at", "state", "volume_plus",
                      "volume_minus", "downtime_s"});
        for (const store::PeriodRow& p : db.periods(r.meter, r.archiveNumber, r.channel + 1, r.from, r.to)) {
            const bool volumes = p.state == store::PeriodRow::State::Volumes;
            s.csv.append({QString::number(r.meter), QString::number(p.archive), QString::number(p.channel),
                          isoTime(p.start), p.recordedAt ? isoTime(*p.recordedAt) : QString(),
                          stateName(p.state), volumes ? volume(p.plus) : QString(),
                          volumes ? volume(p.minus) : QString(),
                          p.downtime ? QString::number(*p.downtime) : QString()});
            archives::Period period{.start = enc::SecToDate(std::uint32_t(p.start)),
                                    .state = archives::Period::State::Row,
                                    .plus = float(p.plus),
                                    .minus = float(p.minus),
                                    .downtime = std::uint32_t(p.downtime.value_or(0)),
                                    .recorded = std::uint32_t(p.recordedAt.value_or(p.start))};
            if (p.state == store::PeriodRow::State::Gap) period.state = archives::Period::State::NotRecorded;
            if (p.state == store::PeriodRow::State::NoBase) period.state = archives::Period::State::NoBase;
            if (p.state == store::PeriodRow::State::NotRead) period.state = archives::Period::State::NotRead;
            reading.periods.append(period);
            // The window has a row for a period with volumes and one saying a period was not read.
            if (volumes) reading.rows.append(archives::archiveRow(kind, period));
            if (p.state == store::PeriodRow::State::NotRead)
                reading.rows.append(archives::notReadRow(kind, period));
        }
    } else {
        reading.header = archives::journalHeader(s.archiveNumber);
        s.csv.append({"meter", "journal", "channel", "code", "event", "start", "end"});
        for (const store::EntryRow& e : db.entries(r.meter, s.archiveNumber, r.from, r.to)) {
            const JournalEntry entry{.code = e.code,
                                     .start = std::uint32_t(e.started),
                                     .end = std::uint32_t(e.ended.value_or(0)),
                                     .checkOk = true};
            reading.rows.append(archives::journalRow(s.archiveNumber, entry, meter->twoChannelMode));
            s.csv.append(
                {QString::number(r.meter), QString::number(s.archiveNumber == 6 ? 5 : s.archiveNumber),
                 QString::number(s.archiveNumber >= 5 ? s.archiveNumber - 4 : 0), QString::number(e.code),
                 archives::eventText(s.archiveNumber, e.code, meter->twoChannelMode).name,
                 e.started ? isoTime(e.started) : QString(), e.ended ? isoTime(*e.ended) : QString()});
        }
    }
    return s;
}

exportfile::Heading StoredReading::heading() const {
    return {.deviceCaption = ident::entryText(meter.deviceText, meter.address),
            .electronicNumber = QString::number(meter.number),
            .archiveNumber = archiveNumber,
            .channelCaption = QStringLiteral("%1 - канал").arg(reading.channel + 1)};
}

QByteArray StoredReading::csvBytes() const {
    QByteArray bytes;
    for (const QStringList& row : csv)
        bytes += ::csv::row(row);
    return bytes;
}

std::optional<QByteArray> exportBytes(store::Store& db, const ExportRequest& r, QString* error) {
    const std::optional<StoredReading> s = storedReading(db, r, error);
    if (!s) return std::nullopt;
    if (r.csv) return s->csvBytes();
    return exportfile::contents(s->heading(), archives::gridRows(s->reading));
}

} // namespace collect
