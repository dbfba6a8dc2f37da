#pragma once
// A request frame as a short text for assertions on what the program sent:
// r<first>+<count> (function 3), w<reg>=<value> (6), W<first>:<count>=<hex> (16), c<coil>=<0|1> (5).
#include <QByteArray>
#include <QString>

inline QString describeRequest(const QByteArray& f) {
    auto word = [&f](int i) { return (quint8(f[i]) << 8) | quint8(f[i + 1]); };
    if (f.size() >= 8 && f[1] == 3) return QStringLiteral("r%1+%2").arg(word(2)).arg(word(4));
    if (f.size() >= 8 && f[1] == 6) return QStringLiteral("w%1=%2").arg(word(2)).arg(word(4));
    if (f.size() >= 9 && f[1] == 16)
        return QStringLiteral("W%1:%2=%3")
            .arg(word(2))
            .arg(word(4))
            .arg(QString::fromLatin1(f.mid(7, f[6]).toHex()));
    if (f.size() >= 8 && f[1] == 5) return QStringLiteral("c%1=%2").arg(word(2)).arg(word(4) ? 1 : 0);
    return QString::fromLatin1(f.toHex(' '));
}
