#include "sim/simcommandline.h"

#include "device/encodings.h"
#include "link/optiontable.h"

#include <functional>
#include <optional>

namespace sim {

namespace {

std::optional<long long> number(const QString& text) {
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok) return std::nullopt;
    return v;
}

} // namespace

std::optional<DeviceOptions> parseDeviceSpec(const QString& text, QString* error) {
    auto fail = [&](const QString& why) -> std::optional<DeviceOptions> {
        if (error) *error = QStringLiteral("--device %1: %2").arg(text, why);
        return std::nullopt;
    };
    DeviceOptions d;
    const int colon = text.indexOf(QLatin1Char(':'));
    const auto address = number(colon < 0 ? text : text.left(colon));
    if (!address || *address < 1 || *address > 247)
        return fail(QStringLiteral("the address must be 1 to 247"));
    d.address = int(*address);
    if (colon < 0) return d;
    for (const QString& item : text.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq < 0) return fail(QStringLiteral("\"%1\" is not key=value").arg(item));
        const QString key = item.left(eq).trimmed().toLower();
        const QString value = item.mid(eq + 1).trimmed();
        if (key == QLatin1String("id1")) {
            d.idText1 = value;
            continue;
        }
        if (key == QLatin1String("id2")) {
            d.idText2 = value;
            continue;
        }
        if (key == QLatin1String("channels")) {
            if (value == QLatin1String("two-channel") || value == QLatin1String("0"))
                d.channelMode = 0;
            else if (value == QLatin1String("two-beam") || value == QLatin1String("1"))
                d.channelMode = 1;
            else
                return fail(QStringLiteral("channels is two-channel or two-beam"));
            continue;
        }
        if (key == QLatin1String("failure") || key == QLatin1String("condition1") ||
            key == QLatin1String("condition2")) {
            bool ok = false;
            const bool hex = value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
            const int byte = hex ? value.mid(2).toInt(&ok, 16) : value.toInt(&ok, 10);
            if (!ok || byte < 0 || byte > 255)
                return fail(QStringLiteral("\"%1\" needs a byte, 0..255 or 0x00..0xff").arg(key));
            if (key == QLatin1String("failure"))
                d.failureByte = byte;
            else
                d.conditionByte[key.back() == QLatin1Char('2') ? 1 : 0] = byte;
            continue;
        }
        const auto n = number(value);
        if (!n || *n < 0) return fail(QStringLiteral("\"%1\" needs a number").arg(key));
        if (key == QLatin1String("mode") && *n <= 255)
            d.workMode = int(*n);
        else if (key == QLatin1String("sensor") && *n <= 255)
            d.sensorType = int(*n);
        else if (key == QLatin1String("number") && *n <= 0xFFFFFFFFll)
            d.electronicNumber = quint32(*n);
        else
            return fail(QStringLiteral("unknown key or value \"%1\"").arg(item));
    }
    return d;
}

std::optional<FaultSpec> parseFaultSpec(const QString& text, QString* error) {
    auto fail = [&](const QString& why) -> std::optional<FaultSpec> {
        if (error) *error = QStringLiteral("--fault %1: %2").arg(text, why);
        return std::nullopt;
    };
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return fail(QStringLiteral("no fault named"));
    FaultSpec f;
    const QString kind = parts[0].trimmed().toLower();
    const std::optional<Fault> named = faultByName(kind);
    if (!named || *named == Fault::None) return fail(QStringLiteral("unknown fault \"%1\"").arg(kind));
    f.kind = *named;
    for (int i = 1; i < parts.size(); ++i) {
        const int eq = parts[i].indexOf(QLatin1Char('='));
        if (eq < 0) return fail(QStringLiteral("\"%1\" is not key=value").arg(parts[i]));
        const QString key = parts[i].left(eq).trimmed().toLower();
        const QString value = parts[i].mid(eq + 1).trimmed();
        if (key == QLatin1String("when")) {
            if (value == QLatin1String("always")) {
                f.when = FaultWhen::Always;
            } else if (value.endsWith(QLatin1Char('%'))) {
                bool ok = false;
                const double p = value.chopped(1).toDouble(&ok);
                if (!ok || p < 0 || p > 100) return fail(QStringLiteral("a rate is 0% to 100%"));
                f.when = FaultWhen::Rate;
                f.rate = p / 100.0;
            } else {
                const auto n = number(value);
                if (!n || *n < 1) return fail(QStringLiteral("when is always, N (the Nth request) or P%"));
                f.when = FaultWhen::Nth;
                f.nth = int(*n);
            }
            continue;
        }
        const auto n = number(value);
        if (!n || *n < 0 || *n > 1000000) return fail(QStringLiteral("\"%1\" needs a number").arg(key));
        const int v = int(*n);
        if (key == QLatin1String("addr"))
            f.address = v;
        else if (key == QLatin1String("chunk"))
            f.chunkSize = std::max(1, v);
        else if (key == QLatin1String("gap"))
            f.chunkGapMs = v;
        else if (key == QLatin1String("delay"))
            f.lateDelayMs = v;
        else if (key == QLatin1String("bytes"))
            f.noiseBytes = v;
        else if (key == QLatin1String("size"))
            f.oversizeBytes = v;
        else if (key == QLatin1String("code"))
            f.exceptionCode = v & 0xFF;
        else if (key == QLatin1String("to"))
            f.wrongAddress = v & 0xFF;
        else if (key == QLatin1String("after"))
            f.closeAfterBytes = v;
        else if (key == QLatin1String("record"))
            f.badRecord = std::max(1, v);
        else
            return fail(QStringLiteral("unknown key \"%1\"").arg(key));
    }
    return f;
}

