#include "device/itemlists.h"

namespace items {

const QStringList& texts(List list) {
    static const QStringList none;
    static const QStringList workModes{QStringLiteral("Эксплуатационный"), QStringLiteral("Поверка")};
    static const QStringList sensorTypes{QStringLiteral("Накладные"), QStringLiteral("Врезные"),
                                         QStringLiteral("U - колено")};
    static const QStringList pulseOutputModes{QStringLiteral("Частотный"), QStringLiteral("Импульсный")};
    static const QStringList installSchemes{QStringLiteral("Z - схема"), QStringLiteral("V - схема")};
    switch (list) {
    case List::None:
        return none;
    case List::WorkModes:
        return workModes;
    case List::SensorTypes:
        return sensorTypes;
    case List::PulseOutputModes:
        return pulseOutputModes;
    case List::InstallSchemes:
        return installSchemes;
    }
    return none;
}

std::optional<QString> textOf(List list, int code) {
    const QStringList& all = texts(list);
    if (code < 0 || code >= all.size()) return std::nullopt;
    return all[code];
}

} // namespace items
