#include "device/paramfield.h"

#include "device/encodings.h"
#include "device/fieldcheck.h"

namespace param {

namespace {

int decimalsOf(const char* pattern) {
    const QString p = QString::fromLatin1(pattern);
    const int point = int(p.indexOf(u'.'));
    return point < 0 ? 0 : int(p.size()) - point - 1;
}

// What a typed value must be. The limits meet the single-precision value the device gets, the
// lower one as the row asks.
fieldcheck::Rule ruleOf(const Field& f) {
    const QString keys = QString::fromLatin1(f.keys);
    std::optional<double> min = f.min, max = f.max;
    if (min && f.minCompare == Compare::Single) min = double(float(*min));
    if (max) max = double(float(*max));
    return fieldcheck::Rule{keys, keys.contains(QLatin1Char(',')), min, max};
}

Checked refused() {
    return Checked{Verdict::Refused, 0, {}};
}

Checked written(double value, RegisterWrite write) {
    return Checked{Verdict::Write, value, std::move(write)};
}

} // namespace

int registersOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::DeviceTime:
    case Encoding::U32:
    case Encoding::RegisterFloat:
        return 2;
    case Encoding::U16:
    case Encoding::S16:
    case Encoding::RegisterByte:
        return 1;
    case Encoding::None:
        return 0;
    }
    return 1;
}

QStringList itemTexts(const Field& f) {
    if (f.list != items::List::None) return items::texts(f.list);
    QStringList out;
    for (const char* item : f.items)
        out << QString::fromUtf8(item);
    return out;
}

QString captionOf(const Field& f) {
    return QString::fromUtf8(f.caption);
}

QString formatValue(const Field& f, float value) {
    return enc::formatFixed(value, decimalsOf(f.pattern));
}

std::optional<QString> fieldText(const Field& f, int reg, const RegisterBlock& block) {
    if (f.chooses() || f.control == Control::Cells || reg < 0) return std::nullopt;
    switch (f.shown) {
    case Shown::Date:
        return block.timeText(reg, enc::formatDate);
    case Shown::Time:
        return block.timeText(reg, enc::formatTime);
    case Shown::ShortTime:
        return block.timeText(reg, enc::formatShortTime);
    case Shown::Formatted:
        if (const auto v = block.f32(reg)) return enc::MyFormatFloat(*v);
        return std::nullopt;
    case Shown::Derived:
        return std::nullopt;
    case Shown::Number:
        break;
    }
    switch (f.encoding) {
    case Encoding::U32:
        if (const auto v = block.u32(reg)) return QString::number(*v);
        return std::nullopt;
    case Encoding::U16:
        if (const auto v = block.u16(reg)) return QString::number(*v);
        return std::nullopt;
    case Encoding::S16:
        if (const auto v = block.s16(reg)) return QString::number(*v);
        return std::nullopt;
    case Encoding::RegisterByte:
        if (const auto v = block.byte(reg)) return QString::number(*v);
        return std::nullopt;
    case Encoding::RegisterFloat:
        if (const auto v = block.f32(reg)) return formatValue(f, *v);
        return std::nullopt;
    case Encoding::DeviceTime:
    case Encoding::None:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> itemIndex(const Field& f, int reg, const RegisterBlock& block) {
    if (!f.chooses()) return std::nullopt;
    const auto code = block.byte(reg);
    if (!code) return std::nullopt;
    switch (f.fill) {
    case ItemFill::Listed: {
        const int index = int(*code) - f.codeOffset;
        if (index < 0 || index >= itemTexts(f).size()) return std::nullopt;
        return index;
    }
    case ItemFill::NonZero:
        return *code == 0 ? 0 : 1;
    case ItemFill::Direct:
        return int(*code);
    }
    return std::nullopt;
}

std::optional<RegisterWrite> itemWrite(const Field& f, int reg, int index) {
    if (!f.chooses() || index < 0 || index >= itemTexts(f).size()) return std::nullopt;
    return RegisterWrite{reg, 1, enc::u16Bytes(std::uint16_t(index + f.codeOffset))};
}

Checked check(const Field& f, int reg, const QString& text, const QList<int>& refusedSilently) {
    if (!f.editable()) return refused();
    const fieldcheck::Rule rule = ruleOf(f);
    switch (f.encoding) {
    case Encoding::DeviceTime: {
        if (!fieldcheck::onlyKeys(text, rule.keys)) return refused();
        const auto when = enc::parseDateTime(text);
        if (!when) return refused();
        // A date past the last device second would be clamped to 2106 instead of what was typed.
        static const QDateTime last = enc::SecToDate(0xFFFFFFFFu);
        if (*when > last) return refused();
        const std::uint32_t seconds = enc::DateToSec(*when);
        return written(seconds, RegisterWrite{reg, 2, enc::u32Bytes(seconds)});
    }
    case Encoding::None:
    case Encoding::RegisterFloat: {
        const auto value = fieldcheck::single(text, rule);
        if (!value) return refused();
        if (f.encoding == Encoding::None) return written(*value, {});
        return written(*value, RegisterWrite{reg, 2, enc::f32Bytes(*value)});
    }
    case Encoding::U32:
    case Encoding::U16:
    case Encoding::S16:
    case Encoding::RegisterByte: {
        const auto value = fieldcheck::integer(text, rule);
        if (!value) return refused();
        if (f.encoding == Encoding::U32)
            return written(*value, RegisterWrite{reg, 2, enc::u32Bytes(std::uint32_t(*value))});
        // A single register holds 16 bits; a value that does not fit is not what was typed.
        if (*value > 0xFFFF || *value < -0x8000) return refused();
        if (refusedSilently.contains(*value)) return Checked{Verdict::RefusedSilently, double(*value), {}};
        return written(*value, RegisterWrite{reg, 1, enc::u16Bytes(std::uint16_t(*value))});
    }
    }
    return refused();
}

} // namespace param
