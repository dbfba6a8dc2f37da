#pragma once
// What the database holds for one meter's archive or journal, written out: as the monitor's export
// file (byte for byte what the window writes for the same rows) or as CSV.
#include "archives/archivereading.h"
#include "files/exportfile.h"
#include "store/store.h"

#include <QByteArray>
#include <optional>

namespace collect {

struct ExportRequest {
    std::uint32_t meter = 0;
    int archiveNumber = 0; // 0..2 archives, 3..6 journals (5/6: abnormal situations of channel 1/2)
    int channel = 0;       // 0 or 1, whose volumes an archive shows
    // Device times: periods starting from..to, both included, or the events overlapping it.
    std::int64_t from = 0, to = INT64_MAX;
    bool csv = false;
};

// One meter's archive or journal as the database holds it, in the readers' own form, so the window
// shows, charts and exports it as it does what it reads from the line.
struct StoredReading {
    store::MeterVisit meter{}; // the meter as last seen; its periods and entries are not loaded
    int archiveNumber = 0;     // as the export file names it: 5 or 6 for the abnormal journals
    // The grid's title row and rows; for an archive also every period, recorded or not.
    archives::ArchiveReading reading{};
    QList<QStringList> csv{}; // its CSV rows, the heading row first

    // The export file's heading for these rows.
    exportfile::Heading heading() const;
    // The rows as CSV: UTF-8, one heading row, CR LF.
    QByteArray csvBytes() const;
};

// Nothing when the meter is not in the database (*error says so).
std::optional<StoredReading> storedReading(store::Store& db, const ExportRequest& request, QString* error);

// Nothing when the meter is not in the database (*error says so).
std::optional<QByteArray> exportBytes(store::Store& db, const ExportRequest& request, QString* error);

} // namespace collect
