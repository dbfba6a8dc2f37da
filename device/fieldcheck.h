#pragma once
// Checks the text committed in a numeric edit field before anything is sent: typed or pasted, every
// character must come from the field's key set, the number must parse and lie within the field's
// limits. A refused text never becomes a write.
#include <QString>
#include <cstdint>
#include <optional>

namespace fieldcheck {

struct Rule {
    QString keys;             // characters accepted besides Backspace
    bool commaForDot = false; // "." is taken as the decimal comma
    std::optional<double> min;
    std::optional<double> max;
};

bool onlyKeys(const QString& text, const QString& keys);

// A decimal integer (32-bit signed, as the toolkit parses them) within the limits.
std::optional<std::int32_t> integer(const QString& text, const Rule& rule);

// A decimal fraction converted to single precision, finite and within the limits.
std::optional<float> single(const QString& text, const Rule& rule);

} // namespace fieldcheck
