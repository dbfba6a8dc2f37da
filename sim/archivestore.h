#pragma once
// The hour, day and month archives of one meter: rings of records indexed by period number, so a
// period the meter did not record still holds whatever an older period (or a clearing) left there.
#include "sim/records.h"

#include <QVector>

namespace sim {

enum class ArchiveKind { Hour = 0, Day = 1, Month = 2 };

class ArchiveStore {
  public:
    static constexpr int HourSlots = 1024; // more than 672 hours + the base hour
    static constexpr int DaySlots = 128;   // more than 64 days + the base day
    static constexpr int MonthSlots = 32;  // more than 24 months + the base month

    ArchiveStore();

    static int slotCount(ArchiveKind kind);
    // Period number of a device time: hours or days since 1970, or year * 12 + month - 1.
    static qint64 periodOf(ArchiveKind kind, qint64 time);
    static qint64 periodStart(ArchiveKind kind, qint64 period);
    static bool samePeriod(ArchiveKind kind, qint64 a, qint64 b) {
        return periodOf(kind, a) == periodOf(kind, b);
    }

    // Stores the record in the slot of the period that contains its time.
    void write(ArchiveKind kind, const ArchiveRecord& record);
    const ArchiveRecord& forPeriod(ArchiveKind kind, qint64 period) const;
    // By physical slot number; past the ring an empty record.
    const ArchiveRecord& slot(ArchiveKind kind, int index) const;
    void clear();

  private:
    QVector<ArchiveRecord>& ring(ArchiveKind kind);
    const QVector<ArchiveRecord>& ring(ArchiveKind kind) const;
    QVector<ArchiveRecord> m_rings[3];
};

} // namespace sim
