#include "device/sysparams.h"

#include "device/encodings.h"
#include "device/fieldcheck.h"
#include "device/itemlists.h"


namespace sysparams {

namespace {

// Column and row grid of the panel. Captions sit 24 pixels above their fields. The second column
// is wider for the longest list item ("По положительному объему").
struct Column {
    int x;
    int width;
};
constexpr Column Col1{24, 145}, Col2{176, 162}, Col3{344, 145}, Col4{496, 145};
constexpr int Row1 = 16, Row2 = 96, Row3 = 176, RowDate = 280;
constexpr int CaptionToField = 24;

Geometry at(Column col, int captionY) {
    return Geometry{col.x, captionY, captionY + CaptionToField, col.width, 21};
}
Geometry at(int x, int captionY, int width) {
    return Geometry{x, captionY, captionY + CaptionToField, width, 21};
}

QString u8(const char* text) { return QString::fromUtf8(text); }

Row editRow(const char* name, const char* caption, int reg, Encoding encoding, Shown shown, Geometry g) {
    Row r;
    r.objectName = QString::fromLatin1(name);
    r.caption = u8(caption);
    r.reg = reg;
    r.encoding = encoding;
    r.shown = shown;
    r.control = Control::Edit;
    r.geometry = g;
    return r;
}

Row listRow(const char* name, const char* caption, int reg, QStringList items, Geometry g,
            ItemFill fill = ItemFill::Listed) {
    Row r;
    r.objectName = QString::fromLatin1(name);
    r.caption = u8(caption);
    r.reg = reg;
    r.encoding = Encoding::RegisterByte;
    r.shown = Shown::ListItem;
    r.control = Control::List;
    r.items = std::move(items);
    r.fill = fill;
    r.rereadAfter = true;
    r.geometry = g;
    return r;
}

QStringList list(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* t : texts)
        out << u8(t);
    return out;
}

QList<Row> buildRows() {
    QList<Row> rows;

    Row date = editRow("EditDate", "Дата", 0, Encoding::DeviceTime, Shown::Date, at(24, RowDate, 61));
    date.control = Control::DisplayOnly;
    date.tagged = false;
    rows << date;
    Row time = editRow("EditTime", "Время", 0, Encoding::DeviceTime, Shown::Time, at(88, RowDate, 57));
    time.control = Control::DisplayOnly;
    time.tagged = false;
    rows << time;

    Row elNumber =
        editRow("EditElNumber", "Электронный номер", 8, Encoding::U32, Shown::Unsigned, at(Col1, Row1));
    elNumber.keys = QStringLiteral("0123456789");
    elNumber.min = 0;
    elNumber.stopsPolling = true;
    rows << elNumber;

    Row made = editRow("EditDateFabrications", "Дата изготовления", 10, Encoding::DeviceTime, Shown::Date,
                       at(Col2, Row1));
    made.keys = QStringLiteral("0123456789 .:");
    rows << made;

    Row node = editRow("EditNodeAddress", "Номер прибора в сети", 12, Encoding::RegisterByte, Shown::Unsigned,
                       at(Col2, Row2));
    node.keys = QStringLiteral("0123456789");
    node.min = 1;
    node.max = 127;
    node.refusesAddressInUse = true;
    node.refusal = Refusal::Clear;
    node.rereadAfter = true;
    rows << node;

    Row speed =
        listRow("ComboSpeedRS", "Скорость обмена RS-232", 13,
                list({"300", "600", "1200", "2400", "4800", "9600", "19200", "38400"}), at(Col1, Row2));
    speed.codeOffset = 2;
    // The program keeps its own port speed, so there is nothing to read back.
    speed.rereadAfter = false;
    rows << speed;

    rows << listRow("ComboBoxRTS", "Задержка RTS, мс", 14, list({"0", "32", "64", "96"}), at(Col3, Row2));

    Row mode = listRow("ComboWorkMode", "Режим работы", 15, items::texts(items::List::WorkModes),
                       at(Col1, Row3), ItemFill::NonZero);
    // Verification exists only with clamp-on sensors.
    mode.companionIndex = 1;
    mode.companion = RegisterWrite{17, 1, enc::u16Bytes(0)};
    rows << mode;

    rows << listRow("ComboBoxConditionsWorkPulseExit", "Условия работы имп. выхода", 16,
                    list({"По модулю объема", "По положительному объему"}), at(Col2, Row3));
    rows << listRow("ComboTypeSensor", "Тип датчиков", 17, items::texts(items::List::SensorTypes),
                    at(Col4, Row1));

    Row inertia = editRow("EditTimeInercias", "Время инерции, сек", 18, Encoding::U16, Shown::Unsigned,
                          at(Col4, Row2));
    inertia.keys = QStringLiteral("0123456789");
    inertia.min = 0;
    inertia.max = 300;
    inertia.refusal = Refusal::Clear;
    inertia.rereadAfter = true;
    rows << inertia;

    Row quartz = editRow("EditFrequency", "Частота кварца, МГц ", 19, Encoding::RegisterFloat, Shown::Fixed2,
                         at(Col3, Row1));
    quartz.keys = QStringLiteral("0123456789,");
    quartz.commaForDot = true;
    quartz.min = 15.0;
    quartz.max = 100.0;
    quartz.refusal = Refusal::Clear;
    quartz.rereadAfter = true;
    rows << quartz;

    Row gain = listRow("RadioGroupDopUsil", "Дополнительное усиление", 114, list({"Выключено", "Включено"}),
                       Geometry{Col4.x, -1, 256, 169, 57}, ItemFill::Direct);
    gain.control = Control::RadioGroup;
    gain.tagged = false;
    rows << gain;

    rows << listRow("ComboBoxModeLine", "Совместная работа каналов", 96,
                    list({"Двухканальный режим", "Двухлучевой режим"}), at(Col3, Row3), ItemFill::Direct);
    return rows;
}

EditCheck refused() { return EditCheck{Verdict::Refused, {}}; }

} // namespace

int registersOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::DeviceTime:
    case Encoding::U32:
    case Encoding::RegisterFloat:
        return 2;
    case Encoding::U16:
    case Encoding::RegisterByte:
        return 1;
    }
    return 1;
}

int Row::registers() const { return registersOf(encoding); }

const QList<Row>& rows() {
    static const QList<Row> table = buildRows();
    return table;
}

const Row* rowByName(const QString& objectName) {
    for (const Row& r : rows()) {
        if (r.objectName == objectName)
            return &r;
    }
    return nullptr;
}

const QList<Read>& reads() {
    static const QList<Read> list{{0, 21}, {114, 1}, {96, 1}};
    return list;
}

std::optional<QString> fieldText(const Row& row, const RegisterBlock& block) {
    switch (row.shown) {
    case Shown::Date:
        return block.timeText(row.reg, enc::formatDate);
    case Shown::Time:
        return block.timeText(row.reg, enc::formatTime);
    case Shown::Unsigned:
        switch (row.encoding) {
        case Encoding::U32:
            if (auto v = block.u32(row.reg))
                return QString::number(*v);
            return std::nullopt;
        case Encoding::U16:
            if (auto v = block.u16(row.reg))
                return QString::number(*v);
            return std::nullopt;
        case Encoding::RegisterByte:
            if (auto v = block.byte(row.reg))
                return QString::number(*v);
            return std::nullopt;
        default:
            return std::nullopt;
        }
    case Shown::Fixed2:
        if (auto v = block.f32(row.reg))
            return enc::formatFixed(*v, 2);
        return std::nullopt;
    case Shown::ListItem:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> itemIndex(const Row& row, const RegisterBlock& block) {
    const auto code = block.byte(row.reg);
    if (!code)
        return std::nullopt;
    switch (row.fill) {
    case ItemFill::Listed: {
        const int index = int(*code) - row.codeOffset;
        if (index < 0 || index >= row.items.size())
            return std::nullopt;
        return index;
    }
    case ItemFill::NonZero:
        return *code == 0 ? 0 : 1;
    case ItemFill::Direct:
        return int(*code);
    }
    return std::nullopt;
}

QList<RegisterWrite> listWrites(const Row& row, int index) {
    QList<RegisterWrite> writes;
    if (index < 0 || index >= row.items.size())
        return writes;
    writes << RegisterWrite{row.reg, 1, enc::u16Bytes(std::uint16_t(index + row.codeOffset))};
    if (row.companionIndex >= 0 && index == row.companionIndex)
        writes << row.companion;
    return writes;
}

EditCheck checkEdit(const Row& row, const QString& typed, const QList<int>& addressesInUse) {
    if (!row.editable())
        return refused();
    const fieldcheck::Rule rule{row.keys, row.commaForDot, row.min, row.max};
    switch (row.encoding) {
    case Encoding::DeviceTime: {
        if (!fieldcheck::onlyKeys(typed, row.keys))
            return refused();
        const auto when = enc::parseDateTime(typed);
        if (!when)
            return refused();
        // A date past the last device second would be clamped to 2106 instead of what was typed.
        static const QDateTime last = enc::SecToDate(0xFFFFFFFFu);
        if (*when > last)
            return refused();
        return EditCheck{Verdict::Write, RegisterWrite{row.reg, 2, enc::u32Bytes(enc::DateToSec(*when))}};
    }
    case Encoding::RegisterFloat: {
        const auto value = fieldcheck::single(typed, rule);
        if (!value)
            return refused();
        return EditCheck{Verdict::Write, RegisterWrite{row.reg, 2, enc::f32Bytes(*value)}};
    }
    case Encoding::U32:
    case Encoding::U16:
    case Encoding::RegisterByte: {
        const auto parsed = fieldcheck::integer(typed, rule);
        if (!parsed)
            return refused();
        if (row.encoding == Encoding::U32)
            return EditCheck{Verdict::Write,
                             RegisterWrite{row.reg, 2, enc::u32Bytes(std::uint32_t(*parsed))}};
        // A single register holds 16 bits; a value that does not fit is not what was typed.
        if (*parsed > 0xFFFF)
            return refused();
        if (row.refusesAddressInUse && addressesInUse.contains(*parsed))
            return EditCheck{Verdict::RefusedSilently, {}};
        return EditCheck{Verdict::Write, RegisterWrite{row.reg, 1, enc::u16Bytes(std::uint16_t(*parsed))}};
    }
    }
    return refused();
}

RegisterWrite clockWrite(const QDateTime& localNow) {
    const QTime t = localNow.time();
    const QDateTime whole(localNow.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
    return RegisterWrite{0, 2, enc::u32Bytes(enc::DateToSec(whole))};
}

const QList<CommandStep>& initialisationSteps() {
    static const QList<CommandStep> steps{{29, 8, true}, {29, 4, true}, {27, 8, true}, {28, 8, false}};
    return steps;
}

const QList<CommandStep>& clearArchivesSteps() {
    static const QList<CommandStep> steps{{29, 1, true}};
    return steps;
}

const QList<CommandStep>& clearJournalsSteps() {
    static const QList<CommandStep> steps{{29, 2, true}, {27, 4, true}, {28, 4, false}};
    return steps;
}

} // namespace sysparams
