#pragma once
// The command line of kastari-cli: parsing, the requests, the printed lines and the exit status.
#include <QStringList>
#include <cstdint>
#include <optional>

class QTextStream;
class TModBus;

namespace cli {

enum Exit { ExitOk = 0, ExitUsage = 1, ExitPort = 2, ExitReply = 3, ExitFile = 4 };

int run(const QStringList& args);
QString helpText();

// Shared by the commands.
QTextStream& out();
QTextStream& err();
// Numbers in the usual C forms: 10, 0x0A; nothing when not one or outside min..max.
std::optional<long long> number(const QString& text, long long min, long long max);
// Prints the message and the hint to --help; gives the exit status of a bad command line.
int usage(const QString& message);
// What is wrong with a date typed for `option`: a date that does not exist, or the form to type;
// empty when it is a date.
QString dateProblem(const QString& option, const QString& text);
// Prints the reason of the last failed transaction and gives the exit status for it.
int failure(const TModBus& bus);
// The meter as the monitor's device menu names it ("<device text> адрес: <address>"), which heads
// the files the monitor writes; nothing when it did not answer.
std::optional<QString> deviceCaption(TModBus& bus, std::uint8_t address);
// The meter's electronic number as the system view shows it; nothing when it did not answer.
std::optional<QString> electronicNumber(TModBus& bus, std::uint8_t address);

} // namespace cli
