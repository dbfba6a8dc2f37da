#include "archives/reading.h"

#include "link/tmodbus.h"

namespace archives {

void send(TModBus& engine, std::uint8_t address, const Request& r) {
    if (r.mode == 1)
        engine.ReadArchiveByDate(address, std::uint8_t(r.archive), std::uint8_t(r.count), r.date);
    else
        engine.ReadArchiveByRecord(address, std::uint8_t(r.archive), std::uint8_t(r.count), double(r.record));
}

std::optional<QByteArray> Requests::operator()(const Request& request) {
    std::optional<QByteArray> reply = m_request(request);
    if (!reply && !m_reading.failedRequest) m_reading.failedRequest = m_done;
    ++m_done;
    if (m_progress) m_progress(m_done, m_planned);
    return reply;
}

QList<QStringList> gridRows(const Reading& reading) {
    QList<QStringList> grid{reading.header};
    grid += reading.rows;
    if (reading.rows.isEmpty() || (reading.linkFailed() && !reading.stopped))
        grid.append(QStringList(reading.header.size(), QString()));
    return grid;
}

} // namespace archives
