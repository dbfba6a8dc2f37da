#pragma once
// The operator's reading of the exchange log: the verdict of an entry in words, and what a frame
// carries (function, registers and their values, coils, the device text, the records of an archive
// reply). Only replies judged good are decoded; the others show their bytes alone.
#include "link/trafficrecorder.h"

#include <QString>
#include <QStringList>

namespace traffic {

// "норма, конец по тишине", "ошибка CRC, конец по тишине", "нет ответа", "исключение 2: ..."
QString verdictText(const TrafficEntry& entry);
// The kind of row: "запрос", "ответ", "отброшено", "без ответа", "команда модему", "ответ модема".
QString directionText(const TrafficEntry& entry);
// "чтение регистров"; empty for a code the meter does not serve.
QString functionName(int function);
// The function column: "3", "3 искл." for an exception reply, empty when there is none.
QString functionText(const TrafficEntry& entry);
// The decoding pane: one line each, the frame's bytes last.
QStringList decode(const TrafficEntry& entry);

} // namespace traffic
