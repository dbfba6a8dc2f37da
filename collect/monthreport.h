#pragma once
// The consumption report of one meter's channel for a month, from the stored day archive: what
// kastari-collect report prints and kastari-web shows, made once.
#include "collect/exporting.h"
#include "files/consumptionreport.h"
#include "store/store.h"

#include <QDate>
#include <optional>

namespace collect {

// The heading of a report of the days from..to of `stored`, a day archive as the database holds it;
// `made` is the report's date.
consumption::Heading reportHeading(const StoredReading& stored, const QDate& from, const QDate& to,
                                   const QDate& made);

// `made` is the report's date. Nothing when the meter is not in the database (*error says so).
std::optional<consumption::Report> monthReport(store::Store& db, std::uint32_t meter, int channel, int year,
                                               int month, const QDate& made, QString* error);

} // namespace collect
