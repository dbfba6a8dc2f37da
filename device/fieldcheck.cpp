#include "device/fieldcheck.h"

#include "device/encodings.h"

#include <cmath>

namespace fieldcheck {

namespace {

bool withinLimits(const Rule& rule, double value) {
    return !(rule.min && value < *rule.min) && !(rule.max && value > *rule.max);
}

QString normalised(const QString& text, const Rule& rule) {
    QString out = text;
    if (rule.commaForDot) out.replace(QLatin1Char('.'), QLatin1Char(','));
    return out;
}

} // namespace

bool onlyKeys(const QString& text, const QString& keys) {
    for (QChar c : text) {
        if (!keys.contains(c)) return false;
    }
    return true;
}

std::optional<std::int32_t> integer(const QString& typed, const Rule& rule) {
    const QString text = normalised(typed, rule);
    // Pasted text bypasses the key filter; holding it to the same set keeps signs, hex prefixes and
    // exponents from reaching the device.
    if (!onlyKeys(text, rule.keys)) return std::nullopt;
    const auto value = enc::parseInt(text);
    if (!value || !withinLimits(rule, *value)) return std::nullopt;
    return value;
}

std::optional<float> single(const QString& typed, const Rule& rule) {
    const QString text = normalised(typed, rule);
    if (!onlyKeys(text, rule.keys)) return std::nullopt;
    const auto parsed = enc::parseFloat(text);
    if (!parsed) return std::nullopt;
    // The device gets the single-precision value, so that is what the limits judge; a number too
    // large for it becomes infinite and is refused.
    const float value = float(*parsed);
    if (!std::isfinite(value) || !withinLimits(rule, value)) return std::nullopt;
    return value;
}

} // namespace fieldcheck
