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
QDateTime SecToDate(std::uint32_t seconds);
// Halves of a second round to even; moments before 1970 give 0.
std::uint32_t DateToSec(const QDateTime& when);
// Same, from a toolkit-style day count (0001-01-01 = day 1) and milliseconds since midnight.
std::uint32_t DateToSec(std::int64_t dayNumber, double msOfDay);

// Fixed patterns "0.00" .. "0.00000" (decimals 0..5) and the magnitude-dependent format.
QString formatFixed(double value, int decimals);
QString MyFormatFloat(float value);

// Date-time patterns.
QString formatDate(const QDateTime& t);         // dd.mm.yyyy
QString formatTime(const QDateTime& t);         // hh:nn:ss
QString formatShortTime(const QDateTime& t);    // "    hh:nn"
QString formatDateTime(const QDateTime& t);     // dd.mm.yyyy hh:nn:ss

// Parsing of typed text. Numbers take "," or "."; integers are 32-bit signed like the toolkit's.
std::optional<std::int32_t> parseInt(const QString& text);
std::optional<double> parseFloat(const QString& text);
// "dd.mm.yyyy[ hh:nn[:ss]]"; impossible dates (31.02.2024) fail.
std::optional<QDateTime> parseDateTime(const QString& text);

} // namespace enc
