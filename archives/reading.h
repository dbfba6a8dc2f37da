#pragma once
// What the archive and journal readers share: the function-65 request they hand to whoever talks to
// the meter, and the table of texts they produce for the grid, the export file and kastari-cli.
#include "device/meteridentity.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class TModBus;

namespace archives {

// One function-65 request. Archives are asked by date (mode 1), journals by record number (mode 0).
struct Request {
    int archive = 0; // 0 hour, 1 day, 2 month, 3 faults, 4 operator, 5/6 abnormal channel 1/2
    int count = 0;
    int mode = 1;
    QDateTime date; // mode 1: only its hour, day, month and year go out
    int record = 0; // mode 0
    bool operator==(const Request&) const = default;
};

// Performs one request: the reply frame (CRC included) when a usable reply came, else nothing.
using RequestFn = std::function<std::optional<QByteArray>(const Request&)>;
// Told after every request: how many are done and how many the reading plans.
using ProgressFn = std::function<void(int done, int planned)>;

// Builds and sends the request through the engine.
void send(TModBus& engine, std::uint8_t address, const Request& request);

// The outcome of one reading: the title row and one row of cell texts per accepted record or entry.
struct Reading {
    QStringList header;
    QList<QStringList> rows;
    // The request (counted from 0) that got no usable reply; the reading stopped there.
    std::optional<int> failedRequest;
    // The operator pressed "Стоп": the requests from then on failed without going out.
    bool stopped = false;
    // How far it went: periods of an archive, entries of a journal, gone through of those planned.
    int done = 0, planned = 0;
    // Whom the rows came from; whoever reads stamps it.
    MeterIdentity meter;
    bool linkFailed() const { return failedRequest.has_value(); }
};

// Sends a reading's requests in order, tells the progress after each, and notes in the reading the
// first one that got no usable reply.
class Requests {
  public:
    Requests(const RequestFn& request, const ProgressFn& progress, int planned, Reading& reading)
        : m_request(request), m_progress(progress), m_planned(planned), m_reading(reading) {}
    std::optional<QByteArray> operator()(const Request& request);

  private:
    const RequestFn& m_request;
    const ProgressFn& m_progress;
    int m_planned;
    Reading& m_reading;
    int m_done = 0;
};

// The grid as the window shows and exports it: the title row, the rows read, and one empty row when
// none was read. A reading cut short by the link keeps the empty row that was waiting to be filled;
// one the operator stopped has no row waiting.
QList<QStringList> gridRows(const Reading& reading);

} // namespace archives
