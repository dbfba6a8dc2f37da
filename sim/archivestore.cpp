#include "sim/archivestore.h"

#include "device/encodings.h"

namespace sim {

namespace {
const ArchiveRecord EmptyRecord{};

qint64 floorDiv(qint64 a, qint64 b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
qint64 floorMod(qint64 a, qint64 b) {
    return a - floorDiv(a, b) * b;
}
} // namespace

ArchiveStore::ArchiveStore() {
    for (auto kind : {ArchiveKind::Hour, ArchiveKind::Day, ArchiveKind::Month})
        ring(kind).resize(slotCount(kind));
}

int ArchiveStore::slotCount(ArchiveKind kind) {
    switch (kind) {
    case ArchiveKind::Hour:
        return HourSlots;
    case ArchiveKind::Day:
        return DaySlots;
    case ArchiveKind::Month:
        return MonthSlots;
    }
    return 0;
}

qint64 ArchiveStore::periodOf(ArchiveKind kind, qint64 time) {
    switch (kind) {
    case ArchiveKind::Hour:
        return floorDiv(time, 3600);
    case ArchiveKind::Day:
        return floorDiv(time, 86400);
    case ArchiveKind::Month: {
        const QDate d = QDate(1970, 1, 1).addDays(floorDiv(time, 86400));
        return qint64(d.year()) * 12 + d.month() - 1;
    }
    }
    return 0;
}

qint64 ArchiveStore::periodStart(ArchiveKind kind, qint64 period) {
    switch (kind) {
    case ArchiveKind::Hour:
        return period * 3600;
    case ArchiveKind::Day:
        return period * 86400;
    case ArchiveKind::Month: {
        const QDate d(int(floorDiv(period, 12)), int(floorMod(period, 12)) + 1, 1);
        return QDate(1970, 1, 1).daysTo(d) * 86400;
    }
    }
    return 0;
}

void ArchiveStore::write(ArchiveKind kind, const ArchiveRecord& record) {
    auto& r = ring(kind);
    r[int(floorMod(periodOf(kind, record.time), r.size()))] = record;
}

const ArchiveRecord& ArchiveStore::forPeriod(ArchiveKind kind, qint64 period) const {
    const auto& r = ring(kind);
    return r[int(floorMod(period, r.size()))];
}

const ArchiveRecord& ArchiveStore::slot(ArchiveKind kind, int index) const {
    const auto& r = ring(kind);
    return index >= 0 && index < r.size() ? r[index] : EmptyRecord;
}

void ArchiveStore::clear() {
    for (auto& r : m_rings)
        r.fill(ArchiveRecord{});
}

QVector<ArchiveRecord>& ArchiveStore::ring(ArchiveKind kind) {
    return m_rings[int(kind)];
}
const QVector<ArchiveRecord>& ArchiveStore::ring(ArchiveKind kind) const {
    return m_rings[int(kind)];
}

} // namespace sim
