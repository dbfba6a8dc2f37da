#include "device/sysparams.h"

#include "device/encodings.h"
#include "device/itemlists.h"

namespace sysparams {

namespace {

using namespace param;
using enum Control;
using E = Encoding;

// Column and row grid of the panel. Captions sit 24 pixels above their fields. The second column
// is wider for the longest list item ("По положительному объему").
struct Column {
    int x;
    int width;
};
constexpr Column Col1{24, 145}, Col2{176, 162}, Col3{344, 145}, Col4{496, 145};
constexpr int Row1 = 16, Row2 = 96, Row3 = 176, RowDate = 280;
constexpr int CaptionToField = 24;

constexpr Place at(int x, int captionY, int width) {
    return Place{.x = x, .y = captionY + CaptionToField, .width = width, .captionAbove = CaptionToField};
}
constexpr Place at(Column col, int captionY) {
    return at(col.x, captionY, col.width);
}

constexpr const char* Digits = "0123456789";
constexpr const char* Speeds[] = {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400"};
constexpr const char* RtsDelays[] = {"0", "32", "64", "96"};
constexpr const char* PulseConditions[] = {"По модулю объема", "По положительному объему"};
constexpr const char* OffOn[] = {"Выключено", "Включено"};
constexpr const char* ChannelModes[] = {"Двухканальный режим", "Двухлучевой режим"};

// One row per control, in the order the reader fills them; kept two lines a row by hand.
// clang-format off
constexpr Field Rows[] = {
    {.name = "EditDate", .caption = "Дата", .reg = 0, .encoding = E::DeviceTime, .shown = Shown::Date,
     .place = at(24, RowDate, 61)},
    {.name = "EditTime", .caption = "Время", .reg = 0, .encoding = E::DeviceTime, .shown = Shown::Time,
     .place = at(88, RowDate, 57)},
    {.name = "EditElNumber", .caption = "Электронный номер", .reg = 8, .encoding = E::U32, .control = Edit,
     .tag = TagIsRegister, .keys = Digits, .min = 0, .refusal = Refusal::KeepText, .poll = Poll::StopsOnEnter,
     .place = at(Col1, Row1)},
    {.name = "EditDateFabrications", .caption = "Дата изготовления", .reg = 10, .encoding = E::DeviceTime,
     .shown = Shown::Date, .control = Edit, .tag = TagIsRegister, .keys = "0123456789 .:",
     .refusal = Refusal::KeepText, .place = at(Col2, Row1)},
    {.name = "EditNodeAddress", .caption = "Номер прибора в сети", .reg = 12, .encoding = E::RegisterByte,
     .control = Edit, .tag = TagIsRegister, .keys = Digits, .min = 1, .max = 127, .rereadAfter = true,
     .place = at(Col2, Row2)},
    // The program keeps its own port speed, so there is nothing to read back.
    {.name = "ComboSpeedRS", .caption = "Скорость обмена RS-232", .reg = 13, .encoding = E::RegisterByte,
     .control = List, .tag = TagIsRegister, .items = Speeds, .codeOffset = 2, .place = at(Col1, Row2)},
    {.name = "ComboBoxRTS", .caption = "Задержка RTS, мс", .reg = 14, .encoding = E::RegisterByte,
     .control = List, .tag = TagIsRegister, .items = RtsDelays, .rereadAfter = true, .place = at(Col3, Row2)},
    {.name = "ComboWorkMode", .caption = "Режим работы", .reg = 15, .encoding = E::RegisterByte, .control = List,
     .tag = TagIsRegister, .list = items::List::WorkModes, .fill = ItemFill::NonZero, .rereadAfter = true,
     .place = at(Col1, Row3)},
    {.name = "ComboBoxConditionsWorkPulseExit", .caption = "Условия работы имп. выхода", .reg = 16,
     .encoding = E::RegisterByte, .control = List, .tag = TagIsRegister, .items = PulseConditions,
     .rereadAfter = true, .place = at(Col2, Row3)},
    {.name = "ComboTypeSensor", .caption = "Тип датчиков", .reg = 17, .encoding = E::RegisterByte,
     .control = List, .tag = TagIsRegister, .list = items::List::SensorTypes, .rereadAfter = true,
     .place = at(Col4, Row1)},
    {.name = "EditTimeInercias", .caption = "Время инерции, сек", .reg = 18, .encoding = E::U16, .control = Edit,
     .tag = TagIsRegister, .keys = Digits, .min = 0, .max = 300, .rereadAfter = true, .place = at(Col4, Row2)},
    {.name = "EditFrequency", .caption = "Частота кварца, МГц ", .reg = 19, .control = Edit,
     .tag = TagIsRegister, .keys = "0123456789,", .min = 15.0, .max = 100.0, .rereadAfter = true,
     .place = at(Col3, Row1)},
    {.name = "RadioGroupDopUsil", .caption = "Дополнительное усиление", .reg = 114, .encoding = E::RegisterByte,
     .control = Radio, .items = OffOn, .fill = ItemFill::Direct, .rereadAfter = true,
     .place = {.x = Col4.x, .y = 256, .width = 169, .height = 57}},
    {.name = "ComboBoxModeLine", .caption = "Совместная работа каналов", .reg = ChannelModeRead.first,
     .encoding = E::RegisterByte, .control = List, .tag = TagIsRegister, .items = ChannelModes,
     .fill = ItemFill::Direct, .rereadAfter = true, .place = at(Col3, Row3)},
};
// clang-format on

// A second write that goes with choosing an item of a list.
struct Companion {
    const char* list;
    int index;
    int reg;
    std::uint16_t value;
};
// Verification exists only with clamp-on sensors.
constexpr Companion Companions[] = {{.list = "ComboWorkMode", .index = 1, .reg = 17, .value = 0}};

} // namespace

std::span<const Field> rows() {
    return Rows;
}

const Field* rowByName(const QString& objectName) {
    for (const Field& r : Rows) {
        if (objectName == QLatin1String(r.name)) return &r;
    }
    return nullptr;
}

const QList<Read>& reads() {
    static const QList<Read> list{{0, 21}, {114, 1}, ChannelModeRead};
    return list;
}

std::optional<bool> twoChannelMode(const RegisterBlock& block) {
    const auto index = block.byte(ChannelModeRead.first);
    if (!index) return std::nullopt;
    return twoChannelMode(int(*index));
}

bool refusesAddressInUse(const Field& row) {
    return qstrcmp(row.name, "EditNodeAddress") == 0;
}

QList<RegisterWrite> listWrites(const Field& row, int index) {
    QList<RegisterWrite> writes;
    const auto write = itemWrite(row, row.reg, index);
    if (!write) return writes;
    writes << *write;
    for (const Companion& c : Companions)
        if (qstrcmp(c.list, row.name) == 0 && c.index == index)
            writes << RegisterWrite{c.reg, 1, enc::u16Bytes(c.value)};
    return writes;
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
