#include "files/paramreport.h"

#include "device/adjustment.h"
#include "device/channelcondition.h"
#include "device/encodings.h"
#include "device/itemlists.h"
#include "files/textfile.h"

#include <cstring>
#include <utility>

namespace paramreport {

namespace {

using enum Value;

constexpr const char* Separator = "___________________________________";
using adjustment::SensorTypeRegister;
constexpr int WorkModeRegister = 15;
constexpr int OperationMode = 0, VerificationMode = 1;
constexpr int ClampOnSensors = 0, InsertionSensors = 1;

// clang-format off
const std::vector<Line> Head{
    {.name = "Общесистемные параметры"},
    {.name = Separator},
    {.name = "Дата и время", .value = DateTime, .reg = 0},
    {.name = "Электронный номер прибора", .value = U32, .reg = 8},
    {.name = "Дата изготовления", .value = Date, .reg = 10},
    {.name = "Режим работы прибора", .value = Item, .reg = 15, .items = "ComboWorkMode"},
    {.name = "Тип датчиков", .value = Item, .reg = 17, .items = "ComboTypeSensor"},
    {.name = "Время инерции, сек", .value = U16, .reg = 18},
    {.name = "Частота кварца, МГц", .value = Float, .reg = 19},
    {.name = Separator},
    {},
    {.name = "Основные параметры"},
    {.name = Separator},
    {.name = "Режим работы импульсного выхода", .value = Item, .reg = 21, .items = "ComboBoxWorkModePulseExitENCh1"},
    {.name = "Длительность импульса, мс", .value = U16, .reg = 22, .reg2 = 23},
    {.name = "Нижний порог, м3/ч", .value = Float, .reg = 60, .reg2 = 143},
    {.name = "Вес импульса, м3/имп.", .value = Float, .reg = 62, .reg2 = 145, .decimals = 4},
    {.name = "Интервал усреднения", .value = Byte, .reg = 88, .reg2 = 171},
    {.name = "Вес импульса в частотном режиме, м3/имп.", .value = Float, .reg = 109, .reg2 = 192},
};

// Work mode 1: its empty line takes the place where the other modes have "Дискретный выход".
const std::vector<Line> Verification{
    {.name = "Смещение нуля, м3/ч", .value = Float, .reg = 64, .reg2 = 147},
    {},
};

const std::vector<Line> Operation{
    {.name = "Коэффициент К", .value = Float, .reg = 48, .reg2 = 131},
};

const std::vector<Line> UBend{
    {.name = "Коэффициент Р", .value = Float, .reg = 50, .reg2 = 133},
    {.name = "Внутренний диаметр, мм", .value = Float, .reg = 70, .reg2 = 153},
    {.name = "База прибора, мм", .value = Float, .reg = 68, .reg2 = 151},
    {.name = "Аксиальная база, мм", .value = Float, .reg = 72, .reg2 = 155},
};

const std::vector<Line> PipeGeometry{
    {.name = "Длина окружности, мм", .value = Float, .reg = 36, .reg2 = 119},
    {.name = "Толщина стенки, мм", .value = Float, .reg = 38, .reg2 = 121},
    {.name = "Наружный диаметр в плоскости установки ПЭА, мм", .value = Float, .reg = 40, .reg2 = 123},
    {.name = "Осевая база, мм", .value = Float, .reg = 42, .reg2 = 125},
    {.name = "Шероховатость, мм", .value = Float, .reg = 44, .reg2 = 127},
    {.name = "Вязкость, сСт", .value = Float, .reg = 56, .reg2 = 139},
};

const std::vector<Line> ClampOn{
    {.name = "Фазовая скорость, км/с", .value = Float, .reg = 66, .reg2 = 149},
    {.name = "Схема установки", .value = Item, .reg = 83, .reg2 = 166, .items = "ComboBoxSchemeInstallENCh1"},
};

const std::vector<Line> Insertion{
    {.name = "База прибора, мм", .value = Float, .reg = 68, .reg2 = 151},
};

const std::vector<Line> StatusOutput{
    {.name = "Дискретный выход \"Статус\"", .value = U16, .reg = 80, .reg2 = 163},
};

const std::vector<Line> Adjustment{
    {.name = Separator},
    {},
    {.name = "Параметры настройки"},
    {.name = Separator},
    {.name = "Усиление", .value = Byte, .reg = 2, .reg2 = 4},
    {.name = "Порог", .value = Byte, .reg = 3, .reg2 = 5},
    // The reverse of the order of gain and threshold: the meter keeps channel 2's amplitude first.
    {.name = "Амплитуда", .value = Byte, .reg = 7, .reg2 = 6},
    {.name = "Смещение dt, мкс", .value = Float, .reg = 52, .reg2 = 135, .decimals = 4},
    {.name = "Дополнительная задержка УЗС, мкс", .value = Float, .reg = 54, .reg2 = 137},
    {.name = "Внутренний диаметр, мм", .value = InnerDiameter, .reg = 36, .reg2 = 119},
    {.name = "Верхняя уставка, м3/ч", .value = Float, .reg = 74, .reg2 = 157},
    {.name = "Нижняя уставка, м3/ч", .value = Float, .reg = 76, .reg2 = 159},
    {.name = "Смещение окна", .value = S16, .reg = 78, .reg2 = 161},
    {.name = "Направление потока", .value = Item, .reg = 82, .reg2 = 165, .items = "RadioGroupRevers"},
    {.name = "Включение канала", .value = Item, .reg = 84, .reg2 = 167, .items = "RadioEnabledChannel"},
    {.name = "Коррекция скорости потока", .value = Item, .reg = 85, .reg2 = 168, .items = "RadioGroupFlowSpeedCorr"},
    {.name = "Форма ЗИ", .value = Item, .reg = 86, .reg2 = 169, .items = "RadioGroupFormZI"},
    {.name = "Инверсия ЗИ", .value = Item, .reg = 87, .reg2 = 170, .items = "RadioGroupInversZI"},
    {.name = "Толщина стенки калибровочного трубопровода, мм", .value = Float, .reg = 46, .reg2 = 129},
    {.name = "Число циклов автоциркуляций", .value = Byte, .reg = 107, .reg2 = 190},
    {.name = "Время разности, мкс", .value = Float, .reg = 202, .reg2 = 227, .decimals = 5},
    {.name = "Время полусуммы, мкс", .value = Float, .reg = 204, .reg2 = 229},
    {.name = "Время начала окна, мкс", .value = Float, .reg = 206, .reg2 = 231},
    {.name = "Длина окна, мкс", .value = WindowLength, .reg = 204, .reg2 = 229},
    {.name = "Задержка ЗИ, мкс", .value = Float, .reg = 208, .reg2 = 233},
    {.name = "Состояние канала", .value = State},
    {.name = Separator},
    {},
    {.name = "Измеренные значения"},
    {.name = Separator},
    {.name = "Расход, м3/ч", .value = Auto, .reg = 210, .reg2 = 235},
    {.name = "Счетчик объема по потоку, м3", .value = Counter, .reg = 219, .reg2 = 244},
};

// Written in work mode 0 only.
const std::vector<Line> OperationMeasurements{
    {.name = "Счетчик объема против потока, м3", .value = Counter, .reg = 223, .reg2 = 248},
    {.name = "Суммарный объем, м3", .value = Total, .reg = 219, .reg2 = 244},
    {.name = "Скорость звука, км/с", .value = Auto, .reg = 212, .reg2 = 237},
    {.name = "Скорость потока, м/с", .value = Auto, .reg = 214, .reg2 = 239},
};
// clang-format on

void append(std::vector<Line>& to, const std::vector<Line>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

QStringList itemTexts(const char* control) {
    using items::List;
    static const std::pair<const char*, List> Combos[] = {
        {"ComboWorkMode", List::WorkModes},
        {"ComboTypeSensor", List::SensorTypes},
        {"ComboBoxWorkModePulseExitENCh1", List::PulseOutputModes},
        {"ComboBoxSchemeInstallENCh1", List::InstallSchemes},
    };
    for (const auto& [name, list] : Combos)
        if (std::strcmp(name, control) == 0) return items::texts(list);
    // The radio groups are the adjustment view's.
    if (const adjustment::Row* group = adjustment::row(QLatin1String(control)))
        return param::itemTexts(group->field);
    return {};
}

std::optional<QString> channelValue(const Line& line, const RegisterBlock& image, int reg) {
    switch (line.value) {
    case None:
    case State:
        return std::nullopt;
    case DateTime:
        return image.timeText(reg, enc::formatDateTime);
    case Date:
        return image.timeText(reg, enc::formatDate);
    case U32:
        if (const auto v = image.u32(reg)) return QString::number(*v);
        return std::nullopt;
    case U16:
        if (const auto v = image.u16(reg)) return QString::number(*v);
        return std::nullopt;
    case S16:
        if (const auto v = image.s16(reg)) return QString::number(*v);
        return std::nullopt;
    case Byte:
        if (const auto v = image.byte(reg)) return QString::number(*v);
        return std::nullopt;
    case Item: {
        const auto code = image.byte(reg);
        if (!code) return std::nullopt;
        const QStringList texts = itemTexts(line.items);
        return *code < texts.size() ? texts[*code] : QString::number(*code);
    }
    case Float:
        if (const auto v = image.f32(reg)) return enc::formatFixed(*v, line.decimals);
        return std::nullopt;
    case Auto:
        if (const auto v = image.f32(reg)) return enc::MyFormatFloat(*v);
        return std::nullopt;
    case InnerDiameter: {
        const auto sensorType = image.byte(SensorTypeRegister);
        if (!sensorType) return std::nullopt;
        if (const auto d = adjustment::internalDiameter(image, reg, *sensorType))
            return enc::formatFixed(*d, line.decimals);
        return std::nullopt;
    }
    case WindowLength:
        if (const auto length = adjustment::windowLength(image, reg))
            return enc::formatFixed(*length, line.decimals);
        return std::nullopt;
    case Counter:
        if (const auto v = image.twoPart(reg)) return enc::MyFormatFloat(float(*v));
        return std::nullopt;
    case Total: {
        const auto forward = image.twoPart(reg);
        const auto reverse = image.twoPart(reg + 4);
        if (!forward || !reverse) return std::nullopt;
        return enc::MyFormatFloat(float(*forward + *reverse));
    }
    }
    return std::nullopt;
}

// The report's own rule, not the condition display's: no two-beam bits, the same mask for both.
std::optional<QString> stateText(const RegisterBlock& image) {
    const auto failure = image.byte(condition::FailureRegister);
    const auto first = image.byte(condition::conditionRegister(1));
    const auto second = image.byte(condition::conditionRegister(2));
    if (!failure || !first || !second) return std::nullopt;
    if (condition::deviceFailed(*failure)) return QStringLiteral("#Отказ#Отказ");
    const auto state = [](std::uint8_t c) {
        return (c & 0x3F) ? QStringLiteral("Нештатная ситуация") : QStringLiteral("Нормальное");
    };
    return u'#' + state(*first) + u'#' + state(*second);
}

} // namespace

std::vector<Line> lines(const RegisterBlock& image) {
    std::vector<Line> out = Head;
    const int workMode = image.byte(WorkModeRegister).value_or(0);
    const int sensorType = image.byte(SensorTypeRegister).value_or(0);
    if (workMode == VerificationMode) {
        append(out, Verification);
    } else {
        append(out, Operation);
        if (sensorType == adjustment::UBendSensor) {
            append(out, UBend);
        } else if (sensorType == ClampOnSensors || sensorType == InsertionSensors) {
            append(out, PipeGeometry);
            append(out, sensorType == ClampOnSensors ? ClampOn : Insertion);
        }
        append(out, StatusOutput);
    }
    append(out, Adjustment);
    if (workMode == OperationMode) append(out, OperationMeasurements);
    return out;
}

std::vector<int> registersOf(const Line& line, int channel) {
    const int reg = channel == 2 ? line.reg2 : line.reg;
    if (reg < 0) return {};
    switch (line.value) {
    case DateTime:
    case Date:
    case U32:
    case Float:
    case Auto:
        return {reg, reg + 1};
    case U16:
    case S16:
    case Byte:
    case Item:
        return {reg};
    default:
        return {};
    }
}

std::optional<QString> valueText(const Line& line, const RegisterBlock& image) {
    if (line.value == None) return QString();
    if (line.value == State) return stateText(image);
    QString text;
    for (const int reg : {line.reg, line.reg2}) {
        if (reg < 0) continue;
        const auto value = channelValue(line, image, reg);
        if (!value) return std::nullopt;
        text += u'#' + *value;
    }
    return text;
}

QStringList FormBuffer(const RegisterBlock& image) {
    QStringList report(LineCount);
    int i = 0;
    for (const Line& line : lines(image)) {
        // An image that does not hold a line's registers ends the report there.
        const auto value = valueText(line, image);
        if (!value) break;
        report[i++] = QString::fromUtf8(line.name) + *value;
    }
    return report;
}

QStringList fileLines(const QString& deviceCaption, const QStringList& report) {
    return QStringList{textfile::versionLine(deviceCaption), QStringLiteral("Параметры прибора"), QString()} +
           report;
}

QByteArray fileBytes(const QString& deviceCaption, const QStringList& report) {
    return textfile::encodeLines(fileLines(deviceCaption, report));
}

} // namespace paramreport
