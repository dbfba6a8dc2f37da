#pragma once
// The device text of a report-slave-id reply: two zero-ended texts from the first data byte,
// joined by three blanks. Reading never passes the bytes that arrived.
#include <QByteArray>
#include <QString>
#include <optional>

class RegisterBlock;
class RtuFrame;

namespace ident {
QString deviceText(const RtuFrame& reply);
// "<device text> адрес: <address in %3d>"
QString entryText(const QString& deviceText, int address);
// The address printed in the last three characters of an entry text; nothing when they are no number.
std::optional<int> addressOfEntry(const QString& entryText);

// The meter's electronic number: registers 8-9, unsigned, most significant word first. It names the
// folder of the meter's saved files and is what ties a snapshot to its meter.
inline constexpr int ElectronicNumberRegister = 8;
inline constexpr int ElectronicNumberCount = 2;
// Its decimal text; nothing when the block does not hold both registers.
std::optional<QString> electronicNumber(const RegisterBlock& block);
} // namespace ident
