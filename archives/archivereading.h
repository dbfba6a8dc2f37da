#pragma once
// The hour, day and month archives read period by period: which periods to ask for, the base
// record before them, and one row per period with its volumes (differences of the meter's
// cumulative counters) and, for hours and days, the downtime within it.
#include "archives/reading.h"

namespace archives {

enum class Kind { Hour = 0, Day = 1, Month = 2 }; // the archive number of the request

constexpr int RecordsPerRequest = 8;

// The operator's choice in the range dialog: the full archive, or the periods from start to end.
struct Range {
    bool full = true;
    QDateTime start, end; // wall clock, read as they stand
};

// The periods a reading asks for. The period of the end (and the current one) is never read.
struct ArchivePlan {
    QDateTime base;  // a moment in the period before start, whose record holds the base counters
    QDateTime start; // the beginning of the first period read
    int count = 0;   // periods read from start on
    int requests() const { return 1 + (count + RecordsPerRequest - 1) / RecordsPerRequest; }
};

// now is the computer's wall clock.
ArchivePlan planArchive(Kind kind, const Range& range, const QDateTime& now);

QStringList archiveHeader(Kind kind);

// One period a reading went through, row or not.
struct Period {
    enum class State {
        Row,         // the grid has its row: the volumes and downtime below
        NotRecorded, // the meter sent another period's record: it was off, or never wrote this one
        NoBase,      // recorded, but no earlier counters to take its volumes from
        // The reply held no usable record for it (a wrong check byte, a short reply), or the one
        // its volumes would be taken from was such a record. The grid has a row saying so.
        NotRead,
    };
    QDateTime start;
    State state = State::Row;
    float plus = 0, minus = 0;  // within the period, as the row shows them
    std::uint32_t downtime = 0; // seconds within the period (hours and days)
    std::uint32_t recorded = 0; // the record's own time, device seconds (when it has a record)
};

// The grid's row for a period with volumes: the record's own time, the volumes, their sum and, for
// hours and days, the downtime.
QStringList archiveRow(Kind kind, const Period& period);

struct ArchiveReading : Reading {
    Kind kind = Kind::Hour;
    int channel = 0;
    QList<Period> periods; // in order, from the plan's start until the reading ended
    int notRead() const;   // periods the meter may have recorded but the reading could not use
};

// The text a period without readable volumes shows in the grid, in place of "Объем +".
extern const QString NotReadText;

// The grid's row for a period the reading could not use: its start and NotReadText.
QStringList notReadRow(Kind kind, const Period& period);

// channel: 0 or 1, whose counters the rows show.
ArchiveReading readArchive(Kind kind, const Range& range, int channel, const QDateTime& now,
                           const RequestFn& request, const ProgressFn& progress = {});

} // namespace archives
