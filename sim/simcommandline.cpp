#include "sim/simcommandline.h"

#include "device/encodings.h"

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

SimCommandLine parseSimCommandLine(const QStringList& args) {
    SimCommandLine cl;
    auto fail = [&](const QString& why) {
        if (cl.error.isEmpty()) cl.error = why;
    };
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
            hasValue = true;
        }
        auto take = [&]() -> std::optional<QString> {
            if (hasValue) return value;
            if (i + 1 < args.size()) return args[++i];
            fail(QStringLiteral("%1 needs a value").arg(arg));
            return std::nullopt;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            cl.help = true;
        } else if (arg == QLatin1String("--link")) {
            if (auto v = take()) cl.link = *v;
        } else if (arg == QLatin1String("--baud")) {
            if (auto v = take()) {
                const auto n = number(*v);
                if (!n || *n < 50 || *n > 4000000)
                    fail(QStringLiteral("--baud %1: not a line speed").arg(*v));
                else
                    cl.options.baud = int(*n);
            }
        } else if (arg == QLatin1String("--device")) {
            if (auto v = take()) {
                QString why;
                if (auto d = parseDeviceSpec(*v, &why))
                    cl.options.devices.append(*d);
                else
                    fail(why);
            }
        } else if (arg == QLatin1String("--fault")) {
            if (auto v = take()) {
                QString why;
                if (auto f = parseFaultSpec(*v, &why))
                    cl.options.faults.append(*f);
                else
                    fail(why);
            }
        } else if (arg == QLatin1String("--modem")) {
            cl.options.modem = true;
            if (hasValue)
                cl.options.modemDialResult = value.replace(QLatin1Char('_'), QLatin1Char(' ')).toUpper();
        } else if (arg == QLatin1String("--seed")) {
            if (auto v = take()) {
                const auto n = number(*v);
                if (!n || *n < 0 || *n > 0xFFFFFFFFll)
                    fail(QStringLiteral("--seed %1: not a number").arg(*v));
                else
                    cl.options.seed = quint32(*n);
            }
        } else if (arg == QLatin1String("--time")) {
            if (auto v = take()) {
                const auto t = enc::parseDateTime(*v);
                if (!t)
                    fail(QStringLiteral("--time %1: not dd.mm.yyyy [hh:nn[:ss]]").arg(*v));
                else
                    cl.options.startTime = enc::DateToSec(*t);
            }
        } else if (arg == QLatin1String("--tcp")) {
            if (auto v = take()) {
                const auto n = number(*v);
                if (!n || *n < 0 || *n > 65535)
                    fail(QStringLiteral("--tcp %1: not a TCP port number").arg(*v));
                else
                    cl.options.tcpPort = int(*n);
            }
        } else if (arg == QLatin1String("--clock-rate")) {
            if (auto v = take()) {
                const auto n = number(*v);
                if (!n || *n < 1 || *n > 1000000)
                    fail(QStringLiteral("--clock-rate %1: not a number from 1 to 1000000").arg(*v));
                else
                    cl.options.clockRate = int(*n);
            }
        } else if (arg == QLatin1String("--no-pacing")) {
            cl.options.pacing = false;
        } else if (arg == QLatin1String("--verbose") || arg == QLatin1String("-v")) {
            cl.verbose = true;
        } else {
            fail(QStringLiteral("unknown option %1 (see --help)").arg(args[i]));
        }
    }
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
  --link PATH              symbolic link to create for the pseudo-terminal (an existing link is replaced)
  --tcp PORT               also (or, without --link, only) serve the same meters as a serial device
                           server does: RTU frames over TCP, one connection at a time, on 127.0.0.1
                           only (--comm 1=tcp://127.0.0.1:PORT); 0 takes a free port. Prints
                           "ready tcp://127.0.0.1:PORT"
  --baud B                 line speed for the reply pacing, 10 bits per character (default 9600)
  --no-pacing              write replies at once instead of at the line speed
  --device ADDR[:KEY=VALUE,...]
                           a meter at address ADDR (1..247); repeat for several meters on the line.
                           Without --device one meter plays at address 1. Keys:
                             mode=N        work mode, register 15 (0 operation, 1 verification)
                             sensor=N      sensor type, register 17 (0 clamp-on, 1 insertion, 2 U-bend)
                             channels=two-channel|two-beam   register 96
                             number=N      electronic number (default: from the seed and address)
                             id1=TEXT, id2=TEXT   identification texts of function 17
                             failure=B     hold the failure byte (register 252) at B, e.g. 0x04
                             condition1=B, condition2=B   hold a channel's condition byte
                                           (register 254, 255) at B; B is 0..255 or 0x00..0xff
  --seed N                 makes every value of the meters reproducible (default 1)
  --time "dd.mm.yyyy hh:nn:ss"
                           device clock at start (default: the PC's local time)
  --clock-rate N           the device clocks run N times as fast as the PC's (3600: an hour a
                           second); the history before the start stays, new periods are recorded
                           as device time passes
  --modem[=RESULT]         a Hayes modem in front of the line: AT commands are echoed and answered
                           "OK"; a dial (ATD...) answers RESULT: "CONNECT 9600" (default), BUSY,
                           NO_ANSWER, NO_CARRIER, NO_DIALTONE or ERROR, and after CONNECT the ModBus
                           traffic passes through ("+++" after a second of quiet goes back)
  --fault KIND[,KEY=VALUE,...]
                           shape replies wrongly; repeatable. KIND is one of
                             silence       no reply
                             badcrc        a reply with a wrong CRC
                             chunks        the reply in chunks (chunk=BYTES, default 3; gap=MS, default 40)
                             late          the reply after delay=MS (default 700)
                             noise         bytes=N noise bytes before the reply (default 4)
                             oversize      a reply of size=N bytes (default 300) with a good CRC
                             exception     an exception reply with code=C (default 4)
                             wrongaddress  the reply names address to=A (default the request's + 1)
                             closeport     after=N bytes of the reply (default half) the port closes
                             badrecord     the check byte of archive record or journal entry
                                           record=N of a function-65 reply is wrong (default 1)
                             babble        no reply, but a noise byte every gap=MS (default 40)
                                           without end, until the next request
                             drop          TCP: after=N bytes of the reply (default half; more than
                                           the reply: all of it) the connection is closed
                           and the keys
                             when=always   every request (default)
                             when=N        only the Nth request
                             when=P%       each request with probability P, drawn from the seed
                             addr=A        only requests to address A
  --comm n=PATH            accepted like in the other programs (port mapping); the simulator opens no
                           port by number, so it has no effect here
  --verbose, -v            print every frame received and sent, with time stamps
  --help, -h               this text

Example: kastari-sim --link /tmp/kastari-pty --device 1 --device 5:mode=1 --fault late,when=10%
)");
}

} // namespace sim
