#pragma once
// kastari-cli's "archive" and "journal": a whole archive or journal read as the monitor reads it,
// printed as rows or written as the monitor's export file.
#include <QString>
#include <QStringList>

class TModBus;

namespace cli {

struct ReadingOptions {
    QString command;  // "archive" or "journal"
    QStringList args; // ADDR and the archive or journal name
    QString from, to; // "dd.mm.yyyy hh:nn"; none: the full archive
    QString channel;  // "1" (default) or "2"
    QString out;      // the export file; none: rows on stdout
};

// Checks the command line before anything goes out on the bus; then reads.
int runReading(const ReadingOptions& options, TModBus& bus);

} // namespace cli
