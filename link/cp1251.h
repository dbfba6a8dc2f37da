#pragma once
// The Windows-1251 code page every text of the meter, the modem line and the settings file uses.
// Characters it cannot carry become '?'.
#include <QByteArray>
#include <QString>

namespace cp1251 {
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);
} // namespace cp1251
