#pragma once
// A program's command line written once as a table of options: QCommandLineParser reads it, --help
// shows it from the same rows, and a fault is told in the words the suite's programs have always
// used ("unknown option --bogus", "--port needs a value").
#include "link/portmap.h"

#include <QCommandLineParser>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

class QTextStream;

namespace cmdline {

struct Option {
    // "port", or "verbose|v" for --verbose and -v; none: a line of --help only.
    const char* names = nullptr;
    // What the option takes ("PORT"); none: a switch.
    const char* value = nullptr;
    // Its lines in --help, beside the syntax, or under it when the text starts with a line break;
    // none: not shown (an option of one command, described with the command).
    const char* help = nullptr;
    // The syntax --help shows, when it is not the names and the value.
    const char* shown = nullptr;
    // The reply to a value that is missing; none: "--NAME needs a value".
    const char* refusal = nullptr;
    // "--modem" alone or "--modem=RESULT", never "--modem RESULT".
    bool optionalValue = false;

    // The values it takes, each time it is given (the last one counts): a whole number min..max
    // (in `base`; 0 takes the C forms 10, 0x0A), one of `choices` ("text|csv"), or what `accepts`
    // takes; with none of them any text, an empty one too unless `refuseEmpty`.
    long long min = 0, max = -1;
    int base = 10;
    const char* choices = nullptr;
    bool (*accepts)(const QString&) = nullptr;
    bool refuseEmpty = false;
    // The reply to a value it does not take; none: the refusal, which also answers an empty one.
    const char* invalid = nullptr;

    // Whether `text` is a value it takes, as the fields above say.
    bool takes(const QString& text) const;
};

// The port mapping all the programs take, so one command line can serve them all.
constexpr Option portMapOption(const char* help, const char* shown = nullptr) {
    return {
        .names = "comm", .value = "n=PATH", .help = help, .shown = shown, .refusal = PortMap::MissingValue};
}

// --retries N of the tools that read meters: the engine's retries of a read (TModBus::setRetries).
constexpr Option retriesOption() {
    return {.names = "retries",
            .value = "N",
            .help = "ask a read that got no valid reply again, up to N times (0..5, default 0);\n"
                    "a write is never repeated",
            .refusal = "--retries needs a number 0..5",
            .min = 0,
            .max = 5,
            .base = 0};
}

// --channel 1|2 of the commands that read one channel's archive or journal.
constexpr Option channelOption() {
    return {.names = "channel", .value = "1|2", .choices = "1|2", .invalid = "--channel must be 1 or 2"};
}

class CommandLine {
  public:
    // Whether an option the table does not know is a fault, or someone else's (the toolkit's
    // -platform, -style ... of a program with a window).
    enum class Unknown { Refused, LeftToOthers };
    explicit CommandLine(std::span<const Option> options, Unknown unknown = Unknown::Refused);

    // args without the program's name. False on an unknown option, a missing value, a value given
    // to a switch or a value its option does not take; fault() then says which, the first of them
    // on the line (a value refused after every fault of the line's form).
    bool parse(const QStringList& args);
    const QString& fault() const { return m_fault; }

    bool isSet(const QString& name) const;
    // The last value given.
    QString value(const QString& name) const;
    QStringList values(const QString& name) const;
    QStringList positional() const { return m_parser.positionalArguments(); }
    // The reply to a missing or unusable value of the option.
    QString refusal(const QString& name) const;

    // Gives every --comm value to PortMap; the complaints about the bad ones, in order.
    QStringList applyPortMap() const;

    // The start a command-line program makes: --help anywhere on the line prints help() and ends
    // the run with 0, even beside a fault; a fault or a bad --comm value ends it with what usage()
    // gives. Nothing: the line is good and the program goes on.
    std::optional<int> parseOrAnswer(const QStringList& args, QString (*help)(),
                                     int (*usage)(const QString&));

  private:
    const Option* find(const QString& name) const;
    QString firstFault(const QStringList& args) const;
    QString firstRefusedValue() const;

    std::span<const Option> m_options;
    Unknown m_unknown;
    QCommandLineParser m_parser;
    QHash<QString, QString> m_optionalValues;
    QString m_fault;
};

// A command-line program's stdout and stderr, one stream each for all its parts.
QTextStream& standardOutput();
QTextStream& standardError();
// "PROGRAM: MESSAGE" and the hint to PROGRAM --help, on stderr.
void tellUsage(const char* program, const QString& message);

// The --help lines of the rows that have help: "  SYNTAX" with the text from `column` on.
QString helpText(std::span<const Option> options, int column);
// One entry of a --help listing, as helpText() lays it out.
QString helpEntry(const QString& syntax, const QString& text, int column);

} // namespace cmdline
