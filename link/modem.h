#pragma once
// Dialling a remote modem over the engine's command lines and hanging it up again: one way to
// dial for the main window and for the collector. Each shows the dialogue and a failure its own way.
#include <QString>
#include <functional>

class TModBus;

namespace modem {

// How a dial ended. The window shows several of these with one text; the collector tells them apart.
enum class DialResult {
    Connected,
    PortFailed,  // the serial port did not open
    InitTooLong, // the initialisation string does not fit a command line
    InitRefused, // "ERROR" to the initialisation
    InitSilent,  // no "OK" to the initialisation
    DialTooLong, // prefix and number do not fit a command line
    DialRefused, // "ERROR" to the dial command
    NoDialTone,
    NoAnswer,
    Busy,
    NoCarrier,
    DialSilent, // no result word the dial knows
};

struct DialSettings {
    QString initString;
    QString dialPrefix;
    QString phoneNumber;
    int delaySeconds = 0; // how long the remote modem may take to connect
};

// Told each line of the dialogue as it goes: the commands sent and what the modem said after its echo.
using Transcript = std::function<void(const QString& line)>;

DialResult dial(TModBus& bus, const DialSettings& settings, const Transcript& transcript = {});

// The operator's text of a failed dial, shown by the window; empty for Connected.
QString operatorText(DialResult result);
// The same for the collector's English summary.
QString summaryText(DialResult result);

// The quiet a modem needs on each side of "+++" before it takes it for the escape, not for data.
constexpr int EscapeGuardMs = 1200;

// Ends what `dialled` left: a call is taken back to command mode by the escape and "ATH"; a dial
// that got no result may still connect later, so "ATH" stops it; a modem that reported its failure
// is on-hook already. DTR is dropped in every case, which hangs up a modem that missed the rest.
// False when a call or dial may still be up: the modem did not confirm the "ATH".
bool hangUp(TModBus& bus, DialResult dialled, const Transcript& transcript = {});

} // namespace modem
