#include "cli/readings.h"

#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "cli/commands.h"
#include "device/encodings.h"
#include "device/identification.h"
#include "device/registerblock.h"
#include "device/sysparams.h"
#include "files/exportfile.h"
#include "files/textfile.h"
#include "link/tmodbus.h"

#include <QTextStream>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace cli {

namespace {

const QStringList ArchiveNames{"hour", "day", "month"};
const QStringList JournalNames{"faults", "operator", "abnormal"};

std::optional<QByteArray> request(TModBus& bus, std::uint8_t address, const archives::Request& r) {
    archives::send(bus, address, r);
    if (!bus.replyOk()) return std::nullopt;
    return bus.reply();
}

// What the window shows above the grid when it exports: the meter's identification and number.
std::optional<exportfile::Heading> heading(TModBus& bus, std::uint8_t address, int archiveNumber,
                                           int channel) {
    const std::optional<QString> caption = deviceCaption(bus, address);
    if (!caption) return std::nullopt;
    const std::optional<QString> number = electronicNumber(bus, address);
    if (!number) return std::nullopt;
    return exportfile::Heading{.deviceCaption = *caption,
                               .electronicNumber = *number,
                               .archiveNumber = archiveNumber,
                               .channelCaption = QStringLiteral("%1 - канал").arg(channel + 1)};
}

// "request 12 of 85", rewritten in place, while stderr is a terminal someone watches.
archives::ProgressFn progress() {
    if (!isatty(fileno(stderr))) return {};
    return [](int done, int planned) {
        err() << "\rrequest " << done << " of " << planned << (done == planned ? "\n" : "");
        err().flush();
    };
}

int cannotWrite(const QString& path, const QString& reason) {
    err() << "cannot write " << path << ": " << reason << "\n";
    err().flush();
    return ExitFile;
}

void print(const archives::Reading& reading) {
    for (const QStringList& row : QList<QStringList>{reading.header} + reading.rows) {
        QStringList cells;
        for (const QString& cell : row)
            cells << cell.trimmed();
        out() << cells.join(u'\t') << '\n';
    }
    out().flush();
}

} // namespace

int runReading(const ReadingOptions& o, TModBus& bus) {
    const std::optional<long long> address = number(o.args.value(0), 1, 255);
    if (!address) return usage("ADDR must be a number from 1 to 255");
    const bool isArchive = o.command == QLatin1String("archive");
    const QStringList& names = isArchive ? ArchiveNames : JournalNames;
    const int kind = int(names.indexOf(o.args.value(1)));
    if (kind < 0) return usage(QStringLiteral("%1 needs one of: %2").arg(o.command, names.join(u'|')));
    const int channel = o.channel == "2" ? 1 : 0;

    archives::Range range;
    if (!o.from.isEmpty() || !o.to.isEmpty()) {
        for (const auto& [option, text] : {std::pair{"--from", o.from}, std::pair{"--to", o.to}})
            if (const QString problem = dateProblem(option, text); !text.isEmpty() && !problem.isEmpty())
                return usage(problem);
        if (o.from.isEmpty()) return usage("--to needs --from");
        const std::optional<QDateTime> from = enc::parseDateTime(o.from);
        // Typed dates are wall-clock times like the meter's; now must be one too to compare with them.
        const QDateTime now = QDateTime::currentDateTime();
        const std::optional<QDateTime> to = o.to.isEmpty()
                                                ? std::optional(QDateTime(now.date(), now.time(), Qt::UTC))
                                                : enc::parseDateTime(o.to);
        if (*to < *from) return usage("--to lies before --from");
        range = {false, *from, *to};
    }
    int archiveNumber = isArchive ? kind : 3 + kind;
    if (archiveNumber == 5 && channel == 1) archiveNumber = 6;

    // A full hour archive takes more than a minute: a file that cannot take it is said before that.
    if (QString reason; !o.out.isEmpty() && !textfile::writable(o.out, &reason))
        return cannotWrite(o.out, reason);

    const auto addr = std::uint8_t(*address);
    std::optional<exportfile::Heading> head;
    if (!o.out.isEmpty() && !(head = heading(bus, addr, archiveNumber, channel))) return failure(bus);
    bool twoChannelMode = false;
    if (archiveNumber >= 5) {
        const sysparams::Read read = sysparams::ChannelModeRead;
        const std::optional<RegisterBlock> mode = RegisterBlock::read(bus, addr, read.first, read.count);
        if (!mode) return failure(bus);
        twoChannelMode = sysparams::twoChannelMode(*mode).value_or(false);
    }

    const archives::RequestFn send = [&](const archives::Request& r) { return request(bus, addr, r); };
    archives::Reading reading;
    int notRead = 0, periods = 0;
    if (isArchive) {
        archives::ArchiveReading archive = archives::readArchive(
            archives::Kind(kind), range, channel, QDateTime::currentDateTime(), send, progress());
        notRead = archive.notRead();
        periods = int(archive.periods.size());
        reading = std::move(archive);
    } else {
        reading = archives::readJournal(archiveNumber, twoChannelMode, send, progress());
    }
    // Rows marked as not read are in what was printed or written, but a script must not take the
    // reading for a whole one.
    const auto result = [&] {
        if (notRead == 0) return int(ExitOk);
        err() << notRead << " of " << periods
              << " periods not read (a damaged record or a short reply), their rows say \""
              << archives::NotReadText << "\"\n";
        err().flush();
        return int(ExitReply);
    };

    if (reading.linkFailed()) {
        // A file of a cut reading would pass for a whole one, and could replace one: the rows read
        // go to stdout instead, and an existing file stays as it was.
        print(reading);
        err() << (isatty(fileno(stderr)) ? "\n" : "") << reading.rows.size() << " rows read"
              << (head ? QStringLiteral(", %1 not written").arg(o.out) : QString()) << ", then ";
        return failure(bus);
    }
    if (!head) {
        print(reading);
        return result();
    }
    QString reason;
    if (!textfile::write(o.out, exportfile::contents(*head, archives::gridRows(reading)), &reason))
        return cannotWrite(o.out, reason);
    return result();
}

} // namespace cli
