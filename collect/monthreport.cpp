#include "collect/monthreport.h"

#include "device/encodings.h"

namespace collect {

consumption::Heading reportHeading(const StoredReading& stored, const QDate& from, const QDate& to,
                                   const QDate& made) {
    return {.electronicNumber = QString::number(stored.meter.number),
            .deviceText = stored.meter.deviceText,
            .name = stored.meter.name,
            .address = consumption::addressText(stored.meter.line, stored.meter.address),
            .channel = stored.reading.channel + 1,
            .from = from,
            .to = to,
            .made = made};
}

std::optional<consumption::Report> monthReport(store::Store& db, std::uint32_t meter, int channel, int year,
                                               int month, const QDate& made, QString* error) {
    const consumption::Heading days = consumption::month({}, year, month);
    ExportRequest r{.meter = meter, .archiveNumber = 1, .channel = channel - 1};
    r.from = enc::DateToSec(days.from.startOfDay());
    r.to = qint64(enc::DateToSec(days.to.addDays(1).startOfDay())) - 1;
    const std::optional<StoredReading> stored = storedReading(db, r, error);
    if (!stored) return std::nullopt;
    return consumption::build(reportHeading(*stored, days.from, days.to, made),
                              consumption::daysOf(stored->reading));
}

} // namespace collect
