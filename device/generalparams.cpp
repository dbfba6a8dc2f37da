#include "device/generalparams.h"

#include "device/encodings.h"
#include "device/fieldcheck.h"

#include <numbers>

namespace genparams {

namespace {

int decimalsOf(const char* pattern) {
    const QString p = QString::fromLatin1(pattern);
    const int point = int(p.indexOf(u'.'));
    return point < 0 ? 0 : int(p.size()) - point - 1;
}

// What a typed value must be. Limits are compared in single precision, as the typed value is,
// except where the row asks for the exact decimal.
fieldcheck::Rule ruleOf(const Field& field) {
    const double min = field.minCompare == Compare::ExactDecimal ? field.min : double(float(field.min));
    return fieldcheck::Rule{keysOf(field.editor), true, min, double(float(field.max))};
}

EditCheck refused() {
    return EditCheck{Verdict::Refused, {}};
}

} // namespace

int Field::registers() const {
    return sysparams::registersOf(encoding);
}

bool Field::editable() const {
    switch (editor) {
    case Editor::Float:
    case Editor::SignedFloat:
    case Editor::Whole:
    case Editor::Circumference:
    case Editor::Diameter:
    case Editor::List:
        return true;
    case Editor::Cells:
    case Editor::Display:
    case Editor::Fixed:
        return false;
    }
    return false;
}

std::optional<Variant> variantFor(int workMode, int sensorType) {
    for (Variant v : Variants)
        if (layout(v).workMode == workMode && layout(v).sensorType == sensorType) return v;
    return std::nullopt;
}

std::optional<Variant> variantOf(const RegisterBlock& common) {
    const auto mode = common.byte(WorkModeRegister);
    const auto sensor = common.byte(SensorTypeRegister);
    if (!mode || !sensor) return std::nullopt;
    return variantFor(*mode, *sensor);
}

QString controlName(const Layout& layout, const Field& field, int channel) {
    return QString::fromLatin1(field.name) + QString::fromLatin1(layout.code) + QStringLiteral("Ch") +
           QString::number(channel + 1);
}

QString boxName(const Layout& layout, int channel) {
    return QStringLiteral("GroupBoxChannel%1").arg(channel + 1) + QString::fromLatin1(layout.code);
}

QString pictureName(const Layout& layout, int channel, int bit, bool cross) {
    // Cells are numbered from the left, where bit 7 sits.
    return QStringLiteral("Image%1%2%3Ch%4")
        .arg(7 - bit)
        .arg(QChar(cross ? u'x' : u'_'))
        .arg(QString::fromLatin1(layout.code))
        .arg(channel + 1);
}

QString captionName(const Layout& layout, const Field& field, int channel) {
    if (const char* own = field.captionName[channel]) return QString::fromLatin1(own);
    return QStringLiteral("Label") + controlName(layout, field, channel);
}

std::optional<Control> findControl(const QString& objectName) {
    for (Variant v : Variants) {
        const Layout& l = layout(v);
        for (const Field& f : l.fields) {
            for (int ch = 0; ch < 2; ++ch) {
                if (f.editor != Editor::Cells && controlName(l, f, ch) == objectName)
                    return Control{&l, &f, ch};
                for (int bit = 0; f.editor == Editor::Cells && bit < f.bits[ch]; ++bit)
                    if (objectName == pictureName(l, ch, bit, false) ||
                        objectName == pictureName(l, ch, bit, true))
                        return Control{&l, &f, ch, bit};
            }
        }
    }
    return std::nullopt;
}

const Field* fieldNamed(const Layout& layout, const char* name) {
    for (const Field& f : layout.fields)
        if (qstrcmp(f.name, name) == 0) return &f;
    return nullptr;
}

std::optional<QString> fieldText(const Field& field, int channel, const RegisterBlock& block) {
    const int reg = field.reg[channel];
    switch (field.editor) {
    case Editor::Fixed:
    case Editor::List:
    case Editor::Cells:
        return std::nullopt;
    case Editor::Diameter:
        // Shown from the circumference with pi at full precision, though typed values go to the
        // device through 3.14159: a typed 10000 comes back as 9999,99.
        if (const auto c = block.f32(reg)) return formatValue(field, float(double(*c) / std::numbers::pi));
        return std::nullopt;
    default:
        break;
    }
    switch (field.encoding) {
    case Encoding::RegisterFloat:
        if (const auto v = block.f32(reg)) return formatValue(field, *v);
        return std::nullopt;
    case Encoding::U16:
        if (const auto v = block.u16(reg)) return QString::number(*v);
        return std::nullopt;
    case Encoding::RegisterByte:
        if (const auto v = block.byte(reg)) return QString::number(*v);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

QString formatValue(const Field& field, float value) {
    return enc::formatFixed(value, decimalsOf(field.pattern));
}

std::optional<int> itemIndex(const Field& field, int channel, const RegisterBlock& block) {
    if (field.editor != Editor::List) return std::nullopt;
    const auto code = block.byte(field.reg[channel]);
    if (!code || *code >= items::texts(field.list).size()) return std::nullopt;
    return int(*code);
}

std::optional<QString> pulseWeightCaption(int pulseOutputMode) {
    switch (pulseOutputMode) {
    case 0:
        return QStringLiteral("Вес имп. (f), имп./м3");
    case 1:
        return QStringLiteral("Вес имп. (f), м3/имп.");
    default:
        return std::nullopt;
    }
}

QList<Cell> cells(const Field& field, int channel, std::uint8_t mask, bool twoChannelMode) {
    QList<Cell> out;
    for (int bit = 0; bit < field.bits[channel]; ++bit) {
        if (channel == 0 && bit >= 6 && twoChannelMode)
            out << Cell::Hidden;
        else
            out << ((mask & bitValue(bit)) ? Cell::Cross : Cell::Bar);
    }
    return out;
}

std::optional<RegisterWrite> toggleWrite(const Control& cell, const RegisterBlock& current) {
    if (!cell.field || cell.field->editor != Editor::Cells || cell.bit < 0) return std::nullopt;
    const int reg = cell.field->reg[cell.channel];
    const auto mask = current.byte(reg);
    if (!mask) return std::nullopt;
    return RegisterWrite{reg, 1, enc::u16Bytes(std::uint16_t(*mask ^ bitValue(cell.bit)))};
}

QString keysOf(Editor editor) {
    switch (editor) {
    case Editor::Float:
    case Editor::Circumference:
    case Editor::Diameter:
        return QStringLiteral("0123456789,");
    case Editor::SignedFloat:
        return QStringLiteral("0123456789,-");
    case Editor::Whole:
        return QStringLiteral("0123456789");
    default:
        return QString();
    }
}

EditCheck checkEdit(const Field& field, int channel, const QString& text) {
    const int reg = field.reg[channel];
    switch (field.editor) {
    case Editor::Float:
    case Editor::SignedFloat:
        if (const auto value = fieldcheck::single(text, ruleOf(field)))
            return EditCheck{Verdict::Write, RegisterWrite{reg, 2, enc::f32Bytes(*value)}};
        return refused();
    case Editor::Whole:
        if (const auto value = fieldcheck::integer(text, ruleOf(field)))
            return EditCheck{Verdict::Write, RegisterWrite{reg, 1, enc::u16Bytes(std::uint16_t(*value))}};
        return refused();
    default:
        return refused();
    }
}

std::optional<PairEdit> checkPair(const Field& field, int channel, const QString& text) {
    if (field.editor != Editor::Circumference && field.editor != Editor::Diameter) return std::nullopt;
    const auto value = fieldcheck::single(text, ruleOf(field));
    if (!value) return std::nullopt;
    PairEdit pair;
    if (field.editor == Editor::Diameter) {
        pair.diameter = *value;
        pair.circumference = *value * PairPi;
    } else {
        pair.circumference = *value;
        pair.diameter = *value / PairPi;
    }
    // The diameter in the transducer plane follows the circumference two floats further on.
    const int first = field.reg[channel];
    pair.writes = {RegisterWrite{first, 2, enc::f32Bytes(pair.circumference)},
                   RegisterWrite{first + 4, 2, enc::f32Bytes(pair.diameter)}};
    return pair;
}

QList<CommandStep> listSteps(const Field& field, int channel, int index) {
    if (field.editor != Editor::List || index < 0 || index >= items::texts(field.list).size()) return {};
    return {CommandStep{field.reg[channel], std::uint16_t(index), true}, CommandStep{27, 1, true},
            CommandStep{28, 1, true}};
}

} // namespace genparams
