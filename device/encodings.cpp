#include "device/encodings.h"

#include <QRegularExpression>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace enc {

namespace {

constexpr std::uint32_t SecondsPerDay = 86400;
// The toolkit counts days from 0001-01-01 as day 1; Qt counts Julian days. 0001-01-01 (proleptic
// Gregorian) is Julian day 1721426, so the two differ by a constant.
constexpr std::int64_t JulianDayOfDayZero = 1721425;

double roundHalfEven(double x) {
    // Written out rather than left to the floating-point environment: the device clock must not
    // depend on whatever rounding mode a library left behind.
    const double down = std::floor(x);
    const double diff = x - down;
    if (diff > 0.5) return down + 1;
    if (diff < 0.5) return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

std::uint8_t registerByte(std::uint16_t reg) {
    return std::uint8_t(reg & 0xFF);
}

std::uint16_t u16(const std::uint8_t* bytes) {
    return std::uint16_t((bytes[0] << 8) | bytes[1]);
}

std::int16_t s16(const std::uint8_t* bytes) {
    return std::int16_t(u16(bytes));
}

std::uint32_t u32(const std::uint8_t* bytes) {
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

float f32(const std::uint8_t* bytes) {
    return std::bit_cast<float>(u32(bytes));
}

double twoPart(const std::uint8_t* bytes) {
    return double(f32(bytes)) + double(f32(bytes + 4));
}

QByteArray u16Bytes(std::uint16_t value) {
    QByteArray out(2, '\0');
    out[0] = char(value >> 8);
    out[1] = char(value & 0xFF);
    return out;
}

QByteArray u32Bytes(std::uint32_t value) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((value >> (24 - 8 * i)) & 0xFF);
    return out;
}

QByteArray f32Bytes(float value) {
    return u32Bytes(std::bit_cast<std::uint32_t>(value));
}

QDateTime SecToDate(std::uint32_t seconds) {
    const std::uint32_t days = seconds / SecondsPerDay;
    const std::uint32_t rest = seconds % SecondsPerDay;
    const QDate date = QDate::fromJulianDay(std::int64_t(days) + UnixEpochDayNumber + JulianDayOfDayZero);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(rest * 1000)), Qt::UTC);
}

std::int64_t dayNumber(const QDate& date) {
    return date.isValid() ? date.toJulianDay() - JulianDayOfDayZero : 0;
}

std::uint32_t DateToSec(const QDateTime& when) {
    if (!when.isValid()) return 0;
    return DateToSec(dayNumber(when.date()), double(when.time().msecsSinceStartOfDay()));
}

std::uint32_t DateToSec(std::int64_t dayNumber, double msOfDay) {
    if (dayNumber < UnixEpochDayNumber || std::isnan(msOfDay)) return 0;
    constexpr std::int64_t Last = 0xFFFFFFFF;
    const std::int64_t days = dayNumber - UnixEpochDayNumber;
    if (days > Last / SecondsPerDay + 1) return std::uint32_t(Last);
    const double total = double(days * SecondsPerDay) + roundHalfEven(msOfDay / 1000.0);
    // Past the last device second the 32-bit sum would wrap to a date in 1970; the last second is
    // the nearest value the device can hold.
    if (total >= double(Last)) return std::uint32_t(Last);
    if (total <= 0) return 0;
    return std::uint32_t(total);
}

QString formatFixed(double value, int decimals) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    decimals = std::clamp(decimals, 0, 20);

    // The toolkit's formatter first takes 15 significant digits and then rounds them half away from
    // zero to the pattern's decimals, so 1.005 shows as 1,01 although its binary value is below.
    // snprintf writes the C library locale's decimal point, so only the digits and exponent are used.
    char text[64];
    std::snprintf(text, sizeof text, "%.14e", std::fabs(value));
    const char* exponent = std::strchr(text, 'e');
    std::string digits;
    for (const char* p = text; p != exponent; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    int point = std::atoi(exponent + 1) + 1; // digits before the decimal point

    if (point < 1) {
        digits.insert(0, std::size_t(1 - point), '0');
        point = 1;
    }
    const std::size_t kept = std::size_t(point) + std::size_t(decimals);
    if (digits.size() < kept + 1) digits.append(kept + 1 - digits.size(), '0');
    const bool up = digits[kept] >= '5';
    digits.resize(kept);
    if (up) {
        std::size_t i = kept;
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i > 0) {
            ++digits[i - 1];
        } else {
            digits.insert(0, 1, '1');
            ++point;
        }
    }
    while (point > 1 && digits[0] == '0') {
        digits.erase(0, 1);
        --point;
    }

    // A value that rounds to zero is shown without a sign.
    const bool negative = value < 0 && digits.find_first_not_of('0') != std::string::npos;
    QString out;
    if (negative) out += QLatin1Char('-');
    out += QString::fromLatin1(digits.data(), point);
    if (decimals > 0) {
        out += QLatin1Char(',');
        out += QString::fromLatin1(digits.data() + point, decimals);
    }
    return out;
}

