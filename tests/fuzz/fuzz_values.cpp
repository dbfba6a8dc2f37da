// Typed numbers and dates as the operator types them or the device sends them: the parsers, the
// device clock both ways, and the number formats read back by the parser.
#include "device/encodings.h"
#include "fuzzinput.h"

#include <cmath>

namespace {

void parsers(const QString& text) {
    enc::parseInt(text);
    if (const auto value = enc::parseFloat(text)) FUZZ_CHECK(!std::isnan(*value));
    if (const auto when = enc::parseDateTime(text)) {
        FUZZ_CHECK(when->isValid());
        // Every date the parser accepts that the device can hold comes back from the device clock.
        const std::uint32_t seconds = enc::DateToSec(*when);
        if (seconds > 0 && seconds < 0xFFFFFFFFu) FUZZ_CHECK(enc::SecToDate(seconds) == *when);
    }
}

void deviceClock(std::uint32_t seconds) {
    const QDateTime when = enc::SecToDate(seconds);
    FUZZ_CHECK(when.isValid());
    FUZZ_CHECK(enc::DateToSec(when) == seconds);
    FUZZ_CHECK(enc::parseDateTime(enc::formatDateTime(when)) == when);
}

void formats(double value, int decimals, float single) {
    enc::MyFormatFloat(single);
    const QString text = enc::formatFixed(value, decimals);
    if (!std::isfinite(value) || std::fabs(value) >= 1e15) return;
    // Shown with 15 significant digits, rounded to the pattern: reading it back lands within half
    // a unit of the last decimal, give or take the digits a double does not carry.
    const auto back = enc::parseFloat(text);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(std::fabs(*back - value) <=
               0.5 * std::pow(10.0, -decimals) + std::fabs(value) * 1e-14 + 1e-300);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    FuzzInput in(data, size);
    const auto seconds = in.value<std::uint32_t>();
    const auto value = in.value<double>();
    const auto single = in.value<float>();
    const int decimals = in.byte() % 6;
    const auto dayNumber = in.value<std::int64_t>();
    const auto msOfDay = in.value<double>();
    deviceClock(seconds);
    formats(value, decimals, single);
    enc::DateToSec(dayNumber, msOfDay);
    const QByteArray rest = in.rest();
    parsers(QString::fromUtf8(rest));
    parsers(QString::fromLatin1(rest));
    return 0;
}
