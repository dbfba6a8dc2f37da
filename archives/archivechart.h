#pragma once
// What the archive chart draws of a reading: the volumes "+" and "-" of every period as bars, the
// downtime of hours and days on a second axis, the periods without a row (or without a number for a
// volume) as marked gaps (never as bars of zero), and dates under a readable share of the periods.
#include "archives/archivereading.h"

#include <QList>
#include <QPointF>
#include <QString>

namespace archives {

// Why a period has no bar, or not both.
enum class ChartMark {
    // The periods without volumes, by their state in the reading.
    NotRecorded,
    NoBase,
    NotRead,
    // A row whose volume "+" or "-" is no number (INF, NaN: a record's own, or a difference that
    // overflowed); the other volume keeps its bar.
    NoNumber,
};

// Consecutive periods (indices, inclusive) of one mark.
struct ChartGap {
    int first = 0, last = 0;
    ChartMark mark = ChartMark::NotRecorded;
    bool operator==(const ChartGap&) const = default;
};

struct ChartLabel {
    int period = 0;
    QString text;
    bool operator==(const ChartLabel&) const = default;
};

struct ArchiveChart {
    Kind kind = Kind::Hour;
    QList<float> plus, minus; // one per period, always a number: 0 where a gap stands
    QList<ChartGap> gaps;
    // Runs of periods with rows as (period, downtime in the unit of downtimeTitle); the line breaks
    // at every gap. Empty for months, which keep no downtime.
    QList<QList<QPointF>> downtime;
    QString downtimeTitle; // "Простой, мин" (hours), "Простой, ч" (days)
    QList<ChartLabel> labels;
    // The volumes' range, zero included.
    float low = 0, high = 0;

    int periods() const { return int(plus.size()); }
};

// At most maxLabels dates, on round periods (hours of the day, whole weeks, quarters).
ArchiveChart chartOf(const ArchiveReading& reading, int maxLabels = 12);

} // namespace archives
