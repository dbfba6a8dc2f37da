#include "device/identification.h"

#include "device/registerblock.h"
#include "link/cp1251.h"
#include "link/rtuframe.h"

namespace ident {

QString deviceText(const RtuFrame& reply) {
    // Meters get the byte count wrong, so the texts run from after it up to the CRC.
    const QByteArray data = reply.data().mid(1);
    qsizetype pos = 0;
    QString texts[2];
    for (QString& text : texts) {
        if (pos >= data.size()) break;
        qsizetype zero = data.indexOf('\0', pos);
        if (zero < 0) zero = data.size();
        text = cp1251::decode(data.mid(pos, zero - pos));
        pos = zero + 1;
    }
    return texts[0] + QStringLiteral("   ") + texts[1];
}

QString entryText(const QString& deviceText, int address) {
    return deviceText + QStringLiteral(" адрес: ") + QString::asprintf("%3d", address);
}

std::optional<int> addressOfEntry(const QString& entryText) {
    if (entryText.size() < 3) return std::nullopt;
    bool ok = false;
    const int address = entryText.right(3).trimmed().toInt(&ok);
    return ok ? std::optional<int>(address) : std::nullopt;
}

std::optional<QString> electronicNumber(const RegisterBlock& block) {
    const std::optional<std::uint32_t> number = block.u32(ElectronicNumberRegister);
    if (!number) return std::nullopt;
    return QString::number(*number);
}

} // namespace ident
