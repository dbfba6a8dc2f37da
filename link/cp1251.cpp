#include "link/cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace cp1251 {

namespace {
const char* const Name = "windows-1251";
}

QByteArray encode(const QString& text) {
    QStringEncoder encoder(Name);
    return encoder.isValid() ? QByteArray(encoder.encode(text)) : text.toLatin1();
}

QString decode(const QByteArray& bytes) {
    QStringDecoder decoder(Name);
    return decoder.isValid() ? QString(decoder.decode(bytes)) : QString::fromLatin1(bytes);
}

} // namespace cp1251
