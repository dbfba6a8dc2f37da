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
#include "link/portmap.h"
#include "link/tcpcomm.h"
#include "link/tmodbus.h"
#include "link/linkport.h"

#include <QTextStream>
#include <cstdio>
#include <functional>
#include <optional>

namespace cli {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

int usage(const QString& message) {
    err() << "kastari-cli: " << message << "\n" << "Try 'kastari-cli --help'.\n";
    err().flush();
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
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

namespace {

struct Options {
    QString port;
    int baud = 9600;
    bool rts = false;
    bool raw = false;
    bool fast = false;
    int retries = 0;
    QString trace;
    QString command;
    QStringList args;
    QString date;
    std::optional<int> record;
    ReadingOptions reading;
    ParamOptions params;
};

QString archiveLine(const ArchiveRecord& r) {
    QStringList parts{enc::formatDateTime(enc::SecToDate(r.time))};
    for (int ch = 0; ch < 2; ++ch)
        parts << QStringLiteral("ch%1 +%2 -%3 down %4")
                     .arg(ch + 1)
                     .arg(enc::MyFormatFloat(r.volume[ch][0]), enc::MyFormatFloat(r.volume[ch][1]))
                     .arg(r.downtime[ch]);
    QString line = parts.join(QStringLiteral("  "));
    if (!r.checkOk)
        line += QStringLiteral("  CHECK BYTE WRONG");
    return line;
}

QString journalLine(const JournalEntry& e) {
    auto when = [](std::uint32_t t, const char* zero) {
        return t == 0 ? QString::fromLatin1(zero) : enc::formatDateTime(enc::SecToDate(t));
    };
    QString line = QStringLiteral("code %1  start %2  end %3")
                       .arg(e.code, 2)
                       .arg(when(e.start, "-"), when(e.end, "ongoing"));
    if (!e.checkOk)
        line += QStringLiteral("  CHECK BYTE WRONG");
    return line;
}

} // namespace

QString helpText() {
    return QStringLiteral(
        "Usage: kastari-cli --port PORT [--baud B] [--rts] [--fast] [--retries N] [--raw] [--trace FILE]\n"
        "       [--comm n=PATH]\n"
        "       COMMAND ARGS\n"
        "\n"
        "Sends one ModBus RTU request through the monitor's engine and prints the reply.\n"
        "\n"
        "Options:\n"
        "  --port PORT      port number (1, 2, ...; mapped as below), a system port name/path, or a\n"
        "                   serial device server as tcp://HOST:PORT (RTU frames over TCP)\n"
        "  --baud B         line speed in bit/s (default 9600; behind a device server it only sets\n"
        "                   the timing)\n"
        "  --rts            RS-485 direction control by the RTS line\n"
        "  --fast           end each reply as soon as it is complete by its length, instead of\n"
        "                   after 500 ms of silence\n"
        "  --retries N      ask a read that got no valid reply again, up to N times (0..5, default 0);\n"
        "                   a write is never repeated\n"
        "  --raw            print the reply frame in hex as well (first line, 'raw: ...')\n"
        "  --trace FILE     write every frame sent, received or discarded, with its verdict, to FILE as\n"
        "                   CSV (UTF-8, ISO 8601 times with ms), the monitor's exchange log format\n"
        "  --comm n=PATH    map port number n to a system port (Linux default: /dev/ttyS(n-1));\n"
        "  --comm n=tcp://HOST:PORT  or to a serial device server\n"
        "  --help           this text\n"
        "\n"
        "Commands (numbers may be decimal or 0x-hex):\n"
        "  read-holding ADDR FIRST COUNT     one line per register: \"REGISTER VALUE\" (unsigned)\n"
        "  read-coils ADDR FIRST QTY         one line per coil: \"COIL 0|1\"\n"
        "  write-register ADDR REG VALUE     function 6\n"
        "  write-registers ADDR FIRST VALUE...  function 16, 16-bit values\n"
        "  set-coil ADDR COIL                function 5, on\n"
        "  clear-coil ADDR COIL              function 5, off\n"
        "  report-id ADDR                    function 17: the device text\n"
        "  read-archive ADDR NUMBER COUNT (--date \"dd.mm.yyyy hh:nn\" | --record N)\n"
        "                                    function 65; NUMBER 0-2 hour/day/month archive (29-byte\n"
        "                                    records), 3-6 fault/operator/abnormal ch1/ch2 journals\n"
        "                                    (10-byte entries); a wrong check byte is marked\n"
        "  archive ADDR hour|day|month [--from \"dd.mm.yyyy hh:nn\"] [--to ...] [--channel 1|2] [--out "
        "FILE]\n"
        "                                    the archive as the monitor reads it: the full archive, or\n"
        "                                    the periods from --from up to --to (default: now)\n"
        "  journal ADDR faults|operator|abnormal [--channel 1|2] [--out FILE]\n"
        "                                    the whole journal as the monitor reads it\n"
        "                                    Both print the title row and one row per period or event,\n"
        "                                    cells separated by tabs; with --out they write the monitor's\n"
        "                                    export file instead (Windows-1251, cells joined by '#').\n"
        "                                    Progress goes to stderr when it is a terminal.\n"
        "  save-params ADDR DIR              the monitor's parameter files: DIR/Param.txt (the report)\n"
        "                                    and DIR/Param.bin (the snapshot); neither when a read fails\n"
        "  load-params ADDR FILE --yes       writes a snapshot back into the meter it was taken from,\n"
        "                                    in six blocks 2 s apart (registers 2-7, 15-26, 31-88,\n"
        "                                    119-171), one line per block; without --yes nothing is sent\n"
        "  compare-params ADDR FILE          one line per parameter a load would change:\n"
        "                                    \"NAME<tab>IN FILE<tab>IN METER\" (channels joined by '#');\n"
        "                                    exit 0 when nothing differs, 1 when something does, 4\n"
        "                                    when FILE is another meter's snapshot\n"
        "\n"
        "Exit status: 0 valid reply; 1 bad command line; 2 port error; 3 no valid reply (no reply,\n"
        "CRC error, exception, a reply that does not answer the request, a block of load-params that\n"
        "failed); 4 the --out or --trace file cannot be written (checked before the meter is asked),\n"
        "or the snapshot is unreadable, not exactly 655 bytes, or another meter's. The reason goes to\n"
        "stderr. When the link fails, archive and journal print the rows read so far, say how many,\n"
        "and leave the --out file as it was. A tcp:// server that refuses is tried again for up to 3 s.\n");
}

namespace {
int execute(const QStringList& rawArgs, Trace& trace);
}

int run(const QStringList& rawArgs) {
    Trace trace;
    return trace.finish(execute(rawArgs, trace));
}

namespace {

int execute(const QStringList& rawArgs, Trace& trace) {
    QStringList mapErrors;
    const QStringList args = PortMap::takeOptions(rawArgs, &mapErrors);
    if (!mapErrors.isEmpty())
        return usage(mapErrors.first());

    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString* into) {
            if (i + 1 >= args.size())
                return false;
            *into = args[++i];
            return true;
        };
        QString v;
        if (a == "--help" || a == "-h") {
            out() << helpText();
            out().flush();
            return ExitOk;
        } else if (a == "--port") {
            if (!value(&o.port))
                return usage("--port needs a value");
        } else if (a == "--baud") {
            if (!value(&v) || !number(v, 1, 4000000))
                return usage("--baud needs a speed in bit/s");
            o.baud = int(*number(v, 1, 4000000));
        } else if (a == "--rts") {
            o.rts = true;
        } else if (a == "--raw") {
            o.raw = true;
        } else if (a == "--trace") {
            if (!value(&o.trace) || o.trace.isEmpty())
                return usage("--trace needs a file");
        } else if (a == "--fast") {
            o.fast = true;
        } else if (a == "--retries") {
            if (!value(&v) || !number(v, 0, TModBus::MaxRetries))
                return usage(QStringLiteral("--retries needs a number 0..%1").arg(TModBus::MaxRetries));
            o.retries = int(*number(v, 0, TModBus::MaxRetries));
        } else if (a == "--date") {
            if (!value(&o.date))
                return usage("--date needs \"dd.mm.yyyy hh:nn\"");
        } else if (a == "--from" || a == "--to" || a == "--channel" || a == "--out") {
            QString* into = a == "--from" ? &o.reading.from
                            : a == "--to" ? &o.reading.to
                            : a == "--channel" ? &o.reading.channel
                                               : &o.reading.out;
            if (!value(into) || into->isEmpty())
                return usage(QStringLiteral("%1 needs a value").arg(a));
        } else if (a == "--yes") {
            o.params.yes = true;
        } else if (a == "--record") {
            if (!value(&v) || !number(v, 0, 65535))
                return usage("--record needs a number 0..65535");
            o.record = int(*number(v, 0, 65535));
        } else if (a.startsWith("--")) {
            return usage(QStringLiteral("unknown option %1").arg(a));
        } else if (o.command.isEmpty()) {
            o.command = a;
        } else {
            o.args << a;
        }
    }
    if (o.command.isEmpty())
        return usage("no command given");
    if (o.port.isEmpty())
        return usage("--port is required");
    if (TcpComm::isUrl(o.port) && !TcpComm::parseUrl(o.port))
        return usage(QStringLiteral("'%1' is not tcp://HOST:PORT").arg(o.port));

    // Argument checks first, so a typo never reaches the line.
    struct Arity {
        int minArgs, maxArgs;
    };
    const QMap<QString, Arity> commands{{"read-holding", {3, 3}}, {"read-coils", {3, 3}},
                                       {"write-register", {3, 3}}, {"write-registers", {3, 125}},
                                       {"set-coil", {2, 2}},       {"clear-coil", {2, 2}},
                                       {"report-id", {1, 1}},      {"read-archive", {3, 3}},
                                       {"archive", {2, 2}},        {"journal", {2, 2}},
                                       {"save-params", {2, 2}},    {"load-params", {2, 2}},
                                       {"compare-params", {2, 2}}};
    if (!commands.contains(o.command))
        return usage(QStringLiteral("unknown command %1").arg(o.command));
    const Arity arity = commands[o.command];
    if (o.args.size() < arity.minArgs || o.args.size() > arity.maxArgs)
        return usage(QStringLiteral("wrong number of arguments for %1").arg(o.command));
    if (!o.trace.isEmpty()) {
        QString why;
        if (!trace.open(o.trace, &why)) {
            err() << "trace file cannot be written: " << why << "\n";
            err().flush();
            return ExitFile;
        }
    }
    const auto open = [&o, &trace](TModBus& bus) {
        trace.attach(bus);
        LinkPort* port = bus.MSComm1();
        port->setSystemPortName(PortMap::resolve(o.port));
        port->setSettings(linespeed::settingsFor(o.baud));
        // A device server that refuses gets the growing delays the monitor's polls give it, but
        // within the one open this program makes.
        port->setRetryWindowMs(TcpComm::ConnectTimeoutMs);
        bus.RtsMode = o.rts;
        bus.setFastCompletion(o.fast);
        bus.setRetries(o.retries);
    };
    if (o.command == "archive" || o.command == "journal") {
        TModBus bus;
        open(bus);
        o.reading.command = o.command;
        o.reading.args = o.args;
        return runReading(o.reading, bus);
    }
    if (o.command.endsWith("-params")) {
        TModBus bus;
        open(bus);
        o.params.command = o.command;
        o.params.args = o.args;
        return runParamCommand(o.params, bus);
    }

    QList<long long> n;
    for (int i = 0; i < o.args.size(); ++i) {
        const long long max = i == 0 ? 255 : 65535;
        const auto v = number(o.args[i], 0, max);
        if (!v)
            return usage(QStringLiteral("'%1' is not a number from 0 to %2").arg(o.args[i]).arg(max));
        n << *v;
    }
    const auto addr = std::uint8_t(n[0]);

    TModBus bus;
    open(bus);

    std::function<void()> print;
    if (o.command == "read-holding") {
        if (n[2] < 1 || n[2] > 125)
            return usage("COUNT must be 1..125");
        bus.ReadHoldingRegisters(addr, std::uint8_t(n[2]), std::uint16_t(n[1]));
        print = [&] {
            const int first = int(n[1]);
            const std::optional<RegisterBlock> block = RegisterBlock::fromReply(bus, first);
            for (int reg = first; block && reg < first + block->count(); ++reg)
                out() << reg << ' ' << *block->u16(reg) << '\n';
        };
    } else if (o.command == "read-coils") {
        if (n[2] < 1 || n[2] > 2000)
            return usage("QTY must be 1..2000");
        bus.ReadCoils(addr, std::uint16_t(n[1]), std::uint16_t(n[2]));
        print = [&] {
            const RtuFrame reply = bus.replyFrame();
            for (int i = 0; i < n[2]; ++i)
                out() << (n[1] + i) << ' ' << (reply.bit(i).value_or(false) ? 1 : 0) << '\n';
        };
    } else if (o.command == "write-register") {
        bus.WriteRegister(addr, std::uint16_t(n[1]), std::uint16_t(n[2]));
    } else if (o.command == "write-registers") {
        QByteArray data;
        for (int i = 2; i < n.size(); ++i)
            data += enc::u16Bytes(std::uint16_t(n[i]));
        bus.WriteRegisters(addr, std::uint8_t(n.size() - 2), std::uint16_t(n[1]), data);
    } else if (o.command == "set-coil") {
        bus.SetCoil(addr, std::uint16_t(n[1]));
    } else if (o.command == "clear-coil") {
        bus.ClearCoil(addr, std::uint16_t(n[1]));
    } else if (o.command == "report-id") {
        bus.ReportSlaveId(addr);
        print = [&] { out() << ident::deviceText(bus.replyFrame()) << '\n'; };
    } else if (o.command == "read-archive") {
        const int archive = int(n[1]);
        const int count = int(n[2]);
        if (archive > 6)
            return usage("NUMBER must be 0..6");
        const int size = records::isJournal(archive) ? records::JournalEntrySize : records::ArchiveRecordSize;
        if (count < 1 || 5 + count * size > TModBus::BufferSize)
            return usage(QStringLiteral("COUNT must be 1..%1 for this NUMBER").arg((TModBus::BufferSize - 5) / size));
        if (o.date.isEmpty() == !o.record.has_value())
            return usage("read-archive needs exactly one of --date and --record");
        if (!o.date.isEmpty()) {
            if (const QString problem = dateProblem("--date", o.date); !problem.isEmpty())
                return usage(problem);
            const auto when = enc::parseDateTime(o.date);
            archives::registerReplyLength();
            bus.ReadArchiveByDate(addr, std::uint8_t(archive), std::uint8_t(count), *when);
        } else {
            archives::registerReplyLength();
            bus.ReadArchiveByRecord(addr, std::uint8_t(archive), std::uint8_t(count), double(*o.record));
        }
        print = [&, archive, count] {
            if (records::isJournal(archive)) {
                for (const JournalEntry& e : records::journalEntries(bus.reply(), count))
                    out() << journalLine(e) << '\n';
            } else {
                for (const ArchiveRecord& r : records::archiveRecords(bus.reply(), count))
                    out() << archiveLine(r) << '\n';
            }
        };
    }

    if (o.raw && bus.Received > 0)
        out() << "raw: " << bus.reply().toHex(' ').toUpper() << '\n';
    if (!bus.replyOk()) {
        out().flush();
        return failure(bus);
    }
    if (print)
        print();
    out().flush();
    return ExitOk;
}

} // namespace

} // namespace cli
