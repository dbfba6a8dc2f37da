#include "collect/monthreport.h"

#include "collect/exporting.h"
#include "device/encodings.h"

namespace collect {

std::optional<consumption::Report> monthReport(store::Store& db, std::uint32_t meter, int channel, int year,
                                               int month, const QDate& made, QString* error) {
    consumption::Heading heading = consumption::month({}, year, month);
    ExportRequest r{.meter = meter, .archiveNumber = 1, .channel = channel - 1};
    r.from = enc::DateToSec(heading.from.startOfDay());
    r.to = qint64(enc::DateToSec(heading.to.addDays(1).startOfDay())) - 1;
    const std::optional<StoredReading> stored = storedReading(db, r, error);
    if (!stored) return std::nullopt;
    heading.electronicNumber = QString::number(meter);
    heading.deviceText = stored->meter.deviceText;
    heading.name = stored->meter.name;
    heading.address =
        QStringLiteral("%1, сетевой адрес %2").arg(stored->meter.line).arg(stored->meter.address);
    heading.channel = channel;
    heading.made = made;
    return consumption::build(heading, consumption::daysOf(stored->reading));
}

} // namespace collect