namespace {

constexpr cmdline::Option Options[] = {
    {.names = "link",
     .value = "PATH",
     .help = "symbolic link to create for the pseudo-terminal (an existing link is replaced)"},
    {.names = "tcp",
     .value = "PORT",
     .help = "also (or, without --link, only) serve the same meters as a serial device\n"
             "server does: RTU frames over TCP, one connection at a time, on 127.0.0.1\n"
             "only (--comm 1=tcp://127.0.0.1:PORT); 0 takes a free port. Prints\n"
             "\"ready tcp://127.0.0.1:PORT\""},
    {.names = "baud",
     .value = "B",
     .help = "line speed for the reply pacing, 10 bits per character (default 9600)"},
    {.names = "no-pacing", .help = "write replies at once instead of at the line speed"},
    {.names = "device",
     .value = "ADDR[:KEY=VALUE,...]",
     .help = "\n"
             "a meter at address ADDR (1..247); repeat for several meters on the line.\n"
             "Without --device one meter plays at address 1. Keys:\n"
             "  mode=N        work mode, register 15 (0 operation, 1 verification)\n"
             "  sensor=N      sensor type, register 17 (0 clamp-on, 1 insertion, 2 U-bend)\n"
             "  channels=two-channel|two-beam   register 96\n"
             "  number=N      electronic number (default: from the seed and address)\n"
             "  id1=TEXT, id2=TEXT   identification texts of function 17\n"
             "  failure=B     hold the failure byte (register 252) at B, e.g. 0x04\n"
             "  condition1=B, condition2=B   hold a channel's condition byte\n"
             "                (register 254, 255) at B; B is 0..255 or 0x00..0xff"},
    {.names = "seed", .value = "N", .help = "makes every value of the meters reproducible (default 1)"},
    {.names = "time",
     .value = "\"dd.mm.yyyy hh:nn:ss\"",
     .help = "\n"
             "device clock at start (default: the PC's local time)"},
    {.names = "clock-rate",
     .value = "N",
     .help = "the device clocks run N times as fast as the PC's (3600: an hour a\n"
             "second); the history before the start stays, new periods are recorded\n"
             "as device time passes"},
    {.names = "modem",
     .value = "RESULT",
     .help = "a Hayes modem in front of the line: AT commands are echoed and answered\n"
             "\"OK\"; a dial (ATD...) answers RESULT: \"CONNECT 9600\" (default), BUSY,\n"
             "NO_ANSWER, NO_CARRIER, NO_DIALTONE or ERROR, and after CONNECT the ModBus\n"
             "traffic passes through (\"+++\" after a second of quiet goes back)",
     .optionalValue = true},
    {.names = "fault",
     .value = "KIND[,KEY=VALUE,...]",
     .help = "\n"
             "shape replies wrongly; repeatable. KIND is one of\n"
             "  silence       no reply\n"
             "  badcrc        a reply with a wrong CRC\n"
             "  chunks        the reply in chunks (chunk=BYTES, default 3; gap=MS, default 40)\n"
             "  late          the reply after delay=MS (default 700)\n"
             "  noise         bytes=N noise bytes before the reply (default 4)\n"
             "  oversize      a reply of size=N bytes (default 300) with a good CRC\n"
             "  exception     an exception reply with code=C (default 4)\n"
             "  wrongaddress  the reply names address to=A (default the request's + 1)\n"
             "  closeport     after=N bytes of the reply (default half) the port closes\n"
             "  badrecord     the check byte of archive record or journal entry\n"
             "                record=N of a function-65 reply is wrong (default 1)\n"
             "  babble        no reply, but a noise byte every gap=MS (default 40)\n"
             "                without end, until the next request\n"
             "  drop          TCP: after=N bytes of the reply (default half; more than\n"
             "                the reply: all of it) the connection is closed\n"
             "and the keys\n"
             "  when=always   every request (default)\n"
             "  when=N        only the Nth request\n"
             "  when=P%       each request with probability P, drawn from the seed\n"
             "  addr=A        only requests to address A"},
    cmdline::portMapOption("accepted like in the other programs (port mapping); the simulator opens no\n"
                           "port by number, so it has no effect here"),
    {.names = "verbose|v", .help = "print every frame received and sent, with time stamps"},
    {.names = "help|h", .help = "this text"},
};

} // namespace

