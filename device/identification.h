#pragma once
// The device text of a report-slave-id reply: two zero-ended texts from the first data byte,
// joined by three blanks. Reading never passes the bytes that arrived.
#include <QByteArray>
#include <QString>
#include <optional>

namespace ident {
// reply: the whole frame as received, CRC included.
QString deviceText(const QByteArray& reply);
// "<device text> адрес: <address in %3d>"
QString entryText(const QString& deviceText, int address);
// The address printed in the last three characters of an entry text; nothing when they are no number.
std::optional<int> addressOfEntry(const QString& entryText);
} // namespace ident
