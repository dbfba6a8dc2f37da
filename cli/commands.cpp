#include "cli/commands.h"

#include "cli/paramcommands.h"
#include "cli/readings.h"
#include "cli/trace.h"

#include "archives/reading.h"
#include "device/encodings.h"
#include "device/identification.h"
#include "device/records.h"
#include "device/registerblock.h"
#include "link/linespeed.h"
#include "link/linkport.h"
#include "link/optiontable.h"
#include "link/portmap.h"
#include "link/tcpcomm.h"
#include "link/tmodbus.h"

#include <QTextStream>
#include <cstdio>
#include <functional>
#include <optional>

namespace cli {

QTextStream& out() {
    return cmdline::standardOutput();
}
QTextStream& err() {
    return cmdline::standardError();
}

int usage(const QString& message) {
    cmdline::tellUsage("kastari-cli", message);
    return ExitUsage;
}

QString dateProblem(const QString& option, const QString& text) {
    if (enc::parseDateTime(text)) return {};
    if (enc::hasDateTimeForm(text)) return QStringLiteral("%1: the date %2 does not exist").arg(option, text);
    return QStringLiteral("%1 takes \"dd.mm.yyyy hh:nn\", not '%2'").arg(option, text);
}

int failure(const TModBus& bus) {
    const ReplyStatus status = bus.replyStatus();
    if (status == ReplyStatus::PortError)
        err() << "port cannot be opened: " << bus.portError() << "\n";
    else
        err() << describe(status, bus.exceptionCode()) << "\n";
    err().flush();
    return status == ReplyStatus::PortError ? ExitPort : ExitReply;
}

std::optional<QString> deviceCaption(TModBus& bus, std::uint8_t address) {
    bus.ReportSlaveId(address);
    if (!bus.replyOk()) return std::nullopt;
    return ident::entryText(ident::deviceText(bus.replyFrame()), address);
}

std::optional<QString> electronicNumber(TModBus& bus, std::uint8_t address) {
    const std::optional<RegisterBlock> block =
        RegisterBlock::read(bus, address, ident::ElectronicNumberRegister, ident::ElectronicNumberCount);
    if (!block) return std::nullopt;
    return ident::electronicNumber(*block);
}

std::optional<long long> number(const QString& text, long long min, long long max) {
    bool ok = false;
    const long long v = text.toLongLong(&ok, 0);
    if (!ok || v < min || v > max) return std::nullopt;
    return v;
}

namespace {

QString archiveLine(const ArchiveRecord& r) {
    QStringList parts{enc::formatDateTime(enc::SecToDate(r.time))};
    for (int ch = 0; ch < 2; ++ch)
        parts << QStringLiteral("ch%1 +%2 -%3 down %4")
                     .arg(ch + 1)
                     .arg(enc::MyFormatFloat(r.volume[ch][0]), enc::MyFormatFloat(r.volume[ch][1]))
                     .arg(r.downtime[ch]);
    QString line = parts.join(QStringLiteral("  "));
    if (!r.checkOk) line += QStringLiteral("  CHECK BYTE WRONG");
    return line;
}

QString journalLine(const JournalEntry& e) {
    auto when = [](std::uint32_t t, const char* zero) {
        return t == 0 ? QString::fromLatin1(zero) : enc::formatDateTime(enc::SecToDate(t));
    };
    QString line = QStringLiteral("code %1  start %2  end %3")
                       .arg(e.code, 2)
                       .arg(when(e.start, "-"), when(e.end, "ongoing"));
    if (!e.checkOk) line += QStringLiteral("  CHECK BYTE WRONG");
    return line;
}

// What a command runs with.
struct Call {
    QString name;
    QStringList args;
    QList<long long> numbers{}; // the args, for a command that takes only numbers
    const cmdline::CommandLine& line;
    // Sets an engine up as the options say (port, speed, trace, retries ...).
    std::function<void(TModBus&)> setUp;
};

struct Command {
    const char* name;
    int minArgs, maxArgs;
    const char* options; // the options of this command alone, "date|record"
    const char* usage;
    const char* help;
    int (*run)(const Call&);
    bool numeric = false; // ADDR and 16-bit numbers only
};

// ADDR then 16-bit numbers; a bad one is a bad command line, said before anything goes out.
int numbers(const QStringList& args, QList<long long>* into) {
    for (int i = 0; i < args.size(); ++i) {
        const long long max = i == 0 ? 255 : 65535;
        const auto v = number(args[i], 0, max);
        if (!v) return usage(QStringLiteral("'%1' is not a number from 0 to %2").arg(args[i]).arg(max));
        *into << *v;
    }
    return ExitOk;
}

// The reply of the request just made: the frame with --raw, then the lines `print` makes of it, or
// the reason there is none.
int answer(TModBus& bus, const Call& c, const std::function<void()>& print = {}) {
    if (c.line.isSet(QStringLiteral("raw")) && !bus.reply().isEmpty())
        out() << "raw: " << bus.reply().toHex(' ').toUpper() << '\n';
    if (!bus.replyOk()) {
        out().flush();
        return failure(bus);
    }
    if (print) print();
    out().flush();
    return ExitOk;
}

int readHolding(const Call& c) {
    const QList<long long>& n = c.numbers;
    if (n[2] < 1 || n[2] > 125) return usage("COUNT must be 1..125");
    TModBus bus;
    c.setUp(bus);
    const int first = int(n[1]);
    bus.ReadHoldingRegisters(std::uint8_t(n[0]), std::uint8_t(n[2]), std::uint16_t(first));
    return answer(bus, c, [&] {
        const std::optional<RegisterBlock> block = RegisterBlock::fromReply(bus, first);
        for (int reg = first; block && reg < first + block->count(); ++reg)
            out() << reg << ' ' << *block->u16(reg) << '\n';
    });
}

int readCoils(const Call& c) {
    const QList<long long>& n = c.numbers;
    if (n[2] < 1 || n[2] > 2000) return usage("QTY must be 1..2000");
    TModBus bus;
    c.setUp(bus);
    bus.ReadCoils(std::uint8_t(n[0]), std::uint16_t(n[1]), std::uint16_t(n[2]));
    return answer(bus, c, [&] {
        const RtuFrame reply = bus.replyFrame();
        for (int i = 0; i < n[2]; ++i)
            out() << (n[1] + i) << ' ' << (reply.bit(i).value_or(false) ? 1 : 0) << '\n';
    });
}

int writeRegister(const Call& c) {
    const QList<long long>& n = c.numbers;
    TModBus bus;
    c.setUp(bus);
    bus.WriteRegister(std::uint8_t(n[0]), std::uint16_t(n[1]), std::uint16_t(n[2]));
    return answer(bus, c);
}

int writeRegisters(const Call& c) {
    const QList<long long>& n = c.numbers;
    TModBus bus;
    c.setUp(bus);
    QByteArray data;
    for (int i = 2; i < n.size(); ++i)
        data += enc::u16Bytes(std::uint16_t(n[i]));
    bus.WriteRegisters(std::uint8_t(n[0]), std::uint8_t(n.size() - 2), std::uint16_t(n[1]), data);
    return answer(bus, c);
}

// Function 5 to `on` or off.
int writeCoil(const Call& c, bool on) {
    const QList<long long>& n = c.numbers;
    TModBus bus;
    c.setUp(bus);
    if (on)
        bus.SetCoil(std::uint8_t(n[0]), std::uint16_t(n[1]));
    else
        bus.ClearCoil(std::uint8_t(n[0]), std::uint16_t(n[1]));
    return answer(bus, c);
}

int reportId(const Call& c) {
    const QList<long long>& n = c.numbers;
    TModBus bus;
    c.setUp(bus);
    bus.ReportSlaveId(std::uint8_t(n[0]));
    return answer(bus, c, [&] { out() << ident::deviceText(bus.replyFrame()) << '\n'; });
}

int readArchive(const Call& c) {
    const QList<long long>& n = c.numbers;
    const int archive = int(n[1]);
    const int count = int(n[2]);
    if (archive > 6) return usage("NUMBER must be 0..6");
    const int size = records::isJournal(archive) ? records::JournalEntrySize : records::ArchiveRecordSize;
    if (count < 1 || 5 + count * size > TModBus::BufferSize)
        return usage(
            QStringLiteral("COUNT must be 1..%1 for this NUMBER").arg((TModBus::BufferSize - 5) / size));
    const QString date = c.line.value(QStringLiteral("date"));
    const bool byRecord = c.line.isSet(QStringLiteral("record"));
    if (date.isEmpty() == !byRecord) return usage("read-archive needs exactly one of --date and --record");
    if (const QString problem = byRecord ? QString() : dateProblem("--date", date); !problem.isEmpty())
        return usage(problem);
    TModBus bus;
    c.setUp(bus);
    const auto addr = std::uint8_t(n[0]);
    if (byRecord)
        bus.ReadArchiveByRecord(addr, std::uint8_t(archive), std::uint8_t(count),
                                double(*number(c.line.value(QStringLiteral("record")), 0, 65535)));
    else
        bus.ReadArchiveByDate(addr, std::uint8_t(archive), std::uint8_t(count), *enc::parseDateTime(date));
    return answer(bus, c, [&] {
        if (records::isJournal(archive)) {
            for (const JournalEntry& e : records::journalEntries(bus.reply(), count))
                out() << journalLine(e) << '\n';
        } else {
            for (const ArchiveRecord& r : records::archiveRecords(bus.reply(), count))
                out() << archiveLine(r) << '\n';
        }
    });
}

int reading(const Call& c) {
    TModBus bus;
    c.setUp(bus);
    const auto value = [&](const char* name) { return c.line.value(QString::fromLatin1(name)); };
    return runReading({.command = c.name,
                       .args = c.args,
                       .from = value("from"),
                       .to = value("to"),
                       .channel = value("channel"),
                       .out = value("out")},
                      bus);
}

int paramFiles(const Call& c) {
    TModBus bus;
    c.setUp(bus);
    return runParamCommand({.command = c.name, .args = c.args, .yes = c.line.isSet(QStringLiteral("yes"))},
                           bus);
}

// One row a command; --help lists them in this order.
const Command Commands[] = {
    {"read-holding", 3, 3, "", "read-holding ADDR FIRST COUNT",
     "one line per register: \"REGISTER VALUE\" (unsigned)", readHolding, true},
    {"read-coils", 3, 3, "", "read-coils ADDR FIRST QTY", "one line per coil: \"COIL 0|1\"", readCoils, true},
    {"write-register", 3, 3, "", "write-register ADDR REG VALUE", "function 6", writeRegister, true},
    {"write-registers", 3, 125, "", "write-registers ADDR FIRST VALUE...", "function 16, 16-bit values",
     writeRegisters, true},
    {"set-coil", 2, 2, "", "set-coil ADDR COIL", "function 5, on",
     [](const Call& c) { return writeCoil(c, true); }, true},
    {"clear-coil", 2, 2, "", "clear-coil ADDR COIL", "function 5, off",
     [](const Call& c) { return writeCoil(c, false); }, true},
    {"report-id", 1, 1, "", "report-id ADDR", "function 17: the device text", reportId, true},
    {"read-archive", 3, 3, "date|record",
     "read-archive ADDR NUMBER COUNT (--date \"dd.mm.yyyy hh:nn\" | --record N)",
     "\nfunction 65; NUMBER 0-2 hour/day/month archive (29-byte\n"
     "records), 3-6 fault/operator/abnormal ch1/ch2 journals\n"
     "(10-byte entries); a wrong check byte is marked",
     readArchive, true},
    {"archive", 2, 2, "from|to|channel|out",
     "archive ADDR hour|day|month [--from \"dd.mm.yyyy hh:nn\"] [--to ...] [--channel 1|2] [--out FILE]",
     "\nthe archive as the monitor reads it: the full archive, or\n"
     "the periods from --from up to --to (default: now)",
     reading},
    {"journal", 2, 2, "channel|out", "journal ADDR faults|operator|abnormal [--channel 1|2] [--out FILE]",
     "\nthe whole journal as the monitor reads it\n"
     "Both print the title row and one row per period or event,\n"
     "cells separated by tabs; with --out they write the monitor's\n"
     "export file instead (Windows-1251, cells joined by '#').\n"
     "Progress goes to stderr when it is a terminal.",
     reading},
    {"save-params", 2, 2, "", "save-params ADDR DIR",
     "the monitor's parameter files: DIR/Param.txt (the report)\n"
     "and DIR/Param.bin (the snapshot); neither when a read fails",
     paramFiles},
    {"load-params", 2, 2, "yes", "load-params ADDR FILE --yes",
     "writes a snapshot back into the meter it was taken from,\n"
     "in six blocks 2 s apart (registers 2-7, 15-26, 31-88,\n"
     "119-171), one line per block; without --yes nothing is sent",
     paramFiles},
    {"compare-params", 2, 2, "", "compare-params ADDR FILE",
     "one line per parameter a load would change:\n"
     "\"NAME<tab>IN FILE<tab>IN METER\" (channels joined by '#');\n"
     "exit 0 when nothing differs, 1 when something does, 4\n"
     "when FILE is another meter's snapshot",
     paramFiles},
};

static_assert(TModBus::MaxRetries == 5, "--help and the refusal of --retries name the limit");
constexpr cmdline::Option Options[] = {
    {.names = "port",
     .value = "PORT",
     .help = "port number (1, 2, ...; mapped as below), a system port name/path, or a\n"
             "serial device server as tcp://HOST:PORT (RTU frames over TCP)"},
    {.names = "baud",
     .value = "B",
     .help = "line speed in bit/s (default 9600; behind a device server it only sets\n"
             "the timing)",
     .refusal = "--baud needs a speed in bit/s",
     .min = 1,
     .max = 4000000,
     .base = 0},
    {.names = "rts", .help = "RS-485 direction control by the RTS line"},
    {.names = "fast",
     .help = "end each reply as soon as it is complete by its length, instead of\n"
             "after 500 ms of silence"},
    cmdline::retriesOption(),
    {.names = "raw", .help = "print the reply frame in hex as well (first line, 'raw: ...')"},
    {.names = "trace",
     .value = "FILE",
     .help = "write every frame sent, received or discarded, with its verdict, to FILE as\n"
             "CSV (UTF-8, ISO 8601 times with ms), the monitor's exchange log format",
     .refusal = "--trace needs a file",
     .refuseEmpty = true},
    cmdline::portMapOption("map port number n to a system port (Linux default: /dev/ttyS(n-1));"),
    {.help = "or to a serial device server", .shown = "--comm n=tcp://HOST:PORT"},
    {.names = "help|h", .help = "this text", .shown = "--help"},
    {.names = "date", .value = "DATE", .refusal = "--date needs \"dd.mm.yyyy hh:nn\""},
    {.names = "record",
     .value = "N",
     .refusal = "--record needs a number 0..65535",
     .min = 0,
     .max = 65535,
     .base = 0},
    {.names = "from", .value = "DATE", .refuseEmpty = true},
    {.names = "to", .value = "DATE", .refuseEmpty = true},
    cmdline::channelOption(),
    {.names = "out", .value = "FILE", .refuseEmpty = true},
    {.names = "yes"},
};

const Command* command(const QString& name) {
    for (const Command& c : Commands)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

// An option of one command given to another would be left unread, and "--out FILE" left unread
// ends in success without a file.
QString foreignOption(const cmdline::CommandLine& line, const Command& chosen) {
    const QStringList own = QString::fromLatin1(chosen.options).split(u'|');
    for (const cmdline::Option& o : Options) {
        const QString name = QString::fromLatin1(o.names ? o.names : "");
        if (o.help || !o.names || own.contains(name) || !line.isSet(name)) continue;
        QStringList takers;
        for (const Command& c : Commands)
            if (QString::fromLatin1(c.options).split(u'|').contains(name)) takers << c.name;
        return QStringLiteral("--%1 is for %2").arg(name, takers.join(QStringLiteral(" and ")));
    }
    return {};
}

int execute(const QStringList& args, Trace& trace) {
    cmdline::CommandLine line(Options);
    if (const std::optional<int> answered = line.parseOrAnswer(args, helpText, usage)) return *answered;

    // The table has taken every value given; the last one counts.
    const auto numeric = [&](const char* name, long long fallback) {
        return line.isSet(name) ? line.value(name).toLongLong(nullptr, 0) : fallback;
    };
    const long long baud = numeric("baud", 9600);
    const long long retries = numeric("retries", 0);

    const QStringList positional = line.positional();
    if (positional.isEmpty()) return usage("no command given");
    const QString port = line.value(QStringLiteral("port"));
    if (port.isEmpty()) return usage("--port is required");
    if (TcpComm::isUrl(port) && !TcpComm::parseUrl(port))
        return usage(QStringLiteral("'%1' is not tcp://HOST:PORT").arg(port));

    // Argument checks first, so a typo never reaches the line.
    const Command* chosen = command(positional.first());
    if (!chosen) return usage(QStringLiteral("unknown command %1").arg(positional.first()));
    const QStringList commandArgs = positional.mid(1);
    if (commandArgs.size() < chosen->minArgs || commandArgs.size() > chosen->maxArgs)
        return usage(QStringLiteral("wrong number of arguments for %1").arg(chosen->name));
    if (const QString foreign = foreignOption(line, *chosen); !foreign.isEmpty()) return usage(foreign);
    if (const QString file = line.value(QStringLiteral("trace")); !file.isEmpty()) {
        QString why;
        if (!trace.open(file, &why)) {
            err() << "trace file cannot be written: " << why << "\n";
            err().flush();
            return ExitFile;
        }
    }
    const auto setUp = [&](TModBus& bus) {
        trace.attach(bus);
        LinkPort* comm = bus.MSComm1();
        comm->setSystemPortName(PortMap::resolve(port));
        comm->setSettings(linespeed::settingsFor(int(baud)));
        // A device server that refuses gets the growing delays the monitor's polls give it, but
        // within the one open this program makes.
        comm->setRetryWindowMs(TcpComm::ConnectTimeoutMs);
        bus.setRtsMode(line.isSet(QStringLiteral("rts")));
        bus.setFastCompletion(line.isSet(QStringLiteral("fast")));
        bus.setRetries(int(retries));
    };
    Call call{.name = chosen->name, .args = commandArgs, .line = line, .setUp = setUp};
    if (const int bad = chosen->numeric ? numbers(commandArgs, &call.numbers) : int(ExitOk)) return bad;
    return chosen->run(call);
}

} // namespace

QString helpText() {
    QString text = QStringLiteral(
        "Usage: kastari-cli --port PORT [--baud B] [--rts] [--fast] [--retries N] [--raw] [--trace FILE]\n"
        "       [--comm n=PATH]\n"
        "       COMMAND ARGS\n"
        "\n"
        "Sends one ModBus RTU request through the monitor's engine and prints the reply.\n"
        "\n"
        "Options:\n");
    text += cmdline::helpText(Options, 19);
    text += QStringLiteral("\nCommands (numbers may be decimal or 0x-hex):\n");
    for (const Command& c : Commands)
        text += cmdline::helpEntry(QString::fromUtf8(c.usage), QString::fromUtf8(c.help), 36);
    return text +
           QStringLiteral(
               "\n"
               "Exit status: 0 valid reply; 1 bad command line; 2 port error; 3 no valid reply (no reply,\n"
               "CRC error, exception, a reply that does not answer the request, a block of load-params that\n"
               "failed); 4 the --out or --trace file cannot be written (checked before the meter is asked),\n"
               "or the snapshot is unreadable, not exactly 655 bytes, or another meter's. The reason goes "
               "to\n"
               "stderr. When the link fails, archive and journal print the rows read so far, say how many,\n"
               "and leave the --out file as it was. A tcp:// server that refuses is tried again for up to 3 "
               "s.\n");
}

int run(const QStringList& rawArgs) {
    Trace trace;
    return trace.finish(execute(rawArgs, trace));
}

} // namespace cli
