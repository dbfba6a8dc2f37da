#include "link/modem.h"

#include "link/commcontrol.h"
#include "link/cp1251.h"
#include "link/eventwait.h"
#include "link/linkport.h"
#include "link/tmodbus.h"

#include <algorithm>
#include <climits>

namespace modem {

namespace {

// How long the modem may take to answer a command that dials nothing.
constexpr int CommandSilenceMs = 2000;

struct Texts {
    DialResult result;
    const char* operatorText; // %1: the command line's length
    const char* summary;
};

const Texts TextTable[] = {
    {DialResult::Connected, "", ""},
    {DialResult::PortFailed, "Нет ответа от модема!", "modem: the port cannot be opened"},
    {DialResult::InitTooLong, "Строка инициализации длиннее %1 символов!",
     "modem: the initialisation string is longer than %1 characters"},
    {DialResult::InitRefused, "Неправильная команда!",
     "modem: the initialisation string was refused (ERROR)"},
    {DialResult::InitSilent, "Нет ответа от модема!", "modem: no answer from the modem"},
    {DialResult::DialTooLong, "Префикс и номер телефона длиннее %1 символов!",
     "modem: dial prefix and number are longer than %1 characters"},
    {DialResult::DialRefused, "Неправильная команда!", "modem: the dial command was refused (ERROR)"},
    {DialResult::NoDialTone, "Нет сигнала в линии!", "modem: no dial tone (NO DIALTONE)"},
    {DialResult::NoAnswer, "Удаленный модем не отвечает!",
     "modem: the remote modem does not answer (NO ANSWER)"},
    {DialResult::Busy, "Линия занята!", "modem: the line is busy (BUSY)"},
    {DialResult::NoCarrier, "Удаленный модем не отвечает!",
     "modem: the remote modem does not answer (NO CARRIER)"},
    {DialResult::DialSilent, "Нет ответа от модема!", "modem: no result to the dial"},
};

const Texts& textsOf(DialResult result) {
    return *std::find_if(std::begin(TextTable), std::end(TextTable),
                         [result](const Texts& t) { return t.result == result; });
}

// What the modem said, as far as it is examined.
QString replyText(const TModBus& bus) {
    return cp1251::decode(bus.reply().left(101));
}

// The modem echoes the command first; what follows it is its answer.
void tellReply(const TModBus& bus, int commandLength, const Transcript& transcript) {
    if (!transcript) return;
    const QString received = cp1251::decode(bus.reply());
    const int count = int(bus.reply().size()) - commandLength - 5;
    if (count > 0) transcript(received.mid(commandLength + 4, count));
}

// The first of these in the dial's reply names the failure.
const std::pair<const char*, DialResult> DialFailures[] = {
    {"ERROR", DialResult::DialRefused},    {"NO DIALTONE", DialResult::NoDialTone},
    {"NO ANSWER", DialResult::NoAnswer},   {"BUSY", DialResult::Busy},
    {"NO CARRIER", DialResult::NoCarrier},
};

// The texts that name the command line's limit.
QString withLimit(const char* text) {
    const QString s = QString::fromUtf8(text);
    return s.contains(QLatin1String("%1")) ? s.arg(TModBus::MaxCommandLine) : s;
}

// The modem's lines belong to the thread that drives the port: through the engine's own port when it
// has one, straight to the control when a test gave the engine its own.
void setLines(TModBus& bus, bool dtr, bool rts) {
    if (LinkPort* port = bus.MSComm1()) {
        port->setDTREnable(dtr);
        if (rts) port->setRTSEnable(true);
    } else {
        bus.comm().setDTREnable(dtr);
        if (rts) bus.comm().setRTSEnable(true);
    }
}

} // namespace

DialResult dial(TModBus& bus, const DialSettings& settings, const Transcript& transcript) {
    setLines(bus, true, true);
    const auto tell = [&](const QString& line) {
        if (transcript) transcript(line);
    };

    tell(settings.initString);
    if (!bus.SendCommandLine(settings.initString, CommandSilenceMs)) return DialResult::InitTooLong;
    if (bus.portFailed()) return DialResult::PortFailed;
    tellReply(bus, int(settings.initString.size()), transcript);
    const QString initReply = replyText(bus);
    if (!initReply.contains(QLatin1String("OK")))
        return initReply.contains(QLatin1String("ERROR")) ? DialResult::InitRefused : DialResult::InitSilent;

    const QString command = settings.dialPrefix + settings.phoneNumber;
    tell(command);
    if (!bus.SendCommandLine(command,
                             int(std::clamp<qint64>(qint64(settings.delaySeconds) * 1000, 0, INT_MAX))))
        return DialResult::DialTooLong;
    tellReply(bus, int(command.size()), transcript);
    const QString dialReply = replyText(bus);
    if (dialReply.contains(QLatin1String("CONNECT"))) return DialResult::Connected;
    for (const auto& [word, result] : DialFailures)
        if (dialReply.contains(QLatin1String(word))) return result;
    return DialResult::DialSilent;
}

QString operatorText(DialResult result) {
    return withLimit(textsOf(result).operatorText);
}

QString summaryText(DialResult result) {
    return withLimit(textsOf(result).summary);
}

bool hangUp(TModBus& bus, DialResult dialled, const Transcript& transcript) {
    const auto tell = [&](const QString& line) {
        if (transcript) transcript(line);
    };
    const bool online = dialled == DialResult::Connected;
    bool commandMode = online || dialled == DialResult::DialSilent;
    if (online) {
        eventwait::waitFor(EscapeGuardMs);
        tell(QStringLiteral("+++"));
        bus.SendModemBytes("+++", EscapeGuardMs + CommandSilenceMs);
        // The escape is not echoed: all that comes back is the result.
        const QString reply = cp1251::decode(bus.reply()).trimmed();
        if (!reply.isEmpty()) tell(reply);
        // Still online, "ATH" would only go down the line to the meters.
        commandMode = reply.contains(QLatin1String("OK"));
    }
    bool confirmed = !online && dialled != DialResult::DialSilent;
    if (commandMode) {
        const QString command = QStringLiteral("ATH");
        tell(command);
        bus.SendCommandLine(command, CommandSilenceMs);
        tellReply(bus, int(command.size()), transcript);
        confirmed = replyText(bus).contains(QLatin1String("OK"));
    }
    // A modem that missed all that still hangs up when the terminal goes away.
    setLines(bus, false, false);
    return confirmed;
}

} // namespace modem
