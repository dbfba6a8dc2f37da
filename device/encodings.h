#pragma once
// The device's value encodings and the number/date texts shown to the operator. Pure functions:
// the comma is the decimal separator and nothing is grouped, whatever the system locale says.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace enc {

// Register image helpers: big-endian bytes of one, two or four registers.
std::uint8_t registerByte(std::uint16_t reg);
std::uint16_t u16(const std::uint8_t* bytes);
std::int16_t s16(const std::uint8_t* bytes);
std::uint32_t u32(const std::uint8_t* bytes);
float f32(const std::uint8_t* bytes);
double twoPart(const std::uint8_t* bytes); // two floats widened and added

QByteArray u16Bytes(std::uint16_t value);
QByteArray u32Bytes(std::uint32_t value);
QByteArray f32Bytes(float value);

// Device time <-> calendar (the device's wall clock: no time zone, no DST).
// Day number of 1970-01-01 when 0001-01-01 is day 1; device time 0 is this day's midnight.
constexpr std::int64_t UnixEpochDayNumber = 719163;
// The day number of a date in that count (0 for an invalid date).
std::int64_t dayNumber(const QDate& date);
// The result is in Qt::UTC only because UTC has no DST gaps or repeats: read its date() and time()
// as the device's wall clock, never convert it to local time.
QDateTime SecToDate(std::uint32_t seconds);
// Reads when.date() and when.time() as they stand in when's own time zone setting, so a local
// QDateTime::currentDateTime() gives the PC's wall clock. Halves of a second round to even;
// moments before 1970 and invalid date-times give 0, moments after 2106-02-07 06:28:15 give
// 4294967295 (the 32-bit sum would wrap back to 1970).
std::uint32_t DateToSec(const QDateTime& when);
// Same, from a toolkit-style day count (0001-01-01 = day 1) and milliseconds since midnight.
std::uint32_t DateToSec(std::int64_t dayNumber, double msOfDay);

// Fixed patterns "0.00" .. "0.00000" (decimals 0..5) and the magnitude-dependent format.
// Rounded half away from zero after taking 15 significant digits (1.005 -> "1,01"); a value that
// rounds to zero has no sign; NaN and infinities give "NAN", "INF", "-INF".
QString formatFixed(double value, int decimals);
QString MyFormatFloat(float value);

// Date-time patterns; an invalid date-time gives an empty text.
QString formatDate(const QDateTime& t);      // dd.mm.yyyy
QString formatTime(const QDateTime& t);      // hh:nn:ss
QString formatShortTime(const QDateTime& t); // "    hh:nn"
QString formatDateTime(const QDateTime& t);  // dd.mm.yyyy hh:nn:ss

// Parsing of typed text. Numbers take "," or "."; integers are 32-bit signed like the toolkit's.
// Blanks around the text are ignored; no exponent, no digit grouping. A number too long for a double
// parses as infinity, so limit checks refuse it.
std::optional<std::int32_t> parseInt(const QString& text);
// The run-time text for a text that is not an integer: "'abc' is not a valid integer value". The
// settings file reports it as the dialogs do.
QString integerConversionError(const QString& text);
std::optional<double> parseFloat(const QString& text);
// "dd.mm.yyyy[ hh:nn[:ss]]"; impossible dates (31.02.2024) fail. Day, month, hour, minute and second
// take one or two digits; a year of one or two digits is 20yy. The result is in Qt::UTC, the same
// wall-clock convention as SecToDate.
std::optional<QDateTime> parseDateTime(const QString& text);
// Whether the text is written as parseDateTime takes it, whether or not that date exists: tells a
// typing error from a 31st of February.
bool hasDateTimeForm(const QString& text);

} // namespace enc