SimCommandLine parseSimCommandLine(const QStringList& args) {
    SimCommandLine cl;
    auto fail = [&](const QString& why) {
        if (cl.error.isEmpty()) cl.error = why;
    };
    cmdline::CommandLine line(Options);
    if (!line.parse(args))
        fail(line.fault().startsWith(QLatin1String("unknown option "))
                 ? line.fault() + QStringLiteral(" (see --help)")
                 : line.fault());
    if (const QStringList extra = line.positional(); !extra.isEmpty())
        fail(QStringLiteral("unknown option %1 (see --help)").arg(extra.first()));
    if (const QStringList problems = line.applyPortMap(); !problems.isEmpty()) fail(problems.first());
    cl.help = line.isSet(QStringLiteral("help"));
    cl.verbose = line.isSet(QStringLiteral("verbose"));
    cl.link = line.value(QStringLiteral("link"));
    cl.options.pacing = !line.isSet(QStringLiteral("no-pacing"));
    // Each value given counts, the last one of an option given twice.
    const auto each = [&](const char* name, const std::function<void(const QString&)>& take) {
        for (const QString& v : line.values(QString::fromLatin1(name)))
            take(v);
    };
    const auto numberIn = [&](const char* name, long long min, long long max, const QString& why,
                              auto&& into) {
        each(name, [&](const QString& v) {
            const auto n = number(v);
            if (!n || *n < min || *n > max)
                fail(why.arg(v));
            else
                into(*n);
        });
    };
    numberIn("baud", 50, 4000000, QStringLiteral("--baud %1: not a line speed"),
             [&](long long n) { cl.options.baud = int(n); });
    each("device", [&](const QString& v) {
        QString why;
        if (auto d = parseDeviceSpec(v, &why))
            cl.options.devices.append(*d);
        else
            fail(why);
    });
    each("fault", [&](const QString& v) {
        QString why;
        if (auto f = parseFaultSpec(v, &why))
            cl.options.faults.append(*f);
        else
            fail(why);
    });
    if (line.isSet(QStringLiteral("modem"))) {
        cl.options.modem = true;
        if (QString result = line.value(QStringLiteral("modem")); !result.isEmpty())
            cl.options.modemDialResult = result.replace(QLatin1Char('_'), QLatin1Char(' ')).toUpper();
    }
    numberIn("seed", 0, 0xFFFFFFFFll, QStringLiteral("--seed %1: not a number"),
             [&](long long n) { cl.options.seed = quint32(n); });
    each("time", [&](const QString& v) {
        if (const auto t = enc::parseDateTime(v))
            cl.options.startTime = enc::DateToSec(*t);
        else
            fail(QStringLiteral("--time %1: not dd.mm.yyyy [hh:nn[:ss]]").arg(v));
    });
    numberIn("tcp", 0, 65535, QStringLiteral("--tcp %1: not a TCP port number"),
             [&](long long n) { cl.options.tcpPort = int(n); });
    numberIn("clock-rate", 1, 1000000, QStringLiteral("--clock-rate %1: not a number from 1 to 1000000"),
             [&](long long n) { cl.options.clockRate = int(n); });

    QList<int> seen;
    for (const auto& d : cl.options.devices) {
        if (seen.contains(d.address)) fail(QStringLiteral("--device %1 is given twice").arg(d.address));
        seen.append(d.address);
    }
    if (!cl.help && cl.error.isEmpty() && cl.link.isEmpty() && cl.options.tcpPort < 0)
        fail(QStringLiteral("--link PATH or --tcp PORT is required"));
    cl.options.pty = !cl.link.isEmpty();
    return cl;
}

QString simUsage() {
    return QStringLiteral(
               R"(Usage: kastari-sim --link PATH [--tcp PORT] [options]
       kastari-sim --tcp PORT [options]

Plays one or more flow meters answering ModBus RTU on a pseudo-terminal. PATH becomes a symbolic
link to the terminal; open it with the monitor (--comm 1=PATH) or with kastari-cli (--port PATH).
Prints "ready PATH" when it serves, and runs until SIGINT or SIGTERM, which remove the link.

Options:
)") + cmdline::helpText(Options, 27) +
           QStringLiteral(R"(
Example: kastari-sim --link /tmp/kastari-pty --device 1 --device 5:mode=1 --fault late,when=10%
)");
}

} // namespace sim
