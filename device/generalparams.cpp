#include "device/generalparams.h"

#include "device/encodings.h"

#include <numbers>

namespace genparams {

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

QString controlName(const Layout& layout, const Row& row, int channel) {
    return QString::fromLatin1(row.field.name) + QString::fromLatin1(layout.code) + QStringLiteral("Ch") +
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

QString captionName(const Layout& layout, const Row& row, int channel) {
    if (const char* own = row.extra.captionName[channel]) return QString::fromLatin1(own);
    return QStringLiteral("Label") + controlName(layout, row, channel);
}

std::optional<Control> findControl(const QString& objectName) {
    for (Variant v : Variants) {
        const Layout& l = layout(v);
        for (const Row& r : l.fields) {
            const bool cells = r.field.control == param::Control::Cells;
            for (int ch = 0; ch < 2; ++ch) {
                if (!cells && controlName(l, r, ch) == objectName) return Control{&l, &r, ch};
                for (int bit = 0; cells && bit < r.extra.bits[ch]; ++bit)
                    if (objectName == pictureName(l, ch, bit, false) ||
                        objectName == pictureName(l, ch, bit, true))
                        return Control{&l, &r, ch, bit};
            }
        }
    }
    return std::nullopt;
}

const Row* rowNamed(const Layout& layout, const char* name) {
    for (const Row& r : layout.fields)
        if (qstrcmp(r.field.name, name) == 0) return &r;
    return nullptr;
}

std::optional<QString> fieldText(const Row& row, int channel, const RegisterBlock& block) {
    if (row.extra.fixedText) return std::nullopt;
    const int reg = param::registerFor(row.field, channel + 1);
    if (row.extra.pair == Pair::Diameter) {
        // Shown from the circumference with pi at full precision, though typed values go to the
        // device through 3.14159: a typed 10000 comes back as 9999,99.
        if (const auto c = block.f32(reg))
            return param::formatValue(row.field, float(double(*c) / std::numbers::pi));
        return std::nullopt;
    }
    return param::fieldText(row.field, reg, block);
}

std::optional<int> itemIndex(const Row& row, int channel, const RegisterBlock& block) {
    return param::itemIndex(row.field, param::registerFor(row.field, channel + 1), block);
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

QList<Cell> cells(const Row& row, int channel, std::uint8_t mask, bool twoChannelMode) {
    QList<Cell> out;
    for (int bit = 0; bit < row.extra.bits[channel]; ++bit) {
        if (channel == 0 && bit >= 6 && twoChannelMode)
            out << Cell::Hidden;
        else
            out << ((mask & bitValue(bit)) ? Cell::Cross : Cell::Bar);
    }
    return out;
}

std::optional<RegisterWrite> toggleWrite(const Control& cell, const RegisterBlock& current) {
    if (!cell.row || cell.row->field.control != param::Control::Cells || cell.bit < 0) return std::nullopt;
    const int reg = param::registerFor(cell.row->field, cell.channel + 1);
    const auto mask = current.byte(reg);
    if (!mask) return std::nullopt;
    return RegisterWrite{reg, 1, enc::u16Bytes(std::uint16_t(*mask ^ bitValue(cell.bit)))};
}

PairEdit pairOf(const Row& row, int channel, float value) {
    PairEdit pair;
    if (row.extra.pair == Pair::Diameter) {
        pair.diameter = value;
        pair.circumference = value * PairPi;
    } else {
        pair.circumference = value;
        pair.diameter = value / PairPi;
    }
    // The diameter in the transducer plane follows the circumference two floats further on.
    const int first = param::registerFor(row.field, channel + 1);
    pair.writes = {RegisterWrite{first, 2, enc::f32Bytes(pair.circumference)},
                   RegisterWrite{first + 4, 2, enc::f32Bytes(pair.diameter)}};
    return pair;
}

QList<CommandStep> listSteps(const Row& row, int channel, int index) {
    const auto write = param::itemWrite(row.field, param::registerFor(row.field, channel + 1), index);
    if (!write) return {};
    return {CommandStep{write->reg, std::uint16_t(index), true}, CommandStep{27, 1, true},
            CommandStep{28, 1, true}};
}

} // namespace genparams
