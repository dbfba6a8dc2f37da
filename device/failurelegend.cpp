#include "device/failurelegend.h"

#include "device/channelcondition.h"

namespace legend {

const std::array<ConditionRow, ConditionCount>& conditionRows() {
    static const std::array<ConditionRow, ConditionCount> rows{{
        {.text = QStringLiteral("Частота превысила максимальное значение")},
        {.text = QStringLiteral("Расход превысил максимальное допустимое значение")},
        {.text = QStringLiteral("Параметры некорректны")},
        {.text = QStringLiteral("Нет УЗС")},
        {.text = QStringLiteral("Расход превысил верхнюю уставку")},
        {.text = QStringLiteral("Расход опустился ниже нижней уставки")},
        {.text = QStringLiteral("Нет УЗС во втором луче"), .twoBeamOnly = true},
        {.text = QStringLiteral("Нет УЗС в обоих лучах"), .twoBeamOnly = true},
    }};
    return rows;
}

QString failureText(int index) {
    return QStringLiteral("Отказ %1").arg(index + 1);
}

QString firstBeamSuffix() {
    return QStringLiteral("в первом луче");
}

std::optional<Markers> markers(const RegisterBlock& block, int channelTag, bool twoChannelMode) {
    const int channel = channelTag == 1 ? 1 : 2;
    const auto failure = block.byte(condition::FailureRegister);
    const auto state = block.byte(condition::conditionRegister(channel));
    if (!failure || !state) return std::nullopt;
    Markers m;
    for (int bit = 0; bit < FailureCount; ++bit)
        m.failures[bit] = (*failure >> bit) & 1;
    // The channel's mask leaves out the bits of a second beam where there is none.
    const int shown = *state & condition::mask(channel, twoChannelMode);
    for (int bit = 0; bit < ConditionCount; ++bit)
        m.conditions[bit] = (shown >> bit) & 1;
    m.twoBeamRows = condition::twoBeam(channel, twoChannelMode);
    return m;
}

} // namespace legend
