#pragma once
// What the database holds for one meter's archive or journal, written out: as the monitor's export
// file (byte for byte what the window writes for the same rows) or as CSV.
#include "store/store.h"

#include <QByteArray>
#include <optional>

namespace collect {

struct ExportRequest {
    std::uint32_t meter = 0;
    int archiveNumber = 0; // 0..2 archives, 3..6 journals (5/6: abnormal situations of channel 1/2)
    int channel = 0;       // 0 or 1, whose volumes an archive shows
    // Device times: periods (or events) starting from..to, both included.
    std::int64_t from = 0, to = INT64_MAX;
    bool csv = false;
};

// Nothing when the meter is not in the database (*error says so).
std::optional<QByteArray> exportBytes(store::Store& db, const ExportRequest& request, QString* error);

} // namespace collect