QString MyFormatFloat(float value) {
    // The bands are chosen on the single-precision value, and each band's own rounding may carry
    // into the next magnitude (9.99996 shows as 10,0000).
    const float magnitude = std::fabs(value);
    int decimals = 1;
    if (magnitude < 10.0f)
        decimals = 4;
    else if (magnitude < 100.0f)
        decimals = 3;
    else if (magnitude < 1000.0f)
        decimals = 2;
    return formatFixed(double(value), decimals);
}

QString formatDate(const QDateTime& t) {
    if (!t.isValid()) return {};
    const QDate d = t.date();
    return twoDigits(d.day()) + QLatin1Char('.') + twoDigits(d.month()) + QLatin1Char('.') +
           QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
}

QString formatTime(const QDateTime& t) {
    if (!t.isValid()) return {};
    const QTime time = t.time();
    return twoDigits(time.hour()) + QLatin1Char(':') + twoDigits(time.minute()) + QLatin1Char(':') +
           twoDigits(time.second());
}

QString formatShortTime(const QDateTime& t) {
    if (!t.isValid()) return {};
    const QTime time = t.time();
    return QStringLiteral("    ") + twoDigits(time.hour()) + QLatin1Char(':') + twoDigits(time.minute());
}

QString formatDateTime(const QDateTime& t) {
    if (!t.isValid()) return {};
    return formatDate(t) + QLatin1Char(' ') + formatTime(t);
}

std::optional<std::int32_t> parseInt(const QString& text) {
    const QByteArray s = text.trimmed().toLatin1();
    const char* begin = s.constData();
    const char* end = begin + s.size();
    bool negative = false;
    if (begin != end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    if (begin == end || !std::all_of(begin, end, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    // Accumulate the magnitude in 64 bits so that -2147483648 fits and overflow is seen.
    std::int64_t magnitude = 0;
    for (const char* p = begin; p != end; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > std::int64_t(1) << 31) return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return std::nullopt;
    return std::int32_t(value);
}

QString integerConversionError(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

std::optional<double> parseFloat(const QString& text) {
    // Non-Latin-1 characters become '?' and fail below.
    QByteArray s = text.trimmed().toLatin1();
    int pos = 0;
    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        negative = s[pos] == '-';
        ++pos;
    }
    int digitCount = 0;
    int separators = 0;
    for (int i = pos; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            ++digitCount;
        } else if (c == ',' || c == '.') {
            if (++separators > 1) return std::nullopt;
            s[i] = '.';
        } else {
            return std::nullopt;
        }
    }
    if (digitCount == 0) return std::nullopt;

    const char* begin = s.constData() + pos;
    const char* end = s.constData() + s.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        // Too long a number for a double: callers check limits, so say how big it was.
        const bool huge = std::any_of(begin, std::find(begin, end, '.'), [](char c) { return c != '0'; });
        value = huge ? HUGE_VAL : 0.0;
    } else if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

namespace {
QRegularExpressionMatch dateTimeForm(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(
        "^([0-9]{1,2})\\.([0-9]{1,2})\\.([0-9]{1,4})(?: +([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?)?$"));
    return pattern.match(text.trimmed());
}
} // namespace

bool hasDateTimeForm(const QString& text) {
    return dateTimeForm(text).hasMatch();
}

std::optional<QDateTime> parseDateTime(const QString& text) {
    const QRegularExpressionMatch m = dateTimeForm(text);
    if (!m.hasMatch()) return std::nullopt;
    const QString yearText = m.captured(3);
    int year = yearText.toInt();
    if (yearText.size() <= 2) year += 2000;
    const QDate date(year, m.captured(2).toInt(), m.captured(1).toInt());
    if (!date.isValid()) return std::nullopt;
    QTime time(0, 0);
    if (m.hasCaptured(4)) {
        time =
            QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.hasCaptured(6) ? m.captured(6).toInt() : 0);
        if (!time.isValid()) return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC);
}

} // namespace enc
